// The command families. Each adds its subcommands to the application;
// parsing only records which command to run, and main() runs it once the
// token has been chosen.
#pragma once

#include <functional>
#include <memory>

namespace CLI {
class App;
}

namespace tkp30 {

struct TokenChoice;
using Action = std::function<void()>;

// Makes `command` run `body(options)` when it is the one given.
template <typename Options, typename Body>
void onRun(CLI::App& command, Action& action, std::shared_ptr<Options> options, Body body);

void addInfoCommands(CLI::App& app, Action& action);
void addPinCommands(CLI::App& app, Action& action);
void addFileCommands(CLI::App& app, Action& action);
void addKeyCommands(CLI::App& app, Action& action);
void addCipherCommands(CLI::App& app, Action& action);
void addDemoCommand(CLI::App& app, Action& action);
void addEmulatorCommands(CLI::App& app, Action& action, const TokenChoice& choice);

}  // namespace tkp30

#include <CLI/CLI.hpp>

namespace tkp30 {

template <typename Options, typename Body>
void onRun(CLI::App& command, Action& action, std::shared_ptr<Options> options, Body body) {
  command.callback([&action, options, body] { action = [options, body] { body(*options); }; });
}

// One of the names of `choices`, in any case; the option's help text
// lists the names.
template <typename Map>
CLI::Validator choiceOf(const Map& choices) {
  return CLI::CheckedTransformer(choices, CLI::ignore_case).description("");
}

}  // namespace tkp30
