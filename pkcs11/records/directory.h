// The directory: what the module knows of the token's key pairs and which
// object file holds which object. Payload of the directory copies:
//
//   next object number        4
//   key entries               1 (count), then each:
//     slot                    1
//     modulus fingerprint     8 (first bytes of SHA-1 of the modulus)
//     flags                   1 (bit 0: generated on the token)
//     public half, private half, each:
//       flags                 1 (bit 0 hidden, bit 1 private, bit 2 read-only)
//       usage                 2 (KeyUsage bits)
//       id                    1 + n
//       label                 1 + n
//   object files              1 (count), then each:
//     index                   2
//     capacity                2 (data bytes of the file)
//     flags                   1 (bit 0 private file, bit 1 unusable, bit 2
//                               foreign: found on the token, not the module's)
//     object number           4 (0: the file is free)
//     length                  2 (bytes of the object in the file)
//
// (big-endian). A key entry whose fingerprint does not match the modulus
// in its slot describes a key that is gone; the slot's key is then one the
// module knows nothing of.
#pragma once

#include <array>
#include <optional>

#include "ck/ck.h"

namespace p11 {

enum KeyUsage : std::uint16_t {
  kUsageEncrypt = 1 << 0,
  kUsageDecrypt = 1 << 1,
  kUsageSign = 1 << 2,
  kUsageVerify = 1 << 3,
  kUsageWrap = 1 << 4,
  kUsageUnwrap = 1 << 5,
  kUsageSignRecover = 1 << 6,
  kUsageVerifyRecover = 1 << 7,
  kUsageDerive = 1 << 8,
};

using Fingerprint = std::array<std::uint8_t, 8>;

struct KeyHalf {
  bool hidden = false;
  bool isPrivate = false;
  bool readOnly = false;
  std::uint16_t usage = 0;
  Bytes id;
  Bytes label;
  bool operator==(const KeyHalf&) const = default;
};

struct KeyEntry {
  int slot = 0;
  Fingerprint fingerprint{};
  bool generated = false;
  KeyHalf publicHalf;
  KeyHalf privateHalf;
  bool operator==(const KeyEntry&) const = default;
};

struct FileEntry {
  std::int32_t index = 0;
  std::int32_t capacity = 0;
  bool isPrivate = false;
  // Not for objects. A foreign file was found unnamed and is not one the
  // module would make; an unusable one that is not foreign was marked by
  // an earlier module and is looked at again.
  bool unusable = false;
  bool foreign = false;
  std::uint32_t object = 0;
  std::uint16_t length = 0;
  bool operator==(const FileEntry&) const = default;
};

struct Directory {
  std::uint32_t nextObject = 1;
  std::vector<KeyEntry> keys;
  std::vector<FileEntry> files;
  bool operator==(const Directory&) const = default;

  KeyEntry* key(int slot);
  const KeyEntry* key(int slot) const;
  FileEntry* fileHolding(std::uint32_t object);
  FileEntry* fileAt(std::int32_t index);
};

Bytes encodeDirectory(const Directory& directory);
std::optional<Directory> decodeDirectory(ByteView payload);

}  // namespace p11
