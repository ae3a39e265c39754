// tkp30 slots: the six device slots, their configuration, whether each
// opens, and why not. Opening sends no command to a card, so it takes no
// token lock: a diagnosis never waits for another program.
#include <iomanip>
#include <iostream>
#include <string>

#include "commands/commands.h"
#include "common/token_shape.h"
#include "dmcos.h"
#include "io/json_text.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

struct SlotsOptions {
  bool json = false;
};

struct SlotState {
  int number = 0;
  std::string entry;
  bool opens = false;
  std::string reason;
};

SlotState probe(int number, const std::string& entry) {
  SlotState state{number, entry, Open_UK(number) != 0, ""};
  if (!state.opens) state.reason = openFailure(number);
  return state;
}

void printText(const SlotState& s) {
  std::cout << "slot " << s.number << "  " << std::left << std::setw(36)
            << (s.entry.empty() ? "-" : s.entry) << "  "
            << (s.opens ? "opens" : "does not open: " + s.reason) << "\n";
}

void printJson(const SlotState& s, bool first) {
  std::cout << (first ? "" : ",\n ") << "{\"slot\": " << s.number
            << ", \"entry\": " << jsonString(s.entry) << ", \"opens\": " << jsonBool(s.opens)
            << ", \"reason\": " << jsonString(s.reason) << "}";
}

void showSlots(const SlotsOptions& options) {
  const auto entries = slotEntries();
  if (options.json) std::cout << "{\"slots\": [";
  for (int number = 1; number <= common::kSlotCount; ++number) {
    const SlotState state = probe(number, entries[static_cast<std::size_t>(number - 1)]);
    if (options.json) {
      printJson(state, number == 1);
    } else {
      printText(state);
    }
  }
  if (options.json) std::cout << "]}\n";
}

}  // namespace

void addSlotsCommand(CLI::App& app, Action& action) {
  auto o = std::make_shared<SlotsOptions>();
  auto* command = app.add_subcommand(
      "slots", "List the six slots of TKP30_SLOTS, whether each opens, and why not");
  command->add_flag("--json", o->json, "One JSON object, for scripts");
  onRun(*command, action, o, showSlots);
}

}  // namespace tkp30
