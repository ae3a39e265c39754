#include "slot_config.h"

namespace dmcos {
namespace {

constexpr std::string_view kEmuPrefix = "emu:";
constexpr std::string_view kPcscPrefix = "pcsc:";

SlotEntry parseEntry(std::string_view entry) {
  if (entry.starts_with(kEmuPrefix) && entry.size() > kEmuPrefix.size())
    return {Scheme::Emulator, std::string(entry.substr(kEmuPrefix.size()))};
  if (entry.starts_with(kPcscPrefix))
    return {Scheme::Pcsc, std::string(entry.substr(kPcscPrefix.size()))};
  return {};
}

}  // namespace

SlotEntries parseSlots(std::string_view config) {
  SlotEntries entries;
  for (int slot = 0; slot < kSlotCount && !config.empty(); ++slot) {
    const std::size_t end = config.find(';');
    entries[static_cast<std::size_t>(slot)] = parseEntry(config.substr(0, end));
    if (end == std::string_view::npos) break;
    config.remove_prefix(end + 1);
  }
  return entries;
}

}  // namespace dmcos
