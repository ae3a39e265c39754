#include "crypto/hashes.h"

#include <algorithm>
#include <array>

namespace p11 {
namespace {

const std::array<HashInfo, 5> kHashes = {{
    {CKM_SHA_1, CKM_SHA1_RSA_PKCS, CKM_SHA1_RSA_PKCS_PSS, CKG_MGF1_SHA1, common::Hash::Sha1},
    {CKM_SHA224, CKM_SHA224_RSA_PKCS, CKM_SHA224_RSA_PKCS_PSS, CKG_MGF1_SHA224,
     common::Hash::Sha224},
    {CKM_SHA256, CKM_SHA256_RSA_PKCS, CKM_SHA256_RSA_PKCS_PSS, CKG_MGF1_SHA256,
     common::Hash::Sha256},
    {CKM_SHA384, CKM_SHA384_RSA_PKCS, CKM_SHA384_RSA_PKCS_PSS, CKG_MGF1_SHA384,
     common::Hash::Sha384},
    {CKM_SHA512, CKM_SHA512_RSA_PKCS, CKM_SHA512_RSA_PKCS_PSS, CKG_MGF1_SHA512,
     common::Hash::Sha512},
}};

template <typename Field, typename Value>
const HashInfo* findBy(Field field, Value value) {
  const auto it = std::find_if(kHashes.begin(), kHashes.end(),
                               [&](const HashInfo& h) { return h.*field == value; });
  return it == kHashes.end() ? nullptr : &*it;
}

}  // namespace

const HashInfo* hashByDigest(CK_MECHANISM_TYPE m) { return findBy(&HashInfo::digest, m); }
const HashInfo* hashByRsaPkcs(CK_MECHANISM_TYPE m) { return findBy(&HashInfo::withRsaPkcs, m); }
const HashInfo* hashByRsaPss(CK_MECHANISM_TYPE m) { return findBy(&HashInfo::withRsaPss, m); }
const HashInfo* hashByMgf(CK_RSA_PKCS_MGF_TYPE mgf) { return findBy(&HashInfo::mgf, mgf); }

Digest::Digest(const HashInfo& hash) : hash_(hash), ctx_(EVP_MD_CTX_new()) {
  if (ctx_ != nullptr && EVP_DigestInit_ex(ctx_, hash.md(), nullptr) != 1) {
    EVP_MD_CTX_free(ctx_);
    ctx_ = nullptr;
  }
}

Digest::~Digest() { EVP_MD_CTX_free(ctx_); }

bool Digest::update(ByteView data) {
  return ctx_ != nullptr && EVP_DigestUpdate(ctx_, data.data(), data.size()) == 1;
}

bool Digest::finish(Bytes& out) {
  out.resize(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  if (ctx_ == nullptr || EVP_DigestFinal_ex(ctx_, out.data(), &n) != 1) return false;
  out.resize(n);
  return true;
}

bool digestOf(const HashInfo& hash, ByteView data, Bytes& out) {
  Digest d(hash);
  return d.update(data) && d.finish(out);
}

}  // namespace p11
