// An emulated card behind the scripted device, with one injected fault:
// every command the library sends reaches a real card image, except the
// one chosen to fail, which fails the way a device fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/scripted_device.h"
#include "tkp30emu/token.h"

namespace fault {

using Bytes = std::vector<std::uint8_t>;

enum class Failure {
  NotCarried,         // the device library reports no transmission
  Refused,            // the card answers an error status word
  GetResponseFails,   // 61xx, then the GET RESPONSE that follows is refused
  ShortResponse,      // 9000 with only half the response data
};
inline constexpr Failure kFailures[] = {Failure::NotCarried, Failure::Refused,
                                        Failure::GetResponseFails, Failure::ShortResponse};
const char* name(Failure failure);

inline constexpr std::uint16_t kRefusal = 0x6F00;

// One command as the card saw it, with the card's own answer.
struct Exchange {
  Bytes command;
  std::uint16_t sw = 0;
  std::size_t responseBytes = 0;
};

// A token image kept in a private directory. The working image always has
// the same path, so every case reuses one lock file and shared state.
class CardImage {
 public:
  CardImage();
  ~CardImage();
  CardImage(const CardImage&) = delete;
  CardImage& operator=(const CardImage&) = delete;

  // Wires the scripted device to the working image with no fault.
  void connect();
  // Saves the working image as the prepared state / puts it back and
  // power-cycles the card (no login, no cipher state), then connects.
  void save();
  void restore();

  // From now on, command number `k` (1-based, counted from this call)
  // fails as `failure`; 0 injects nothing.
  void inject(std::size_t k, Failure failure);
  // Commands sent since the last inject(), with the card's answers.
  const std::vector<Exchange>& log() const;

 private:
  struct Responder;
  std::string dir_;
  std::shared_ptr<Responder> responder_;
};

}  // namespace fault
