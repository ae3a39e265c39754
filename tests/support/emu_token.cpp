#define OPENSSL_SUPPRESS_DEPRECATED
#include "support/emu_token.h"

#include <openssl/des.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "support/test_os.h"

namespace emu_test {

const char kExtAuthKey[] = "TZHNWQXVRKBMJLC5";
const char kUnlockKey[] = "HVQTRMZWBXPLJDSE";
const char kLogoutPin[] = "80642719";

Bytes hex(const std::string& text) {
  Bytes out;
  int hi = -1;
  for (char ch : text) {
    if (ch == ' ') continue;
    const int v = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : (std::toupper(ch) - 'A' + 10);
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(hi * 16 + v));
      hi = -1;
    }
  }
  return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes bytesOf(const std::string& ascii) { return Bytes(ascii.begin(), ascii.end()); }

TempDir::TempDir() {
  const char* base = std::getenv("TKP30_TEST_TMP");
  const std::string prefix = std::string(base && *base ? base : "/tmp") + "/emu.";
  std::filesystem::create_directories(std::filesystem::path(prefix).parent_path());
  path_ = testos::makeTempDir(prefix);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Card::Card(const std::string& image) {
  std::string error;
  token_ = tkp30emu::openToken(image, error);
  if (!token_) throw std::runtime_error("token did not open: " + error);
}

tkp30emu::Response Card::send(const Bytes& apdu) { return token_->transmit(apdu); }

namespace {

void desKey(const std::uint8_t* k, DES_key_schedule& ks) {
  DES_cblock b;
  std::memcpy(b, k, 8);
  DES_set_key_unchecked(&b, &ks);
}

Bytes keyRecord(std::uint8_t id, std::uint8_t type, const std::string& params, std::uint8_t tries,
                const Bytes& value) {
  Bytes data = cat({{id, type}, hex(params), {tries}, value});
  return cat({hex("80 D4 00 00"), {static_cast<std::uint8_t>(data.size())}, data});
}

}  // namespace

Bytes tdesEcbEncrypt(const Bytes& key16, const Bytes& block8) {
  DES_key_schedule k1, k2;
  desKey(key16.data(), k1);
  desKey(key16.data() + 8, k2);
  DES_cblock in, out;
  std::memcpy(in, block8.data(), 8);
  DES_ecb3_encrypt(&in, &out, &k1, &k2, &k1, DES_ENCRYPT);
  return Bytes(out, out + 8);
}

Bytes retailMac4(const Bytes& key16, const Bytes& challenge4, const Bytes& data) {
  DES_key_schedule k1, k2;
  desKey(key16.data(), k1);
  desKey(key16.data() + 8, k2);
  DES_cblock iv = {};
  std::memcpy(iv, challenge4.data(), 4);
  Bytes padded = data;
  padded.push_back(0x80);
  while (padded.size() % 8) padded.push_back(0);
  Bytes ct(padded.size());
  DES_ncbc_encrypt(padded.data(), ct.data(), static_cast<long>(padded.size()), &k1, &iv, DES_ENCRYPT);
  DES_cblock y, z;
  std::memcpy(y, ct.data() + ct.size() - 8, 8);
  DES_ecb_encrypt(&y, &z, &k2, DES_DECRYPT);
  DES_ecb_encrypt(&z, &y, &k1, DES_ENCRYPT);
  return Bytes(y, y + 4);
}

std::uint16_t Card::externalAuthenticate(const Bytes& key16, std::uint8_t keyId) {
  const auto challenge = send(hex("00 84 00 00 08"));
  const Bytes crypt = tdesEcbEncrypt(key16, data(challenge));
  return send(cat({hex("00 82 00"), {keyId, 0x08}, crypt})).sw;
}

std::uint16_t Card::reloadPin(std::uint8_t ref, const std::string& newPin, bool corruptMac) {
  const Bytes key = bytesOf(kUnlockKey);
  const std::size_t b = newPin.size() <= 7 ? 8 : 16;
  Bytes block(b, 0);
  block[0] = static_cast<std::uint8_t>(newPin.size());
  std::memcpy(block.data() + 1, newPin.data(), newPin.size());
  if (newPin.size() + 1 < b) block[newPin.size() + 1] = 0x80;
  Bytes e;
  for (std::size_t off = 0; off < b; off += 8) {
    const Bytes c = tdesEcbEncrypt(key, Bytes(block.begin() + static_cast<long>(off), block.begin() + static_cast<long>(off + 8)));
    e.insert(e.end(), c.begin(), c.end());
  }
  const auto challenge = send(hex("00 84 00 00 04"));
  const Bytes header = {0x84, 0x24, ref, 0x00, static_cast<std::uint8_t>(b + 4)};
  Bytes mac = retailMac4(key, data(challenge), cat({header, e}));
  if (corruptMac) mac[3] ^= 0x01;
  return send(cat({header, e, mac})).sw;
}

bool Card::format(const std::string& superPin, const std::string& userPin) {
  send(hex("00 A4 00 00 02 3F 00"));
  externalAuthenticate(bytesOf(kExtAuthKey));
  send(hex("00 E4 00 00 08 FF FF FF FF FF FF FF FF"));
  bool ok = send(hex("80 E0 00 00 0F 08 5A 00 00 00 FF FF FF FF FF FF FF FF 4D 46")).sw == 0x9000;
  ok = ok && send(hex("80 E0 02 00 09 25 00 00 20 18 0F 0F 0F 0F")).sw == 0x9000;
  const struct {
    std::uint8_t id, type;
    const char* params;
    std::uint8_t tries;
    Bytes value;
  } keys[] = {
      {0x00, 0x01, "00 01 0F 01 01", 0xFF, bytesOf("QJMXRZVTKWNBHPL8")},
      {0x01, 0x01, "00 01 08 5A 0F", 0xFF, bytesOf(kExtAuthKey)},
      {0x02, 0x02, "00 01 0F 01 0F", 0xFF, bytesOf("WBZKQHTRVMXNPJF4")},
      {0x04, 0x04, "00 01 0F 01 0F", 0xFF, bytesOf("PRXVNJTQWZMBKLD7")},
      {0x05, 0x05, "00 01 0F 01 0F", 0xFF, bytesOf("MTFWZQRNYBKVXCJH")},
      {0x06, 0x06, "00 01 0F 01 0F", 0xFF, bytesOf(kUnlockKey)},
      {0x10, 0x03, "00 00 08 5A 01", 0xAA, bytesOf(superPin)},
      {0x0F, 0x03, "00 00 0F 01 0F", 0xFF, bytesOf(kLogoutPin)},
      {0x11, 0x03, "00 00 08 14 0F", 0xFF, bytesOf(userPin)},
  };
  for (const auto& k : keys)
    ok = ok && send(keyRecord(k.id, k.type, k.params, k.tries, k.value)).sw == 0x9000;
  for (int i = 0; i < 4; ++i) {
    const auto n = static_cast<std::uint8_t>(i);
    send(cat({hex("80 E0 02 00 09 30"), {n}, hex("08 20 18 0F 0F 0F 0F")}));
    send(cat({hex("80 E0 02 00 09 31"), {static_cast<std::uint8_t>(0x20 + n)}, hex("08 20 18 1F 1F 1F 15")}));
  }
  send(hex("80 E0 02 00 09 21 F5 1F 00 02 AA AA 0F 0F"));
  send(hex("80 E0 02 00 09 21 F6 1F 00 02 CC CC 0F 0F"));
  send(hex("80 E0 02 00 09 21 F4 1F 00 08 0F 1F 5A 0F"));
  send(hex("00 A4 02 00 02 F4 1F"));
  send(hex("00 D6 00 00 02 00 00"));
  return ok;
}

}  // namespace emu_test
