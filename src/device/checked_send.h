// How a card command builder sends what it laid out: through the exchange
// (which follows a 61xx answer with GET RESPONSE) or directly, for the
// commands that nothing may come after. A command whose data did not fit
// is never sent and reads as a command that could not be carried.
#pragma once

#include <cstdint>

#include "device/apdu.h"
#include "device/exchange.h"

namespace dal {

enum class Route { kExchange, kDirect };

// The status word, or kSwNotCarried.
std::int32_t DalSend(Apdu& command, ResponseBuffer& response, Route route = Route::kExchange);

// Same, for commands whose response data nobody reads.
std::int32_t DalSend(Apdu& command, Route route = Route::kExchange);

}  // namespace dal
