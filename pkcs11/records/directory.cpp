#include "records/directory.h"

#include <algorithm>

#include "common/byte_codec.h"

namespace p11 {

using common::ByteReader;
using common::ByteWriter;
namespace {

// The flag bits of a key pair's byte, of each half's byte and of an
// object's byte.
constexpr std::uint8_t kGenerated = 1;
constexpr std::uint8_t kHidden = 1;
constexpr std::uint8_t kPrivate = 2;
constexpr std::uint8_t kReadOnly = 4;
constexpr std::uint8_t kPrivateFile = 1;
constexpr std::uint8_t kUnusable = 2;
constexpr std::uint8_t kForeign = 4;

std::uint8_t bit(bool on, std::uint8_t flag) { return on ? flag : 0; }

void writeHalf(ByteWriter& w, const KeyHalf& half) {
  w.u8(bit(half.hidden, kHidden) | bit(half.isPrivate, kPrivate) | bit(half.readOnly, kReadOnly));
  w.u16(half.usage);
  w.shortBytes(half.id);
  w.shortBytes(half.label);
}

KeyHalf readHalf(ByteReader& r) {
  KeyHalf half;
  const std::uint8_t flags = r.u8();
  half.hidden = (flags & kHidden) != 0;
  half.isPrivate = (flags & kPrivate) != 0;
  half.readOnly = (flags & kReadOnly) != 0;
  half.usage = r.u16();
  half.id = r.shortBytes();
  half.label = r.shortBytes();
  return half;
}

}  // namespace

KeyEntry* Directory::key(int slot) {
  const auto it =
      std::find_if(keys.begin(), keys.end(), [&](const KeyEntry& k) { return k.slot == slot; });
  return it == keys.end() ? nullptr : &*it;
}

const KeyEntry* Directory::key(int slot) const { return const_cast<Directory*>(this)->key(slot); }

FileEntry* Directory::fileHolding(std::uint32_t object) {
  const auto it = std::find_if(files.begin(), files.end(), [&](const FileEntry& f) {
    return object != 0 && f.object == object;
  });
  return it == files.end() ? nullptr : &*it;
}

FileEntry* Directory::fileAt(std::int32_t index) {
  const auto it = std::find_if(files.begin(), files.end(),
                               [&](const FileEntry& f) { return f.index == index; });
  return it == files.end() ? nullptr : &*it;
}

Bytes encodeDirectory(const Directory& directory) {
  ByteWriter w;
  w.u32(directory.nextObject);
  w.u8(static_cast<std::uint8_t>(directory.keys.size()));
  for (const KeyEntry& key : directory.keys) {
    w.u8(static_cast<std::uint8_t>(key.slot));
    w.raw(key.fingerprint);
    w.u8(bit(key.generated, kGenerated));
    writeHalf(w, key.publicHalf);
    writeHalf(w, key.privateHalf);
  }
  w.u8(static_cast<std::uint8_t>(directory.files.size()));
  for (const FileEntry& file : directory.files) {
    w.u16(static_cast<std::uint16_t>(file.index));
    w.u16(static_cast<std::uint16_t>(file.capacity));
    w.u8(bit(file.isPrivate, kPrivateFile) | bit(file.unusable, kUnusable) |
         bit(file.foreign, kForeign));
    w.u32(file.object);
    w.u16(file.length);
  }
  return w.take();
}

std::optional<Directory> decodeDirectory(ByteView payload) {
  ByteReader r(payload);
  Directory directory;
  directory.nextObject = r.u32();
  for (int n = r.u8(); n > 0 && r.ok(); --n) {
    KeyEntry key;
    key.slot = r.u8();
    const Bytes fingerprint = r.raw(key.fingerprint.size());
    std::copy(fingerprint.begin(), fingerprint.end(), key.fingerprint.begin());
    key.generated = (r.u8() & kGenerated) != 0;
    key.publicHalf = readHalf(r);
    key.privateHalf = readHalf(r);
    directory.keys.push_back(std::move(key));
  }
  for (int n = r.u8(); n > 0 && r.ok(); --n) {
    FileEntry file;
    file.index = r.u16();
    file.capacity = r.u16();
    const std::uint8_t flags = r.u8();
    file.isPrivate = (flags & kPrivateFile) != 0;
    file.unusable = (flags & kUnusable) != 0;
    file.foreign = (flags & kForeign) != 0;
    file.object = r.u32();
    file.length = r.u16();
    directory.files.push_back(file);
  }
  if (!r.ok() || !r.atEnd()) return std::nullopt;
  return directory;
}

}  // namespace p11
