// Changes to the token's objects: every one reads the directory as the
// token holds it now, changes the files it must, and commits a new
// directory; a crash at any point loses nothing the directory named.
#include <algorithm>

#include "common/module_range.h"
#include "objects/key_attributes.h"
#include "records/object_codec.h"
#include "store/file_reclaim.h"
#include "store/object_store.h"
#include "token/dal_results.h"
#include "token/token_files.h"

namespace p11 {
namespace {

std::int32_t roundUp(std::size_t size) {
  const auto step = static_cast<std::size_t>(kObjectFileStep);
  return static_cast<std::int32_t>((size + step - 1) / step * step);
}

KeyHalf& halfOf(KeyEntry& entry, ObjectKind kind) {
  return kind == ObjectKind::PublicKey ? entry.publicHalf : entry.privateHalf;
}

}  // namespace

CK_RV ObjectStore::beginChange(const TokenLock& lock, Login& login) {
  if (const CK_RV rv = login.ensureUserOnToken(lock); rv != CKR_OK) return rv;
  return checkWritable(lock);
}

CK_RV ObjectStore::commit(const TokenLock& lock, const Directory& next) {
  const CK_RV rv = storeTwin(lock, kDirectoryFile, directoryState_, encodeDirectory(next));
  if (rv == CKR_OK) directory_ = next;
  return rv;
}

// A new object file: the first index of the range that the directory does
// not name (or that an earlier module marked unusable) becomes one, by
// creating it, or by reclaiming the file found there (file_reclaim.h).
CK_RV ObjectStore::newObjectFile(const TokenLock& lock, Login& login, Directory& dir,
                                 std::int32_t capacity, bool isPrivate, FileEntry*& file) {
  for (std::int32_t index = common::kFirstObjectFile; index <= common::kLastObjectFile; ++index) {
    FileEntry* named = dir.fileAt(index);
    if (named != nullptr && !(named->unusable && !named->foreign)) continue;
    const FileEntry made{index, capacity, isPrivate, false, false, 0, 0};
    FileEntry found = made;
    const std::int32_t rv = createTokenFile(
        lock, index, capacity, isPrivate ? common::FileAccess::User : common::FileAccess::Free,
        common::FileAccess::User);
    if (rv == NORV_DAL_ERR_OPEN_DEVICE) return CKR_DEVICE_REMOVED;
    // A refusal for want of space ends the search.
    if (rv == NORV_DAL_ERR_CREATE_FILE && !tokenFileThere(lock, index)) return CKR_DEVICE_MEMORY;
    if (rv != NORV_DAL_OK)
      if (const CK_RV reclaimed = reclaimFile(lock, login, index, found); reclaimed != CKR_OK)
        return reclaimed;
    if (named == nullptr) named = &dir.files.emplace_back();
    *named = found;
    if (!found.unusable && found.isPrivate == isPrivate && found.capacity >= capacity) {
      file = named;
      return CKR_OK;
    }
  }
  return CKR_DEVICE_MEMORY;
}

CK_RV ObjectStore::placeObject(const TokenLock& lock, Login& login, Directory& dir,
                               std::uint32_t number, const Attributes& attributes, bool isPrivate) {
  const std::optional<Bytes> content = encodeObject(number, attributes);
  if (!content) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (content->size() > static_cast<std::size_t>(kMaxObjectBytes)) return CKR_DEVICE_MEMORY;
  // The smallest free file of the same privacy that fits, else a new one.
  FileEntry* file = nullptr;
  for (FileEntry& f : dir.files) {
    const bool fits = !f.unusable && f.object == 0 && f.isPrivate == isPrivate &&
                      static_cast<std::size_t>(f.capacity) >= content->size();
    if (fits && (file == nullptr || f.capacity < file->capacity)) file = &f;
  }
  if (file == nullptr) {
    const CK_RV rv = newObjectFile(lock, login, dir, roundUp(content->size()), isPrivate, file);
    if (rv != CKR_OK) return rv;
  }
  const std::int32_t index = file->index;
  if (const CK_RV rv = login.asUser(lock, CKR_DEVICE_ERROR,
                                    [&] { return writeTokenFile(lock, index, 0, *content); });
      rv != CKR_OK)
    return rv;
  file->object = number;
  file->length = static_cast<std::uint16_t>(content->size());
  files_[number] = CachedFile{index, file->length, attributes};
  return CKR_OK;
}

void ObjectStore::wipe(const TokenLock& lock, Login& login, std::int32_t index,
                       std::uint16_t length) {
  // Best effort: the directory already says the file is free.
  const Bytes zeros(length, 0);
  login.asUser(lock, CKR_DEVICE_ERROR, [&] { return writeTokenFile(lock, index, 0, zeros); });
}

CK_RV ObjectStore::createTokenObject(const TokenLock& lock, Login& login,
                                     const Attributes& attributes, bool isPrivate,
                                     CK_OBJECT_HANDLE& handle) {
  if (const CK_RV rv = beginChange(lock, login); rv != CKR_OK) return rv;
  Directory next = directory_;
  const std::uint32_t number = next.nextObject++;
  CK_RV rv = placeObject(lock, login, next, number, attributes, isPrivate);
  // Files found or made on the way are recorded even when placing failed.
  if (const CK_RV stored = commit(lock, next); rv == CKR_OK) rv = stored;
  rebuild();
  if (rv == CKR_OK) handle = fileObjectHandle(number);
  return rv;
}

CK_RV ObjectStore::destroy(const TokenLock& lock, Login& login, const Object& object) {
  if (const CK_RV rv = beginChange(lock, login); rv != CKR_OK) return rv;
  Directory next = directory_;
  std::optional<FileEntry> freed;
  if (object.kind == ObjectKind::TokenFile) {
    FileEntry* f = next.fileHolding(object.number);
    if (f == nullptr) return CKR_OBJECT_HANDLE_INVALID;  // gone meanwhile
    freed = *f;
    f->object = 0;
    f->length = 0;
  } else {
    // A key pair's slot cannot be freed on this token: the key is hidden.
    KeyEntry entry = keyEntry(object.slot);
    halfOf(entry, object.kind).hidden = true;
    std::erase_if(next.keys, [&](const KeyEntry& k) { return k.slot == object.slot; });
    next.keys.push_back(entry);
  }
  const CK_RV rv = commit(lock, next);
  if (rv == CKR_OK && freed) {
    files_.erase(freed->object);
    wipe(lock, login, freed->index, freed->length);
  }
  rebuild();
  return rv;
}

CK_RV ObjectStore::setLabelAndId(const TokenLock& lock, Login& login, const Object& object,
                                 const std::optional<Bytes>& label,
                                 const std::optional<Bytes>& id) {
  if (object.kind == ObjectKind::Session) {
    Object& o = sessionObjects_.at(object.handle);
    if (label) o.attributes.set(CKA_LABEL, *label);
    if (id) o.attributes.set(CKA_ID, *id);
    return CKR_OK;
  }
  if (const CK_RV rv = beginChange(lock, login); rv != CKR_OK) return rv;
  Directory next = directory_;
  std::optional<FileEntry> old;
  CK_RV rv = CKR_OK;
  if (object.kind == ObjectKind::TokenFile) {
    // Written to another file first (the current one is not free while
    // the object is placed): a torn write never spoils the object.
    const FileEntry* current = next.fileHolding(object.number);
    if (current == nullptr) return CKR_OBJECT_HANDLE_INVALID;
    old = *current;
    Attributes updated = object.attributes;
    if (label) updated.set(CKA_LABEL, *label);
    if (id) updated.set(CKA_ID, *id);
    rv = placeObject(lock, login, next, object.number, updated, object.isPrivate);
    const auto previous = std::find_if(next.files.begin(), next.files.end(),
                                       [&](const FileEntry& f) { return f.index == old->index; });
    if (rv == CKR_OK) {
      previous->object = 0;
      previous->length = 0;
    } else {
      old.reset();
    }
  } else {
    KeyEntry entry = keyEntry(object.slot);
    KeyHalf& half = halfOf(entry, object.kind);
    if (label) half.label = *label;
    if (id) half.id = *id;
    std::erase_if(next.keys, [&](const KeyEntry& k) { return k.slot == object.slot; });
    next.keys.push_back(entry);
  }
  if (const CK_RV stored = commit(lock, next); rv == CKR_OK) rv = stored;
  if (rv == CKR_OK && old) wipe(lock, login, old->index, old->length);
  rebuild();
  return rv;
}

CK_RV ObjectStore::recordKeyPair(const TokenLock& lock, Login& login, const KeyEntry& entry) {
  if (const CK_RV rv = beginChange(lock, login); rv != CKR_OK) return rv;
  Directory next = directory_;
  std::erase_if(next.keys, [&](const KeyEntry& k) { return k.slot == entry.slot; });
  next.keys.push_back(entry);
  const CK_RV rv = commit(lock, next);
  rebuild();
  return rv;
}

}  // namespace p11
