#include "rsa_public.h"

#include <openssl/core_names.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>

namespace p11 {
namespace {

constexpr unsigned long kPublicExponent = 65537;
// RSA's key type by its object identifier: libcrypto then builds the key
// with its own provider. By its short name "RSA" it would first ask any
// ENGINE an application registered for RSA (the openssl command and curl
// register libp11's), which cannot build a key from parameters.
constexpr char kRsaKeyType[] = "1.2.840.113549.1.1.1";

struct CtxFree {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
  void operator()(OSSL_PARAM_BLD* b) const { OSSL_PARAM_BLD_free(b); }
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
  void operator()(BIGNUM* n) const { BN_free(n); }
};
template <typename T>
using Owned = std::unique_ptr<T, CtxFree>;

bool applyPadding(EVP_PKEY_CTX* ctx, const PaddingSpec& scheme) {
  switch (scheme.padding) {
    case Padding::Pkcs1:
      return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) > 0 &&
             (scheme.hash == nullptr || EVP_PKEY_CTX_set_signature_md(ctx, scheme.hash->md()) > 0);
    case Padding::Raw: return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) > 0;
    case Padding::Pss:
      return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PSS_PADDING) > 0 &&
             EVP_PKEY_CTX_set_signature_md(ctx, scheme.hash->md()) > 0 &&
             EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, scheme.mgf->md()) > 0 &&
             EVP_PKEY_CTX_set_rsa_pss_saltlen(ctx, static_cast<int>(scheme.saltLength)) > 0;
    case Padding::Oaep: {
      if (EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) <= 0 ||
          EVP_PKEY_CTX_set_rsa_oaep_md(ctx, scheme.hash->md()) <= 0 ||
          EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, scheme.mgf->md()) <= 0)
        return false;
      if (scheme.label.empty()) return true;
      void* label = OPENSSL_memdup(scheme.label.data(), scheme.label.size());
      if (label == nullptr) return false;
      if (EVP_PKEY_CTX_set0_rsa_oaep_label(ctx, label, static_cast<int>(scheme.label.size())) > 0)
        return true;
      OPENSSL_free(label);
      return false;
    }
  }
  return false;
}

Bytes leftPadded(ByteView value) {
  Bytes padded(kModulusBytes - std::min(value.size(), kModulusBytes), 0);
  padded.insert(padded.end(), value.begin(), value.end());
  return padded;
}

}  // namespace

PkeyPtr rsaPublicKey(const Modulus& modulus) {
  Owned<BIGNUM> n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
  Owned<BIGNUM> e(BN_new());
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  if (!n || !e || !build || BN_set_word(e.get(), kPublicExponent) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1)
    return nullptr;
  Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, kRsaKeyType, nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    return nullptr;
  return PkeyPtr(key);
}

Bytes subjectPublicKeyInfo(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int n = i2d_PUBKEY(key, &der);
  if (n <= 0) return {};
  Bytes out(der, der + n);
  OPENSSL_free(der);
  return out;
}

CK_RV verifySignature(EVP_PKEY* key, const PaddingSpec& scheme, ByteView data, ByteView signature) {
  if (signature.size() != kModulusBytes) return CKR_SIGNATURE_LEN_RANGE;
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  if (!ctx) return CKR_FUNCTION_FAILED;
  if (scheme.padding == Padding::Raw) {
    // The raw operation recovers the whole block; compare it with the data.
    Bytes recovered(kModulusBytes);
    std::size_t n = recovered.size();
    if (EVP_PKEY_verify_recover_init(ctx.get()) != 1 || !applyPadding(ctx.get(), scheme) ||
        EVP_PKEY_verify_recover(ctx.get(), recovered.data(), &n, signature.data(),
                                signature.size()) != 1)
      return CKR_SIGNATURE_INVALID;
    recovered.resize(n);
    return leftPadded(recovered) == leftPadded(data) ? CKR_OK : CKR_SIGNATURE_INVALID;
  }
  if (EVP_PKEY_verify_init(ctx.get()) != 1 || !applyPadding(ctx.get(), scheme))
    return CKR_FUNCTION_FAILED;
  return EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), data.data(), data.size()) ==
                 1
             ? CKR_OK
             : CKR_SIGNATURE_INVALID;
}

CK_RV encryptWith(EVP_PKEY* key, const PaddingSpec& scheme, ByteView data, Bytes& out) {
  Bytes input(data.begin(), data.end());
  if (scheme.padding == Padding::Raw) {
    if (data.size() > kModulusBytes) return CKR_DATA_LEN_RANGE;
    input = leftPadded(data);
  }
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  if (!ctx) return CKR_FUNCTION_FAILED;
  if (EVP_PKEY_encrypt_init(ctx.get()) != 1 || !applyPadding(ctx.get(), scheme))
    return CKR_FUNCTION_FAILED;
  out.resize(kModulusBytes);
  std::size_t n = out.size();
  if (EVP_PKEY_encrypt(ctx.get(), out.data(), &n, input.data(), input.size()) != 1)
    return scheme.padding == Padding::Raw ? CKR_DATA_INVALID : CKR_DATA_LEN_RANGE;
  out.resize(n);
  return CKR_OK;
}

bool belowModulus(ByteView value, const Modulus& modulus) {
  const Bytes padded = leftPadded(value);
  return value.size() <= kModulusBytes &&
         std::lexicographical_compare(padded.begin(), padded.end(), modulus.begin(), modulus.end());
}

}  // namespace p11
