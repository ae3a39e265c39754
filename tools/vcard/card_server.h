// Keeps a card inserted in the virtual reader: connects to the driver,
// answers it, and connects again whenever the driver goes away, until a
// stop is asked.
#pragma once

#include <chrono>

#include "stop_signal.h"
#include "virtual_card.h"
#include "vpcd_link.h"

namespace vcard {

inline constexpr std::chrono::milliseconds kReconnectInterval{200};

void serveCard(VirtualCard& card, const Endpoint& endpoint, StopSignal& stop);

// Answers one driver connection until it ends.
void serveLink(VirtualCard& card, VpcdLink& link, StopSignal& stop);

}  // namespace vcard
