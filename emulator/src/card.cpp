// The card operating system: one command APDU against the token's state.
#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "emu_crypto.h"
#include "tkp30emu/card.h"

namespace tkp30emu {
namespace {

// Status words.
constexpr std::uint16_t kOk = 0x9000;
constexpr std::uint16_t kWrongLength = 0x6700;
constexpr std::uint16_t kIncompatibleFile = 0x6981;
constexpr std::uint16_t kSecurity = 0x6982;
constexpr std::uint16_t kBlocked = 0x6983;
constexpr std::uint16_t kConditions = 0x6985;
constexpr std::uint16_t kNoCurrentEf = 0x6986;
constexpr std::uint16_t kBadSm = 0x6988;
constexpr std::uint16_t kBadData = 0x6A80;
constexpr std::uint16_t kFileNotFound = 0x6A82;
constexpr std::uint16_t kNoSpace = 0x6A84;
constexpr std::uint16_t kBadP1P2 = 0x6A86;
constexpr std::uint16_t kKeyNotFound = 0x6A88;
constexpr std::uint16_t kFileExists = 0x6A89;
constexpr std::uint16_t kBadOffset = 0x6B00;
constexpr std::uint16_t kBadIns = 0x6D00;
constexpr std::uint16_t kBadCla = 0x6E00;
constexpr std::uint16_t kMemoryFailure = 0x6581;

constexpr std::uint8_t kPinType = 0x03;
constexpr std::uint8_t kExtAuthKeyType = 0x01;
constexpr std::uint8_t kUnlockKeyId = 0x06;
constexpr std::size_t kDefaultChallenge = 8;

// A parsed short command APDU.
struct Apdu {
  std::uint8_t cla = 0, ins = 0, p1 = 0, p2 = 0;
  std::span<const std::uint8_t> data;
  bool hasLe = false;
  std::size_t le = 0;  // 1..256 when hasLe
  std::size_t p1p2() const { return (std::size_t{p1} << 8) | p2; }
};

bool parse(std::span<const std::uint8_t> raw, Apdu& a) {
  if (raw.size() < 4) return false;
  a.cla = raw[0];
  a.ins = raw[1];
  a.p1 = raw[2];
  a.p2 = raw[3];
  if (raw.size() == 4) return true;
  if (raw.size() == 5) {
    a.hasLe = true;
    a.le = raw[4] == 0 ? 256 : raw[4];
    return true;
  }
  const std::size_t lc = raw[4];
  if (lc == 0) return false;  // extended lengths are not supported
  if (raw.size() == 5 + lc) {
    a.data = raw.subspan(5, lc);
    return true;
  }
  if (raw.size() == 6 + lc) {
    a.data = raw.subspan(5, lc);
    a.hasLe = true;
    a.le = raw[5 + lc] == 0 ? 256 : raw[5 + lc];
    return true;
  }
  return false;
}

struct Ctx {
  Persistent& p;
  Volatile& v;
  RsaGenerator gen;
  Response r;
  bool changed = false;
  std::uint8_t challenge[8] = {};  // the challenge valid for this command
  std::size_t challengeLen = 0;

