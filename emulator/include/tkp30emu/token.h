// The emulated TKP30 token: a card operating system over a token image.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tkp30emu {

// Most data one response carries (Le 00).
constexpr std::size_t kMaxResponseData = 256;

// One response APDU: data and status word.
struct Response {
  std::array<std::uint8_t, kMaxResponseData> data{};
  std::size_t len = 0;
  std::uint16_t sw = 0;
};

// Settings of an emulated token, kept in its image.
struct TokenOptions {
  // T=0 behaviour: commands that carry data in and out answer 61xx and
  // hand their data to the following GET RESPONSE only.
  bool t0 = false;
  bool operator==(const TokenOptions&) const = default;
};

// A token opened from an image file. A missing file is a blank token
// (no MF); the first command that changes persistent state creates it.
// The volatile state (security state, current file, challenge, cipher
// state, pending response) is shared by every process that opens the
// same image, and is lost by powerCycle().
class Token {
 public:
  virtual ~Token() = default;

  // Runs one command APDU. Never throws for any input.
  virtual Response transmit(std::span<const std::uint8_t> apdu) = 0;

  // Power-down and power-up: clears the volatile state.
  virtual void powerCycle() = 0;

  // How long each answer waits, as TKP30_EMU_DELAY_US asked when the token
  // opened (zero when unset or not a whole number of microseconds from 0
  // to 1000000). A testing aid that imitates a real token's pace.
  virtual std::chrono::microseconds answerDelay() const = 0;
};

// Opens the token kept in `imagePath`. Returns nullptr and sets `error`
// when the image is damaged or foreign, or the file cannot be used.
std::unique_ptr<Token> openToken(const std::string& imagePath, std::string& error);

// Sets the T=0 behaviour of the token in `imagePath` (creating a blank
// image if needed). Returns false and sets `error` on failure.
bool setTokenOptions(const std::string& imagePath, const TokenOptions& options, std::string& error);

// Power-cycles the token in `imagePath` for every process that uses it
// (clears the shared volatile state), from any process. The image itself
// is not read, so this works on a damaged or blank token too. Returns
// false and sets `error` when the token's lock cannot be taken.
bool powerCycleToken(const std::string& imagePath, std::string& error);

}  // namespace tkp30emu
