#include "card/external_auth.h"

#include <array>

#include "card/challenge.h"
#include "card/des_crypt.h"
#include "device/card_codes.h"
#include "device/checked_send.h"

namespace dal {

std::int32_t CosExternalAuthenticate(std::uint8_t keyId, std::span<const std::uint8_t> key) {
  std::array<std::uint8_t, kDesBlock> cryptogram{};
  CosGetChallenge(cryptogram);
  DalDesCrypt(key, {}, cryptogram, cryptogram, kDesEncrypt, kDes3Ecb);
  Apdu command(kClaIso, kInsExternalAuth, 0x00, keyId);
  command.append(cryptogram);
  return DalSend(command, Route::kDirect);
}

}  // namespace dal