  std::uint16_t sw(std::uint16_t s) {
    r.sw = s;
    return s;
  }
  void out(const std::uint8_t* d, std::size_t n) {
    n = std::min(n, r.data.size());
    std::memcpy(r.data.data(), d, n);
    r.len = n;
  }
};

// Access byte check: granted when the security state lies between the two
// halves of the byte, in either order.
bool granted(std::uint8_t access, std::uint8_t state) {
  const std::uint8_t a = access >> 4, b = access & 0x0F;
  return state >= std::min(a, b) && state <= std::max(a, b);
}

std::size_t charge(const ElementaryFile& f) {
  switch (f.type) {
    case kTransparent: return kFileOverhead + f.size;
    case kKeyFile: return kFileOverhead + kKeyFileCharge;
    case kRsaPublic: return kFileOverhead + 4 + kRsaBytes;
    case kRsaPrivate: return kFileOverhead + 5 * kRsaHalf;
    default: return kFileOverhead;
  }
}

bool hasKeyFile(const Persistent& p) {
  return std::any_of(p.files.begin(), p.files.end(),
                     [](const auto& kv) { return kv.second.type == kKeyFile; });
}

ElementaryFile* currentEf(Ctx& c) {
  if (c.v.currentKind != 2) return nullptr;
  auto it = c.p.files.find(c.v.currentEf);
  return it == c.p.files.end() ? nullptr : &it->second;
}

void clearCurrent(Volatile& v) {
  v.currentKind = 0;
  v.currentEf = 0;
}

// --- File system -------------------------------------------------------

void selectFile(Ctx& c, const Apdu& a) {
  if (a.p2 != 0x00 && a.p2 != 0x0C) return void(c.sw(kBadP1P2));
  switch (a.p1) {
    case 0x00:
      if (!a.data.empty() && !(a.data.size() == 2 && a.data[0] == 0x3F && a.data[1] == 0x00)) {
        clearCurrent(c.v);
        return void(c.sw(kFileNotFound));
      }
      if (!c.p.mfExists) {
        clearCurrent(c.v);
        return void(c.sw(kFileNotFound));
      }
      c.v.currentKind = 1;
      c.v.currentEf = 0;
      return void(c.sw(kOk));
    case 0x02: {
      if (a.data.size() != 2) return void(c.sw(kWrongLength));
      const std::uint16_t id = static_cast<std::uint16_t>(a.data[0] | (a.data[1] << 8));
      // A failed selection leaves no current EF, so that the READ or
      // UPDATE that follows can never touch a previously selected file.
      if (!c.p.mfExists || !c.p.files.count(id)) {
        clearCurrent(c.v);
        return void(c.sw(kFileNotFound));
      }
      c.v.currentKind = 2;
      c.v.currentEf = id;
      return void(c.sw(kOk));
    }
    case 0x04:
      if (a.data.empty()) return void(c.sw(kWrongLength));
      if (!c.p.mfExists || !std::equal(a.data.begin(), a.data.end(), c.p.mfName.begin(),
                                       c.p.mfName.end())) {
        clearCurrent(c.v);
        return void(c.sw(kFileNotFound));
      }
      c.v.currentKind = 1;
      c.v.currentEf = 0;
      return void(c.sw(kOk));
    default:
      return void(c.sw(kBadP1P2));
  }
}

void createFile(Ctx& c, const Apdu& a) {
  if (a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.p1 == 0x00) {
    if (a.data.size() < 13 || a.data.size() > 13 + 16) return void(c.sw(kWrongLength));
    if (c.p.mfExists) return void(c.sw(kFileExists));  // one DF: the MF
    c.p.mfExists = true;
    std::copy_n(a.data.begin(), 13, c.p.mfHeader.begin());
    c.p.mfName.assign(a.data.begin() + 13, a.data.end());
    c.p.files.clear();
    c.p.keys.clear();
    c.v.currentKind = 1;
    c.v.currentEf = 0;
    c.changed = true;
    return void(c.sw(kOk));
  }
  if (a.p1 != 0x02) return void(c.sw(kBadP1P2));
  if (a.data.size() != 9) return void(c.sw(kWrongLength));
  if (!c.p.mfExists) return void(c.sw(kConditions));
  ElementaryFile f;
  f.type = a.data[0];
  const std::uint16_t id = static_cast<std::uint16_t>(a.data[1] | (a.data[2] << 8));
  f.size = static_cast<std::uint16_t>((a.data[3] << 8) | a.data[4]);
  std::copy_n(a.data.begin() + 5, 4, f.access.begin());
  if (f.type != kTransparent && f.type != kKeyFile && f.type != kRsaPublic &&
      f.type != kRsaPrivate)
    return void(c.sw(kBadData));
  if (id == 0x3F00 || id == 0xFFFF) return void(c.sw(kBadData));
  if (c.p.files.count(id)) return void(c.sw(kFileExists));
  if (f.type == kKeyFile && hasKeyFile(c.p)) return void(c.sw(kFileExists));
  if (c.p.usedSpace() + charge(f) > kCapacity) return void(c.sw(kNoSpace));
  if (f.type == kTransparent) f.data.assign(f.size, 0);
  if (f.type == kRsaPublic) f.data.assign(4 + kRsaBytes, 0);
  if (f.type == kRsaPrivate) f.data.assign(5 * kRsaHalf, 0);
  c.p.files.emplace(id, std::move(f));
  c.v.currentKind = 2;
  c.v.currentEf = id;
  c.changed = true;
  c.sw(kOk);
}

void deleteFile(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() != 8) return void(c.sw(kWrongLength));
  if (!std::all_of(a.data.begin(), a.data.end(), [](std::uint8_t b) { return b == 0xFF; }))
    return void(c.sw(kBadData));
  const bool hasExtKey = std::any_of(c.p.keys.begin(), c.p.keys.end(), [](const auto& kv) {
    return kv.second.type == kExtAuthKeyType;
  });
  if (hasExtKey && !c.v.extAuthenticated) return void(c.sw(kSecurity));
  const TokenOptions keep = c.p.options;
  c.p = Persistent{};
  c.p.options = keep;
  const Volatile fresh{};
  c.v = fresh;
  c.changed = true;
  c.sw(kOk);
}

void readBinary(Ctx& c, const Apdu& a) {
  if (!a.data.empty()) return void(c.sw(kWrongLength));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  if (f->type != kTransparent) return void(c.sw(kIncompatibleFile));
  if (!granted(f->access[0], c.v.securityState)) return void(c.sw(kSecurity));
  const std::size_t off = a.p1p2();
  if (off >= f->size) return void(c.sw(kBadOffset));
  std::size_t n = a.hasLe ? a.le : 256;
  const bool exact = a.hasLe && a.le != 256;
  if (off + n > f->size) {
    if (exact) return void(c.sw(kWrongLength));
    n = f->size - off;  // Le 00 or absent: as much as the file holds
  }
  c.out(f->data.data() + off, n);
  c.sw(kOk);
}

void updateBinary(Ctx& c, const Apdu& a) {
  if (a.data.empty()) return void(c.sw(kWrongLength));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  if (f->type != kTransparent) return void(c.sw(kIncompatibleFile));
  if (!granted(f->access[1], c.v.securityState)) return void(c.sw(kSecurity));
  const std::size_t off = a.p1p2();
  if (off >= f->size) return void(c.sw(kBadOffset));
  if (off + a.data.size() > f->size) return void(c.sw(kWrongLength));
  if (!std::equal(a.data.begin(), a.data.end(), f->data.begin() + static_cast<std::ptrdiff_t>(off))) {
    std::copy(a.data.begin(), a.data.end(), f->data.begin() + static_cast<std::ptrdiff_t>(off));
    c.changed = true;
  }
  c.sw(kOk);
}

// --- Keys and PINs -----------------------------------------------------

void writeKey(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() < 8 || a.data.size() > 8 + kMaxKeyValue) return void(c.sw(kWrongLength));
  if (!c.p.mfExists || !hasKeyFile(c.p)) return void(c.sw(kFileNotFound));
  const std::uint8_t id = a.data[0];
  KeyRecord k;
  k.type = a.data[1];
  std::copy_n(a.data.begin() + 2, 5, k.params.begin());
  k.maxTries = a.data[7] >> 4;
  k.tries = a.data[7] & 0x0F;
  k.value.assign(a.data.begin() + 8, a.data.end());
  if (k.type == kPinType && k.value.empty()) return void(c.sw(kBadData));
  auto it = c.p.keys.find(id);
  if (it != c.p.keys.end()) {
    if (!c.v.extAuthenticated) return void(c.sw(kSecurity));
    it->second = std::move(k);
  } else {
    if (c.p.keys.size() >= kMaxKeys) return void(c.sw(kNoSpace));
    c.p.keys.emplace(id, std::move(k));
  }
  c.changed = true;
  c.sw(kOk);
}

