// Why the last open of each slot failed, for OpenError_UK: kept per slot
// number, so that it outlives a reconfiguration that drops the slot.
#pragma once

#include <string>

namespace dmcos {

// Records the outcome of an open of slot `number` (1..6): the reason it
// failed, or "" after a success. Other numbers are ignored.
void recordOpenOutcome(int number, std::string reason);

// The reason recorded for slot `number`; "" when its last open succeeded,
// none was tried, or the number names no slot.
std::string lastOpenError(int number);

}  // namespace dmcos
