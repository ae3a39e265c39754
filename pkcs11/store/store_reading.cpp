// What the store reads of the token, and when it must read again.
#include <algorithm>
#include <cstring>

#include "common/rsa_public_key.h"
#include "common/token_shape.h"
#include "objects/key_attributes.h"
#include "records/object_codec.h"
#include "store/object_store.h"
#include "token/dal_results.h"
#include "token/token_files.h"
#include "token/token_keys.h"

namespace p11 {
namespace {

SlotKey slotKeyOf(const Modulus& modulus) {
  // A key libcrypto cannot build is still listed and still signs on the
  // token; what needs it in software fails.
  SlotKey key;
  key.modulus = modulus;
  key.key = common::rsaPublicKey(modulus);
  if (key.key) key.spki = common::subjectPublicKeyInfo(key.key.get());
  return key;
}

}  // namespace

CK_RV ObjectStore::refresh(const TokenLock& lock) {
  CK_RV rv = readDirectory(lock);
  if (rv == CKR_OK) rv = probeSlots(lock);
  rebuild();
  return rv;
}

CK_RV ObjectStore::checkWritable(const TokenLock& lock) {
  if (const CK_RV rv = readDirectory(lock); rv != CKR_OK) return rv;
  return directoryDamaged_ ? CKR_TOKEN_WRITE_PROTECTED : CKR_OK;
}

CK_RV ObjectStore::writeProtected(const TokenLock& lock, bool& protectedToken) {
  const CK_RV rv = directoryState_.loaded ? readDirectory(lock) : CKR_OK;
  protectedToken = directoryDamaged_;
  return rv;
}

CK_RV ObjectStore::readDirectory(const TokenLock& lock) {
  const Bytes before = directoryState_.payload;
  const int newestBefore = directoryState_.newest;
  if (const CK_RV rv = freshenTwin(lock, kDirectoryFile, directoryState_); rv != CKR_OK) return rv;
  if (newestBefore >= 0 && directoryState_.newest >= 0 && directoryState_.payload == before)
    return CKR_OK;
  directoryDamaged_ = directoryState_.unreadable;
  directory_ = Directory{};
  if (directoryState_.newest < 0) return CKR_OK;
  if (auto decoded = decodeDirectory(directoryState_.payload))
    directory_ = std::move(*decoded);
  else
    directoryDamaged_ = true;  // shown as empty, never written over
  return CKR_OK;
}

// Slots fill in order and are never freed, so the slots after the first
// empty one are empty too, and a slot that held a key holds it until the
// token is formatted: only the first slot neither read nor claimed by the
// directory can have changed.
CK_RV ObjectStore::probeSlots(const TokenLock& lock) {
  for (int slot = 0; slot < common::kKeyPairSlots; ++slot) {
    if (slots_[static_cast<std::size_t>(slot)] || claimed(slot)) continue;
    Modulus modulus{};
    const std::int32_t rv = readModulus(lock, slot, modulus);
    if (rv == NORV_DAL_ERR_OPEN_DEVICE) return CKR_DEVICE_REMOVED;
    if (rv != NORV_DAL_OK) return CKR_OK;
    slots_[static_cast<std::size_t>(slot)] = slotKeyOf(modulus);
  }
  return CKR_OK;
}

CK_RV ObjectStore::loadSlot(const TokenLock& lock, int slot) {
  const auto s = static_cast<std::size_t>(slot);
  if (slots_[s]) return CKR_OK;
  Modulus modulus{};
  const std::int32_t rv = readModulus(lock, slot, modulus);
  if (rv == NORV_DAL_ERR_OPEN_DEVICE) return CKR_DEVICE_REMOVED;
  if (rv != NORV_DAL_OK) {
    claimsFailed_[s] = true;  // the directory spoke of a key that is not there
    return CKR_OK;
  }
  claimsFailed_[s] = false;
  slots_[s] = slotKeyOf(modulus);
  return CKR_OK;
}

const SlotKey* ObjectStore::slotKey(const TokenLock& lock, int slot) {
  if (slot < 0 || slot >= common::kKeyPairSlots) return nullptr;
  if (loadSlot(lock, slot) != CKR_OK) return nullptr;
  rebuild();
  const auto& key = slots_[static_cast<std::size_t>(slot)];
  return key ? &*key : nullptr;
}

CK_RV ObjectStore::loadFile(const TokenLock& lock, Login& login, const FileEntry& f) {
  if (cachedFile(f) != nullptr) return CKR_OK;
  Bytes content(f.length);
  const auto read = [&] { return readTokenFile(lock, f.index, 0, content); };
  const CK_RV rv = f.isPrivate ? login.asUser(lock, CKR_DEVICE_ERROR, read)
                               : (read() == NORV_DAL_OK ? CKR_OK : CKR_DEVICE_ERROR);
  if (rv == CKR_DEVICE_REMOVED || rv == CKR_USER_NOT_LOGGED_IN) return rv;
  // An object that cannot be read, or does not decode, is not shown.
  files_[f.object] =
      CachedFile{f.index, f.length, rv == CKR_OK ? decodeObject(f.object, content) : std::nullopt};
  return CKR_OK;
}

const ObjectStore::CachedFile* ObjectStore::cachedFile(const FileEntry& f) const {
  const auto it = files_.find(f.object);
  if (it == files_.end() || it->second.index != f.index || it->second.length != f.length)
    return nullptr;
  return &it->second;
}

CK_RV ObjectStore::materialize(const TokenLock& lock, Login& login, CK_OBJECT_HANDLE handle) {
  const auto it = tokenObjects_.find(handle);
  if (it == tokenObjects_.end() || it->second.complete) return CKR_OK;
  const Object& object = it->second;
  CK_RV rv = CKR_OK;
  if (object.kind == ObjectKind::TokenFile) {
    const FileEntry* f = directory_.fileHolding(object.number);
    if (f != nullptr) rv = loadFile(lock, login, *f);
  } else {
    rv = loadSlot(lock, object.slot);
  }
  rebuild();
  return rv;
}

namespace {

bool names(std::span<const CK_ATTRIBUTE> tmpl, CK_ATTRIBUTE_TYPE type) {
  return std::any_of(tmpl.begin(), tmpl.end(),
                     [&](const CK_ATTRIBUTE& a) { return a.type == type; });
}

// Object files hold certificates and data objects only.
bool filesMayMatch(std::span<const CK_ATTRIBUTE> tmpl) {
  for (const CK_ATTRIBUTE& a : tmpl) {
    if (a.type != CKA_CLASS || a.ulValueLen != sizeof(CK_OBJECT_CLASS)) continue;
    CK_OBJECT_CLASS asked = 0;
    std::memcpy(&asked, a.pValue, sizeof asked);
    return asked == CKO_DATA || asked == CKO_CERTIFICATE;
  }
  return true;
}

}  // namespace

CK_RV ObjectStore::materializeFor(const TokenLock& lock, Login& login,
                                  std::span<const CK_ATTRIBUTE> tmpl) {
  if (tmpl.empty()) return CKR_OK;
  const bool files = filesMayMatch(tmpl);
  const bool keys = names(tmpl, CKA_MODULUS) || names(tmpl, CKA_PUBLIC_KEY_INFO);
  std::vector<CK_OBJECT_HANDLE> pending;
  for (const Object* o : visible(login.user())) {
    const bool wanted = o->kind == ObjectKind::TokenFile ? files : keys;
    if (!o->complete && wanted) pending.push_back(o->handle);
  }
  for (const CK_OBJECT_HANDLE handle : pending)
    if (const CK_RV rv = materialize(lock, login, handle); rv != CKR_OK) return rv;
  return CKR_OK;
}

bool ObjectStore::claimed(int slot) const {
  return directory_.key(slot) != nullptr && !claimsFailed_[static_cast<std::size_t>(slot)];
}

KeyEntry ObjectStore::keyEntry(int slot) const {
  const KeyEntry* known = directory_.key(slot);
  const auto& key = slots_[static_cast<std::size_t>(slot)];
  if (!key) return *known;  // claimed, not read yet
  if (known != nullptr && known->fingerprint == fingerprintOf(key->modulus)) return *known;
  return defaultKeyEntry(slot, key->modulus);
}

void ObjectStore::addKeyObjects(int slot) {
  const auto& key = slots_[static_cast<std::size_t>(slot)];
  const KeyEntry entry = keyEntry(slot);
  const Modulus* modulus = key ? &key->modulus : nullptr;
  const ByteView spki = key ? ByteView(key->spki) : ByteView{};
  if (!entry.publicHalf.hidden) {
    Object o{publicKeyHandle(slot),
             ObjectKind::PublicKey,
             slot,
             0,
             0,
             entry.publicHalf.isPrivate,
             publicKeyAttributes(entry, modulus, spki),
             key.has_value()};
    tokenObjects_[o.handle] = std::move(o);
  }
  if (!entry.privateHalf.hidden) {
    Object o{privateKeyHandle(slot),
             ObjectKind::PrivateKey,
             slot,
             0,
             0,
             true,
             privateKeyAttributes(entry, modulus, spki),
             key.has_value()};
    tokenObjects_[o.handle] = std::move(o);
  }
}

void ObjectStore::addFileObject(const FileEntry& f) {
  const CachedFile* cached = cachedFile(f);
  if (cached != nullptr && !cached->attributes) return;  // unreadable: not shown
  Object o{fileObjectHandle(f.object),
           ObjectKind::TokenFile,
           -1,
           f.object,
           0,
           f.isPrivate,
           cached != nullptr ? *cached->attributes : Attributes{},
           cached != nullptr};
  tokenObjects_[o.handle] = std::move(o);
}

void ObjectStore::rebuild() {
  tokenObjects_.clear();
  for (int slot = 0; slot < common::kKeyPairSlots; ++slot)
    if (slots_[static_cast<std::size_t>(slot)] || claimed(slot)) addKeyObjects(slot);
  for (const FileEntry& f : directory_.files)
    if (f.object != 0 && !f.unusable) addFileObject(f);
}

}  // namespace p11