KeyRecord* findPin(Ctx& c, std::uint8_t ref) {
  auto it = c.p.keys.find(ref);
  if (it == c.p.keys.end() || it->second.type != kPinType) return nullptr;
  return &it->second;
}

std::uint8_t stateForPin(std::uint8_t ref) {
  switch (ref) {
    case 0x10: return 0x0C;
    case 0x11: return 0x0A;
    default: return 0x00;  // the logout PIN 0x0F and any other PIN
  }
}

// A refused PIN presentation: one try less (durably), state cleared.
void wrongPin(Ctx& c, KeyRecord& pin) {
  if (pin.tries > 0) {
    --pin.tries;
    c.changed = true;
  }
  c.v.securityState = 0;
  c.sw(static_cast<std::uint16_t>(0x63C0 | pin.tries));
}

void rightPin(Ctx& c, KeyRecord& pin) {
  if (pin.tries != pin.maxTries) {
    pin.tries = pin.maxTries;
    c.changed = true;
  }
}

bool pinEquals(const KeyRecord& pin, std::span<const std::uint8_t> given) {
  return given.size() == pin.value.size() &&
         CRYPTO_memcmp(given.data(), pin.value.data(), given.size()) == 0;
}

void verify(Ctx& c, const Apdu& a) {
  if (a.p2 != 0) return void(c.sw(kBadP1P2));
  KeyRecord* pin = findPin(c, a.p1);
  if (!pin) return void(c.sw(kKeyNotFound));
  if (a.data.empty()) {  // status query: tries left, nothing consumed
    if (pin->tries == 0) return void(c.sw(kBlocked));
    const bool verified = stateForPin(a.p1) != 0 && c.v.securityState == stateForPin(a.p1);
    return void(c.sw(verified ? kOk : static_cast<std::uint16_t>(0x63C0 | pin->tries)));
  }
  if (pin->tries == 0) {
    c.v.securityState = 0;
    return void(c.sw(kBlocked));
  }
  if (!pinEquals(*pin, a.data)) return wrongPin(c, *pin);
  rightPin(c, *pin);
  c.v.securityState = stateForPin(a.p1);
  c.sw(kOk);
}

