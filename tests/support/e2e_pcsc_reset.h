// Resets the card of a PC/SC slot the way another application would:
// through a short-lived connection of its own.
#pragma once

#include <string_view>

namespace e2e {

// `slots` is a slot configuration whose first entry is "pcsc:<reader>" or
// "pcsc:" (the first reader holding a card). False when the entry is not a
// PC/SC slot or the card could not be reset.
bool resetPcscCard(std::string_view slots);

}  // namespace e2e
