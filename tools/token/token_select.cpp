#include "token/token_select.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "common/token_shape.h"
#include "dmcos.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"
#include "platform/console.h"

namespace tkp30 {
namespace {

constexpr int kReasonCapacity = 512;

// Each configured slot and why it did not open, one per line.
std::string openFailures() {
  std::string lines;
  const auto entries = slotEntries();
  for (int number = 1; number <= common::kSlotCount; ++number) {
    const std::string& entry = entries[static_cast<std::size_t>(number - 1)];
    if (entry.empty()) continue;
    lines += "\n  slot " + std::to_string(number) + " (" + entry + "): " + openFailure(number);
  }
  return lines;
}

}  // namespace

void selectEmulator(const std::string& imagePath) {
  const std::string slots = "emu:" + imagePath;
  setEnvironment(common::kSlotsVariable, slots);
}

void applyTokenChoice(const TokenChoice& choice) {
  if (!choice.emulatorImage.empty()) selectEmulator(choice.emulatorImage);
  if (choice.slot != 0) {
    const std::string entry = slotEntries()[static_cast<std::size_t>(choice.slot - 1)];
    if (entry.empty())
      throw UsageError("slot " + std::to_string(choice.slot) + " is not configured in " +
                       common::kSlotsVariable + " (tkp30 slots lists them)");
    // The same slot number, every other slot left unconfigured.
    const std::string only = std::string(static_cast<std::size_t>(choice.slot - 1), ';') + entry;
    setEnvironment(common::kSlotsVariable, only);
  }
  if (choice.trace) setEnvironment(common::kTraceVariable, "-");
}

std::string configuredSlots() {
  const char* slots = std::getenv(common::kSlotsVariable);
  return slots != nullptr ? slots : "";
}

std::array<std::string, common::kSlotCount> slotEntries() {
  std::array<std::string, common::kSlotCount> entries;
  const std::string config = configuredSlots();
  std::string_view rest = config;
  for (std::size_t i = 0; i < entries.size() && !rest.empty(); ++i) {
    const std::size_t end = rest.find(';');
    entries[i] = std::string(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return entries;
}

std::string openFailure(int number) {
  std::string reason(kReasonCapacity, '\0');
  const int length = OpenError_UK(number, reason.data(), kReasonCapacity);
  if (length <= 0) return "";
  reason.resize(std::min(static_cast<std::size_t>(length), reason.size() - 1));
  return reason;
}

int openedSlot() {
  const auto entries = slotEntries();
  for (int number = 1; number <= common::kSlotCount; ++number) {
    if (!entries[static_cast<std::size_t>(number - 1)].empty() && openFailure(number).empty())
      return number;
  }
  return 0;
}

TokenLock openToken() {
  if (configuredSlots().empty())
    throw Failure(
        "no token configured: set TKP30_SLOTS (\"pcsc:<reader>\" or "
        "\"emu:<image>\") or pass --emulator IMAGE");
  TokenLock lock;
  const std::int32_t rv = NORV_DAL_Initialize();
  if (rv == NORV_DAL_ERR_OPEN_DEVICE) throw LibraryError("open the token", rv, openFailures());
  check(rv, "open the token");
  return lock;
}

}  // namespace tkp30