void changePin(Ctx& c, const Apdu& a) {
  if (a.p1 != 0x01) return void(c.sw(kBadP1P2));
  const auto d = a.data;
  if (d.size() < 4) return void(c.sw(kWrongLength));
  if (d[0] != 0x81) return void(c.sw(kBadData));
  const std::size_t oldLen = d[1];
  if (2 + oldLen + 2 > d.size()) return void(c.sw(kWrongLength));
  if (d[2 + oldLen] != 0x82) return void(c.sw(kBadData));
  const std::size_t newLen = d[3 + oldLen];
  if (4 + oldLen + newLen != d.size()) return void(c.sw(kWrongLength));
  if (newLen == 0 || newLen > kMaxKeyValue) return void(c.sw(kBadData));
  KeyRecord* pin = findPin(c, a.p2);
  if (!pin) return void(c.sw(kKeyNotFound));
  if (pin->tries == 0) return void(c.sw(kBlocked));
  if (!pinEquals(*pin, d.subspan(2, oldLen))) return wrongPin(c, *pin);
  pin->value.assign(d.begin() + static_cast<std::ptrdiff_t>(4 + oldLen), d.end());
  pin->tries = pin->maxTries;
  c.changed = true;
  c.sw(kOk);
}

// The retail MAC of a reload command: over H || E || 80 00.. (to a
// multiple of 8), initial value = the 4-byte challenge and 4 zero bytes.
bool reloadMacMatches(const Ctx& c, const Apdu& a, const std::uint8_t key[16]) {
  const std::size_t cryptogramLen = a.data.size() - 4;
  std::uint8_t input[32] = {a.cla, a.ins, a.p1, a.p2, static_cast<std::uint8_t>(a.data.size())};
  std::memcpy(input + 5, a.data.data(), cryptogramLen);
  input[5 + cryptogramLen] = 0x80;
  const std::size_t inputLen = (5 + cryptogramLen + 1 + 7) / 8 * 8;
  std::uint8_t iv[8] = {};
  std::memcpy(iv, c.challenge, 4);
  std::uint8_t mac[8];
  crypto::retailMac(key, iv, input, inputLen, mac);
  return CRYPTO_memcmp(mac, a.data.data() + cryptogramLen, 4) == 0;
}

