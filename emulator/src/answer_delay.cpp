#include "answer_delay.h"

#include <cstdlib>
#include <cstring>

namespace tkp30emu {

std::chrono::microseconds parseAnswerDelay(const char* text) {
  // The largest value has seven digits: a longer text is out of range
  // whatever it reads, and the sum below cannot wrap.
  constexpr std::size_t kMaxDigits = 7;
  if (text == nullptr) return {};
  const std::size_t length = std::strlen(text);
  if (length == 0 || length > kMaxDigits) return {};
  std::chrono::microseconds::rep value = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return {};
    value = value * 10 + (text[i] - '0');
  }
  const std::chrono::microseconds delay(value);
  return delay <= kMaxAnswerDelay ? delay : std::chrono::microseconds{};
}

std::chrono::microseconds answerDelayFromEnvironment() {
  return parseAnswerDelay(std::getenv(kAnswerDelayVariable));
}

}  // namespace tkp30emu
