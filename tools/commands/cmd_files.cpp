// The global info file and the user data files.
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "commands/io_options.h"
#include "common/rsa1024.h"
#include "common/token_shape.h"
#include "io/data_io.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"
#include "platform/console.h"
#include "token/token_checks.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

// Who may read or write a user data file, as the access selector the
// library takes.
// Built on first use: a table of static storage duration could throw
// before main.
constexpr std::int32_t kAccessFree = 0;
constexpr std::int32_t kAccessUser = 1;
constexpr std::int32_t kAccessSuper = 2;

const std::map<std::string, std::int32_t>& access() {
  static const std::map<std::string, std::int32_t> table = {
      {"free", kAccessFree}, {"user", kAccessUser}, {"super", kAccessSuper}};
  return table;
}

struct Range {
  std::int32_t offset = 0;
  std::int32_t length = 0;
};

struct GlobalOptions {
  std::int32_t size = 0;
  Range range;
  DataIn in;
  DataOut out;
};

struct FileOptions {
  std::int32_t type = common::kFirstFileType;
  std::int32_t index = 0;
  std::int32_t size = 0;
  std::int32_t readAccess = 0;
  std::int32_t writeAccess = 0;
  Range range;
  DataIn in;
  DataOut out;
  bool yes = false;
};

std::int32_t lengthOf(const std::vector<std::uint8_t>& data, std::int32_t limit) {
  if (data.size() > static_cast<std::size_t>(limit))
    throw UsageError("the data are longer than a file can be (" + std::to_string(limit) +
                     " bytes)");
  return static_cast<std::int32_t>(data.size());
}

void createGlobal(const GlobalOptions& o) {
  const auto token = openToken();
  check(NORV_DAL_CreateGlobalInfoFile(o.size), "create the global info file");
  std::cout << "global info file created, " << o.size << " bytes\n";
}

void readGlobal(const GlobalOptions& o) {
  std::vector<std::uint8_t> data(static_cast<std::size_t>(o.range.length));
  {
    const auto token = openToken();
    check(NORV_DAL_ReadGlobalInfoFile(o.range.offset, o.range.length, data.data()),
          "read the global info file");
  }
  writeData(o.out, data);
}

void writeGlobal(const GlobalOptions& o) {
  const auto data = readData(o.in);
  const std::int32_t length = lengthOf(data, common::kMaxGlobalFileSize);
  const auto token = openToken();
  check(NORV_DAL_WriteGlobalInfoFile(o.range.offset, length, data.data()),
        "write the global info file");
  std::cout << length << " bytes written\n";
}

// Creating the file writes its header with the file's own write right, so
// a PIN that right names must be logged in: a creation that failed there
// would leave an index no one can use until the token is formatted.
void requireWriteRight(std::int32_t writeAccess) {
  if (writeAccess == kAccessUser) requireLogin(PinNeeded::User, "file create --write user");
  if (writeAccess == kAccessSuper) requireLogin(PinNeeded::Super, "file create --write super");
}

void createFile(const FileOptions& o) {
  const auto token = openToken();
  requireWriteRight(o.writeAccess);
  check(NORV_DAL_CreateUsrDataFile(o.type, o.index, o.size, o.readAccess, o.writeAccess),
        "create the user data file");
  std::cout << "user data file created, " << o.size << " bytes\n";
}

void readFile(const FileOptions& o) {
  std::vector<std::uint8_t> data(static_cast<std::size_t>(o.range.length));
  {
    const auto token = openToken();
    check(NORV_DAL_ReadUsrDataFile(o.type, o.index, o.range.offset, o.range.length, data.data()),
          "read the user data file");
  }
  writeData(o.out, data);
}

void writeFile(const FileOptions& o) {
  const auto data = readData(o.in);
  const std::int32_t length = lengthOf(data, common::kMaxUserFileSize);
  const auto token = openToken();
  check(NORV_DAL_WriteUsrDataFile(o.type, o.index, o.range.offset, length, data.data()),
        "write the user data file");
  std::cout << length << " bytes written\n";
}

