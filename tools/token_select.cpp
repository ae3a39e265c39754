#include "token_select.h"

#include <cstdlib>

#include "norv_dal_tkp30.h"
#include "tool_error.h"

namespace tkp30 {

void selectEmulator(const std::string& imagePath) {
  const std::string slots = "emu:" + imagePath;
  ::setenv(kSlotsVariable, slots.c_str(), 1);
}

void applyTokenChoice(const TokenChoice& choice) {
  if (!choice.emulatorImage.empty()) selectEmulator(choice.emulatorImage);
  if (choice.trace) ::setenv(kTraceVariable, "-", 1);
}

std::string configuredSlots() {
  const char* slots = std::getenv(kSlotsVariable);
  return slots != nullptr ? slots : "";
}

void openToken() {
  if (configuredSlots().empty())
    throw Failure(
        "no token configured: set TKP30_SLOTS (\"pcsc:<reader>\" or "
        "\"emu:<image>\") or pass --emulator IMAGE");
  check(NORV_DAL_Initialize(), "open the token");
}

}  // namespace tkp30
