#include "card_server.h"

#include <iostream>

#include "vpcd_protocol.h"

namespace vcard {

void serveCard(VirtualCard& card, const Endpoint& endpoint, StopSignal& stop) {
  while (!stop.raised()) {
    auto link = VpcdLink::connect(endpoint);
    if (!link) {
      stop.wait(kReconnectInterval);
      continue;
    }
    std::clog << "tkp30-vcard: inserted at " << endpoint.host << ':' << endpoint.port << '\n';
    serveLink(card, *link, stop);
    // Losing the reader is losing power.
    card.powerCycle();
    std::clog << "tkp30-vcard: removed\n";
  }
}

void serveLink(VirtualCard& card, VpcdLink& link, StopSignal& stop) {
  DriverSession session(card);
  while (auto message = link.receive(stop)) {
    const auto reply = session.answer(*message);
    if (reply && !link.send(*reply)) return;
  }
}

}  // namespace vcard
