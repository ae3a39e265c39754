// RSA: key pairs generated on the card or imported component by
// component, the public half read back, the private operation.
#include <openssl/crypto.h>

#include <algorithm>

#include "card_codes.h"
#include "card_commands.h"
#include "emu_crypto.h"

namespace tkp30emu::card {
namespace {

// Component numbers (P2 of IMPORT and READ RSA KEY COMPONENT): 1 the
// exponent and 2 the modulus in the public file, 3..7 the CRT components
// in the private one.
constexpr std::uint8_t kExponent = 1;
constexpr std::uint8_t kModulus = 2;
constexpr std::uint8_t kFirstCrt = 3;
constexpr std::uint8_t kLastCrt = 7;
// The exponent every generated key gets: 65537, low byte first.
constexpr std::uint8_t kExponent65537[kExponentBytes] = {0x01, 0x00, 0x01, 0x00};

using CrtComponents = std::uint8_t[kCrtComponents][kRsaHalf];

std::uint8_t presentBit(std::uint8_t component) {
  return static_cast<std::uint8_t>(1u << (component - 1));
}

std::size_t componentBytes(std::uint8_t component) {
  if (component == kExponent) return kExponentBytes;
  return component == kModulus ? kRsaBytes : kRsaHalf;
}

// Where a component lies in its file's data.
std::size_t componentOffset(std::uint8_t component) {
  if (component == kExponent) return 0;
  if (component == kModulus) return kExponentBytes;
  return kRsaHalf * (component - kFirstCrt);
}

void storeKeyPair(ElementaryFile& pub, ElementaryFile& pri, const std::uint8_t* modulus,
                  const CrtComponents& crt) {
  std::copy_n(kExponent65537, kExponentBytes, pub.data.begin());
  std::copy_n(modulus, kRsaBytes, pub.data.begin() + kExponentBytes);
  pub.present = kPublicComplete;
  for (std::size_t i = 0; i < kCrtComponents; ++i)
    std::copy_n(crt[i], kRsaHalf, pri.data.begin() + static_cast<std::ptrdiff_t>(kRsaHalf * i));
  pri.present = kPrivateComplete;
}

}  // namespace

void generateKeyPair(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() != 2 * sizeof(std::uint16_t)) return void(c.sw(kWrongLength));  // two file ids
  ElementaryFile* pub = fileById(c, idAt(a.data.data()));
  ElementaryFile* pri = fileById(c, idAt(a.data.data() + 2));
  if (!pub || !pri) return void(c.sw(kFileNotFound));
  if (pub->type != kRsaPublic || pri->type != kRsaPrivate) return void(c.sw(kIncompatibleFile));
  if (!granted(pri->access[1], c.v.securityState) || !granted(pub->access[1], c.v.securityState))
    return void(c.sw(kSecurity));
  std::uint8_t n[kRsaBytes];
  CrtComponents crt;
  if (!c.gen || !c.gen(n, crt)) return void(c.sw(kMemoryFailure));
  storeKeyPair(*pub, *pri, n, crt);
  OPENSSL_cleanse(crt, sizeof crt);
  c.changed = true;
  c.sw(kOk);
}

void importComponent(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 < kExponent || a.p2 > kLastCrt) return void(c.sw(kBadP1P2));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  const bool publicPart = a.p2 <= kModulus;
  if (f->type != (publicPart ? kRsaPublic : kRsaPrivate)) return void(c.sw(kIncompatibleFile));
  if (a.data.size() != componentBytes(a.p2)) return void(c.sw(kWrongLength));
  if (!granted(f->access[1], c.v.securityState)) return void(c.sw(kSecurity));
  const auto at = static_cast<std::ptrdiff_t>(componentOffset(a.p2));
  std::copy(a.data.begin(), a.data.end(), f->data.begin() + at);
  f->present = static_cast<std::uint8_t>(f->present | presentBit(a.p2));
  c.changed = true;
  c.sw(kOk);
}

// Only the public components can be read, never a private one.
void readComponent(Ctx& c, const Apdu& a) {
  if (!a.data.empty()) return void(c.sw(kWrongLength));
  if (a.p1 != 0 || (a.p2 != kExponent && a.p2 != kModulus)) return void(c.sw(kBadP1P2));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  if (f->type == kRsaPrivate) return void(c.sw(kSecurity));
  if (f->type != kRsaPublic) return void(c.sw(kIncompatibleFile));
  if (!granted(f->access[0], c.v.securityState)) return void(c.sw(kSecurity));
  if (!(f->present & presentBit(a.p2))) return void(c.sw(kKeyNotFound));
  const std::size_t len = componentBytes(a.p2);
  if (a.hasLe && a.le != kMaxResponseData && a.le != len) return void(c.sw(kWrongLength));
  c.out(f->data.data() + componentOffset(a.p2), len);
  c.sw(kOk);
}

// Raw, from the CRT components alone, for a verified user or super PIN.
void privateOperation(Ctx& c, const Apdu& a) {
  if (a.data.size() != kRsaBytes) return void(c.sw(kWrongLength));
  if (a.hasLe && a.le != kMaxResponseData && a.le != kRsaBytes) return void(c.sw(kWrongLength));
  ElementaryFile* f = fileById(c, static_cast<std::uint16_t>(a.p1 | (a.p2 << 8)));
  if (!f) return void(c.sw(kFileNotFound));
  if (f->type != kRsaPrivate) return void(c.sw(kIncompatibleFile));
  if (c.v.securityState != kStateUser && c.v.securityState != kStateSuper)
    return void(c.sw(kSecurity));
  if ((f->present & kPrivateComplete) != kPrivateComplete) return void(c.sw(kKeyNotFound));
  CrtComponents crt;
  for (std::size_t i = 0; i < kCrtComponents; ++i)
    std::copy_n(f->data.begin() + static_cast<std::ptrdiff_t>(kRsaHalf * i), kRsaHalf, crt[i]);
  std::uint8_t result[kRsaBytes] = {};
  const bool ok = crypto::rsaCrt(crt, a.data.data(), result);
  OPENSSL_cleanse(crt, sizeof crt);
  if (!ok) return void(c.sw(kBadData));
  c.out(result, kRsaBytes);
  c.sw(kOk);
}

}  // namespace tkp30emu::card
