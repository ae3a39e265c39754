// The APDU trace: with TKP30_TRACE=<file> (or "-" for standard error) one
// line per command and per response, in hex, with the slot and status
// word. Data that carry PINs or keys are masked.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace dmcos {

inline constexpr char kTraceVariable[] = "TKP30_TRACE";

// True when the command's data carry secrets: VERIFY, CHANGE PIN, the PIN
// reload, WRITE KEY, IMPORT RSA KEY COMPONENT, SSF33 LOAD KEY, and SSF33
// CIPHER BLOCK (whose data are plaintext when encrypting).
bool commandCarriesSecret(std::span<const std::uint8_t> command);
// True when the response data of the command may be secret (the RSA
// private operation's result, SSF33 CIPHER BLOCK's output, plaintext when
// decrypting; and what GET RESPONSE fetches for them).
bool responseCarriesSecret(std::span<const std::uint8_t> command);

// The text of a trace line (without the line end).
std::string formatCommand(int slot, std::span<const std::uint8_t> command);
std::string formatResponse(int slot, std::span<const std::uint8_t> data, std::uint16_t sw,
                           bool maskData);
std::string formatNotCarried(int slot);

bool traceEnabled();

// Appends a line when tracing is on.
void traceLine(const std::string& line);

}  // namespace dmcos
