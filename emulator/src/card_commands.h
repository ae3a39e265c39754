// What every command of the card works on: the parsed command APDU and the
// state it may change, the checks several commands share, and the
// commands themselves, one file per section of the command set.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "tkp30emu/card.h"

namespace tkp30emu::card {

// A parsed short command APDU.
struct Apdu {
  std::uint8_t cla = 0, ins = 0, p1 = 0, p2 = 0;
  std::span<const std::uint8_t> data;
  bool hasLe = false;
  std::size_t le = 0;  // 1..256 when hasLe
  std::size_t p1p2() const { return (std::size_t{p1} << 8) | p2; }
};

// False for anything but a well-formed short APDU.
bool parse(std::span<const std::uint8_t> raw, Apdu& a);

struct Ctx {
  Persistent& p;
  Volatile& v;
  RsaGenerator gen;
  const Persist& persist;
  Response r;
  bool changed = false;
  std::uint8_t challenge[kChallengeBytes] = {};  // the challenge valid for this command
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
  // The persistent state durable now, before the command goes on. Without
  // a hook the caller commits it with the answer.
  bool persistNow() {
    if (persist) return persist(p);
    changed = true;
    return true;
  }
};

// Access byte check: granted when the security state lies between the two
// halves of the byte, in either order.
bool granted(std::uint8_t access, std::uint8_t state);
// What a file costs of the card's space.
std::size_t charge(const ElementaryFile& f);
bool hasKeyFile(const Persistent& p);
// The current EF, the EF of an identifier (within the MF), or null.
ElementaryFile* currentEf(Ctx& c);
ElementaryFile* fileById(Ctx& c, std::uint16_t id);
// A file identifier as it travels in command data, low byte first.
std::uint16_t idAt(const std::uint8_t* lowFirst);

// Files.
void selectFile(Ctx& c, const Apdu& a);
void createFile(Ctx& c, const Apdu& a);
void deleteFile(Ctx& c, const Apdu& a);
void readBinary(Ctx& c, const Apdu& a);
void updateBinary(Ctx& c, const Apdu& a);

// Keys, PINs and the security state.
void writeKey(Ctx& c, const Apdu& a);
void verify(Ctx& c, const Apdu& a);
void changePin(Ctx& c, const Apdu& a);
void reloadPin(Ctx& c, const Apdu& a);
void getChallenge(Ctx& c, const Apdu& a);
void externalAuthenticate(Ctx& c, const Apdu& a);

// RSA.
void generateKeyPair(Ctx& c, const Apdu& a);
void importComponent(Ctx& c, const Apdu& a);
void readComponent(Ctx& c, const Apdu& a);
void privateOperation(Ctx& c, const Apdu& a);

// SSF33 (SM4).
void ssfLoadKey(Ctx& c, const Apdu& a);
void ssfCipher(Ctx& c, const Apdu& a);
void ssfEnd(Ctx& c, const Apdu& a);

}  // namespace tkp30emu::card
