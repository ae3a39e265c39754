// The manual page and the bash completion, generated from the
// application's own commands and options, so that they never drift from
// what --help says.
#pragma once

#include <string>

namespace CLI {  // NOLINT(readability-identifier-naming): the parser's own name
class App;
}

namespace tkp30 {

// A man(7) page for section 1.
std::string manPage(const CLI::App& app, const std::string& version);

// A bash completion script for the command `app.get_name()`.
std::string bashCompletion(const CLI::App& app);

}  // namespace tkp30
