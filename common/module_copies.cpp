#include "common/module_copies.h"

#include <openssl/evp.h>

#include <algorithm>

#include "common/byte_codec.h"

namespace common {
namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'T', 'K', 'P', 'M'};
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kDigestedHeader = 12;

Bytes headerBytes(RecordKind kind, std::uint32_t sequence, std::size_t length) {
  ByteWriter w;
  w.raw(kMagic);
  w.u8(kVersion);
  w.u8(static_cast<std::uint8_t>(kind));
  w.u16(static_cast<std::uint16_t>(length));
  w.u32(sequence);
  return w.take();
}

std::array<std::uint8_t, 8> copyDigest(ByteView header, ByteView payload) {
  std::array<std::uint8_t, EVP_MAX_MD_SIZE> full{};
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  unsigned int n = 0;
  const bool ok = ctx != nullptr && EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) == 1 &&
                  EVP_DigestUpdate(ctx, header.data(), header.size()) == 1 &&
                  EVP_DigestUpdate(ctx, payload.data(), payload.size()) == 1 &&
                  EVP_DigestFinal_ex(ctx, full.data(), &n) == 1;
  EVP_MD_CTX_free(ctx);
  std::array<std::uint8_t, 8> digest{};
  // A digest that could not be computed matches no stored one.
  if (ok)
    std::copy_n(full.begin(), digest.size(), digest.begin());
  else
    digest.fill(0xFF);
  return digest;
}

}  // namespace

Bytes encodeCopy(RecordKind kind, std::uint32_t sequence, ByteView payload) {
  Bytes copy = headerBytes(kind, sequence, payload.size());
  const auto digest = copyDigest(copy, payload);
  copy.insert(copy.end(), digest.begin(), digest.end());
  copy.insert(copy.end(), payload.begin(), payload.end());
  return copy;
}

std::optional<CopyHeader> parseCopyHeader(RecordKind kind, ByteView header) {
  if (header.size() < kCopyHeaderBytes) return std::nullopt;
  ByteReader r(header.first(kCopyHeaderBytes));
  const Bytes magic = r.raw(kMagic.size());
  if (!std::equal(magic.begin(), magic.end(), kMagic.begin(), kMagic.end())) return std::nullopt;
  if (r.u8() != kVersion || r.u8() != static_cast<std::uint8_t>(kind)) return std::nullopt;
  CopyHeader h;
  h.length = r.u16();
  h.sequence = r.u32();
  const Bytes digest = r.raw(h.digest.size());
  if (!r.ok()) return std::nullopt;
  std::copy(digest.begin(), digest.end(), h.digest.begin());
  return h;
}

CopyLook lookOfCopy(RecordKind kind, ByteView header) {
  if (std::all_of(header.begin(), header.end(), [](std::uint8_t b) { return b == 0; }))
    return CopyLook::Blank;
  if (parseCopyHeader(kind, header)) return CopyLook::Ours;
  ByteReader r(header);
  const Bytes magic = r.raw(kMagic.size());
  const std::uint8_t version = r.u8();
  const std::uint8_t recordKind = r.u8();
  const bool ourMagic = std::equal(magic.begin(), magic.end(), kMagic.begin(), kMagic.end());
  if (r.ok() && ourMagic && version > kVersion && recordKind == static_cast<std::uint8_t>(kind))
    return CopyLook::Newer;
  return CopyLook::Foreign;
}

bool payloadMatches(RecordKind kind, const CopyHeader& header, ByteView payload) {
  if (payload.size() != header.length) return false;
  const Bytes front = headerBytes(kind, header.sequence, header.length);
  return copyDigest(ByteView(front).first(kDigestedHeader), payload) == header.digest;
}

RecordState stateWithoutValidCopy(CopyLook first, CopyLook second) {
  const auto either = [&](CopyLook look) { return first == look || second == look; };
  const bool bothWritten = first == CopyLook::Ours && second == CopyLook::Ours;
  return either(CopyLook::Newer) || either(CopyLook::Foreign) || bothWritten
             ? RecordState::Unreadable
             : RecordState::Absent;
}

}  // namespace common
