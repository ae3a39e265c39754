// Helpers for the emulated-token tests: temporary token images, raw APDUs
// in hex, and the host side of the card's cryptograms, computed here
// independently of the emulator.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tkp30emu/token.h"

namespace emu_test {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text);        // "00 A4 00 00" → bytes (spaces ignored)
Bytes cat(std::initializer_list<Bytes> parts);
Bytes bytesOf(const std::string& ascii);

// A fresh directory under the test temporary area; removed at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// One token opened on an image, with terse helpers for raw commands.
class Card {
 public:
  explicit Card(const std::string& image);
  tkp30emu::Response send(const Bytes& apdu);
  std::uint16_t sw(const std::string& hexApdu) { return send(hex(hexApdu)).sw; }
  Bytes data(const tkp30emu::Response& r) const { return Bytes(r.data.begin(), r.data.begin() + static_cast<long>(r.len)); }
  tkp30emu::Token& token() { return *token_; }

  // The whole formatting sequence of the library's layout; true when every
  // step the layout depends on answered 9000.
  bool format(const std::string& superPin, const std::string& userPin);
  // GET CHALLENGE + EXTERNAL AUTHENTICATE with key 0x01; the final status.
  std::uint16_t externalAuthenticate(const Bytes& key16, std::uint8_t keyId = 0x01);
  // The secured reload of PIN `ref` to `newPin`; `corruptMac` flips a MAC bit.
  std::uint16_t reloadPin(std::uint8_t ref, const std::string& newPin, bool corruptMac = false);

 private:
  std::unique_ptr<tkp30emu::Token> token_;
};

// Host-side cryptograms.
Bytes tdesEcbEncrypt(const Bytes& key16, const Bytes& block8);
Bytes retailMac4(const Bytes& key16, const Bytes& challenge4, const Bytes& data);

extern const char kExtAuthKey[];   // key 0x01 of the layout
extern const char kUnlockKey[];    // key 0x06 of the layout
extern const char kLogoutPin[];

}  // namespace emu_test
