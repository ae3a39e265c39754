// The slot configuration parser (TKP30_SLOTS) on arbitrary strings. Checked
// against a split of its own: every slot's entry is the slot's field of the
// string, an emulator entry names an image, an unconfigured slot has no
// argument and a reason to give, and nothing spills past six slots.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "slot_config.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// The ';'-separated fields of `config`, slot 1 first, at most six.
std::vector<std::string_view> fields(std::string_view config) {
  std::vector<std::string_view> out;
  while (!config.empty() && out.size() < static_cast<std::size_t>(dmcos::kSlotCount)) {
    const std::size_t end = config.find(';');
    out.push_back(config.substr(0, end));
    if (end == std::string_view::npos) break;
    config.remove_prefix(end + 1);
  }
  return out;
}

std::string_view prefixOf(dmcos::Scheme scheme) {
  return scheme == dmcos::Scheme::Emulator ? "emu:" : "pcsc:";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view config(reinterpret_cast<const char*>(data), size);
  const dmcos::SlotEntries entries = dmcos::parseSlots(config);
  const std::vector<std::string_view> expected = fields(config);
  for (std::size_t slot = 0; slot < entries.size(); ++slot) {
    const dmcos::SlotEntry& entry = entries[slot];
    const std::string_view field = slot < expected.size() ? expected[slot] : std::string_view();
    check(entry.argument.find(';') == std::string::npos);
    const int number = static_cast<int>(slot) + 1;
    if (entry.scheme == dmcos::Scheme::None) {
      check(entry.argument.empty());
      check(!field.starts_with("pcsc:") && (!field.starts_with("emu:") || field == "emu:"));
      check(!dmcos::unconfiguredReason(config, number).empty());
      continue;
    }
    check(field == std::string(prefixOf(entry.scheme)) + entry.argument);
    check(entry.scheme != dmcos::Scheme::Emulator || !entry.argument.empty());
  }
  check(!dmcos::unconfiguredReason(config, 0).empty());
  check(!dmcos::unconfiguredReason(config, dmcos::kSlotCount + 1).empty());
  return 0;
}
