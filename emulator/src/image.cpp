// The token image codec: a fixed header (magic, format version, payload
// length, SHA-256 of the payload) and the serialised persistent state.
#include <cstring>
#include <optional>

#include "card_codes.h"
#include "emu_crypto.h"
#include "tkp30emu/card.h"

namespace tkp30emu {
namespace {

constexpr std::uint8_t kMagic[8] = {'T', 'K', 'P', '3', '0', 'E', 'M', 'U'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kDigestBytes = 32;  // SHA-256
// Magic, version (4 bytes), payload length (4 bytes), digest; then the payload.
constexpr std::size_t kVersionAt = sizeof kMagic;
constexpr std::size_t kDigestAt = kVersionAt + 4 + 4;
constexpr std::size_t kHeader = kDigestAt + kDigestBytes;
constexpr std::size_t kMaxPayload = std::size_t{4} << 20;

void put8(Bytes& b, std::uint8_t v) { b.push_back(v); }
void put16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
// Appends by resize and copy: GCC 12 reports a false -Wstringop-overflow
// for vector::insert of a range into freshly reserved storage at -O2/-O3.
void putBytes(Bytes& b, std::span<const std::uint8_t> v) {
  if (v.empty()) return;
  const std::size_t at = b.size();
  b.resize(at + v.size());
  std::memcpy(b.data() + at, v.data(), v.size());
}

struct Reader {
  std::span<const std::uint8_t> s;
  std::size_t pos = 0;
  bool ok = true;
  bool take(std::size_t n) {
    if (!ok || s.size() - pos < n) return ok = false;
    return true;
  }
  std::uint8_t u8() {
    if (!take(1)) return 0;
    return s[pos++];
  }
  std::uint16_t u16() {
    if (!take(2)) return 0;
    const std::uint16_t v = static_cast<std::uint16_t>(s[pos] | (s[pos + 1] << 8));
    pos += 2;
    return v;
  }
  std::uint32_t u32() {
    if (!take(4)) return 0;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{s[pos + static_cast<std::size_t>(i)]} << (8 * i);
    pos += 4;
    return v;
  }
  bool bytes(std::uint8_t* out, std::size_t n) {
    if (!take(n)) return false;
    if (n) std::memcpy(out, s.data() + pos, n);
    pos += n;
    return true;
  }
};

bool fail(std::string& error, const char* what) {
  error = std::string("damaged token image: ") + what;
  return false;
}

// Magic, format version, payload length and checksum; on success
// `payload` is the checked payload.
bool checkHeader(std::span<const std::uint8_t> image, std::span<const std::uint8_t>& payload,
                 std::string& error) {
  if (image.size() < kHeader || std::memcmp(image.data(), kMagic, sizeof kMagic) != 0) {
    error = "not a TKP30 token image (bad magic)";
    return false;
  }
  Reader h{image.subspan(kVersionAt, kDigestAt - kVersionAt)};
  const std::uint32_t version = h.u32();
  const std::uint32_t length = h.u32();
  if (version != kVersion) {
    error = "unsupported token image format version " + std::to_string(version);
    return false;
  }
  if (length > kMaxPayload || image.size() - kHeader != length)
    return fail(error, "length does not match (truncated or extended file)");
  std::uint8_t digest[kDigestBytes];
  crypto::sha256(image.data() + kHeader, length, digest);
  if (std::memcmp(digest, image.data() + kDigestAt, kDigestBytes) != 0)
    return fail(error, "checksum mismatch");
  payload = image.subspan(kHeader);
  return true;
}

// The options byte, the MF flag and, with an MF, its header and name.
bool readOptionsAndMf(Reader& r, Persistent& p, std::string& error) {
  const std::uint8_t opts = r.u8();
  if (opts > 1) return fail(error, "unknown options");
  p.options.t0 = opts & 1;
  const std::uint8_t mf = r.u8();
  if (mf > 1) return fail(error, "bad MF flag");
  p.mfExists = mf == 1;
  if (!p.mfExists) return true;
  r.bytes(p.mfHeader.data(), kMfHeaderBytes);
  const std::uint8_t nameLen = r.u8();
  if (nameLen > kMaxMfName) return fail(error, "bad MF name");
  p.mfName.resize(nameLen);
  r.bytes(p.mfName.data(), nameLen);
  return true;
}

// The data length a file of this type carries; nothing for an unknown type.
std::optional<std::size_t> expectedDataLength(const ElementaryFile& f) {
  switch (f.type) {
    case kTransparent: return f.size;
    case kKeyFile: return 0;
    case kRsaPublic: return kRsaPublicData;
    case kRsaPrivate: return kRsaPrivateData;
    default: return std::nullopt;
  }
}

// The file records. A truncated record stops the reading and leaves the
// reader failed, for checkWhole to report.
bool readFiles(Reader& r, Persistent& p, bool& keyFile, std::string& error) {
  const std::uint16_t nFiles = r.u16();
  for (std::uint16_t i = 0; r.ok && i < nFiles; ++i) {
    const std::uint16_t id = r.u16();
    ElementaryFile f;
    f.type = r.u8();
    f.size = r.u16();
    r.bytes(f.access.data(), f.access.size());
    f.present = r.u8();
    const std::uint32_t len = r.u32();
    if (!r.ok) break;
    const std::optional<std::size_t> expect = expectedDataLength(f);
    if (!expect) return fail(error, "unknown file type");
    if (f.type == kKeyFile && keyFile) return fail(error, "two key files");
    keyFile = keyFile || f.type == kKeyFile;
    if (len != *expect) return fail(error, "file length does not match its type");
    f.data.resize(len);
    if (!r.bytes(f.data.data(), len)) break;
    if (id == card::kMfId || id == card::kReservedId || !p.files.emplace(id, std::move(f)).second)
      return fail(error, "bad or duplicate file identifier");
  }
  return true;
}

// The key records, read the same way as the files.
bool readKeys(Reader& r, Persistent& p, std::string& error) {
  const std::uint8_t nKeys = r.u8();
  if (nKeys > kMaxKeys) return fail(error, "too many keys");
  for (std::uint8_t i = 0; r.ok && i < nKeys; ++i) {
    const std::uint8_t id = r.u8();
    KeyRecord k;
    k.type = r.u8();
    r.bytes(k.params.data(), k.params.size());
    const std::uint8_t tries = r.u8();
    k.maxTries = tries >> 4;
    k.tries = tries & 0x0F;
    const std::uint8_t len = r.u8();
    if (len > kMaxKeyValue) return fail(error, "key value too long");
    k.value.resize(len);
    if (!r.bytes(k.value.data(), len)) break;
    if (!p.keys.emplace(id, std::move(k)).second) return fail(error, "duplicate key");
  }
  return true;
}

// What the whole payload must also be: read to its end, files only under
// an MF, keys only with a key file, no more than the card holds.
bool checkWhole(const Reader& r, const Persistent& p, bool keyFile, std::string& error) {
  if (!r.ok) return fail(error, "truncated payload");
  if (r.pos != r.s.size()) return fail(error, "trailing bytes");
  if (!p.mfExists && (!p.files.empty() || !p.keys.empty()))
    return fail(error, "files without an MF");
  if (!p.keys.empty() && !keyFile) return fail(error, "keys without a key file");
  if (p.usedSpace() > kCapacity) return fail(error, "more data than the card holds");
  return true;
}

}  // namespace

Bytes encodeImage(const Persistent& p) {
  Bytes payload;
  payload.reserve(1024 + p.usedSpace());
  put8(payload, p.options.t0 ? 1 : 0);
  put8(payload, p.mfExists ? 1 : 0);
  if (p.mfExists) {
    putBytes(payload, p.mfHeader);
    put8(payload, static_cast<std::uint8_t>(p.mfName.size()));
    putBytes(payload, p.mfName);
  }
  put16(payload, static_cast<std::uint16_t>(p.files.size()));
  for (const auto& [id, f] : p.files) {
    put16(payload, id);
    put8(payload, f.type);
    put16(payload, f.size);
    putBytes(payload, f.access);
    put8(payload, f.present);
    put32(payload, static_cast<std::uint32_t>(f.data.size()));
    putBytes(payload, f.data);
  }
  put8(payload, static_cast<std::uint8_t>(p.keys.size()));
  for (const auto& [id, k] : p.keys) {
    put8(payload, id);
    put8(payload, k.type);
    putBytes(payload, k.params);
    put8(payload, static_cast<std::uint8_t>((k.maxTries << 4) | (k.tries & 0x0F)));
    put8(payload, static_cast<std::uint8_t>(k.value.size()));
    putBytes(payload, k.value);
  }
  std::uint8_t digest[kDigestBytes];
  crypto::sha256(payload.data(), payload.size(), digest);
  Bytes image;
  image.reserve(kHeader + payload.size());
  putBytes(image, kMagic);
  put32(image, kVersion);
  put32(image, static_cast<std::uint32_t>(payload.size()));
  putBytes(image, digest);
  putBytes(image, payload);
  return image;
}

bool decodeImage(std::span<const std::uint8_t> image, Persistent& out, std::string& error) {
  std::span<const std::uint8_t> payload;
  if (!checkHeader(image, payload, error)) return false;
  Persistent p;
  Reader r{payload};
  bool keyFile = false;
  if (!readOptionsAndMf(r, p, error) || !readFiles(r, p, keyFile, error) ||
      !readKeys(r, p, error) || !checkWhole(r, p, keyFile, error))
    return false;
  out = std::move(p);
  return true;
}

}  // namespace tkp30emu
