// The objects of the token as the application sees them: the key pairs in
// the token's slots, the certificates and data objects in the module's
// object files, and the application's session objects.
//
// The store reads each thing on the token once and keeps it until it may
// have changed. What only a program's own change can alter, it keeps for
// good: a key in a slot stays until the token is formatted, and an
// object's file is rewritten only under a new directory entry. Only the
// directory and the first empty key slot can tell of another program's
// change, so a listing (refresh) reads those and nothing else; the
// contents of object files and the moduli of the module's own keys are
// read when first needed (materialize).
#pragma once

#include <array>
#include <map>
#include <optional>

#include "common/ossl_owned.h"
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
  bool complete = true;  // false until what the token holds of it was read
};

// What the module holds of a key pair's public half.
struct SlotKey {
  Modulus modulus{};
  common::Owned<EVP_PKEY> key;
  Bytes spki;
};

class ObjectStore {
 public:
  // Makes the object set current: the directory, and whether a program
  // put a key pair into the first slot that was empty.
  CK_RV refresh(const TokenLock& lock);
  // Reads what the object needs of the token (an object file's contents,
  // a key's modulus). An object that turns out unreadable is dropped.
  CK_RV materialize(const TokenLock& lock, Login& login, CK_OBJECT_HANDLE handle);
  // Whatever a search by this template must see of the visible objects: an
  // object file's contents unless the template asks for a class no file
  // holds, a key's modulus when the template names it.
  CK_RV materializeFor(const TokenLock& lock, Login& login, std::span<const CK_ATTRIBUTE> tmpl);
  // After a logout: private objects are not kept.
  void forgetPrivate();
  // After formatting: nothing the store read holds any longer.
  void forgetAll();

  std::vector<const Object*> visible(bool userLoggedIn) const;
  const Object* find(CK_OBJECT_HANDLE handle, bool userLoggedIn) const;
  // The key of a slot, read when it was not; null when there is none.
  const SlotKey* slotKey(const TokenLock& lock, int slot);
  const Directory& directory() const { return directory_; }
  // A directory that is there but cannot be read (a newer format, or
  // spoilt) is never written over: the token is read-only for the module
  // until it is formatted. Told as far as the directory was read: one read
  // before is checked again, one never read is left for the first listing
  // or change.
  CK_RV writeProtected(const TokenLock& lock, bool& protectedToken);
  // Reads the directory; CKR_TOKEN_WRITE_PROTECTED when it cannot be
  // changed. Checked before anything on the token changes.
  CK_RV checkWritable(const TokenLock& lock);

  // Changes on the token need the user logged in (checked here).
  CK_RV createTokenObject(const TokenLock& lock, Login& login, const Attributes& attributes,
                          bool isPrivate, CK_OBJECT_HANDLE& handle);
  CK_RV destroy(const TokenLock& lock, Login& login, const Object& object);  // token objects
  CK_RV setLabelAndId(const TokenLock& lock, Login& login, const Object& object,
                      const std::optional<Bytes>& label, const std::optional<Bytes>& id);
  // What the directory says of a key pair the module just generated or
  // imported into entry.slot (read here from the token).
  CK_RV recordKeyPair(const TokenLock& lock, Login& login, const KeyEntry& entry);

  CK_OBJECT_HANDLE createSessionObject(CK_SESSION_HANDLE owner, const Attributes& attributes,
                                       bool isPrivate);
  void eraseSessionObject(CK_OBJECT_HANDLE handle);
  void dropSessionObjects(CK_SESSION_HANDLE owner);

 private:
  struct CachedFile {
    std::int32_t index = 0;
    std::uint16_t length = 0;
    std::optional<Attributes> attributes;  // none: the file does not read as its object
  };

  // store_reading.cpp
  CK_RV readDirectory(const TokenLock& lock);
  CK_RV probeSlots(const TokenLock& lock);
  CK_RV loadSlot(const TokenLock& lock, int slot);
  CK_RV loadFile(const TokenLock& lock, Login& login, const FileEntry& file);
  const CachedFile* cachedFile(const FileEntry& file) const;
  bool claimed(int slot) const;
  KeyEntry keyEntry(int slot) const;
  void rebuild();
  void addKeyObjects(int slot);
  void addFileObject(const FileEntry& file);

  // store_changes.cpp
  CK_RV beginChange(const TokenLock& lock, Login& login);
  CK_RV commit(const TokenLock& lock, const Directory& next);
  CK_RV placeObject(const TokenLock& lock, Login& login, Directory& dir, std::uint32_t number,
                    const Attributes& attributes, bool isPrivate);
  CK_RV newObjectFile(const TokenLock& lock, Login& login, Directory& dir, std::int32_t capacity,
                      bool isPrivate, FileEntry*& file);
  void wipe(const TokenLock& lock, Login& login, std::int32_t index, std::uint16_t length);

  TwinState directoryState_;
  Directory directory_;
  bool directoryDamaged_ = false;
  // Slots read and found holding a key; a key stays until a format.
  std::array<std::optional<SlotKey>, common::kKeyPairSlots> slots_;
  // Slots the directory claims whose key could not be read.
  std::array<bool, common::kKeyPairSlots> claimsFailed_{};
  std::map<std::uint32_t, CachedFile> files_;
  std::map<CK_OBJECT_HANDLE, Object> tokenObjects_;
  std::map<CK_OBJECT_HANDLE, Object> sessionObjects_;
  CK_OBJECT_HANDLE nextSessionObject_ = 0x40000000;
};

CK_OBJECT_HANDLE publicKeyHandle(int slot);
CK_OBJECT_HANDLE privateKeyHandle(int slot);
CK_OBJECT_HANDLE fileObjectHandle(std::uint32_t number);

}  // namespace p11
