#include "token_card.h"

#include <algorithm>

namespace vcard {

std::unique_ptr<TokenCard> TokenCard::open(const std::string& imagePath, std::string& error) {
  auto token = tkp30emu::openToken(imagePath, error);
  if (!token) return nullptr;
  return std::make_unique<TokenCard>(std::move(token));
}

Bytes TokenCard::transmit(std::span<const std::uint8_t> apdu) {
  const tkp30emu::Response response = token_->transmit(apdu);
  const std::size_t len = std::min(response.len, response.data.size());
  Bytes out(response.data.begin(), response.data.begin() + static_cast<std::ptrdiff_t>(len));
  out.push_back(static_cast<std::uint8_t>(response.sw >> 8));
  out.push_back(static_cast<std::uint8_t>(response.sw & 0xFF));
  return out;
}

}  // namespace vcard