// The PIN block: length, PIN, then 80 00.. unless the PIN fills the block.
// Returns the PIN length, 0 for a malformed block.
std::size_t pinBlockLength(const std::uint8_t* block, std::size_t blockLen) {
  const std::size_t n = block[0];
  if (n < 1 || n + 1 > blockLen) return 0;
  if (n + 1 == blockLen) return n;
  if (block[n + 1] != 0x80) return 0;
  for (std::size_t i = n + 2; i < blockLen; ++i)
    if (block[i] != 0) return 0;
  return n;
}

void reloadPin(Ctx& c, const Apdu& a) {
  if (a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() != 12 && a.data.size() != 20) return void(c.sw(kWrongLength));
  if (c.challengeLen < 4) return void(c.sw(kConditions));
  auto uk = c.p.keys.find(kUnlockKeyId);
  if (uk == c.p.keys.end() || uk->second.value.size() != 16) return void(c.sw(kKeyNotFound));
  const std::uint8_t* key = uk->second.value.data();
  if (!reloadMacMatches(c, a, key)) return void(c.sw(kBadSm));
  if (c.v.securityState != 0x0C) return void(c.sw(kSecurity));
  KeyRecord* pin = findPin(c, a.p1);
  if (!pin) return void(c.sw(kKeyNotFound));
  const std::size_t blockLen = a.data.size() - 4;
  std::uint8_t block[16] = {};
  for (std::size_t off = 0; off < blockLen; off += 8)
    crypto::tdesEcb(key, a.data.data() + off, block + off, false);
  const std::size_t n = pinBlockLength(block, blockLen);
  if (n != 0) {
    pin->value.assign(block + 1, block + 1 + n);
    pin->tries = pin->maxTries;
    c.changed = true;
  }
  OPENSSL_cleanse(block, sizeof block);
  c.sw(n != 0 ? kOk : kBadSm);
}

void getChallenge(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (!a.data.empty() || (a.hasLe && a.le > 255)) return void(c.sw(kWrongLength));
  const std::size_t n = a.hasLe ? a.le : kDefaultChallenge;  // lenient about a missing Le
  std::uint8_t rnd[255] = {};
  if (!crypto::randomBytes(rnd, n)) return void(c.sw(kMemoryFailure));
  c.out(rnd, n);
  c.v.challengeLen = static_cast<std::uint8_t>(std::min<std::size_t>(n, 8));
  std::memcpy(c.v.challenge, rnd, c.v.challengeLen);
  c.sw(kOk);
}

void externalAuthenticate(Ctx& c, const Apdu& a) {
  if (a.p1 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() != 8) return void(c.sw(kWrongLength));
  auto it = c.p.keys.find(a.p2);
  if (it == c.p.keys.end() || it->second.type == kPinType) return void(c.sw(kKeyNotFound));
  if (it->second.value.size() != 16) return void(c.sw(kConditions));
  if (c.challengeLen != 8) return void(c.sw(kConditions));
  std::uint8_t expect[8];
  crypto::tdesEcb(it->second.value.data(), c.challenge, expect, true);
  if (CRYPTO_memcmp(expect, a.data.data(), 8) != 0) {
    c.v.extAuthenticated = 0;
    return void(c.sw(kSecurity));
  }
  c.v.extAuthenticated = 1;
  c.sw(kOk);
}

// --- RSA ---------------------------------------------------------------

ElementaryFile* fileById(Ctx& c, std::uint16_t id) {
  if (!c.p.mfExists) return nullptr;
  auto it = c.p.files.find(id);
  return it == c.p.files.end() ? nullptr : &it->second;
}

