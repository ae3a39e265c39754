// Keys, PINs and the security state: WRITE KEY, VERIFY, CHANGE PIN, the
// secured PIN reload, GET CHALLENGE and EXTERNAL AUTHENTICATE.
#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "card_codes.h"
#include "card_commands.h"
#include "emu_crypto.h"

namespace tkp30emu::card {
namespace {

// WRITE KEY: identifier, type, five parameter bytes, tries; then the value.
constexpr std::size_t kKeyHeaderBytes = 8;
constexpr std::size_t kParamsAt = 2;
constexpr std::size_t kTriesAt = 7;
// CHANGE PIN: P1, and the tags of the old and the new PIN.
constexpr std::uint8_t kChangePinP1 = 0x01;
constexpr std::uint8_t kTagOldPin = 0x81;
constexpr std::uint8_t kTagNewPin = 0x82;
// The reload: a two-key triple-DES key, a PIN block of one or two DES
// blocks, a 4-byte MAC keyed on a 4-byte challenge.
constexpr std::size_t kDesBlock = 8;
constexpr std::size_t kTwoKeyBytes = 16;
constexpr std::size_t kReloadMacBytes = 4;
constexpr std::size_t kReloadChallengeBytes = 4;
constexpr std::size_t kCommandHeaderBytes = 5;  // CLA INS P1 P2 Lc
constexpr std::uint8_t kPadMarker = 0x80;       // then zeros to the block boundary
constexpr std::size_t kMaxChallenge = 255;

KeyRecord* findPin(Ctx& c, std::uint8_t ref) {
  auto it = c.p.keys.find(ref);
  if (it == c.p.keys.end() || it->second.type != kPinType) return nullptr;
  return &it->second;
}

std::uint8_t stateForPin(std::uint8_t ref) {
  switch (ref) {
    case kSuperPinRef: return kStateSuper;
    case kUserPinRef: return kStateUser;
    default: return kStateNone;  // the logout PIN 0x0F and any other PIN
  }
}

std::uint16_t triesLeft(const KeyRecord& pin) {
  return static_cast<std::uint16_t>(kTriesLeft | pin.tries);
}

// Spends one try of a PIN that has tries left, durably, before the PIN is
// compared: a comparison whose cost could not be recorded (a full disk)
// never happens, so it can tell a guesser nothing. False, with the try
// given back and 6581 answered, when it could not be recorded.
bool spendTry(Ctx& c, KeyRecord& pin) {
  --pin.tries;
  if (c.persistNow()) return true;
  ++pin.tries;
  c.sw(kMemoryFailure);
  return false;
}

// A refused PIN presentation: its try is spent already; state cleared.
void wrongPin(Ctx& c, const KeyRecord& pin) {
  c.v.securityState = kStateNone;
  c.sw(triesLeft(pin));
}

// The try spent for the presentation comes back with all the others.
void rightPin(Ctx& c, KeyRecord& pin) {
  pin.tries = pin.maxTries;
  c.changed = true;
}

bool pinEquals(const KeyRecord& pin, std::span<const std::uint8_t> given) {
  return given.size() == pin.value.size() &&
         CRYPTO_memcmp(given.data(), pin.value.data(), given.size()) == 0;
}

// The retail MAC of a reload command: over H || E || 80 00.. (to a
// multiple of 8), initial value = the 4-byte challenge and 4 zero bytes.
bool reloadMacMatches(const Ctx& c, const Apdu& a, const std::uint8_t key[kTwoKeyBytes]) {
  const std::size_t cryptogramLen = a.data.size() - kReloadMacBytes;
  std::uint8_t input[kCommandHeaderBytes + 2 * kDesBlock + kDesBlock] = {
      a.cla, a.ins, a.p1, a.p2, static_cast<std::uint8_t>(a.data.size())};
  std::memcpy(input + kCommandHeaderBytes, a.data.data(), cryptogramLen);
  input[kCommandHeaderBytes + cryptogramLen] = kPadMarker;
  const std::size_t inputLen =
      (kCommandHeaderBytes + cryptogramLen + 1 + kDesBlock - 1) / kDesBlock * kDesBlock;
  std::uint8_t iv[kDesBlock] = {};
  std::memcpy(iv, c.challenge, kReloadChallengeBytes);
  std::uint8_t mac[kDesBlock];
  crypto::retailMac(key, iv, input, inputLen, mac);
  return CRYPTO_memcmp(mac, a.data.data() + cryptogramLen, kReloadMacBytes) == 0;
}

// The PIN block: length, PIN, then 80 00.. unless the PIN fills the block.
// Returns the PIN length, 0 for a malformed block.
std::size_t pinBlockLength(const std::uint8_t* block, std::size_t blockLen) {
  const std::size_t n = block[0];
  if (n < 1 || n + 1 > blockLen) return 0;
  if (n + 1 == blockLen) return n;
  if (block[n + 1] != kPadMarker) return 0;
  for (std::size_t i = n + 2; i < blockLen; ++i)
    if (block[i] != 0) return 0;
  return n;
}

bool reloadLengthValid(std::size_t dataLen) {
  return dataLen == kDesBlock + kReloadMacBytes || dataLen == 2 * kDesBlock + kReloadMacBytes;
}

// Decrypts the PIN block under the unlock key and installs the PIN it
// carries with its maximum tries; false (nothing changed) when malformed.
bool installReloadedPin(Ctx& c, const Apdu& a, const std::uint8_t* key, KeyRecord& pin) {
  const std::size_t blockLen = a.data.size() - kReloadMacBytes;
  std::uint8_t block[2 * kDesBlock] = {};
  for (std::size_t off = 0; off < blockLen; off += kDesBlock)
    crypto::tdesEcb(key, a.data.data() + off, block + off, false);
  const std::size_t n = pinBlockLength(block, blockLen);
  if (n != 0) {
    pin.value.assign(block + 1, block + 1 + n);
    pin.tries = pin.maxTries;
    c.changed = true;
  }
  OPENSSL_cleanse(block, sizeof block);
  return n != 0;
}

}  // namespace

void writeKey(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() < kKeyHeaderBytes || a.data.size() > kKeyHeaderBytes + kMaxKeyValue)
    return void(c.sw(kWrongLength));
  if (!c.p.mfExists || !hasKeyFile(c.p)) return void(c.sw(kFileNotFound));
  const std::uint8_t id = a.data[0];
  KeyRecord k;
  k.type = a.data[1];
  std::copy_n(a.data.begin() + kParamsAt, k.params.size(), k.params.begin());
  k.maxTries = a.data[kTriesAt] >> 4;
  k.tries = a.data[kTriesAt] & 0x0F;
  k.value.assign(a.data.begin() + kKeyHeaderBytes, a.data.end());
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

void verify(Ctx& c, const Apdu& a) {
  if (a.p2 != 0) return void(c.sw(kBadP1P2));
  KeyRecord* pin = findPin(c, a.p1);
  if (!pin) return void(c.sw(kKeyNotFound));
  if (a.data.empty()) {  // status query: tries left, nothing consumed
    if (pin->tries == 0) return void(c.sw(kBlocked));
    const bool verified = stateForPin(a.p1) != kStateNone && c.v.securityState == stateForPin(a.p1);
    return void(c.sw(verified ? kOk : triesLeft(*pin)));
  }
  if (pin->tries == 0) {
    c.v.securityState = kStateNone;
    return void(c.sw(kBlocked));
  }
  if (!spendTry(c, *pin)) return;
  if (!pinEquals(*pin, a.data)) return wrongPin(c, *pin);
  rightPin(c, *pin);
  c.v.securityState = stateForPin(a.p1);
  c.sw(kOk);
}

void changePin(Ctx& c, const Apdu& a) {
  if (a.p1 != kChangePinP1) return void(c.sw(kBadP1P2));
  const auto d = a.data;
  if (d.size() < 4) return void(c.sw(kWrongLength));
  if (d[0] != kTagOldPin) return void(c.sw(kBadData));
  const std::size_t oldLen = d[1];
  if (2 + oldLen + 2 > d.size()) return void(c.sw(kWrongLength));
  if (d[2 + oldLen] != kTagNewPin) return void(c.sw(kBadData));
  const std::size_t newLen = d[3 + oldLen];
  if (4 + oldLen + newLen != d.size()) return void(c.sw(kWrongLength));
  if (newLen == 0 || newLen > kMaxKeyValue) return void(c.sw(kBadData));
  KeyRecord* pin = findPin(c, a.p2);
  if (!pin) return void(c.sw(kKeyNotFound));
  if (pin->tries == 0) return void(c.sw(kBlocked));
  if (!spendTry(c, *pin)) return;
  if (!pinEquals(*pin, d.subspan(2, oldLen))) return wrongPin(c, *pin);
  pin->value.assign(d.begin() + static_cast<std::ptrdiff_t>(4 + oldLen), d.end());
  rightPin(c, *pin);
  c.sw(kOk);
}

// A good MAC first, then the super PIN verified; the new PIN comes
// encrypted under the unlock key.
void reloadPin(Ctx& c, const Apdu& a) {
  if (a.p2 != 0) return void(c.sw(kBadP1P2));
  if (!reloadLengthValid(a.data.size())) return void(c.sw(kWrongLength));
  if (c.challengeLen < kReloadChallengeBytes) return void(c.sw(kConditions));
  auto uk = c.p.keys.find(kUnlockKeyId);
  if (uk == c.p.keys.end() || uk->second.value.size() != kTwoKeyBytes)
    return void(c.sw(kKeyNotFound));
  const std::uint8_t* key = uk->second.value.data();
  if (!reloadMacMatches(c, a, key)) return void(c.sw(kBadSm));
  if (c.v.securityState != kStateSuper) return void(c.sw(kSecurity));
  KeyRecord* pin = findPin(c, a.p1);
  if (!pin) return void(c.sw(kKeyNotFound));
  c.sw(installReloadedPin(c, a, key, *pin) ? kOk : kBadSm);
}

void getChallenge(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (!a.data.empty() || (a.hasLe && a.le > kMaxChallenge)) return void(c.sw(kWrongLength));
  const std::size_t n = a.hasLe ? a.le : kChallengeBytes;  // lenient about a missing Le
  std::uint8_t rnd[kMaxChallenge] = {};
  if (!crypto::randomBytes(rnd, n)) return void(c.sw(kMemoryFailure));
  c.out(rnd, n);
  c.v.challengeLen = static_cast<std::uint8_t>(std::min(n, kChallengeBytes));
  std::memcpy(c.v.challenge, rnd, c.v.challengeLen);
  c.sw(kOk);
}

void externalAuthenticate(Ctx& c, const Apdu& a) {
  if (a.p1 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() != kDesBlock) return void(c.sw(kWrongLength));
  auto it = c.p.keys.find(a.p2);
  if (it == c.p.keys.end() || it->second.type == kPinType) return void(c.sw(kKeyNotFound));
  if (it->second.value.size() != kTwoKeyBytes) return void(c.sw(kConditions));
  if (c.challengeLen != kDesBlock) return void(c.sw(kConditions));
  std::uint8_t expect[kDesBlock];
  crypto::tdesEcb(it->second.value.data(), c.challenge, expect, true);
  if (CRYPTO_memcmp(expect, a.data.data(), kDesBlock) != 0) {
    c.v.extAuthenticated = 0;
    return void(c.sw(kSecurity));
  }
  c.v.extAuthenticated = 1;
  c.sw(kOk);
}

}  // namespace tkp30emu::card
