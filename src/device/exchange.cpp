#include "device/exchange.h"

#include <openssl/crypto.h>

#include <cstdio>
#include <cstring>

#include "device/apdu.h"
#include "device/card_codes.h"
#include "device/session.h"

namespace dal {
namespace {

// GET RESPONSE starts from a response buffer whose first bytes are clear.
constexpr std::size_t kClearedBeforeGetResponse = 4;

std::int32_t transmit(std::span<const std::uint8_t> command, ResponseBuffer& response) {
  int sw = 0;
  const int carried = APDU_UK(DalDeviceIndex(), command.data(), static_cast<int>(command.size()),
                              response.bytes.data(), static_cast<int>(response.bytes.size()), &sw);
  return carried ? sw : kSwNotCarried;
}

std::int32_t CosGetResponse(ResponseBuffer& response, std::uint8_t le) {
  std::memset(response.bytes.data(), 0, kClearedBeforeGetResponse);
  Apdu command(kClaIso, kInsGetResponse, 0x00, 0x00);
  command.le(le);
  const std::int32_t sw = transmit(command.bytes(), response);
  if (sw == kSwNotCarried) std::fputs("Send GetResponse Data Error\n", stdout);
  return sw;
}

}  // namespace

std::size_t ResponseBuffer::delivered() const {
  const std::size_t n = (std::size_t{bytes[0]} << 8) | bytes[1];
  return n > kMaxResponseData ? kMaxResponseData : n;
}

ResponseBuffer::~ResponseBuffer() { OPENSSL_cleanse(bytes.data(), bytes.size()); }

std::int32_t CosExchange(std::span<const std::uint8_t> command, ResponseBuffer& response,
                         std::int32_t& responseLength) {
  const std::int32_t sw = transmit(command, response);
  if (sw == kSwNotCarried || (sw >> 8) != kSw1MoreData) return sw;
  const auto sw2 = static_cast<std::uint8_t>(sw & 0xFF);
  const std::int32_t final = CosGetResponse(response, sw2);
  if (final == kSwSuccess) responseLength = sw2 + static_cast<std::int32_t>(kResponseHeader);
  return final;
}

std::int32_t CosExchange(std::span<const std::uint8_t> command, ResponseBuffer& response) {
  std::int32_t unused = 0;
  return CosExchange(command, response, unused);
}

std::int32_t DalApduDirect(std::span<const std::uint8_t> command, ResponseBuffer& response) {
  return transmit(command, response);
}

}  // namespace dal
