#include "card/write_key.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <span>

#include "device/card_codes.h"
#include "device/checked_send.h"

namespace dal {

CosKeyRecord::~CosKeyRecord() { OPENSSL_cleanse(value.data(), value.size()); }

std::int32_t CosWriteKey(const CosKeyRecord& record) {
  Apdu command(kClaProprietary, kInsWriteKey, 0x00, 0x00);
  const auto eighth =
      static_cast<std::uint8_t>(((record.firstHalf & 0x0F) << 4) | (record.secondHalf & 0x0F));
  command.append(record.keyId).append(record.keyType).append(record.params).append(eighth);
  command.append(
      std::span(record.value.data(), std::min<std::size_t>(record.valueLen, kKeyValueBytes)));
  return DalSend(command);
}

}  // namespace dal
