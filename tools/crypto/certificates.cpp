#include "crypto/certificates.h"

#include <openssl/pem.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <vector>

#include "common/digest_info.h"
#include "common/ossl_owned.h"
#include "io/tool_error.h"

namespace tkp30 {
namespace {

constexpr long kSecondsPerDay = 24L * 60 * 60;
constexpr std::size_t kSerialBytes = 8;

// The purposes an end entity's certificate may name, written as OpenSSL
// writes them; a name is taken in any case.
constexpr std::array<std::string_view, 12> kPurposes = {
    "serverAuth",   "clientAuth",       "codeSigning", "emailProtection",
    "timeStamping", "OCSPSigning",      "ipsecIKE",    "msCodeInd",
    "msCodeCom",    "msSmartcardLogin", "msEFS",       "anyExtendedKeyUsage"};

// "/A=x/B=y" split at unescaped slashes, escapes resolved.
std::vector<std::string> splitComponents(const std::string& text) {
  if (text.size() < 2 || text.front() != '/')
    throw UsageError("--subject is written as /CN=name/O=organisation...");
  std::vector<std::string> parts(1);
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      parts.back().push_back(text[++i]);
    } else if (text[i] == '/') {
      parts.emplace_back();
    } else {
      parts.back().push_back(text[i]);
    }
  }
  return parts;
}

template <typename T>
std::string pemOf(int (*write)(BIO*, const T*), const T* object) {
  common::Owned<BIO> bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get(), object) != 1) throw Failure("cannot write PEM");
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  return std::string(text, static_cast<std::size_t>(length));
}

void addExtension(X509* cert, X509V3_CTX& ctx, int nid, const char* value) {
  common::Owned<X509_EXTENSION> extension(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
  if (!extension || X509_add_ext(cert, extension.get(), -1) != 1)
    throw Failure("cannot add a certificate extension");
}

common::Owned<ASN1_INTEGER> randomSerial() {
  std::array<std::uint8_t, kSerialBytes> bytes{};
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
    throw Failure("no random serial number");
  bytes[0] &= 0x7F;  // positive
  bytes[0] |= 0x40;  // and of full length
  common::Owned<BIGNUM> number(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
  common::Owned<ASN1_INTEGER> serial(number ? BN_to_ASN1_INTEGER(number.get(), nullptr) : nullptr);
  if (!serial) throw Failure("no random serial number");
  return serial;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view purposeNamed(std::string_view name) {
  for (const std::string_view purpose : kPurposes)
    if (sameIgnoringCase(purpose, name)) return purpose;
  std::string listing;
  for (const std::string_view purpose : kPurposes)
    listing.append(listing.empty() ? "" : ", ").append(purpose);
  throw UsageError("--eku: \"" + std::string(name) +
                   "\" is not an extended key usage; choose from " + listing);
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text.append(text.empty() ? "" : ",").append(name);
  return text;
}

void addUseExtensions(X509* cert, X509V3_CTX& ctx, const CertificateUse& use) {
  if (use.endEntity) {
    addExtension(cert, ctx, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert, ctx, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    if (!use.extendedKeyUsages.empty())
      addExtension(cert, ctx, NID_ext_key_usage, joined(use.extendedKeyUsages).c_str());
  } else {
    addExtension(cert, ctx, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(cert, ctx, NID_key_usage, "critical,digitalSignature,keyCertSign,cRLSign");
  }
  addExtension(cert, ctx, NID_subject_key_identifier, "hash");
}

void fillCertificate(X509* cert, const TokenRsaKey& key, const X509_NAME& subject, int days,
                     const CertificateUse& use) {
  const auto serial = randomSerial();
  if (X509_set_version(cert, X509_VERSION_3) != 1 ||
      X509_set_serialNumber(cert, serial.get()) != 1 ||
      X509_set_subject_name(cert, &subject) != 1 || X509_set_issuer_name(cert, &subject) != 1 ||
      X509_gmtime_adj(X509_getm_notBefore(cert), 0) == nullptr ||
      X509_gmtime_adj(X509_getm_notAfter(cert), days * kSecondsPerDay) == nullptr ||
      X509_set_pubkey(cert, key.get()) != 1)
    throw Failure("cannot build the certificate");
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  addUseExtensions(cert, ctx, use);
}

const EVP_MD* mdOf(common::Hash hash) { return common::specOf(hash).md(); }

}  // namespace

common::Owned<X509_NAME> parseSubject(const std::string& text) {
  common::Owned<X509_NAME> name(X509_NAME_new());
  if (!name) throw Failure("out of memory");
  for (const std::string& part : splitComponents(text)) {
    const std::size_t equals = part.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == part.size())
      throw UsageError("--subject: \"" + part + "\" is not FIELD=value");
    const std::string field = part.substr(0, equals);
    if (OBJ_txt2nid(field.c_str()) == NID_undef)
      throw UsageError("--subject: unknown field \"" + field + "\" (CN, O, OU, C, L, ST...)");
    const std::string value = part.substr(equals + 1);
    if (X509_NAME_add_entry_by_txt(name.get(), field.c_str(), MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1,
                                   0) != 1)
      throw UsageError("--subject: the value of " + field + " does not suit it");
  }
  return name;
}

CertificateUse endEntityUse(const std::string& list) {
  CertificateUse use{true, {}};
  std::string_view rest = list;
  for (;;) {
    const std::size_t comma = rest.find(',');
    const std::string purpose(purposeNamed(trimmed(rest.substr(0, comma))));
    auto& usages = use.extendedKeyUsages;
    if (std::find(usages.begin(), usages.end(), purpose) == usages.end()) usages.push_back(purpose);
    if (comma == std::string_view::npos) return use;
    rest.remove_prefix(comma + 1);
  }
}

std::string makeRequestPem(const TokenRsaKey& key, const X509_NAME& subject, common::Hash hash) {
  common::Owned<X509_REQ> request(X509_REQ_new());
  if (!request || X509_REQ_set_version(request.get(), X509_REQ_VERSION_1) != 1 ||
      X509_REQ_set_subject_name(request.get(), &subject) != 1 ||
      X509_REQ_set_pubkey(request.get(), key.get()) != 1)
    throw Failure("cannot build the certificate request");
  const int signatureLength = X509_REQ_sign(request.get(), key.get(), mdOf(hash));
  key.throwIfTokenFailed();
  if (signatureLength <= 0) throw Failure("cannot sign the certificate request");
  return pemOf(PEM_write_bio_X509_REQ, request.get());
}

std::string makeSelfSignedPem(const TokenRsaKey& key, const X509_NAME& subject, int days,
                              common::Hash hash, const CertificateUse& use) {
  common::Owned<X509> cert(X509_new());
  if (!cert) throw Failure("out of memory");
  fillCertificate(cert.get(), key, subject, days, use);
  const int signatureLength = X509_sign(cert.get(), key.get(), mdOf(hash));
  key.throwIfTokenFailed();
  if (signatureLength <= 0) throw Failure("cannot sign the certificate");
  return pemOf(PEM_write_bio_X509, cert.get());
}

}  // namespace tkp30
