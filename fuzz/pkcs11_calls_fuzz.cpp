// The PKCS #11 module's call surface where callers hand it templates:
// C_CreateObject, C_FindObjectsInit, C_GetAttributeValue and
// C_SetAttributeValue on an emulated token that holds a key pair, a
// certificate and a data object. Every buffer is exactly as long as the
// length passed with it, so a read or write past what the caller gave
// shows up under the address sanitizer.
#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/x509.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "calls/calls.h"

namespace {

namespace c = p11::calls;
using Bytes = std::vector<std::uint8_t>;

CK_UTF8CHAR kSoPin[] = "11223344";
CK_UTF8CHAR kUserPin[] = "123456";
constexpr int kMaxAttributes = 10;
constexpr std::size_t kMaxValue = 96;
CK_SESSION_HANDLE g_session = 0;

// Types callers name, most of them ones the objects have.
constexpr CK_ATTRIBUTE_TYPE kTypes[] = {
    CKA_CLASS,        CKA_TOKEN,         CKA_PRIVATE,      CKA_LABEL,       CKA_APPLICATION,
    CKA_VALUE,        CKA_OBJECT_ID,     CKA_CERTIFICATE_TYPE, CKA_ISSUER,  CKA_SERIAL_NUMBER,
    CKA_TRUSTED,      CKA_CHECK_VALUE,   CKA_KEY_TYPE,     CKA_SUBJECT,     CKA_ID,
    CKA_SENSITIVE,    CKA_ENCRYPT,       CKA_DECRYPT,      CKA_SIGN,        CKA_VERIFY,
    CKA_MODULUS,      CKA_MODULUS_BITS,  CKA_PUBLIC_EXPONENT, CKA_PRIME_1,  CKA_MODIFIABLE,
    CKA_COPYABLE,     CKA_DESTROYABLE,   CKA_URL,          CKA_START_DATE,  CKA_ALLOWED_MECHANISMS};

// A template and the buffers behind it.
struct Template {
  std::vector<CK_ATTRIBUTE> attributes;
  std::vector<Bytes> values;
};

Template templateFrom(FuzzedDataProvider& in) {
  Template t;
  const int count = in.ConsumeIntegralInRange(0, kMaxAttributes);
  t.values.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    Bytes& value = t.values[static_cast<std::size_t>(i)];
    const CK_ATTRIBUTE_TYPE type =
        in.ConsumeBool() ? in.PickValueInArray(kTypes) : in.ConsumeIntegral<CK_ATTRIBUTE_TYPE>();
    value = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, kMaxValue));
    const bool nullValue = in.ConsumeIntegralInRange(0, 15) == 0;
    t.attributes.push_back({type, nullValue || value.empty() ? nullptr : value.data(),
                            nullValue ? in.ConsumeIntegralInRange<CK_ULONG>(0, 16) : value.size()});
  }
  return t;
}

CK_OBJECT_HANDLE pick(FuzzedDataProvider& in, const std::vector<CK_OBJECT_HANDLE>& objects) {
  return objects[in.ConsumeIntegralInRange<std::size_t>(0, objects.size() - 1)];
}

std::vector<CK_OBJECT_HANDLE> findAll(CK_SESSION_HANDLE s, Template& t) {
  std::vector<CK_OBJECT_HANDLE> found(32);
  CK_ULONG count = 0;
  if (c::FindObjectsInit(s, t.attributes.data(), t.attributes.size()) != CKR_OK) return {};
  c::FindObjects(s, found.data(), found.size(), &count);
  c::FindObjectsFinal(s);
  found.resize(count);
  return found;
}

// Sizes first, then values into buffers of those sizes, as callers do.
void readAttributes(CK_SESSION_HANDLE s, CK_OBJECT_HANDLE object, Template& t) {
  for (CK_ATTRIBUTE& a : t.attributes) a.pValue = nullptr;
  c::GetAttributeValue(s, object, t.attributes.data(), t.attributes.size());
  for (std::size_t i = 0; i < t.attributes.size(); ++i) {
    CK_ATTRIBUTE& a = t.attributes[i];
    if (a.ulValueLen == CK_UNAVAILABLE_INFORMATION || a.ulValueLen > 16384) a.ulValueLen = 0;
    t.values[i].assign(a.ulValueLen, 0);
    a.pValue = a.ulValueLen == 0 ? nullptr : t.values[i].data();
  }
  c::GetAttributeValue(s, object, t.attributes.data(), t.attributes.size());
}

