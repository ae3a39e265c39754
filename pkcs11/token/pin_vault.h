// The PINs the module keeps for an application (to log in again when the
// token lost its login, and the super PIN for C_InitPIN): one secret page
// (token/secret_page.h), wiped whenever a PIN is dropped.
#pragma once

#include "ck/ck.h"
#include "common/token_shape.h"
#include "records/storage_limits.h"

namespace p11 {

enum class Role { User, SecurityOfficer };

class PinVault {
 public:
  PinVault();
  ~PinVault();

  void keep(Role who, ByteView pin);  // pin is 1 to common::kMaxPinLength bytes
  void drop(Role who);
  bool holds(Role who) const;
  ByteView pin(Role who) const;

  // One page per vault, never two owners of it.
  PinVault(const PinVault&) = delete;
  PinVault& operator=(const PinVault&) = delete;

 private:
  struct Page {
    std::uint8_t length[2];
    std::uint8_t pin[2][common::kMaxPinLength];
  };
  Page* page_;
};

}  // namespace p11
