#include "commands/app_docs.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <sstream>
#include <vector>

namespace tkp30 {
namespace {

using Commands = std::vector<const CLI::App*>;
using Options = std::vector<const CLI::Option*>;

// Commands shown by --help (hidden ones have no group).
Commands visibleCommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

Options visibleOptions(const CLI::App& app) {
  return app.get_options([](const CLI::Option* opt) { return !opt->get_group().empty(); });
}

// A flag's type still has a size (its bool's); what it never takes is a
// value on the command line.
bool takesValue(const CLI::Option& opt) { return opt.get_expected_max() != 0; }

// Text for troff: backslashes escaped, no line taken for a request.
std::string troff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out.push_back(c);
    }
    lineStart = c == '\n';
  }
  return out;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string optionLabel(const CLI::Option& opt) {
  std::string label;
  for (const auto& s : opt.get_snames())
    label += (label.empty() ? "" : ", ") + ("\\fB\\-" + s + "\\fR");
  for (const auto& l : opt.get_lnames())
    label += (label.empty() ? "" : ", ") + ("\\fB\\-\\-" + troff(l) + "\\fR");
  if (!opt.nonpositional())
    label = "\\fI" + troff(opt.get_name(true)) + "\\fR";
  else if (takesValue(opt))
    label += " \\fI" + troff(opt.get_type_name()) + "\\fR";
  return label;
}

void describeOptions(std::ostringstream& out, const CLI::App& app) {
  for (const CLI::Option* opt : visibleOptions(app))
    out << ".TP\n" << optionLabel(*opt) << "\n" << troff(opt->get_description()) << "\n";
}

void describeCommands(std::ostringstream& out, const CLI::App& app, const std::string& path) {
  for (const CLI::App* sub : visibleCommands(app)) {
    const std::string name = path + " " + sub->get_name();
    out << ".SS \"" << troff(name) << "\"\n" << troff(sub->get_description()) << "\n";
    describeOptions(out, *sub);
    describeCommands(out, *sub, name);
  }
}

// Every command path ("", "file", "file create"…) with its subcommands
// and its options, those that take a value apart.
struct CompletionNode {
  std::string path;
  std::string commands;
  std::string options;
  std::string valueOptions;
};

void collect(const CLI::App& app, const std::string& path, std::vector<CompletionNode>& nodes) {
  CompletionNode node{path, "", "", ""};
  for (const CLI::App* sub : visibleCommands(app)) node.commands += " " + sub->get_name();
  for (const CLI::Option* opt : visibleOptions(app)) {
    std::vector<std::string> names;
    for (const auto& s : opt->get_snames()) names.push_back("-" + s);
    for (const auto& l : opt->get_lnames()) names.push_back("--" + l);
    for (const auto& n : names) {
      node.options += " " + n;
      if (takesValue(*opt)) node.valueOptions += " " + n;
    }
  }
  nodes.push_back(node);
  for (const CLI::App* sub : visibleCommands(app))
    collect(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), nodes);
}

void caseTable(std::ostringstream& out, const std::string& function,
               const std::vector<CompletionNode>& nodes, std::string CompletionNode::*field) {
  out << function << "() {\n  case \"$1\" in\n";
  for (const auto& node : nodes)
    out << "    \"" << node.path << "\") echo \"" << node.*field << "\" ;;\n";
  out << "  esac\n}\n";
}

}  // namespace

std::string manPage(const CLI::App& app, const std::string& version) {
  std::ostringstream out;
  const std::string& name = app.get_name();
  out << ".TH " << upper(name) << " 1 \"\" \"" << troff(name + " " + version)
      << "\" \"User Commands\"\n"
      << ".SH NAME\n"
      << troff(app.get_description()) << "\n"
      << ".SH SYNOPSIS\n.B " << troff(name) << "\n[\\fIoptions\\fR] \\fICOMMAND\\fR "
      << "[\\fIcommand options\\fR]\n"
      << ".SH OPTIONS\n";
  describeOptions(out, app);
  out << ".SH COMMANDS\nEach command takes \\fB\\-\\-help\\fR.\n";
  describeCommands(out, app, name);
  out << ".SH NOTES\n.nf\n" << troff(app.get_footer()) << "\n.fi\n";
  return out.str();
}

std::string bashCompletion(const CLI::App& app) {
  std::vector<CompletionNode> nodes;
  collect(app, "", nodes);
  const std::string fn = "_" + app.get_name();
  std::ostringstream out;
  out << "# bash completion for " << app.get_name() << ", generated from its own help\n";
  caseTable(out, fn + "_commands", nodes, &CompletionNode::commands);
  caseTable(out, fn + "_options", nodes, &CompletionNode::options);
  caseTable(out, fn + "_value_options", nodes, &CompletionNode::valueOptions);
  out << fn << "() {\n"
      << "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
      << "  local path=\"\" i w c\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    w=\"${COMP_WORDS[i]}\"\n"
      << "    for c in $(" << fn << "_commands \"$path\"); do\n"
      << "      if [[ $w == \"$c\" ]]; then path=\"${path:+$path }$w\"; break; fi\n"
      << "    done\n"
      << "  done\n"
      << "  for c in $(" << fn << "_value_options \"$path\"); do\n"
      << "    if [[ $prev == \"$c\" ]]; then COMPREPLY=(); return; fi\n"
      << "  done\n"
      << "  COMPREPLY=($(compgen -W \"$(" << fn << "_commands \"$path\") $(" << fn
      << "_options \"$path\")\" -- \"$cur\"))\n"
      << "}\n"
      << "complete -o default -F " << fn << " " << app.get_name() << "\n";
  return out.str();
}

}  // namespace tkp30
