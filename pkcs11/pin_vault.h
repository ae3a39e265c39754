// The PINs the module keeps for an application (to log in again when the
// token lost its login, and the super PIN for C_InitPIN): one page of
// memory that is locked against swapping, left out of core dumps, reads as
// zeros in a forked child, and is wiped whenever a PIN is dropped.
#pragma once

#include "ck.h"
#include "reserved_files.h"

namespace p11 {

enum class Role { User, SecurityOfficer };

class PinVault {
 public:
  PinVault();
  ~PinVault();
  PinVault(const PinVault&) = delete;
  PinVault& operator=(const PinVault&) = delete;

  void keep(Role who, ByteView pin);  // pin is 1 to kMaxPin bytes
  void drop(Role who);
  bool holds(Role who) const;
  ByteView pin(Role who) const;

 private:
  struct Page {
    std::uint8_t length[2];
    std::uint8_t pin[2][kMaxPin];
  };
  Page* page_;
};

}  // namespace p11