void generateKeyPair(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() != 4) return void(c.sw(kWrongLength));
  ElementaryFile* pub = fileById(c, static_cast<std::uint16_t>(a.data[0] | (a.data[1] << 8)));
  ElementaryFile* pri = fileById(c, static_cast<std::uint16_t>(a.data[2] | (a.data[3] << 8)));
  if (!pub || !pri) return void(c.sw(kFileNotFound));
  if (pub->type != kRsaPublic || pri->type != kRsaPrivate) return void(c.sw(kIncompatibleFile));
  if (!granted(pri->access[1], c.v.securityState) || !granted(pub->access[1], c.v.securityState))
    return void(c.sw(kSecurity));
  std::uint8_t n[128];
  std::uint8_t crt[5][64];
  if (!c.gen || !c.gen(n, crt)) return void(c.sw(kMemoryFailure));
  static constexpr std::uint8_t e[4] = {0x01, 0x00, 0x01, 0x00};
  std::copy_n(e, 4, pub->data.begin());
  std::copy_n(n, 128, pub->data.begin() + 4);
  pub->present = 0x03;
  for (std::ptrdiff_t i = 0; i < 5; ++i) std::copy_n(crt[i], 64, pri->data.begin() + std::ptrdiff_t{64} * i);
  pri->present = 0x7C;
  OPENSSL_cleanse(crt, sizeof crt);
  c.changed = true;
  c.sw(kOk);
}

void importComponent(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 < 1 || a.p2 > 7) return void(c.sw(kBadP1P2));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  const bool pubPart = a.p2 <= 2;
  if (f->type != (pubPart ? kRsaPublic : kRsaPrivate)) return void(c.sw(kIncompatibleFile));
  const std::size_t want = a.p2 == 1 ? 4 : a.p2 == 2 ? kRsaBytes : kRsaHalf;
  if (a.data.size() != want) return void(c.sw(kWrongLength));
  if (!granted(f->access[1], c.v.securityState)) return void(c.sw(kSecurity));
  const std::size_t off = a.p2 == 1 ? 0 : a.p2 == 2 ? 4 : kRsaHalf * (a.p2 - 3u);
  std::copy(a.data.begin(), a.data.end(), f->data.begin() + static_cast<std::ptrdiff_t>(off));
  f->present = static_cast<std::uint8_t>(f->present | (1u << (a.p2 - 1)));
  c.changed = true;
  c.sw(kOk);
}

void readComponent(Ctx& c, const Apdu& a) {
  if (!a.data.empty()) return void(c.sw(kWrongLength));
  if (a.p1 != 0 || (a.p2 != 1 && a.p2 != 2)) return void(c.sw(kBadP1P2));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  if (f->type == kRsaPrivate) return void(c.sw(kSecurity));  // never read back
  if (f->type != kRsaPublic) return void(c.sw(kIncompatibleFile));
  if (!granted(f->access[0], c.v.securityState)) return void(c.sw(kSecurity));
  if (!(f->present & (1u << (a.p2 - 1)))) return void(c.sw(kKeyNotFound));
  const std::size_t len = a.p2 == 1 ? 4 : kRsaBytes;
  if (a.hasLe && a.le != 256 && a.le != len) return void(c.sw(kWrongLength));
  c.out(f->data.data() + (a.p2 == 1 ? 0 : 4), len);
  c.sw(kOk);
}

void privateOperation(Ctx& c, const Apdu& a) {
  if (a.data.size() != kRsaBytes) return void(c.sw(kWrongLength));
  if (a.hasLe && a.le != 256 && a.le != kRsaBytes) return void(c.sw(kWrongLength));
  ElementaryFile* f = fileById(c, static_cast<std::uint16_t>(a.p1 | (a.p2 << 8)));
  if (!f) return void(c.sw(kFileNotFound));
  if (f->type != kRsaPrivate) return void(c.sw(kIncompatibleFile));
  if (c.v.securityState != 0x0A && c.v.securityState != 0x0C) return void(c.sw(kSecurity));
  if ((f->present & 0x7C) != 0x7C) return void(c.sw(kKeyNotFound));
  std::uint8_t crt[5][64];
  for (std::ptrdiff_t i = 0; i < 5; ++i) std::copy_n(f->data.begin() + std::ptrdiff_t{64} * i, 64, crt[i]);
  std::uint8_t outBuf[128] = {};
  const bool ok = crypto::rsaCrt(crt, a.data.data(), outBuf);
  OPENSSL_cleanse(crt, sizeof crt);
  if (!ok) return void(c.sw(kBadData));
  c.out(outBuf, 128);
  c.sw(kOk);
}

