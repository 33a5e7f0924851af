#include "base/GenException.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/com/bstr.h"
#include "platform/com/errorinfo.h"
#include "platform/os/codepage.h"

namespace {

const CLSID kSomeClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

// Takes the calling thread's error information and returns its description ("<none>" if absent).
std::string TakeErrorDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return "<none>";
  zan::Bstr text;
  info->GetDescription(text.out());
  info->Release();
  return zan::os::WideToMultiByte(text.view());
}

TEST(GenException, ItemNotFoundGivenContextFormatsFourParts) {
  CGenException e("Item wasn't found.", 102, "", "");
  try {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), "CZanDavEngine", "GetChildren");
  } catch (const CGenException& thrown) {
    EXPECT_EQ(thrown.GetFullText(),
              "Item wasn't found.\n\r\n\rError 102: Item wasn't found. (CZanDavEngine::GetChildren) \n\r"
              "Error 102: Item wasn't found.  \n\r");
    EXPECT_EQ(thrown.ReportToCaller(kSomeClass), static_cast<HRESULT>(0x80040066));
    EXPECT_EQ(TakeErrorDescription(), thrown.GetFullText());
  }
  // Rethrow also changed the object it was called on.
  EXPECT_EQ(e.GetClassName(), "CZanDavEngine");
}

TEST(GenException, WithoutContextHasTwoBlanks) {
  CGenException e("Item wasn't found.", 102, "", "");
  EXPECT_EQ(e.GetFullText(), "Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r");
}

TEST(GenException, ComErrorWithoutDescription) {
  CGenException e(_com_error(E_FAIL), "", "");
  EXPECT_EQ(e.GetErrorDescription(), "");
  EXPECT_EQ(e.GetFullText(), "\n\r\n\rError -2147467259:   \n\r");
  EXPECT_EQ(e.ReportToCaller(kSomeClass), static_cast<HRESULT>(0x80044005));
}

TEST(GenException, StatusOfCodes) {
  struct Case {
    int32_t code;
    uint32_t status;
  } cases[] = {{0, 0x80040000}, {1, 0x80040001}, {102, 0x80040066}, {103, 0x80040067},
               {104, 0x80040068}, {404, 0x80040194}, {1001, 0x800403E9}, {static_cast<int32_t>(0x80004005), 0x80044005}};
  for (const auto& c : cases) {
    CGenException e("x", c.code, "", "");
    EXPECT_EQ(static_cast<uint32_t>(e.ReportToCaller(kSomeClass)), c.status) << c.code;
    EXPECT_TRUE(FAILED(e.ReportToCaller(kSomeClass)));
  }
  TakeErrorDescription();
}

TEST(GenException, ContextWithOneNameEmpty) {
  EXPECT_EQ(CGenException("d", 5, "", "M").FormatError(), "Error 5: d (::M) \n\r");
  EXPECT_EQ(CGenException("d", 5, "C", "").FormatError(), "Error 5: d (C::) \n\r");
}

TEST(GenException, IsUnspecified) {
  EXPECT_TRUE(CGenException("Unspecified error", 1, "", "").IsUnspecified());
  EXPECT_TRUE(CGenException("Unspecified error here", 1, "", "").IsUnspecified());
  EXPECT_FALSE(CGenException(" Unspecified error", 1, "", "").IsUnspecified());
  EXPECT_FALSE(CGenException("", 1, "", "").IsUnspecified());
}

TEST(GenException, AddContextKeepsOwnFieldsWhenPassed) {
  CGenException e("inner", 7, "A", "a");
  e.AddContext(e.GetErrorDescription() + " more", e.GetErrorCode(), "B", "b");
  EXPECT_EQ(e.GetErrorDescription(), "inner more");
  EXPECT_EQ(e.GetErrorCode(), 7);
  EXPECT_EQ(e.GetInnerText(), "Error 7: inner (A::a) \n\r");
  EXPECT_EQ(e.FormatError(), "Error 7: inner more (B::b) \n\rError 7: inner (A::a) \n\r");
}

TEST(GenException, ErrorInfoIsPerThread) {
  CGenException("mine", 1, "", "").ReportToCaller(kSomeClass);
  std::string other;
  std::thread([&] { other = TakeErrorDescription(); }).join();
  EXPECT_EQ(other, "<none>");
  EXPECT_EQ(TakeErrorDescription(), "mine\n\r\n\rError 1: mine  \n\r");
  EXPECT_EQ(TakeErrorDescription(), "<none>");  // taken once
}

TEST(GenException, NoSourceWhileClassIsUnregistered) {
  CGenException("x", 1, "", "").ReportToCaller(kSomeClass);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  zan::Bstr source;
  EXPECT_EQ(info->GetSource(source.out()), S_OK);
  EXPECT_TRUE(source.view().empty());
  GUID g;
  info->GetGUID(&g);
  EXPECT_EQ(g, GUID_NULL);
  info->Release();
}

}  // namespace
