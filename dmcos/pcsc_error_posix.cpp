#include "pcsc_error.h"

namespace dmcos::pcsc {

std::string errorText(LONG result) { return pcsc_stringify_error(result); }

}  // namespace dmcos::pcsc
