#include "platform/com/module_registration.h"
#include "platform/com/registrar.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "registry_fixture.h"
#include "zanclient/ZANClient_ids.h"

namespace zan::test {
namespace {

#define CLSID_TEXT ZANCLIENT_CLSID_ZANAPI_STR
#define LIBID_TEXT ZANCLIENT_LIBID_ZANCLIENTLIB_STR

std::string ModuleScript() {
  std::ifstream in(std::string(ZAN_SOURCE_DIR) + "/src/api/ZANApi.rgs", std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Registrar : public RegistryTest {
 protected:
  static HRESULT Run(const std::string& script, bool registerMode,
                     const std::string& module = "/opt/zan/ZANClient.so") {
    return reg::RunRegistryScript(script, {{"Module", com::EscapeScriptText(module)}}, registerMode);
  }
  static HRESULT RegisterModule(const std::string& module = "/opt/zan/ZANClient.so") {
    return Run(ModuleScript(), true, module);
  }
  static HRESULT UnregisterModule() { return Run(ModuleScript(), false); }
};

const char* const kModuleKeys =
    "CLSID\n"
    "CLSID\\" CLSID_TEXT
    " @=ZANApi Class\n"
    "CLSID\\" CLSID_TEXT
    "\\InprocServer32 @=/opt/zan/ZANClient.so ThreadingModel=Apartment\n"
    "CLSID\\" CLSID_TEXT
    "\\ProgID @=ZANClient.ZANApi.1\n"
    "CLSID\\" CLSID_TEXT
    "\\Programmable\n"
    "CLSID\\" CLSID_TEXT "\\TypeLib @=" LIBID_TEXT
    "\n"
    "CLSID\\" CLSID_TEXT
    "\\VersionIndependentProgID @=ZANClient.ZANApi\n"
    "ZANClient.ZANApi @=ZANApi Class\n"
    "ZANClient.ZANApi\\CLSID @=" CLSID_TEXT
    "\n"
    "ZANClient.ZANApi\\CurVer @=ZANClient.ZANApi.1\n"
    "ZANClient.ZANApi.1 @=ZANApi Class\n"
    "ZANClient.ZANApi.1\\CLSID @=" CLSID_TEXT "\n";

TEST_F(Registrar, ModuleScriptRegistersExactlyItsKeys) {
  ASSERT_FALSE(ModuleScript().empty());
  ASSERT_EQ(RegisterModule(), S_OK);
  EXPECT_EQ(Dump(), kModuleKeys);
  // Registering again changes nothing.
  ASSERT_EQ(RegisterModule(), S_OK);
  EXPECT_EQ(Dump(), kModuleKeys);
}

TEST_F(Registrar, UnregisterRemovesTheKeysButKeepsClsid) {
  ASSERT_EQ(RegisterModule(), S_OK);
  ASSERT_EQ(UnregisterModule(), S_OK);
  EXPECT_EQ(Dump(), "CLSID\n");
  ASSERT_EQ(UnregisterModule(), S_OK);
  EXPECT_EQ(Dump(), "CLSID\n");
}

TEST_F(Registrar, UnregisterOnAnEmptyRegistrySucceeds) {
  ASSERT_EQ(UnregisterModule(), S_OK);
  EXPECT_EQ(Dump(), "");
}

TEST_F(Registrar, UnregisterKeepsWhatOthersRegistered) {
  ASSERT_EQ(reg::SetValue("CLSID\\{00000000-0000-0000-0000-000000000001}", "", "Other Class"), S_OK);
  ASSERT_EQ(RegisterModule(), S_OK);
  // Another component added a key below one of ours; the force-removed class key goes anyway.
  ASSERT_EQ(reg::SetValue("ZANClient.ZANApi\\Extra", "", "theirs"), S_OK);
  ASSERT_EQ(reg::SetValue("CLSID\\" CLSID_TEXT "\\Extra", "", "theirs"), S_OK);
  ASSERT_EQ(UnregisterModule(), S_OK);
  EXPECT_EQ(Dump(),
            "CLSID\n"
            "CLSID\\{00000000-0000-0000-0000-000000000001} @=Other Class\n"
            "ZANClient.ZANApi @=ZANApi Class\n"
            "ZANClient.ZANApi\\Extra @=theirs\n");
}

TEST_F(Registrar, ForceRemoveReplacesTheWholeKeyOnRegister) {
  ASSERT_EQ(reg::SetValue("CLSID\\" CLSID_TEXT "\\Stale", "", "old"), S_OK);
  ASSERT_EQ(reg::SetValue("CLSID\\" CLSID_TEXT, "OldValue", "old"), S_OK);
  ASSERT_EQ(reg::SetValue("ZANClient.ZANApi\\Kept", "", "not force-removed"), S_OK);
  ASSERT_EQ(RegisterModule(), S_OK);
  EXPECT_EQ(Default("CLSID\\" CLSID_TEXT "\\Stale"), "<missing>");
  std::string text;
  EXPECT_EQ(reg::QueryValue("CLSID\\" CLSID_TEXT, "OldValue", &text), reg::kNotFound);
  EXPECT_EQ(Default("ZANClient.ZANApi\\Kept"), "not force-removed");
}

TEST_F(Registrar, ModulePathWithQuotesAndPercentIsRegisteredExactly) {
  const std::string path = "/home/o'neil/it''s 100%/ZANClient.so";
  ASSERT_EQ(RegisterModule(path), S_OK);
  EXPECT_EQ(Default("CLSID\\" CLSID_TEXT "\\InprocServer32"), path);
}

TEST_F(Registrar, ScriptSyntax) {
  const std::string script = R"(
    HKEY_CLASSES_ROOT {
      'Quoted ''name''' = s 'it''s'
      Word = s 'no blanks' { val 'Named Value' = s 'v' val Count = d 0x10 Sub = d '7' }
      ''
    }
    hkcr { Second = s '%%literal%% %name% %NAME%' }
  )";
  EXPECT_EQ(reg::RunRegistryScript(script, {{"name", "x"}}, true), DISP_E_EXCEPTION);  // '' is no key name
  const std::string valid = R"(
    HKEY_CLASSES_ROOT {
      'Quoted ''name''' = s 'it''s'
      Word = s 'no blanks' { val 'Named Value' = s 'v' val Count = d 0x10 Sub = d '7' }
      'val' { 'NoRemove' }
    }
    hkcr { Second = s '%%literal%% %name% %NAME%' }
  )";
  ASSERT_EQ(reg::RunRegistryScript(valid, {{"name", "x"}}, true), S_OK);
  EXPECT_EQ(Dump(),
            "Quoted 'name' @=it's\n"
            "Second @=%literal% x x\n"
            "val\n"
            "val\\NoRemove\n"
            "Word @=no blanks Count=dword:16 Named Value=v\n"
            "Word\\Sub @=dword:7\n");
  ASSERT_EQ(reg::RunRegistryScript(valid, {{"name", "x"}}, false), S_OK);
  EXPECT_EQ(Dump(), "");
}

TEST_F(Registrar, UnregisterRemovesNamedValuesOfKeptKeys) {
  ASSERT_EQ(reg::SetValue("Keep", "Other", "theirs"), S_OK);
  const std::string script = "HKCR { NoRemove Keep { val Mine = s 'x' } }";
  ASSERT_EQ(reg::RunRegistryScript(script, {}, true), S_OK);
  EXPECT_EQ(Dump(), "Keep Mine=x Other=theirs\n");
  ASSERT_EQ(reg::RunRegistryScript(script, {}, false), S_OK);
  EXPECT_EQ(Dump(), "Keep Other=theirs\n");
}

TEST_F(Registrar, SystemKeysBelowTheRootAreNeverDeleted) {
  ASSERT_EQ(reg::SetValue("CLSID\\{00000000-0000-0000-0000-000000000001}", "", "Other Class"), S_OK);
  ASSERT_EQ(reg::SetValue("Interface\\{00000000-0000-0000-0000-000000000002}", "", "IOther"), S_OK);
  const std::string script =
      "HKCR { ForceRemove CLSID { Mine = s 'x' } Delete Interface typelib { Deep { ForceRemove CLSID } } }";
  ASSERT_EQ(reg::RunRegistryScript(script, {}, true), S_OK);
  EXPECT_EQ(Dump(),
            "CLSID\n"
            "CLSID\\Mine @=x\n"
            "CLSID\\{00000000-0000-0000-0000-000000000001} @=Other Class\n"
            "Interface\n"
            "Interface\\{00000000-0000-0000-0000-000000000002} @=IOther\n"
            "typelib\n"
            "typelib\\Deep\n"
            "typelib\\Deep\\CLSID\n");
  ASSERT_EQ(reg::RunRegistryScript(script, {}, false), S_OK);
  EXPECT_EQ(Dump(),
            "CLSID\n"
            "CLSID\\{00000000-0000-0000-0000-000000000001} @=Other Class\n"
            "Interface\n"
            "Interface\\{00000000-0000-0000-0000-000000000002} @=IOther\n"
            "typelib\n");
}

TEST_F(Registrar, DeleteRemovesAKeyOnRegister) {
  ASSERT_EQ(reg::SetValue("Old\\Sub", "", "x"), S_OK);
  ASSERT_EQ(reg::RunRegistryScript("HKCR { Delete Old { Ignored = s 'y' } New }", {}, true), S_OK);
  EXPECT_EQ(Dump(), "New\n");
}

TEST_F(Registrar, MalformedScriptsChangeNothing) {
  ASSERT_EQ(reg::SetValue("Existing", "", "x"), S_OK);
  const std::string before = FileText();
  const char* scripts[] = {
      "HKCR { A = s 'unterminated }",
      "HKCR { A { B }",                    // missing brace
      "HKCR { A } }",                      // extra brace
      "HKLM { A }",                        // a root this registry does not hold
      "HKCR A",                            // no block
      "HKCR { A = x 'text' }",             // unknown value type
      "HKCR { A = s }",                    // no value
      "HKCR { A = d 'twelve' }",           // not a number
      "HKCR { A = d 4294967296 }",         // too large
      "HKCR { 'A\\B' }",                   // compound key name
      "HKCR { val V = s 'x' }",            // value of the root
      "HKCR { A { val = s 'x' } }",        // value without name
      "HKCR { A = s '%UNKNOWN%' }",        // no such replacement
      "HKCR { A = s '%MODULE' }",          // unterminated replacement
      "HKCR { ForceRemove }",              // flag without key
      "HKCR { New = s 'ok' } HKCR { = }",  // an error after good keys
  };
  for (const char* script : scripts) {
    EXPECT_EQ(reg::RunRegistryScript(script, {{"MODULE", "/m.so"}}, true), DISP_E_EXCEPTION) << script;
    EXPECT_EQ(reg::RunRegistryScript(script, {{"MODULE", "/m.so"}}, false), DISP_E_EXCEPTION) << script;
    EXPECT_EQ(FileText(), before) << script;
  }
}

TEST_F(Registrar, EmptyScriptSucceeds) {
  EXPECT_EQ(reg::RunRegistryScript("", {}, true), S_OK);
  EXPECT_EQ(reg::RunRegistryScript("  \n HKCR { } ", {}, false), S_OK);
  EXPECT_EQ(Dump(), "");
}

TEST_F(Registrar, UnavailableRegistrarFailsWithItsCreationStatus) {
  reg::SetRegistrarAvailable(false);
  EXPECT_EQ(RegisterModule(), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(UnregisterModule(), REGDB_E_CLASSNOTREG);
  reg::SetRegistrarAvailable(true);
  EXPECT_EQ(Dump(), "");
  EXPECT_EQ(RegisterModule(), S_OK);
}

TEST_F(Registrar, UnreadableRegistryFailsWithoutWriting) {
  dir_.Write("registry", "not a registry\n");
  EXPECT_EQ(RegisterModule(), REGDB_E_READREGDB);
  EXPECT_EQ(FileText(), "not a registry\n");
}

TEST(RegistrarText, EscapeDoublesSingleQuotes) {
  EXPECT_EQ(com::EscapeScriptText("a'b''c"), "a''b''''c");
  EXPECT_EQ(com::EscapeScriptText(""), "");
}

}  // namespace
}  // namespace zan::test
