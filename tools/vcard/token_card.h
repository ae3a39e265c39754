// The emulated token as the card in the virtual reader.
#pragma once

#include <memory>
#include <string>

#include "tkp30emu/token.h"
#include "virtual_card.h"

namespace vcard {

class TokenCard final : public VirtualCard {
 public:
  explicit TokenCard(std::unique_ptr<tkp30emu::Token> token) : token_(std::move(token)) {}

  // Nullptr, with the reason in `error`, when the image cannot be used.
  static std::unique_ptr<TokenCard> open(const std::string& imagePath, std::string& error);

  Bytes transmit(std::span<const std::uint8_t> apdu) override;
  void powerCycle() override { token_->powerCycle(); }

 private:
  std::unique_ptr<tkp30emu::Token> token_;
};

}  // namespace vcard
