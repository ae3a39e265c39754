// Open_UK / Close_UK / APDU_UK over the slot table.
#include <cstring>
#include <string>

#include "command_bytes.h"
#include "copy_text.h"
#include "dmcos.h"
#include "open_errors.h"
#include "process_id.h"
#include "slot_table.h"
#include "trace.h"

namespace dmcos {
namespace {

bool openSlot(Slot& slot, std::string& why) {
  slot.dropInherited();
  if (!slot.backend) {
    slot.backend = makeBackend(slot.entry);
    slot.owner = currentProcess();
  }
  if (!slot.backend) {
    why = "this device library has no backend for the slot's scheme";
    return false;
  }
  slot.open = slot.backend->open(why);
  return slot.open;
}

int openNumbered(int number) {
  SlotTable& table = SlotTable::instance();
  auto s = table.slot(number);
  if (!s) {
    recordOpenOutcome(number, table.unconfiguredReason(number));
    return 0;
  }
  std::lock_guard lock(s->mutex);
  std::string why;
  const bool opened = openSlot(*s, why);
  recordOpenOutcome(number, opened ? std::string() : why);
  return opened ? 1 : 0;
}

bool validArguments(const unsigned char* cmd, int cmdLen, const unsigned char* resp, int respCap,
                    const int* sw) {
  return cmd != nullptr && resp != nullptr && sw != nullptr && cmdLen >= 0 &&
         static_cast<std::size_t>(cmdLen) >= apdu::kHeaderLen &&
         static_cast<std::size_t>(cmdLen) <= apdu::kMaxCommand && respCap >= DMCOS_RESPONSE_HEADER;
}

bool deliver(const Reply& reply, unsigned char* resp, int respCap, int* sw) {
  if (reply.len > reply.data.size() ||
      reply.len + DMCOS_RESPONSE_HEADER > static_cast<std::size_t>(respCap))
    return false;
  resp[0] = static_cast<unsigned char>(reply.len >> 8);
  resp[1] = static_cast<unsigned char>(reply.len & 0xFF);
  std::memcpy(resp + DMCOS_RESPONSE_HEADER, reply.data.data(), reply.len);
  *sw = reply.sw;
  return true;
}

// The trace masks the data that follow a command with secret results,
// including the GET RESPONSE that fetches them.
bool maskResponse(Slot& slot, std::span<const std::uint8_t> command) {
  const bool isGetResponse = command.size() >= 2 && command[1] == apdu::kInsGetResponse;
  const bool mask = responseCarriesSecret(command) || (isGetResponse && slot.lastResponseSecret);
  slot.lastResponseSecret = responseCarriesSecret(command);
  return mask;
}

}  // namespace
}  // namespace dmcos

using dmcos::SlotTable;

extern "C" DMCOS_API int Open_UK(int slot) {
  try {
    return dmcos::openNumbered(slot);
  } catch (...) {
    return 0;
  }
}

extern "C" DMCOS_API int OpenError_UK(int slot, char* buf, int cap) {
  if (slot < 1 || slot > dmcos::kSlotCount || cap < 0 || (buf == nullptr && cap > 0)) return -1;
  try {
    return dmcos::copyText(dmcos::lastOpenError(slot), buf, cap);
  } catch (...) {
    return -1;
  }
}

extern "C" DMCOS_API int Close_UK(int slot) {
  try {
    auto s = SlotTable::instance().slot(slot);
    if (!s) return 0;
    std::lock_guard lock(s->mutex);
    s->dropInherited();
    if (s->backend) s->backend->close();
    s->open = false;
    return 1;
  } catch (...) {
    return 0;
  }
}

extern "C" DMCOS_API int APDU_UK(int slot, const unsigned char* cmd, int cmdLen,
                                 unsigned char* resp, int respCap, int* sw) {
  if (!dmcos::validArguments(cmd, cmdLen, resp, respCap, sw)) return 0;
  try {
    auto s = SlotTable::instance().slot(slot);
    if (!s) return 0;
    std::lock_guard lock(s->mutex);
    // A slot the parent of a fork() opened is not open in this process.
    if (!s->open || !s->ownBackend()) return 0;
    const std::span<const std::uint8_t> command(cmd, static_cast<std::size_t>(cmdLen));
    const bool tracing = dmcos::traceEnabled();
    if (tracing) dmcos::traceLine(dmcos::formatCommand(slot, command));
    dmcos::Reply reply;
    if (!s->backend->transmit(command, reply) || !dmcos::deliver(reply, resp, respCap, sw)) {
      if (tracing) dmcos::traceLine(dmcos::formatNotCarried(slot));
      return 0;
    }
    const bool mask = dmcos::maskResponse(*s, command);
    if (tracing)
      dmcos::traceLine(
          dmcos::formatResponse(slot, std::span(reply.data.data(), reply.len), reply.sw, mask));
    return 1;
  } catch (...) {
    return 0;
  }
}
