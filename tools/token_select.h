// Which token the library opens. The library reads the device library's
// slot configuration from the environment at its first call, so the
// choice is made by setting the environment before any library call.
#pragma once

#include <string>

namespace tkp30 {

struct TokenChoice {
  std::string emulatorImage;  // --emulator: this image alone, no other slot
  bool trace = false;         // --trace: the APDU trace on standard error
};

inline constexpr char kSlotsVariable[] = "TKP30_SLOTS";
inline constexpr char kTraceVariable[] = "TKP30_TRACE";

// Sets the environment for the choice; call before any library call.
void applyTokenChoice(const TokenChoice& choice);

// Points the device library at the emulated token in `imagePath` only.
void selectEmulator(const std::string& imagePath);

// Opens the token, failing with a hint when no slot is configured: the
// tool never picks an emulated token on its own.
void openToken();

// The slot configuration in effect, for display.
std::string configuredSlots();

}  // namespace tkp30
