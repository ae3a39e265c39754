// The hash functions behind the digest, signature, PSS and OAEP mechanisms.
#pragma once

#include <openssl/evp.h>

#include "ck/ck.h"
#include "common/digest_info.h"

namespace p11 {

// A hash function as the mechanisms name it; what it is comes from
// common/digest_info.h.
struct HashInfo {
  CK_MECHANISM_TYPE digest;       // CKM_SHA256
  CK_MECHANISM_TYPE withRsaPkcs;  // CKM_SHA256_RSA_PKCS
  CK_MECHANISM_TYPE withRsaPss;   // CKM_SHA256_RSA_PKCS_PSS
  CK_RSA_PKCS_MGF_TYPE mgf;       // CKG_MGF1_SHA256
  common::Hash hash;

  const EVP_MD* md() const { return common::specOf(hash).md(); }
  std::size_t size() const { return common::specOf(hash).size; }
};

const HashInfo* hashByDigest(CK_MECHANISM_TYPE mechanism);
const HashInfo* hashByRsaPkcs(CK_MECHANISM_TYPE mechanism);
const HashInfo* hashByRsaPss(CK_MECHANISM_TYPE mechanism);
const HashInfo* hashByMgf(CK_RSA_PKCS_MGF_TYPE mgf);

// A running digest.
class Digest {
 public:
  explicit Digest(const HashInfo& hash);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;
  bool ok() const { return ctx_ != nullptr; }
  bool update(ByteView data);
  bool finish(Bytes& out);
  const HashInfo& hash() const { return hash_; }

 private:
  const HashInfo& hash_;
  EVP_MD_CTX* ctx_;
};

bool digestOf(const HashInfo& hash, ByteView data, Bytes& out);

}  // namespace p11
