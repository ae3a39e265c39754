#include "crypto/public_key_ops.h"

#include <openssl/rsa.h>

#include <algorithm>

#include "common/rsa1024.h"

namespace p11 {
namespace {

using common::Owned;

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
  Bytes padded(common::kModulusBytes - std::min(value.size(), common::kModulusBytes), 0);
  padded.insert(padded.end(), value.begin(), value.end());
  return padded;
}

}  // namespace

CK_RV verifySignature(EVP_PKEY* key, const PaddingSpec& scheme, ByteView data, ByteView signature) {
  if (signature.size() != common::kModulusBytes) return CKR_SIGNATURE_LEN_RANGE;
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  if (!ctx) return CKR_FUNCTION_FAILED;
  if (scheme.padding == Padding::Raw) {
    // The raw operation recovers the whole block; compare it with the data.
    Bytes recovered(common::kModulusBytes);
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
    if (data.size() > common::kModulusBytes) return CKR_DATA_LEN_RANGE;
    input = leftPadded(data);
  }
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  if (!ctx) return CKR_FUNCTION_FAILED;
  if (EVP_PKEY_encrypt_init(ctx.get()) != 1 || !applyPadding(ctx.get(), scheme))
    return CKR_FUNCTION_FAILED;
  out.resize(common::kModulusBytes);
  std::size_t n = out.size();
  if (EVP_PKEY_encrypt(ctx.get(), out.data(), &n, input.data(), input.size()) != 1)
    return scheme.padding == Padding::Raw ? CKR_DATA_INVALID : CKR_DATA_LEN_RANGE;
  out.resize(n);
  return CKR_OK;
}

bool belowModulus(ByteView value, const Modulus& modulus) {
  const Bytes padded = leftPadded(value);
  return value.size() <= common::kModulusBytes &&
         std::lexicographical_compare(padded.begin(), padded.end(), modulus.begin(), modulus.end());
}

}  // namespace p11
