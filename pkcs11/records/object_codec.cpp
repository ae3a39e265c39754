#include "records/object_codec.h"

#include <algorithm>
#include <array>

#include "common/byte_codec.h"

namespace p11 {

using common::ByteReader;
using common::ByteWriter;
namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'T', 'K', 'P', 'O'};
constexpr std::uint8_t kVersion = 1;
constexpr std::uint32_t kMaxStoredUlong = 0xFFFFFFFF;

bool isUlong(CK_ATTRIBUTE_TYPE type) {
  switch (type) {
    case CKA_CLASS:
    case CKA_CERTIFICATE_TYPE:
    case CKA_CERTIFICATE_CATEGORY:
    case CKA_JAVA_MIDP_SECURITY_DOMAIN:
    case CKA_NAME_HASH_ALGORITHM: return true;
    default: return false;
  }
}

}  // namespace

std::optional<Bytes> encodeObject(std::uint32_t number, const Attributes& attributes) {
  ByteWriter w;
  w.raw(kMagic);
  w.u8(kVersion);
  w.u32(number);
  w.u8(static_cast<std::uint8_t>(attributes.all().size()));
  for (const auto& [type, value] : attributes.all()) {
    if (type > kMaxStoredUlong || value.size() > 0xFFFF) return std::nullopt;
    w.u32(static_cast<std::uint32_t>(type));
    if (isUlong(type)) {
      const auto v = attributes.ulong(type);
      if (!v || *v > kMaxStoredUlong) return std::nullopt;
      w.u16(4);
      w.u32(static_cast<std::uint32_t>(*v));
    } else {
      w.u16(static_cast<std::uint16_t>(value.size()));
      w.raw(value);
    }
  }
  return w.take();
}

std::optional<Attributes> decodeObject(std::uint32_t number, ByteView file) {
  ByteReader r(file);
  const Bytes magic = r.raw(kMagic.size());
  if (!std::equal(magic.begin(), magic.end(), kMagic.begin(), kMagic.end())) return std::nullopt;
  if (r.u8() != kVersion || r.u32() != number) return std::nullopt;
  Attributes attributes;
  for (int n = r.u8(); n > 0 && r.ok(); --n) {
    const CK_ATTRIBUTE_TYPE type = r.u32();
    Bytes value = r.raw(r.u16());
    if (isUlong(type)) {
      if (value.size() != 4) return std::nullopt;
      ByteReader v(value);
      attributes.setUlong(type, v.u32());
    } else {
      attributes.set(type, std::move(value));
    }
  }
  if (!r.ok() || !r.atEnd()) return std::nullopt;
  return attributes;
}

}  // namespace p11
