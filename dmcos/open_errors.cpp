#include "open_errors.h"

#include <array>
#include <mutex>

#include "slot_config.h"

namespace dmcos {
namespace {

struct OpenErrors {
  std::mutex mutex;
  std::array<std::string, kSlotCount> reasons;
};

OpenErrors& openErrors() {
  static OpenErrors errors;
  return errors;
}

bool isSlot(int number) { return number >= 1 && number <= kSlotCount; }

}  // namespace

void recordOpenOutcome(int number, std::string reason) {
  if (!isSlot(number)) return;
  OpenErrors& errors = openErrors();
  std::lock_guard lock(errors.mutex);
  errors.reasons[static_cast<std::size_t>(number - 1)] = std::move(reason);
}

std::string lastOpenError(int number) {
  if (!isSlot(number)) return "";
  OpenErrors& errors = openErrors();
  std::lock_guard lock(errors.mutex);
  return errors.reasons[static_cast<std::size_t>(number - 1)];
}

}  // namespace dmcos
