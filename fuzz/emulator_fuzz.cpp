// Arbitrary command sequences against the emulated card, starting from a
// formatted token. Input: [flags] then records of [length][APDU bytes].
// Invariants checked after every command: the answer fits its buffer, the
// file space stays bounded, and the state always survives an image round
// trip. Arbitrary bytes are also fed to the image decoder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tkp30emu/card.h"

namespace {

using tkp30emu::Bytes;

Bytes hex(const char* text) {
  Bytes out;
  int hi = -1;
  for (const char* c = text; *c; ++c) {
    if (*c == ' ') continue;
    const int v = *c <= '9' ? *c - '0' : *c - 'A' + 10;
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(hi * 16 + v));
      hi = -1;
    }
  }
  return out;
}

// Key generation is slow; one generated pair serves every request.
bool cachedRsa(std::uint8_t modulus[128], std::uint8_t crt[5][64]) {
  static std::uint8_t n[128];
  static std::uint8_t c[5][64];
  static const bool ok = tkp30emu::generateRsa1024(n, c);
  std::memcpy(modulus, n, sizeof n);
  std::memcpy(crt, c, sizeof c);
  return ok;
}

const tkp30emu::Persistent& formatted() {
  static const tkp30emu::Persistent base = [] {
    tkp30emu::Persistent p;
    tkp30emu::Volatile v;
    const char* commands[] = {
        "80 E0 00 00 0F 08 5A 00 00 00 FF FF FF FF FF FF FF FF 4D 46",
        "80 E0 02 00 09 25 00 00 20 18 0F 0F 0F 0F",
        "80 D4 00 00 18 01 01 00 01 08 5A 0F FF 54 5A 48 4E 57 51 58 56 52 4B 42 4D 4A 4C 43 35",
        "80 D4 00 00 18 06 06 00 01 0F 01 0F FF 48 56 51 54 52 4D 5A 57 42 58 50 4C 4A 44 53 45",
        "80 D4 00 00 10 10 03 00 00 08 5A 01 AA 31 32 33 34 35 36 37 38",
        "80 D4 00 00 10 0F 03 00 00 0F 01 0F FF 38 30 36 34 32 37 31 39",
        "80 D4 00 00 0E 11 03 00 00 08 14 0F FF 36 35 34 33 32 31",
        "80 E0 02 00 09 30 00 08 20 18 0F 0F 0F 0F",
        "80 E0 02 00 09 31 20 08 20 18 1F 1F 1F 15",
        "80 E0 02 00 09 21 F5 1F 00 02 AA AA 0F 0F",
        "80 E0 02 00 09 21 F6 1F 00 02 CC CC 0F 0F",
        "80 E0 02 00 09 21 F4 1F 00 08 0F 1F 5A 0F",
        "80 E0 02 00 09 21 05 04 01 00 F0 F0 0F 0F",
    };
    for (const char* c : commands) tkp30emu::runCommand(p, v, hex(c), &cachedRsa);
    return p;
  }();
  return base;
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The image decoder must refuse or accept arbitrary bytes cleanly.
  {
    tkp30emu::Persistent p;
    std::string error;
    if (tkp30emu::decodeImage({data, size}, p, error))
      check(tkp30emu::encodeImage(p) == Bytes(data, data + size));
  }
  if (size == 0) return 0;
  tkp30emu::Persistent p = formatted();
  p.options.t0 = (data[0] & 1) != 0;
  tkp30emu::Volatile v;
  if (data[0] & 2) v.securityState = 0x0A;
  if (data[0] & 4) v.extAuthenticated = 1;
  std::size_t pos = 1;
  while (pos < size) {
    const std::size_t len = std::min<std::size_t>(data[pos], size - pos - 1);
    const std::span<const std::uint8_t> apdu(data + pos + 1, len);
    pos += 1 + len;
    const tkp30emu::CardResult r = tkp30emu::runCommand(p, v, apdu, &cachedRsa);
    check(r.response.len <= r.response.data.size());
    check(r.response.sw != 0);
    check(p.usedSpace() <= tkp30emu::kCapacity);
    if (r.persistentChanged) {
      tkp30emu::Persistent back;
      std::string error;
      check(tkp30emu::decodeImage(tkp30emu::encodeImage(p), back, error));
      check(back == p);
    }
  }
  return 0;
}
