// The one road to the token: the session's device index, the exchange
// with its single GET RESPONSE, and the direct road for commands that no
// GET RESPONSE may follow.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "dmcos.h"

namespace dal {

inline constexpr std::int32_t kSwSuccess = 0x9000;
// SW1 of an answer whose data wait for GET RESPONSE (SW2 of them).
inline constexpr std::int32_t kSw1MoreData = 0x61;
// What the exchange returns for a command that could not be carried.
inline constexpr std::int32_t kSwNotCarried = 0;
inline constexpr std::size_t kResponseHeader = DMCOS_RESPONSE_HEADER;  // response data start here
inline constexpr std::size_t kMaxResponseData = DMCOS_MAX_RESPONSE;

// A response buffer: two leading bytes, then the response data.
struct ResponseBuffer {
  std::array<std::uint8_t, kResponseHeader + kMaxResponseData> bytes{};

  std::span<std::uint8_t> all() { return bytes; }
  const std::uint8_t* data() const { return bytes.data() + kResponseHeader; }
  // How many data bytes the device library delivered with the last answer.
  std::size_t delivered() const;
  ~ResponseBuffer();
};

// Sends one command and follows a 61xx answer with one GET RESPONSE.
// Returns the status word, or 0 when the command could not be carried.
// `responseLength` is written only after a successful GET RESPONSE.
std::int32_t CosExchange(std::span<const std::uint8_t> command, ResponseBuffer& response,
                         std::int32_t& responseLength);

// Same, for callers with no use for the response length.
std::int32_t CosExchange(std::span<const std::uint8_t> command, ResponseBuffer& response);

// Hands one command straight to the device library; no GET RESPONSE can
// follow. Returns the status word, or 0 when the command was not carried.
std::int32_t DalApduDirect(std::span<const std::uint8_t> command, ResponseBuffer& response);

}  // namespace dal
