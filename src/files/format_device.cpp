// Formatting: clear the card and write the library's whole layout.
#include <array>

#include "card/external_auth.h"
#include "card/file_commands.h"
#include "card/pin_args.h"
#include "card/token_layout.h"
#include "card/write_key.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "files/format_keys.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

// Select the MF and authenticate with the external authentication key,
// both sent directly so that no GET RESPONSE comes between the challenge
// and its cryptogram. A blank card refuses both; their outcome is ignored.
void authenticate() {
  CosSelectMfDirect();
  CosExternalAuthenticate(layout::kExternalAuthKeyId,
                          layout::asBytes(layout::kExternalAuthKeyValue));
}

// A checked step's failure is its status word; one that could not be
// carried at all must not read as 0 (success).
std::int32_t stepFailure(std::int32_t sw, const char* logText) {
  DAL_LOG(logText);
  return sw == kSwNotCarried ? NORV_DAL_ERR_OTHER : sw;
}

std::int32_t createMfAndKeyFile() {
  CosDfRecord mf;
  mf.header = layout::kMfHeader;
  std::copy(layout::kMfName.begin(), layout::kMfName.end(), mf.name.begin());
  mf.nameLen = static_cast<std::uint32_t>(layout::kMfName.size());
  if (std::int32_t sw = CosCreateDf(mf); sw != kSwSuccess)
    return stepFailure(sw, "******>Create MF File Error!");
  const auto keyFile = CosMakeEfRecord(kEfKeyFile, layout::kKeyFileId, layout::kKeyFileSizeField,
                                       layout::kAccessFree, layout::kAccessFree,
                                       layout::kAccessFree, layout::kAccessFree);
  if (std::int32_t sw = CosCreateEf(keyFile); sw != kSwSuccess)
    return stepFailure(sw, "******>Create Key File Error!");
  return NORV_DAL_OK;
}

std::int32_t writeKeys(std::span<const std::uint8_t> superPin,
                       std::span<const std::uint8_t> userPin) {
  for (const FormatKey& key : formatKeys(superPin, userPin)) {
    CosKeyRecord record;
    fillKeyRecord(key, record);
    if (std::int32_t sw = CosWriteKey(record); sw != kSwSuccess)
      return stepFailure(sw, key.logText);
  }
  return NORV_DAL_OK;
}

// The files that follow the keys are not checked: formatting has already
// succeeded once the keys and PINs are in place.
void createFiles() {
  for (int slot = 0; slot < layout::kKeyPairSlots; ++slot) {
    const auto i = static_cast<std::uint16_t>(slot);
    CosCreateEf(CosMakeEfRecord(kEfRsaPublic,
                                static_cast<std::uint16_t>(layout::kRsaPublicFileBase + i),
                                layout::kKeyFileSizeField, layout::kAccessFree, layout::kAccessFree,
                                layout::kAccessFree, layout::kAccessFree));
    CosCreateEf(CosMakeEfRecord(
        kEfRsaPrivate, static_cast<std::uint16_t>(layout::kRsaPrivateFileBase + i),
        layout::kKeyFileSizeField, layout::kAccessPrivateKey, layout::kAccessPrivateKey,
        layout::kAccessPrivateKey, layout::kAccessPrivateKeyUse));
  }
  CosCreateEf(CosMakeEfRecord(kEfTransparent, layout::kUserProbeFileId, layout::kProbeFileSize,
                              layout::kAccessUserPin, layout::kAccessUserPin, layout::kAccessFree,
                              layout::kAccessFree));
  CosCreateEf(CosMakeEfRecord(kEfTransparent, layout::kSuperProbeFileId, layout::kProbeFileSize,
                              layout::kAccessSuperPin, layout::kAccessSuperPin, layout::kAccessFree,
                              layout::kAccessFree));
  CosCreateEf(CosMakeEfRecord(kEfTransparent, layout::kKeyPairCounterFileId,
                              layout::kKeyPairCounterFileSize, layout::kAccessFree,
                              layout::kAccessCounterWrite, layout::kAccessCounterAdmin,
                              layout::kAccessFree));
}

// The key-pair counter starts at 0. It is written only when its file is
// the current one, never into whichever file the card had selected.
void resetKeyPairCounter() {
  if (CosSelectFileId(layout::kKeyPairCounterFileId) != kSwSuccess) return;
  const std::array<std::uint8_t, 2> zero{};
  CosUpdateBinary(zero.data(), 0, static_cast<std::int32_t>(zero.size()));
}

std::int32_t formatDevice(const std::uint8_t* superPin, std::int32_t superLen,
                          const std::uint8_t* userPin, std::int32_t userLen) {
  if (!pinArgFits(superPin, superLen, kMaxKeyValue) ||
      !pinArgFits(userPin, userLen, kMaxKeyValue)) {
    DAL_LOG("******>pin length");
    return NORV_DAL_ERR_PARAM;
  }
  authenticate();
  CosDeleteFile(layout::kClearCardP1, layout::kClearCardData);
  if (std::int32_t rv = createMfAndKeyFile(); rv != NORV_DAL_OK) return rv;
  if (std::int32_t rv = writeKeys(pinSpan(superPin, superLen), pinSpan(userPin, userLen));
      rv != NORV_DAL_OK)
    return rv;
  createFiles();
  resetKeyPairCounter();
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_FormatDevice(const uint8_t* superPin, int32_t superPinLen,
                                                      const uint8_t* userPin, int32_t userPinLen) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::formatDevice(superPin, superPinLen, userPin, userPinLen);
  });
}
