#include <string>

#include "dom_fixture.h"
#include "platform/com/bstr.h"
#include "platform/dom/variant_text.h"

namespace zan::dom::test {
namespace {

VARIANT Make(VARTYPE vt) {
  VARIANT v{};
  v.vt = vt;
  return v;
}

TEST(VariantTextTest, StandardConversionOfCommonTypes) {
  zan::Bstr text(u"Caf\u00e9");
  VARIANT s = Make(VT_BSTR);
  s.bstrVal = text.get();
  EXPECT_EQ(VariantToText(s), "Caf\xc3\xa9");
  s.bstrVal = nullptr;
  EXPECT_EQ(VariantToText(s), "");
  EXPECT_EQ(VariantToText(Make(VT_EMPTY)), "");

  struct Case {
    VARIANT value;
    const char* text;
  };
  VARIANT i2 = Make(VT_I2), i4 = Make(VT_I4), i8 = Make(VT_I8), r8 = Make(VT_R8), r8big = Make(VT_R8),
          yes = Make(VT_BOOL), no = Make(VT_BOOL), ui4 = Make(VT_UI4);
  i2.iVal = -7;
  i4.lVal = 2147483647;
  i8.llVal = -9000000000LL;
  r8.dblVal = 1.5;
  r8big.dblVal = 1e20;
  yes.boolVal = VARIANT_TRUE;
  no.boolVal = VARIANT_FALSE;
  ui4.lVal = -1;
  for (const Case& c : {Case{i2, "-7"}, Case{i4, "2147483647"}, Case{i8, "-9000000000"}, Case{r8, "1.5"},
                        Case{r8big, "1E+20"}, Case{yes, "-1"}, Case{no, "0"}, Case{ui4, "4294967295"}}) {
    EXPECT_EQ(VariantToText(c.value), c.text) << c.value.vt;
  }
}

TEST(VariantTextTest, ByReferenceValuesAreFollowed) {
  zan::Bstr text(u"ref");
  BSTR b = text.get();
  VARIANT byref = Make(VT_BSTR | VT_BYREF);
  byref.pbstrVal = &b;
  EXPECT_EQ(VariantToText(byref), "ref");
  VARIANT inner = Make(VT_I4);
  inner.lVal = 42;
  VARIANT var = Make(VT_VARIANT | VT_BYREF);
  var.pvarVal = &inner;
  EXPECT_EQ(VariantToText(var), "42");
}

TEST(VariantTextTest, ValuesWithoutTextFormRaiseTypeMismatch) {
  for (VARTYPE vt : {VT_NULL, VT_ERROR, VT_DISPATCH, VT_UNKNOWN}) {
    EXPECT_EQ(Status([&] { VariantToText(Make(vt)); }), Hex(DISP_E_TYPEMISMATCH)) << vt;
  }
}

}  // namespace
}  // namespace zan::dom::test
