// The application's sessions and the operations running in each.
#pragma once

#include <map>
#include <memory>
#include <optional>

#include "common/secret_bytes.h"
#include "crypto/mechanisms.h"

namespace p11 {

// A sign, verify, encrypt or decrypt operation with one key.
struct KeyOperation {
  KeyMechanism mechanism;
  CK_OBJECT_HANDLE key = 0;
  int slot = -1;
  Modulus modulus{};
  common::Owned<EVP_PKEY> publicKey;  // verify and encrypt
  std::unique_ptr<Digest> digest;     // mechanisms that digest the data first
  common::SecretBytes collected;      // the others, in parts: may be plaintext
  bool inParts = false;               // an update ran: only the final call ends it
};

// A digest operation; as for KeyOperation, an update makes it multi-part.
struct DigestOperation {
  explicit DigestOperation(const HashInfo& hash) : digest(hash) {}
  Digest digest;
  bool inParts = false;
};

struct FindOperation {
  std::vector<CK_OBJECT_HANDLE> found;
  std::size_t next = 0;
};

struct Session {
  CK_SESSION_HANDLE handle = 0;
  CK_FLAGS flags = 0;
  std::optional<FindOperation> find;
  std::unique_ptr<DigestOperation> digest;
  std::unique_ptr<KeyOperation> sign, verify, encrypt, decrypt;

  bool readWrite() const { return (flags & CKF_RW_SESSION) != 0; }
  void endKeyOperations() {
    sign.reset();
    verify.reset();
    encrypt.reset();
    decrypt.reset();
  }
};

class Sessions {
 public:
  Session& open(CK_FLAGS flags);
  Session* find(CK_SESSION_HANDLE handle);
  void close(CK_SESSION_HANDLE handle) { sessions_.erase(handle); }
  std::vector<CK_SESSION_HANDLE> handles() const;
  std::size_t count() const { return sessions_.size(); }
  std::size_t readOnlyCount() const;
  template <typename F>
  void forEach(F f) {
    for (auto& [handle, session] : sessions_) f(session);
  }

 private:
  std::map<CK_SESSION_HANDLE, Session> sessions_;
  CK_SESSION_HANDLE next_ = 1;
};

}  // namespace p11
