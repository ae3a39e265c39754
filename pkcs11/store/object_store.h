// The objects of the token as the application sees them: the key pairs in
// the token's slots, the certificates and data objects in the module's
// object files, and the application's session objects. The store keeps
// what it read until the token's directory changes, so that signing or
// reading an attribute sends no command to learn what the token holds.
#pragma once

#include <array>
#include <map>
#include <optional>

#include "common/token_shape.h"
#include "crypto/public_key_ops.h"
#include "records/attribute_values.h"
#include "records/directory.h"
#include "store/twin_file.h"
#include "token/login.h"

namespace p11 {

enum class ObjectKind { PublicKey, PrivateKey, TokenFile, Session };

struct Object {
  CK_OBJECT_HANDLE handle = 0;
  ObjectKind kind = ObjectKind::Session;
  int slot = -1;                // key pairs
  std::uint32_t number = 0;     // objects in object files
  CK_SESSION_HANDLE owner = 0;  // session objects
  bool isPrivate = false;
  Attributes attributes;
};

// What the module holds of a key pair's public half.
struct SlotKey {
  Modulus modulus{};
  common::Owned<EVP_PKEY> key;
  Bytes spki;
};

class ObjectStore {
 public:
  // Reads what changed on the token: the directory, the slots not known to
  // hold a key (every slot when `everySlot`), and the object files readable
  // with the application's login.
  CK_RV refresh(const TokenLock& lock, Login& login, bool everySlot);
  // After a logout: private objects are not kept.
  void forgetPrivate();
  // After formatting: nothing the store read holds any longer.
  void forgetAll();

  std::vector<const Object*> visible(bool userLoggedIn) const;
  const Object* find(CK_OBJECT_HANDLE handle, bool userLoggedIn) const;
  const SlotKey* slotKey(int slot) const;
  const Directory& directory() const { return directory_; }
  // A directory that is there but cannot be read (a newer format, or
  // spoilt) is never written over: the token is read-only for the module
  // until it is formatted.
  bool writeProtected() const { return directoryDamaged_; }
  // Reads the directory; CKR_TOKEN_WRITE_PROTECTED when it cannot be
  // changed. Checked before anything on the token changes.
  CK_RV checkWritable(const TokenLock& lock);

  // Changes on the token need the user logged in (checked here).
  CK_RV createTokenObject(const TokenLock& lock, Login& login, const Attributes& attributes,
                          bool isPrivate, CK_OBJECT_HANDLE& handle);
  CK_RV destroy(const TokenLock& lock, Login& login, const Object& object);  // token objects
  CK_RV setLabelAndId(const TokenLock& lock, Login& login, const Object& object,
                      const std::optional<Bytes>& label, const std::optional<Bytes>& id);
  // Reads every key-pair slot again (after a key pair was put in one).
  CK_RV readKeySlots(const TokenLock& lock);
  // What the directory says of a key pair the module just generated or
  // imported into entry.slot.
  CK_RV recordKeyPair(const TokenLock& lock, Login& login, const KeyEntry& entry);

  CK_OBJECT_HANDLE createSessionObject(CK_SESSION_HANDLE owner, const Attributes& attributes,
                                       bool isPrivate);
  void eraseSessionObject(CK_OBJECT_HANDLE handle);
  void dropSessionObjects(CK_SESSION_HANDLE owner);

 private:
  struct CachedFile {
    std::int32_t index = 0;
    std::uint16_t length = 0;
    Attributes attributes;
  };

  CK_RV readDirectory(const TokenLock& lock);
  CK_RV readSlots(const TokenLock& lock, bool everySlot);
  CK_RV readObjectFiles(const TokenLock& lock, Login& login);
  // The directory as the token holds it now, for a change; the user is
  // logged in on the token afterwards.
  CK_RV beginChange(const TokenLock& lock, Login& login);
  CK_RV commit(const TokenLock& lock, const Directory& next);
  CK_RV placeObject(const TokenLock& lock, Login& login, Directory& dir, std::uint32_t number,
                    const Attributes& attributes, bool isPrivate);
  CK_RV newObjectFile(const TokenLock& lock, Login& login, Directory& dir, std::int32_t capacity,
                      bool isPrivate, FileEntry*& file);
  void wipe(const TokenLock& lock, Login& login, std::int32_t index, std::uint16_t length);
  KeyEntry keyEntry(int slot) const;
  void rebuild();

  TwinState directoryState_;
  Directory directory_;
  bool directoryDamaged_ = false;
  std::array<std::optional<SlotKey>, common::kKeyPairSlots> slots_;
  std::map<std::uint32_t, CachedFile> files_;
  std::map<CK_OBJECT_HANDLE, Object> tokenObjects_;
  std::map<CK_OBJECT_HANDLE, Object> sessionObjects_;
  CK_OBJECT_HANDLE nextSessionObject_ = 0x40000000;
};

CK_OBJECT_HANDLE publicKeyHandle(int slot);
CK_OBJECT_HANDLE privateKeyHandle(int slot);

}  // namespace p11
