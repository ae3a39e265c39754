#include <gtest/gtest.h>

#include "crypto/certificates.h"
#include "io/tool_error.h"

namespace tkp30 {
namespace {

std::string oneLine(const X509_NAME& name) {
  common::Owned<BIO> bio(BIO_new(BIO_s_mem()));
  X509_NAME_print_ex(bio.get(), &name, 0, XN_FLAG_RFC2253);
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  return std::string(text, static_cast<std::size_t>(length));
}

TEST(Subject, SlashSeparatedFieldsWithEscapes) {
  EXPECT_EQ(oneLine(*parseSubject("/CN=Alice/O=Example\\/Org/C=CN")),
            "C=CN,O=Example/Org,CN=Alice");
  EXPECT_EQ(oneLine(*parseSubject("/CN=李")), "CN=\\E6\\9D\\8E");
}

TEST(Subject, AnythingElseIsAUsageError) {
  for (const char* bad : {"CN=x", "/", "/CN", "/=x", "/CN=", "/XX=x", "/CN=a/", "/C=toolong"})
    EXPECT_THROW(parseSubject(bad), UsageError) << bad;
}

TEST(EndEntityUse, PurposesInOpenSslsSpellingOnceEach) {
  const auto use = endEntityUse("CODESIGNING, clientAuth,codeSigning");
  EXPECT_TRUE(use.endEntity);
  EXPECT_EQ(use.extendedKeyUsages, (std::vector<std::string>{"codeSigning", "clientAuth"}));
}

TEST(EndEntityUse, AnythingButAPurposeIsAUsageError) {
  for (const char* bad :
       {"", "clientAuth,", "CN", "commonName", "mailSigning", "1.3.6.1.5.5.7.3.4"})
    EXPECT_THROW(endEntityUse(bad), UsageError) << bad;
}

}  // namespace
}  // namespace tkp30
