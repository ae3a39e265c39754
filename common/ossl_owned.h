// libcrypto objects owned by std::unique_ptr, each freed by its own call.
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace common {

struct OsslFree {
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(BIGNUM* p) const { BN_clear_free(p); }
  void operator()(BN_CTX* p) const { BN_CTX_free(p); }
  void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(X509_REQ* p) const { X509_REQ_free(p); }
  void operator()(X509_NAME* p) const { X509_NAME_free(p); }
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
  void operator()(ASN1_INTEGER* p) const { ASN1_INTEGER_free(p); }
};

template <typename T>
using Owned = std::unique_ptr<T, OsslFree>;

// The DER that one of libcrypto's i2d_ calls makes of a value; empty when
// it fails.
template <typename T, typename Encode>
std::vector<std::uint8_t> derOf(const T* value, Encode encode) {
  unsigned char* out = nullptr;
  const int n = encode(value, &out);
  if (n <= 0) return {};
  std::vector<std::uint8_t> der(out, out + n);
  OPENSSL_free(out);
  return der;
}

}  // namespace common
