// The command families. Each adds its subcommands to the application;
// parsing only records which command to run, and main() runs it once the
// token has been chosen.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace CLI {  // NOLINT(readability-identifier-naming): the parser's own name
class App;
}

namespace tkp30 {

struct TokenChoice;
using Action = std::function<void()>;

// Makes `command` run `body(options)` when it is the one given.
template <typename Options, typename Body>
void onRun(CLI::App& command, Action& action, std::shared_ptr<Options> options, Body body);

void addInfoCommands(CLI::App& app, Action& action);
void addSlotsCommand(CLI::App& app, Action& action);
void addPinCommands(CLI::App& app, Action& action);
void addFileCommands(CLI::App& app, Action& action);
void addKeyCommands(CLI::App& app, Action& action);
void addPkiCommands(CLI::App& app, Action& action);
void addCipherCommands(CLI::App& app, Action& action);
void addDemoCommand(CLI::App& app, Action& action);
void addEmulatorCommands(CLI::App& app, Action& action, const TokenChoice& choice);
// The hidden commands that print the manual page and the bash completion
// from the application's own description.
void addDocumentationCommands(CLI::App& app, Action& action);

}  // namespace tkp30

#include <CLI/CLI.hpp>

namespace tkp30 {

template <typename Options, typename Body>
void onRun(CLI::App& command, Action& action, std::shared_ptr<Options> options, Body body) {
  command.callback([&action, options, body] { action = [options, body] { body(*options); }; });
}

// One of the names of `choices`, in any case, and nothing else (not the
// numbers they stand for). A refusal lists the names in plain words:
// `listing` such as "ssf33 (on the token), des, 3des, rc2 or rc4".
template <typename Map>
CLI::Validator choiceOf(const Map& choices, const std::string& noun, const std::string& listing) {
  return CLI::Validator(
      [&choices, noun, listing](std::string& value) -> std::string {
        for (const auto& [name, mapped] : choices) {
          if (CLI::detail::to_lower(value) != name) continue;
          value = std::to_string(static_cast<int>(mapped));
          return {};
        }
        return "unknown " + noun + " \"" + value + "\": choose " + listing;
      },
      "", "");
}

// A whole number from `low` to `high`, said in plain words when it is not
// (the parser puts the option's name in front).
inline CLI::Validator numberIn(long long low, long long high) {
  return CLI::Validator(
      [low, high](const std::string& value) -> std::string {
        long long number = 0;
        if (CLI::detail::lexical_cast(value, number) && number >= low && number <= high) return {};
        return "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high);
      },
      "", "");
}

}  // namespace tkp30
