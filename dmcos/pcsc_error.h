// The text of a PC/SC result code, as the platform's PC/SC names it.
#pragma once

#include <string>

#include "pcsc_handles.h"

namespace dmcos::pcsc {

std::string errorText(LONG result);

}  // namespace dmcos::pcsc
