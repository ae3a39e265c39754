// Which token the library opens. The library reads the device library's
// slot configuration from the environment at its first call, so the
// choice is made by setting the environment before any library call.
#pragma once

#include <array>
#include <string>

#include "common/token_shape.h"

#include "token/token_lock.h"

namespace tkp30 {

struct TokenChoice {
  std::string emulatorImage;  // --emulator: this image alone, no other slot
  int slot = 0;               // --slot: this slot of TKP30_SLOTS alone (0: any)
  bool trace = false;         // --trace: the APDU trace on standard error
};

// Sets the environment for the choice; call before any library call.
// Throws UsageError for a --slot that names an unconfigured slot.
void applyTokenChoice(const TokenChoice& choice);

// Points the device library at the emulated token in `imagePath` only.
void selectEmulator(const std::string& imagePath);

// Takes the token lock and opens the token; the operation runs while the
// returned lock lives. Fails with a hint when no slot is configured (the
// tool never picks an emulated token on its own), and with each slot's
// reason when none opens.
[[nodiscard]] TokenLock openToken();

// The slot configuration in effect, for display, and its entries, slot 1
// first ("" for an unconfigured slot).
std::string configuredSlots();
std::array<std::string, common::kSlotCount> slotEntries();

// Why the last open of slot `number` failed ("" when it did not).
std::string openFailure(int number);

// The slot the library opened: slots are tried from 1 and the first that
// opens is kept, so it is the first configured slot without a failure.
// 0 before any open.
int openedSlot();

}  // namespace tkp30
