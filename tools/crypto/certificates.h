// PKCS #10 certificate requests and self-signed X.509 certificates for a
// key pair on the token, built by libcrypto; only the signature comes
// from the token.
#pragma once

#include <string>
#include <vector>

#include "common/digest_info.h"
#include "common/ossl_owned.h"
#include "crypto/digest.h"
#include "crypto/token_rsa_key.h"

namespace tkp30 {

// A distinguished name written as "/CN=Alice/O=Example" (a '\' takes the
// next character as it is). Throws UsageError for anything else.
common::Owned<X509_NAME> parseSubject(const std::string& text);

// The request, signed by the token, as PEM.
std::string makeRequestPem(const TokenRsaKey& key, const X509_NAME& subject, common::Hash hash);

// What a self-signed certificate's key may do: sign certificates and
// lists of revoked ones (a CA's, the default), or, for an end entity,
// sign and take keys for the purposes named by their OpenSSL short names.
// NSS and others refuse a CA's key usages for mail and documents.
struct CertificateUse {
  bool endEntity = false;
  std::vector<std::string> extendedKeyUsages;
};

// An end entity's use for `list`, purposes separated by commas
// ("clientAuth,emailProtection"). Throws UsageError for a name that is
// not a purpose, with the names that are.
CertificateUse endEntityUse(const std::string& list);

// A certificate for the key, issued by itself, valid from now for `days`
// days, signed by the token, as PEM.
std::string makeSelfSignedPem(const TokenRsaKey& key, const X509_NAME& subject, int days,
                              common::Hash hash, const CertificateUse& use = {});

}  // namespace tkp30
