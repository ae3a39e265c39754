#include "slot_table.h"

#include <cstdlib>

namespace dmcos {

SlotTable& SlotTable::instance() {
  static SlotTable table;
  return table;
}

std::shared_ptr<Slot> SlotTable::slot(int number) {
  if (number < 1 || number > kSlotCount) return nullptr;
  std::lock_guard lock(mutex_);
  const char* value = std::getenv(kSlotsVariable);
  const std::string config = value ? value : "";
  if (!configured_ || config != config_) reconfigure(config);
  return slots_[static_cast<std::size_t>(number - 1)];
}

// Slots whose entry is unchanged keep their open backend.
void SlotTable::reconfigure(const std::string& config) {
  const SlotSpecs specs = parseSlots(config);
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i] && slots_[i]->spec == specs[i]) continue;
    if (specs[i].scheme == Scheme::None) {
      slots_[i].reset();
      continue;
    }
    auto fresh = std::make_shared<Slot>();
    fresh->spec = specs[i];
    slots_[i] = std::move(fresh);
  }
  config_ = config;
  configured_ = true;
}

std::unique_ptr<Backend> makeBackend(const SlotSpec& spec) {
  switch (spec.scheme) {
    case Scheme::Emulator: return makeEmulatorBackend(spec.argument);
    case Scheme::Pcsc: return makePcscBackend(spec.argument);
    case Scheme::None: break;
  }
  return nullptr;
}

}  // namespace dmcos