Bytes certificate() {
  EVP_PKEY* key = EVP_RSA_gen(1024);
  X509* cert = X509_new();
  X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("fuzz"), -1, -1, 0);
  X509_set_issuer_name(cert, X509_get_subject_name(cert));
  X509_gmtime_adj(X509_getm_notBefore(cert), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
  X509_set_pubkey(cert, key);
  X509_sign(cert, key, EVP_sha256());
  unsigned char* der = nullptr;
  const int n = i2d_X509(cert, &der);
  Bytes out(der, der + n);
  OPENSSL_free(der);
  X509_free(cert);
  EVP_PKEY_free(key);
  return out;
}

void prepareToken() {
  CK_UTF8CHAR label[32];
  std::fill(std::begin(label), std::end(label), ' ');
  c::Initialize(nullptr);
  c::InitToken(0, kSoPin, 8, label);
  CK_SESSION_HANDLE s = 0;
  c::OpenSession(0, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &s);
  c::Login(s, CKU_SO, kSoPin, 8);
  c::InitPIN(s, kUserPin, 6);
  c::Logout(s);
  c::Login(s, CKU_USER, kUserPin, 6);
  CK_MECHANISM gen = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  CK_ULONG bits = 1024;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE pub[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}};
  CK_ATTRIBUTE priv[] = {{CKA_TOKEN, &yes, 1}};
  CK_OBJECT_HANDLE a = 0;
  CK_OBJECT_HANDLE b = 0;
  c::GenerateKeyPair(s, &gen, pub, 1, priv, 1, &a, &b);
  Bytes der = certificate();
  CK_OBJECT_CLASS certClass = CKO_CERTIFICATE;
  CK_CERTIFICATE_TYPE x509 = CKC_X_509;
  CK_ATTRIBUTE cert[] = {{CKA_CLASS, &certClass, sizeof certClass},
                         {CKA_CERTIFICATE_TYPE, &x509, sizeof x509},
                         {CKA_TOKEN, &yes, 1},
                         {CKA_VALUE, der.data(), der.size()}};
  c::CreateObject(s, cert, 4, &a);
  CK_OBJECT_CLASS dataClass = CKO_DATA;
  CK_ATTRIBUTE data[] = {{CKA_CLASS, &dataClass, sizeof dataClass}, {CKA_TOKEN, &yes, 1}};
  c::CreateObject(s, data, 2, &a);
  g_session = s;  // stays open, logged in, for every input
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = std::getenv("TKP30_FUZZ_TMP");
  const std::string dir = std::string(base != nullptr ? base : "/tmp") + "/pkcs11-calls";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  ::setenv("TKP30_SLOTS", ("emu:" + dir + "/token.img").c_str(), 1);
  prepareToken();
  return 0;
}

// Each input works in a session of its own, whose objects go with it; an
// object it puts on the token is destroyed again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CK_SESSION_HANDLE s = 0;
  if (c::OpenSession(0, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &s) != CKR_OK)
    return 0;
  while (in.remaining_bytes() > 0) {
    Template t = templateFrom(in);
    const std::vector<CK_OBJECT_HANDLE> objects = findAll(s, t);
    CK_OBJECT_HANDLE made = 0;
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0:
        if (c::CreateObject(s, t.attributes.data(), t.attributes.size(), &made) == CKR_OK)
          c::DestroyObject(s, made);
        break;
      case 1:
        if (!objects.empty()) readAttributes(s, pick(in, objects), t);
        break;
      default:
        if (!objects.empty())
          c::SetAttributeValue(s, pick(in, objects), t.attributes.data(),
                               t.attributes.size());
    }
  }
  c::CloseSession(s);
  return 0;
}