// --- SSF33 (SM4) -------------------------------------------------------

void ssfLoadKey(Ctx& c, const Apdu& a) {
  if ((a.p1 & 0x40) == 0 || (a.p1 & ~0xC1) != 0 || a.p2 != 0x08) return void(c.sw(kBadP1P2));
  const bool cbc = a.p1 & 0x01;
  const std::size_t keyLen = a.data.size() - (cbc ? std::min<std::size_t>(16, a.data.size()) : 0);
  if (keyLen < 16 || (cbc && a.data.size() < 32)) return void(c.sw(kWrongLength));
  c.v.cipherLoaded = 1;
  c.v.cipherCbc = cbc;
  c.v.cipherDecrypt = (a.p1 & 0x80) != 0;
  std::memcpy(c.v.cipherKey, a.data.data(), 16);  // the first 16 key bytes
  std::memset(c.v.cipherChain, 0, 16);
  if (cbc) std::memcpy(c.v.cipherChain, a.data.data() + keyLen, 16);
  c.sw(kOk);
}

void ssfCipher(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.empty() || a.data.size() % 16 != 0) return void(c.sw(kWrongLength));
  if (!c.v.cipherLoaded) return void(c.sw(kConditions));
  std::uint8_t outBuf[256] = {};
  for (std::size_t off = 0; off < a.data.size(); off += 16) {
    const std::uint8_t* in = a.data.data() + off;
    std::uint8_t* o = outBuf + off;
    if (!c.v.cipherDecrypt) {
      std::uint8_t x[16];
      for (int i = 0; i < 16; ++i)
        x[i] = static_cast<std::uint8_t>(in[i] ^ (c.v.cipherCbc ? c.v.cipherChain[i] : 0));
      if (!crypto::sm4Block(c.v.cipherKey, x, o, true)) return void(c.sw(kMemoryFailure));
      if (c.v.cipherCbc) std::memcpy(c.v.cipherChain, o, 16);
    } else {
      if (!crypto::sm4Block(c.v.cipherKey, in, o, false)) return void(c.sw(kMemoryFailure));
      if (c.v.cipherCbc) {
        for (int i = 0; i < 16; ++i) o[i] = static_cast<std::uint8_t>(o[i] ^ c.v.cipherChain[i]);
        std::memcpy(c.v.cipherChain, in, 16);
      }
    }
  }
  c.out(outBuf, a.data.size());
  c.sw(kOk);
}

void ssfEnd(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  c.v.cipherLoaded = 0;
  c.v.cipherCbc = 0;
  c.v.cipherDecrypt = 0;
  std::memset(c.v.cipherKey, 0, 16);
  std::memset(c.v.cipherChain, 0, 16);
  c.sw(kOk);
}

// --- GET RESPONSE --------------------------------------------------------

void getResponse(Ctx& c, const Apdu& a, bool hadPending, const std::uint8_t* pending,
                 std::size_t pendingLen) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (!a.data.empty()) return void(c.sw(kWrongLength));
  if (!hadPending) return void(c.sw(kConditions));
  const std::size_t want = a.hasLe ? a.le : 256;
  if (want < pendingLen) {
    // Deliver the first part; the rest stays for one more GET RESPONSE.
    c.out(pending, want);
    const std::size_t rest = pendingLen - want;
    std::memmove(c.v.pending, pending + want, rest);
    c.v.pendingLen = static_cast<std::uint16_t>(rest);
    c.v.pendingValid = 1;
    return void(c.sw(static_cast<std::uint16_t>(0x6100 | (rest & 0xFF))));
  }
  c.out(pending, pendingLen);
  c.sw(kOk);
}

}  // namespace

