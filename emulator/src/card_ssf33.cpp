// SSF33, computed as SM4: LOAD KEY, CIPHER BLOCK and END over the cipher
// state kept with the volatile state.
#include <algorithm>
#include <cstring>

#include "card_codes.h"
#include "card_commands.h"
#include "emu_crypto.h"

namespace tkp30emu::card {
namespace {

// LOAD KEY's P1 bits (0x40 always, 0x01 CBC, 0x80 decryption) and P2.
constexpr std::uint8_t kP1Always = 0x40;
constexpr std::uint8_t kP1Cbc = 0x01;
constexpr std::uint8_t kP1Decrypt = 0x80;
constexpr std::uint8_t kP1Known = kP1Always | kP1Cbc | kP1Decrypt;
constexpr std::uint8_t kLoadKeyP2 = 0x08;

// One block through the loaded cipher, CBC chaining kept in the state.
bool cipherBlock(Volatile& v, const std::uint8_t* in, std::uint8_t* out) {
  if (!v.cipherDecrypt) {
    std::uint8_t x[kSm4Block];
    for (std::size_t i = 0; i < kSm4Block; ++i)
      x[i] = static_cast<std::uint8_t>(in[i] ^ (v.cipherCbc ? v.cipherChain[i] : 0));
    if (!crypto::sm4Block(v.cipherKey, x, out, true)) return false;
    if (v.cipherCbc) std::memcpy(v.cipherChain, out, kSm4Block);
    return true;
  }
  if (!crypto::sm4Block(v.cipherKey, in, out, false)) return false;
  if (v.cipherCbc) {
    for (std::size_t i = 0; i < kSm4Block; ++i)
      out[i] = static_cast<std::uint8_t>(out[i] ^ v.cipherChain[i]);
    std::memcpy(v.cipherChain, in, kSm4Block);
  }
  return true;
}

}  // namespace

// Only the first 16 key bytes are used; in CBC mode the IV follows the key.
void ssfLoadKey(Ctx& c, const Apdu& a) {
  if ((a.p1 & kP1Always) == 0 || (a.p1 & ~kP1Known) != 0 || a.p2 != kLoadKeyP2)
    return void(c.sw(kBadP1P2));
  const bool cbc = a.p1 & kP1Cbc;
  const std::size_t keyLen = a.data.size() - (cbc ? std::min(kSm4Block, a.data.size()) : 0);
  if (keyLen < kSm4Block || (cbc && a.data.size() < 2 * kSm4Block)) return void(c.sw(kWrongLength));
  c.v.cipherLoaded = 1;
  c.v.cipherCbc = cbc;
  c.v.cipherDecrypt = (a.p1 & kP1Decrypt) != 0;
  std::memcpy(c.v.cipherKey, a.data.data(), kSm4Block);
  std::memset(c.v.cipherChain, 0, kSm4Block);
  if (cbc) std::memcpy(c.v.cipherChain, a.data.data() + keyLen, kSm4Block);
  c.sw(kOk);
}

void ssfCipher(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.empty() || a.data.size() % kSm4Block != 0) return void(c.sw(kWrongLength));
  if (!c.v.cipherLoaded) return void(c.sw(kConditions));
  std::uint8_t result[kMaxResponseData] = {};
  for (std::size_t off = 0; off < a.data.size(); off += kSm4Block)
    if (!cipherBlock(c.v, a.data.data() + off, result + off)) return void(c.sw(kMemoryFailure));
  c.out(result, a.data.size());
  c.sw(kOk);
}

void ssfEnd(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  c.v.cipherLoaded = 0;
  c.v.cipherCbc = 0;
  c.v.cipherDecrypt = 0;
  std::memset(c.v.cipherKey, 0, kSm4Block);
  std::memset(c.v.cipherChain, 0, kSm4Block);
  c.sw(kOk);
}

}  // namespace tkp30emu::card