void confirmDelete(const FileOptions& o) {
  const std::string what = "type " + std::to_string(o.type) + " index " + std::to_string(o.index);
  const std::string warning = "a deleted user data file stays deleted: " + what +
                              " cannot be created again until the token is formatted";
  if (o.yes) return;
  if (!stdinIsTerminal()) throw UsageError(warning + "; confirm with --yes");
  std::cerr << "Careful: " << warning << ". Delete it? [y/N] ";
  std::string answer;
  std::getline(std::cin, answer);
  if (answer != "y" && answer != "yes") throw Failure("nothing deleted");
}

void deleteFile(const FileOptions& o) {
  confirmDelete(o);
  const auto token = openToken();
  check(NORV_DAL_DeleteUsrDataFile(o.type, o.index), "delete the user data file");
  std::cout << "user data file deleted\n";
}

void addOffset(CLI::App& command, Range& range, int limit) {
  command.add_option("--offset", range.offset, "Byte offset in the file")
      ->check(numberIn(0, limit));
}

void addLength(CLI::App& command, Range& range, int limit) {
  command.add_option("--length", range.length, "Number of bytes")
      ->required()
      ->check(numberIn(0, limit));
}

void addFileName(CLI::App& command, FileOptions& o) {
  command.add_option("--type", o.type, "File type, 1 to 3")
      ->required()
      ->check(numberIn(common::kFirstFileType, common::kLastFileType));
  command.add_option("--index", o.index, "File index within its type")
      ->required()
      ->check(numberIn(0, common::kMaxFileIndex));
}

void addAccess(CLI::App& command, const std::string& name, std::int32_t& selector) {
  command
      .add_option(name, selector, "free, user (after the user PIN) or super (after the super PIN)")
      ->required()
      ->type_name("WHO")
      ->transform(choiceOf(access(), "access", "free, user or super"));
}

void addGlobalCommands(CLI::App& app, Action& action) {
  auto o = std::make_shared<GlobalOptions>();
  auto* global = app.add_subcommand("global", "The global info file");
  global->require_subcommand(1, 1);

  auto* create = global->add_subcommand("create", "Create the global info file");
  create->add_option("--size", o->size, "Size in bytes")
      ->required()
      ->check(numberIn(1, common::kMaxGlobalFileSize));
  onRun(*create, action, o, createGlobal);

  auto* read = global->add_subcommand("read", "Read bytes of the global info file");
  addOffset(*read, o->range, common::kMaxGlobalFileSize);
  addLength(*read, o->range, common::kMaxGlobalFileSize);
  addDataOutOptions(*read, o->out);
  onRun(*read, action, o, readGlobal);

  auto* write = global->add_subcommand("write", "Write bytes into the global info file");
  addOffset(*write, o->range, common::kMaxGlobalFileSize);
  addDataInOptions(*write, o->in);
  onRun(*write, action, o, writeGlobal);
}

void addUserFileCommands(CLI::App& app, Action& action) {
  auto o = std::make_shared<FileOptions>();
  auto* file = app.add_subcommand("file", "User data files, named by type and index");
  file->require_subcommand(1, 1);

  auto* create = file->add_subcommand("create", "Create a user data file");
  addFileName(*create, *o);
  create->add_option("--size", o->size, "Size in bytes")
      ->required()
      ->check(numberIn(1, common::kMaxUserFileSize));
  addAccess(*create, "--read", o->readAccess);
  addAccess(*create, "--write", o->writeAccess);
  onRun(*create, action, o, createFile);

  auto* read = file->add_subcommand("read", "Read bytes of a user data file");
  addFileName(*read, *o);
  addOffset(*read, o->range, common::kMaxUserFileSize);
  addLength(*read, o->range, common::kMaxUserFileSize);
  addDataOutOptions(*read, o->out);
  onRun(*read, action, o, readFile);

  auto* write = file->add_subcommand("write", "Write bytes into a user data file");
  addFileName(*write, *o);
  addOffset(*write, o->range, common::kMaxUserFileSize);
  addDataInOptions(*write, o->in);
  onRun(*write, action, o, writeFile);

  auto* remove = file->add_subcommand("delete", "Mark a user data file deleted");
  addFileName(*remove, *o);
  remove->add_flag("--yes", o->yes,
                   "Do not ask: the index cannot be created again until the token is formatted");
  onRun(*remove, action, o, deleteFile);
}

}  // namespace

void addFileCommands(CLI::App& app, Action& action) {
  addGlobalCommands(app, action);
  addUserFileCommands(app, action);
}

}  // namespace tkp30
