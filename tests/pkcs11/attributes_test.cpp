// C_GetAttributeValue's rules for a whole template, and template checks.
#include <gtest/gtest.h>

#include "objects/template.h"
#include "records/attribute_values.h"

namespace p11test {
namespace {

using namespace p11;

TEST(Attributes, EveryEntryOfATemplateGetsAnAnswer) {
  Attributes a;
  a.set(CKA_LABEL, {'a', 'b', 'c'});
  a.setBool(CKA_SIGN, true);
  a.set(CKA_ID, {7});
  const CK_ATTRIBUTE_TYPE secret[] = {CKA_PRIME_1};
  std::uint8_t small[2];
  std::uint8_t roomy[8];
  CK_BBOOL sign = CK_FALSE;
  CK_ATTRIBUTE tmpl[] = {{CKA_LABEL, nullptr, 0},          // size only
                         {CKA_PRIME_1, roomy, 8},          // sensitive
                         {CKA_MODULUS, roomy, 8},          // not an attribute of it
                         {CKA_LABEL, small, sizeof small},  // too small
                         {CKA_SIGN, &sign, 1},
                         {CKA_ID, roomy, sizeof roomy}};
  const CK_RV rv = a.copyOut(tmpl, secret);
  EXPECT_TRUE(rv == CKR_ATTRIBUTE_SENSITIVE || rv == CKR_ATTRIBUTE_TYPE_INVALID ||
              rv == CKR_BUFFER_TOO_SMALL);
  EXPECT_EQ(tmpl[0].ulValueLen, 3u);
  EXPECT_EQ(tmpl[1].ulValueLen, CK_UNAVAILABLE_INFORMATION);
  EXPECT_EQ(tmpl[2].ulValueLen, CK_UNAVAILABLE_INFORMATION);
  EXPECT_EQ(tmpl[3].ulValueLen, CK_UNAVAILABLE_INFORMATION);
  EXPECT_EQ(sign, CK_TRUE);  // the others are still filled in
  EXPECT_EQ(tmpl[5].ulValueLen, 1u);
  EXPECT_EQ(roomy[0], 7);

  CK_ATTRIBUTE good[] = {{CKA_ID, roomy, sizeof roomy}};
  EXPECT_EQ(a.copyOut(good, secret), CKR_OK);
}

TEST(Attributes, MatchingNeedsEveryValue) {
  Attributes a;
  a.setUlong(CKA_CLASS, CKO_DATA);
  a.set(CKA_LABEL, {'x'});
  CK_OBJECT_CLASS data = CKO_DATA;
  CK_OBJECT_CLASS cert = CKO_CERTIFICATE;
  char x = 'x';
  CK_ATTRIBUTE both[] = {{CKA_CLASS, &data, sizeof data}, {CKA_LABEL, &x, 1}};
  CK_ATTRIBUTE other[] = {{CKA_CLASS, &cert, sizeof cert}};
  CK_ATTRIBUTE absent[] = {{CKA_ID, &x, 1}};
  EXPECT_TRUE(a.matches(both));
  EXPECT_TRUE(a.matches({}));
  EXPECT_FALSE(a.matches(other));
  EXPECT_FALSE(a.matches(absent));
}

TEST(Templates, RefuseNullValuesRepeatsAndWrongSizes) {
  CK_BBOOL yes = CK_TRUE;
  CK_ULONG wide = 0;
  CK_ATTRIBUTE nullValue[] = {{CKA_LABEL, nullptr, 4}};
  CK_ATTRIBUTE twice[] = {{CKA_TOKEN, &yes, 1}, {CKA_TOKEN, &yes, 1}};
  CK_ATTRIBUTE wideBool[] = {{CKA_TOKEN, &wide, sizeof wide}};
  EXPECT_EQ(Template(nullValue, 1).check(), CKR_ATTRIBUTE_VALUE_INVALID);
  EXPECT_EQ(Template(twice, 2).check(), CKR_TEMPLATE_INCONSISTENT);
  EXPECT_EQ(Template(nullptr, 1).check(), CKR_ARGUMENTS_BAD);
  std::optional<bool> token;
  EXPECT_EQ(Template(wideBool, 1).boolean(CKA_TOKEN, token), CKR_ATTRIBUTE_VALUE_INVALID);
}

}  // namespace
}  // namespace p11test
