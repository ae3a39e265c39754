// The card operating system: one command APDU against the token's state.
// This file parses the command, checks its class, hands it to its section
// (files, PINs, RSA, SSF33) and applies what the T=0 protocol asks of the
// answer; GET RESPONSE lives here too, as part of that protocol.
#include <algorithm>
#include <cstring>

#include "card_codes.h"
#include "card_commands.h"
#include "tkp30emu/card.h"

namespace tkp30emu {
namespace card {
namespace {

constexpr std::size_t kHeaderBytes = 4;  // CLA INS P1 P2
constexpr std::size_t kLcAt = kHeaderBytes;
constexpr std::size_t kDataAt = kLcAt + 1;

// Le (or the single length byte after the header) 00 stands for 256.
std::size_t expectedLength(std::uint8_t le) { return le == 0 ? kMaxResponseData : le; }

// The volatile state a command may use once: a challenge and a response
// held for GET RESPONSE. Taken out of the state before the command runs.
struct OneShot {
  bool hadPending = false;
  std::uint8_t pending[kMaxResponseData] = {};
  std::size_t pendingLen = 0;
};

OneShot takeOneShotState(Ctx& c) {
  std::memcpy(c.challenge, c.v.challenge, sizeof c.challenge);
  c.challengeLen = c.v.challengeLen;
  c.v.challengeLen = 0;
  std::memset(c.v.challenge, 0, sizeof c.v.challenge);
  OneShot taken;
  taken.hadPending = c.v.pendingValid;
  taken.pendingLen = std::min<std::size_t>(c.v.pendingLen, kMaxResponseData);
  if (taken.hadPending) std::memcpy(taken.pending, c.v.pending, taken.pendingLen);
  c.v.pendingValid = 0;
  c.v.pendingLen = 0;
  return taken;
}

// Keeps `data` for the next GET RESPONSE and answers 61xx.
void holdForGetResponse(Ctx& c, const std::uint8_t* data, std::size_t len) {
  std::memmove(c.v.pending, data, len);
  c.v.pendingLen = static_cast<std::uint16_t>(len);
  c.v.pendingValid = 1;
  c.r.sw = static_cast<std::uint16_t>(kMoreData | (len & 0xFF));
}

void getResponse(Ctx& c, const Apdu& a, const OneShot& held) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (!a.data.empty()) return void(c.sw(kWrongLength));
  if (!held.hadPending) return void(c.sw(kConditions));
  const std::size_t want = a.hasLe ? a.le : kMaxResponseData;
  if (want < held.pendingLen) {
    // Deliver the first part; the rest stays for one more GET RESPONSE.
    c.out(held.pending, want);
    holdForGetResponse(c, held.pending + want, held.pendingLen - want);
    return;
  }
  c.out(held.pending, held.pendingLen);
  c.sw(kOk);
}

bool knownClass(std::uint8_t cla) {
  return cla == kClaIso || cla == kClaProprietary || cla == kClaSecured;
}

// Every instruction with the class it needs and its handler.
struct Command {
  std::uint8_t ins;
  std::uint8_t cla;
  void (*run)(Ctx&, const Apdu&);
};

constexpr Command kCommands[] = {
    {kInsSelectFile, kClaIso, selectFile},
    {kInsCreateFile, kClaProprietary, createFile},
    {kInsDeleteFile, kClaIso, deleteFile},
    {kInsReadBinary, kClaIso, readBinary},
    {kInsUpdateBinary, kClaIso, updateBinary},
    {kInsWriteKey, kClaProprietary, writeKey},
    {kInsVerify, kClaIso, verify},
    {kInsChangePin, kClaProprietary, changePin},
    {kInsReloadPin, kClaSecured, reloadPin},
    {kInsGetChallenge, kClaIso, getChallenge},
    {kInsExternalAuth, kClaIso, externalAuthenticate},
    {kInsGenerateKeyPair, kClaProprietary, generateKeyPair},
    {kInsImportComponent, kClaProprietary, importComponent},
    {kInsReadComponent, kClaProprietary, readComponent},
    {kInsPrivateOperation, kClaProprietary, privateOperation},
    {kInsSsf33LoadKey, kClaProprietary, ssfLoadKey},
    {kInsSsf33Cipher, kClaProprietary, ssfCipher},
    {kInsSsf33End, kClaProprietary, ssfEnd},
};

void dispatch(Ctx& c, const Apdu& a, const OneShot& held) {
  if (a.ins == kInsGetResponse) {
    if (a.cla != kClaIso) return void(c.sw(kBadCla));
    return getResponse(c, a, held);
  }
  const auto* command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                     [&](const Command& k) { return k.ins == a.ins; });
  if (command == std::end(kCommands)) return void(c.sw(kBadIns));
  if (a.cla != command->cla) return void(c.sw(kBadCla));
  command->run(c, a);
  // A refused presentation of a PIN clears the security state; one whose
  // try could not be recorded was never compared and changes nothing.
  if (a.ins == kInsVerify && c.r.sw != kOk && c.r.sw != kMemoryFailure && !a.data.empty())
    c.v.securityState = kStateNone;
}

// T=0: a command that carried data in and has data out answers 61xx and
// hands its data to the following GET RESPONSE only.
void applyT0(Ctx& c, const Apdu& a) {
  if (a.ins == kInsGetResponse || a.data.empty() || c.r.sw != kOk || c.r.len == 0) return;
  holdForGetResponse(c, c.r.data.data(), c.r.len);
  c.r.len = 0;
}

}  // namespace

bool parse(std::span<const std::uint8_t> raw, Apdu& a) {
  if (raw.size() < kHeaderBytes) return false;
  a.cla = raw[0];
  a.ins = raw[1];
  a.p1 = raw[2];
  a.p2 = raw[3];
  if (raw.size() == kHeaderBytes) return true;
  if (raw.size() == kDataAt) {
    a.hasLe = true;
    a.le = expectedLength(raw[kLcAt]);
    return true;
  }
  const std::size_t lc = raw[kLcAt];
  if (lc == 0) return false;  // extended lengths are not supported
  if (raw.size() != kDataAt + lc && raw.size() != kDataAt + lc + 1) return false;
  a.data = raw.subspan(kDataAt, lc);
  if (raw.size() == kDataAt + lc + 1) {
    a.hasLe = true;
    a.le = expectedLength(raw[kDataAt + lc]);
  }
  return true;
}

}  // namespace card

CardResult runCommand(Persistent& p, Volatile& v, std::span<const std::uint8_t> raw,
                      RsaGenerator gen, const Persist& persist) {
  card::Ctx c{p, v, gen, persist, {}};
  const card::OneShot held = card::takeOneShotState(c);
  card::Apdu a;
  if (!card::parse(raw, a)) {
    c.sw(card::kWrongLength);
    return {c.r, false};
  }
  if (!card::knownClass(a.cla)) {
    c.sw(card::kBadCla);
    return {c.r, false};
  }
  card::dispatch(c, a, held);
  const bool moreData = (c.r.sw & 0xFF00) == card::kMoreData;
  if (c.r.sw != card::kOk && !moreData) c.r.len = 0;
  if (p.options.t0) card::applyT0(c, a);
  return {c.r, c.changed};
}

}  // namespace tkp30emu
