#include "token/pin_vault.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "common/token_shape.h"
#include "token/secret_page.h"

namespace p11 {
namespace {

std::size_t slot(Role who) { return who == Role::User ? 0 : 1; }

}  // namespace

PinVault::PinVault() : page_(static_cast<Page*>(allocateSecretPage(sizeof(Page)))) {}

PinVault::~PinVault() {
  OPENSSL_cleanse(page_, sizeof(Page));
  freeSecretPage(page_);
}

void PinVault::keep(Role who, ByteView pin) {
  drop(who);
  const std::size_t n = std::min(pin.size(), common::kMaxPinLength);
  std::copy_n(pin.begin(), n, page_->pin[slot(who)]);
  page_->length[slot(who)] = static_cast<std::uint8_t>(n);
}

void PinVault::drop(Role who) {
  OPENSSL_cleanse(page_->pin[slot(who)], common::kMaxPinLength);
  page_->length[slot(who)] = 0;
}

bool PinVault::holds(Role who) const { return page_->length[slot(who)] != 0; }

ByteView PinVault::pin(Role who) const { return {page_->pin[slot(who)], page_->length[slot(who)]}; }

}  // namespace p11
