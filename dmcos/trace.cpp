#include "trace.h"

#include <cstdio>
#include <cstdlib>

#include "trace_output.h"

#include "command_bytes.h"

namespace dmcos {
namespace {

using apdu::kHeaderLen;
using apdu::kLcAt;

struct SecretCommand {
  std::uint8_t cla;
  std::uint8_t ins;
};
constexpr SecretCommand kSecretCommands[] = {
    {apdu::kClaIso, apdu::kInsVerify},
    {apdu::kClaProprietary, apdu::kInsChangePin},
    {apdu::kClaSecured, apdu::kInsReloadPin},
    {apdu::kClaProprietary, apdu::kInsWriteKey},
    {apdu::kClaProprietary, apdu::kInsImportComponent},
    {apdu::kClaProprietary, apdu::kInsSsf33LoadKey},
    {apdu::kClaProprietary, apdu::kInsSsf33CipherBlock},  // plaintext in one direction
};

void appendHex(std::string& out, std::span<const std::uint8_t> bytes) {
  char hex[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, " %02X", b);
    out += hex;
  }
}

std::string slotPrefix(int slot, std::string_view direction) {
  return "slot " + std::to_string(slot) + " " + std::string(direction);
}

}  // namespace

bool commandCarriesSecret(std::span<const std::uint8_t> command) {
  if (command.size() < 2) return false;
  for (const SecretCommand& s : kSecretCommands)
    if (command[0] == s.cla && command[1] == s.ins) return true;
  return false;
}

bool responseCarriesSecret(std::span<const std::uint8_t> command) {
  return command.size() >= 2 && command[0] == apdu::kClaProprietary &&
         (command[1] == apdu::kInsPrivateOperation || command[1] == apdu::kInsSsf33CipherBlock);
}

std::string formatCommand(int slot, std::span<const std::uint8_t> command) {
  std::string line = slotPrefix(slot, ">");
  if (!commandCarriesSecret(command) || command.size() <= kHeaderLen + 1) {
    appendHex(line, command);
    return line;
  }
  appendHex(line, command.first(kLcAt + 1));
  line += " [" + std::to_string(command.size() - kLcAt - 1) + " bytes masked]";
  return line;
}

std::string formatResponse(int slot, std::span<const std::uint8_t> data, std::uint16_t sw,
                           bool maskData) {
  std::string line = slotPrefix(slot, "<");
  if (maskData && !data.empty())
    line += " [" + std::to_string(data.size()) + " bytes masked]";
  else
    appendHex(line, data);
  char word[16];
  std::snprintf(word, sizeof word, " SW=%04X", sw);
  return line + word;
}

std::string formatNotCarried(int slot) { return slotPrefix(slot, "<") + " not carried"; }

bool traceEnabled() {
  const char* target = std::getenv(kTraceVariable);
  return target != nullptr && *target != '\0';
}

void traceLine(const std::string& line) {
  const char* target = std::getenv(kTraceVariable);
  if (target == nullptr || *target == '\0') return;
  writeTrace(target, line + "\n");
}

}  // namespace dmcos
