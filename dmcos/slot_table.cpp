#include "slot_table.h"

#include <cstdlib>

#include "process_id.h"

namespace dmcos {

// A child that exits runs this for the slots it inherited: the parent's
// backends are forsaken, never closed.
Slot::~Slot() { dropInherited(); }

bool Slot::ownBackend() const { return backend && owner == currentProcess(); }

void Slot::dropInherited() {
  if (!backend || owner == currentProcess()) return;
  backend->forsake();
  backend.reset();
  open = false;
  lastResponseSecret = false;
}

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

std::string SlotTable::unconfiguredReason(int number) {
  std::lock_guard lock(mutex_);
  return dmcos::unconfiguredReason(config_, number);
}

// Slots whose entry is unchanged keep their open backend.
void SlotTable::reconfigure(const std::string& config) {
  const SlotEntries entries = parseSlots(config);
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i] && slots_[i]->entry == entries[i]) continue;
    if (entries[i].scheme == Scheme::None) {
      slots_[i].reset();
      continue;
    }
    auto fresh = std::make_shared<Slot>();
    fresh->entry = entries[i];
    slots_[i] = std::move(fresh);
  }
  config_ = config;
  configured_ = true;
}

std::unique_ptr<Backend> makeBackend(const SlotEntry& entry) {
  switch (entry.scheme) {
    case Scheme::Emulator: return makeEmulatorBackend(entry.argument);
    case Scheme::Pcsc: return makePcscBackend(entry.argument);
    case Scheme::None: break;
  }
  return nullptr;
}

}  // namespace dmcos
