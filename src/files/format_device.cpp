// Formatting: clear the card and write the library's whole layout.
#include <array>

#include "access/challenge.h"
#include "access/des_crypt.h"
#include "access/pin_args.h"
#include "device/apdu.h"
#include "device/card_codes.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "files/card_files.h"
#include "files/format_keys.h"
#include "files/token_layout.h"
#include "norv_dal_tkp30.h"

namespace {

namespace layout = dal::layout;

constexpr std::size_t kAuthChallengeSize = 8;

// Select the MF and authenticate with the external authentication key,
// both sent directly so that no GET RESPONSE comes between the challenge
// and its cryptogram. A blank card refuses both; their outcome is ignored.
void authenticate() {
  dal::ResponseBuffer response;
  dal::Apdu selectMf(dal::kClaIso, dal::kInsSelectFile, dal::kFormMf, 0x00);
  selectMf.append(layout::kMfSelectName);
  dal::DalApduDirect(selectMf.bytes(), response);

  std::array<std::uint8_t, kAuthChallengeSize> cryptogram{};
  dal::CosGetChallenge(cryptogram);
  dal::DalDesCrypt(layout::asBytes(layout::kExternalAuthKeyValue), {}, cryptogram, cryptogram,
                   dal::kDesEncrypt, dal::kDes3Ecb);
  dal::Apdu externalAuth(dal::kClaIso, dal::kInsExternalAuth, 0x00, layout::kExternalAuthKeyId);
  externalAuth.append(cryptogram);
  dal::DalApduDirect(externalAuth.bytes(), response);
}

// A checked step's failure is its status word; one that could not be
// carried at all must not read as 0 (success).
std::int32_t stepFailure(std::int32_t sw, const char* logText) {
  DAL_LOG(logText);
  return sw == 0 ? NORV_DAL_ERR_OTHER : sw;
}

std::int32_t createMfAndKeyFile() {
  dal::CosDfRecord mf;
  mf.header = layout::kMfHeader;
  std::copy(layout::kMfName.begin(), layout::kMfName.end(), mf.name.begin());
  mf.nameLen = static_cast<std::uint32_t>(layout::kMfName.size());
  if (std::int32_t sw = dal::CosCreateDf(mf); sw != dal::kSwSuccess)
    return stepFailure(sw, "******>Create MF File Error!");
  const auto keyFile = dal::CosMakeEfRecord(dal::kEfKeyFile, layout::kKeyFileId,
                                            layout::kKeyFileSizeField, layout::kAccessFree,
                                            layout::kAccessFree, layout::kAccessFree,
                                            layout::kAccessFree);
  if (std::int32_t sw = dal::CosCreateEf(keyFile); sw != dal::kSwSuccess)
    return stepFailure(sw, "******>Create Key File Error!");
  return NORV_DAL_OK;
}

std::int32_t writeKeys(std::span<const std::uint8_t> superPin,
                       std::span<const std::uint8_t> userPin) {
  for (const dal::FormatKey& key : dal::formatKeys(superPin, userPin)) {
    dal::CosKeyRecord record;
    dal::fillKeyRecord(key, record);
    if (std::int32_t sw = dal::CosWriteKey(record); sw != dal::kSwSuccess)
      return stepFailure(sw, key.logText);
  }
  return NORV_DAL_OK;
}

// The files that follow the keys are not checked: formatting has already
// succeeded once the keys and PINs are in place.
void createFiles() {
  for (int slot = 0; slot < layout::kKeyPairSlots; ++slot) {
    const auto i = static_cast<std::uint16_t>(slot);
    dal::CosCreateEf(dal::CosMakeEfRecord(
        dal::kEfRsaPublic, static_cast<std::uint16_t>(layout::kRsaPublicFileBase + i),
        layout::kKeyFileSizeField, layout::kAccessFree, layout::kAccessFree, layout::kAccessFree,
        layout::kAccessFree));
    dal::CosCreateEf(dal::CosMakeEfRecord(
        dal::kEfRsaPrivate, static_cast<std::uint16_t>(layout::kRsaPrivateFileBase + i),
        layout::kKeyFileSizeField, layout::kAccessPrivateKey, layout::kAccessPrivateKey,
        layout::kAccessPrivateKey, layout::kAccessPrivateKeyUse));
  }
  dal::CosCreateEf(dal::CosMakeEfRecord(dal::kEfTransparent, layout::kUserProbeFileId,
                                        layout::kProbeFileSize, layout::kAccessUserPin,
                                        layout::kAccessUserPin, layout::kAccessFree,
                                        layout::kAccessFree));
  dal::CosCreateEf(dal::CosMakeEfRecord(dal::kEfTransparent, layout::kSuperProbeFileId,
                                        layout::kProbeFileSize, layout::kAccessSuperPin,
                                        layout::kAccessSuperPin, layout::kAccessFree,
                                        layout::kAccessFree));
  dal::CosCreateEf(dal::CosMakeEfRecord(dal::kEfTransparent, layout::kKeyPairCounterFileId,
                                        layout::kKeyPairCounterFileSize, layout::kAccessFree,
                                        layout::kAccessCounterWrite, layout::kAccessCounterAdmin,
                                        layout::kAccessFree));
}

// The key-pair counter starts at 0. It is written only when its file is
// the current one, never into whichever file the card had selected.
void resetKeyPairCounter() {
  if (dal::CosSelectFileId(layout::kKeyPairCounterFileId) != dal::kSwSuccess) return;
  const std::array<std::uint8_t, 2> zero{};
  dal::CosUpdateBinary(zero.data(), 0, static_cast<std::int32_t>(zero.size()));
}

std::int32_t formatDevice(const std::uint8_t* superPin, std::int32_t superLen,
                          const std::uint8_t* userPin, std::int32_t userLen) {
  if (!dal::pinArgFits(superPin, superLen, dal::kMaxKeyValue) ||
      !dal::pinArgFits(userPin, userLen, dal::kMaxKeyValue)) {
    DAL_LOG("******>pin length");
    return NORV_DAL_ERR_PARAM;
  }
  authenticate();
  dal::CosDeleteFile(layout::kClearCardP1, layout::kClearCardData);
  if (std::int32_t rv = createMfAndKeyFile(); rv != NORV_DAL_OK) return rv;
  if (std::int32_t rv = writeKeys(dal::pinSpan(superPin, superLen), dal::pinSpan(userPin, userLen));
      rv != NORV_DAL_OK)
    return rv;
  createFiles();
  resetKeyPairCounter();
  return NORV_DAL_OK;
}

}  // namespace

extern "C" NORV_DAL_API int32_t NORV_DAL_FormatDevice(const uint8_t* superPin,
                                                      int32_t superPinLen,
                                                      const uint8_t* userPin,
                                                      int32_t userPinLen) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return formatDevice(superPin, superPinLen, userPin, userPinLen);
  });
}
