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

// The text of each entry, slot 1 first; missing entries stay empty.
std::array<std::string_view, kSlotCount> splitEntries(std::string_view config) {
  std::array<std::string_view, kSlotCount> texts{};
  for (std::size_t slot = 0; slot < texts.size() && !config.empty(); ++slot) {
    const std::size_t end = config.find(';');
    texts[slot] = config.substr(0, end);
    if (end == std::string_view::npos) break;
    config.remove_prefix(end + 1);
  }
  return texts;
}

}  // namespace

SlotEntries parseSlots(std::string_view config) {
  SlotEntries entries;
  const auto texts = splitEntries(config);
  for (std::size_t slot = 0; slot < texts.size(); ++slot) entries[slot] = parseEntry(texts[slot]);
  return entries;
}

std::string unconfiguredReason(std::string_view config, int number) {
  if (number < 1 || number > kSlotCount) return "there are slots 1 to 6 only";
  const std::string_view text = splitEntries(config)[static_cast<std::size_t>(number - 1)];
  if (text.empty()) return "not configured (no entry for this slot in TKP30_SLOTS)";
  if (text == kEmuPrefix) return "\"emu:\" names no token image";
  std::string reason(1, '"');
  reason.append(text).append("\" is not a slot entry (emu:<image> or pcsc:<reader>)");
  return reason;
}

}  // namespace dmcos
