#include "files/format_keys.h"

#include <algorithm>

namespace dal {

std::array<FormatKey, kFormatKeyCount> formatKeys(std::span<const std::uint8_t> superPin,
                                                  std::span<const std::uint8_t> userPin) {
  using layout::asBytes;
  return {{
      {layout::kMasterKey, asBytes(layout::kMasterKeyValue), "******>Write Master Key  Error!"},
      {layout::kExternalAuthKey, asBytes(layout::kExternalAuthKeyValue),
       "******>Write Exter Key  Error!"},
      {layout::kInnerKey, asBytes(layout::kInnerKeyValue), "******>Write Inner Key  Error!"},
      {layout::kApplicationKey, asBytes(layout::kApplicationKeyValue),
       "******>Write APPLIKEY  Error!"},
      {layout::kReloadKey, asBytes(layout::kReloadKeyValue), "******>Write RELOADKEY  Error!"},
      {layout::kUnlockKey, asBytes(layout::kUnlockKeyValue), "******>Write UNLOCKKEY  Error!"},
      {layout::kSuperPin, superPin, "******>Write superPin  Error!"},
      {layout::kLogoutPin, asBytes(layout::kLogoutPinValue), "******>Write LOGOUTPIN  Error!"},
      {layout::kUserPin, userPin, "******>Write usrPin  Error!"},
  }};
}

void fillKeyRecord(const FormatKey& key, CosKeyRecord& record) {
  record.keyId = key.header.id;
  record.keyType = key.header.type;
  record.params = key.header.params;
  record.firstHalf = key.header.firstHalf;
  record.secondHalf = key.header.secondHalf;
  const std::size_t size = std::min(key.value.size(), record.value.size());
  std::copy_n(key.value.begin(), size, record.value.begin());
  record.valueLen = static_cast<std::uint8_t>(size);
}

}  // namespace dal
