#include "token/module_directory.h"

#include <array>
#include <cstdint>

#include "common/bytes.h"
#include "common/module_copies.h"
#include "common/module_range.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"

namespace tkp30 {
namespace {

using common::kCopyHeaderBytes;
using common::RecordKind;

struct Copy {
  bool found = false;  // a usable file of the run: absent or readable
  common::Bytes header;
};

std::int32_t readDirectoryFile(std::int32_t index, std::int32_t offset, common::Bytes& into) {
  return NORV_DAL_ReadUsrDataFile(common::kModuleFileType, index, offset,
                                  static_cast<std::int32_t>(into.size()), into.data());
}

// The module's rule: a file whose creation was cut short reads as deleted
// and is passed over; a file too short for a header counts as absent.
Copy copyFrom(int& position) {
  const common::CopyRun run = common::kDirectoryRun;
  for (; position < run.count; ++position) {
    common::Bytes header(kCopyHeaderBytes);
    const std::int32_t rv = readDirectoryFile(run.first + position, 0, header);
    if (rv == NORV_DAL_ERR_FILE_DELETED) continue;
    if (rv != NORV_DAL_ERR_READ_FILE) check(rv, "read the PKCS #11 module's directory");
    if (rv != NORV_DAL_OK) header.clear();
    return Copy{true, std::move(header)};
  }
  return Copy{};
}

bool isValid(int position, const Copy& copy) {
  const auto header = common::parseCopyHeader(RecordKind::Directory, copy.header);
  if (!header) return false;
  common::Bytes payload(header->length);
  const std::int32_t rv = readDirectoryFile(common::kDirectoryRun.first + position,
                                            static_cast<std::int32_t>(kCopyHeaderBytes), payload);
  return rv == NORV_DAL_OK && common::payloadMatches(RecordKind::Directory, *header, payload);
}

common::CopyLook lookOf(const Copy& copy) {
  return copy.header.empty() ? common::CopyLook::Blank
                             : common::lookOfCopy(RecordKind::Directory, copy.header);
}

}  // namespace

ModuleDirectory moduleDirectory() {
  int first = 0;
  const Copy a = copyFrom(first);
  int second = first + 1;
  const Copy b = a.found ? copyFrom(second) : Copy{};
  if ((a.found && isValid(first, a)) || (b.found && isValid(second, b)))
    return ModuleDirectory::Readable;
  return common::stateWithoutValidCopy(lookOf(a), lookOf(b)) == common::RecordState::Unreadable
             ? ModuleDirectory::Unreadable
             : ModuleDirectory::Absent;
}

const char* moduleDirectoryName(ModuleDirectory state) {
  switch (state) {
    case ModuleDirectory::Readable: return "readable";
    case ModuleDirectory::Unreadable: return "unreadable";
    case ModuleDirectory::Absent: break;
  }
  return "absent";
}

}  // namespace tkp30
