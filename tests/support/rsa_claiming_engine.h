// An ENGINE that claims RSA's key methods as the process's default, as the
// openssl command and curl do with libp11's pkcs11 engine. While one is
// registered, libcrypto asks it first for anything it looks up as "RSA".
#pragma once

#include <openssl/engine.h>
#include <openssl/evp.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

class RsaClaimingEngine {
 public:
  RsaClaimingEngine() : engine_(ENGINE_new()) {
    ok_ = engine_ != nullptr && ENGINE_set_id(engine_, "claims-rsa") == 1 &&
          ENGINE_set_name(engine_, "claims RSA") == 1 &&
          ENGINE_set_pkey_meths(engine_, methods) == 1 &&
          ENGINE_set_default(engine_, ENGINE_METHOD_PKEY_METHS) == 1;
  }
  ~RsaClaimingEngine() {
    if (engine_ == nullptr) return;
    ENGINE_unregister_pkey_meths(engine_);
    ENGINE_free(engine_);
  }
  RsaClaimingEngine(const RsaClaimingEngine&) = delete;
  RsaClaimingEngine& operator=(const RsaClaimingEngine&) = delete;

  bool registered() const { return ok_; }

 private:
  // libcrypto's own RSA method, copied: the engine serves every RSA
  // operation but cannot build a key from parameters, as libp11's cannot.
  static int methods(ENGINE*, EVP_PKEY_METHOD** method, const int** nids, int nid) {
    static const int kNids[] = {EVP_PKEY_RSA};
    if (method == nullptr) {
      *nids = kNids;
      return 1;
    }
    static EVP_PKEY_METHOD* const rsa = [] {
      EVP_PKEY_METHOD* m = EVP_PKEY_meth_new(EVP_PKEY_RSA, 0);
      if (m != nullptr) EVP_PKEY_meth_copy(m, EVP_PKEY_meth_find(EVP_PKEY_RSA));
      return m;
    }();
    *method = nid == EVP_PKEY_RSA ? rsa : nullptr;
    return *method != nullptr ? 1 : 0;
  }

  ENGINE* engine_;
  bool ok_ = false;
};

#pragma GCC diagnostic pop