std::size_t Persistent::usedSpace() const {
  std::size_t used = 0;
  for (const auto& kv : files) used += charge(kv.second);
  return used;
}

CardResult runCommand(Persistent& p, Volatile& v, std::span<const std::uint8_t> raw,
                      RsaGenerator gen) {
  Ctx c{p, v, gen, {}};
  // A challenge and a pending response are valid for the next command only.
  c.challengeLen = v.challengeLen;
  std::memcpy(c.challenge, v.challenge, sizeof c.challenge);
  v.challengeLen = 0;
  std::memset(v.challenge, 0, sizeof v.challenge);
  const bool hadPending = v.pendingValid;
  std::uint8_t pending[256];
  const std::size_t pendingLen = std::min<std::size_t>(v.pendingLen, 256);
  if (hadPending) std::memcpy(pending, v.pending, pendingLen);
  v.pendingValid = 0;
  v.pendingLen = 0;

  Apdu a;
  if (!parse(raw, a)) {
    c.sw(kWrongLength);
    return {c.r, false};
  }
  if (a.cla != 0x00 && a.cla != 0x80 && a.cla != 0x84) {
    c.sw(kBadCla);
    return {c.r, false};
  }
  auto need = [&](std::uint8_t cla) {
    if (a.cla == cla) return true;
    c.sw(kBadCla);
    return false;
  };
  switch (a.ins) {
    case 0xA4: if (need(0x00)) selectFile(c, a); break;
    case 0xE0: if (need(0x80)) createFile(c, a); break;
    case 0xE4: if (need(0x00)) deleteFile(c, a); break;
    case 0xB0: if (need(0x00)) readBinary(c, a); break;
    case 0xD6: if (need(0x00)) updateBinary(c, a); break;
    case 0xD4: if (need(0x80)) writeKey(c, a); break;
    case 0x20:
      if (need(0x00)) {
        verify(c, a);
        // A refused presentation of a PIN clears the security state.
        if (c.r.sw != kOk && !a.data.empty()) v.securityState = 0;
      }
      break;
    case 0x5E: if (need(0x80)) changePin(c, a); break;
    case 0x24: if (need(0x84)) reloadPin(c, a); break;
    case 0x84: if (need(0x00)) getChallenge(c, a); break;
    case 0x82: if (need(0x00)) externalAuthenticate(c, a); break;
    case 0x70: if (need(0x80)) generateKeyPair(c, a); break;
    case 0x76: if (need(0x80)) importComponent(c, a); break;
    case 0x78: if (need(0x80)) readComponent(c, a); break;
    case 0x72: if (need(0x80)) privateOperation(c, a); break;
    case 0xC2: if (need(0x80)) ssfLoadKey(c, a); break;
    case 0xC4: if (need(0x80)) ssfCipher(c, a); break;
    case 0xC6: if (need(0x80)) ssfEnd(c, a); break;
    case 0xC0:
      if (need(0x00)) getResponse(c, a, hadPending, pending, pendingLen);
      break;
    default: c.sw(kBadIns); break;
  }
  if (c.r.sw != kOk && (c.r.sw >> 8) != 0x61) c.r.len = 0;
  // T=0: a command that carried data in and has data out answers 61xx and
  // hands its data to the following GET RESPONSE only.
  if (p.options.t0 && a.ins != 0xC0 && !a.data.empty() && c.r.sw == kOk && c.r.len > 0) {
    std::memcpy(v.pending, c.r.data.data(), c.r.len);
    v.pendingLen = static_cast<std::uint16_t>(c.r.len);
    v.pendingValid = 1;
    c.r.sw = static_cast<std::uint16_t>(0x6100 | (c.r.len & 0xFF));
    c.r.len = 0;
  }
  return {c.r, c.changed};
}

}  // namespace tkp30emu
