// The token layout this library writes and relies on: file identifiers,
// access bytes, key identifiers and the fixed key and PIN values.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace dal::layout {

// ---- The MF and clearing the card --------------------------------------
inline constexpr std::array<std::uint8_t, 13> kMfHeader = {0x08, 0x5A, 0x00, 0x00, 0x00, 0xFF, 0xFF,
                                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline constexpr std::string_view kMfName = "MF";
// DELETE FILE with this P1 and data clears the whole card.
inline constexpr std::uint8_t kClearCardP1 = 0x00;
inline constexpr std::array<std::uint8_t, 8> kClearCardData = {0xFF, 0xFF, 0xFF, 0xFF,
                                                               0xFF, 0xFF, 0xFF, 0xFF};

// ---- Access bytes -------------------------------------------------------
inline constexpr std::uint8_t kAccessFree = 0x0F;
inline constexpr std::uint8_t kAccessPrivateKey = 0x1F;
inline constexpr std::uint8_t kAccessPrivateKeyUse = 0x15;
inline constexpr std::uint8_t kAccessCounterWrite = 0x1F;
inline constexpr std::uint8_t kAccessCounterAdmin = 0x5A;
inline constexpr std::uint8_t kAccessNever = 0xF0;
inline constexpr std::uint8_t kAccessUserPin = 0xAA;   // opened by the user PIN
inline constexpr std::uint8_t kAccessSuperPin = 0xCC;  // opened by the super PIN

// ---- Files in the MF ----------------------------------------------------
inline constexpr std::uint16_t kKeyFileId = 0x0000;
// The key file and the RSA key files carry these two bytes where a
// transparent file carries its size.
inline constexpr std::uint16_t kKeyFileSizeField = 0x2018;
inline constexpr std::uint16_t kRsaPublicFileBase = 0x0800;
inline constexpr std::uint16_t kRsaPrivateFileBase = 0x0820;
inline constexpr int kKeyPairSlots = 4;
inline constexpr std::uint16_t kUserProbeFileId = 0x1FF5;
inline constexpr std::uint16_t kSuperProbeFileId = 0x1FF6;
inline constexpr std::uint16_t kProbeFileSize = 2;
inline constexpr std::uint16_t kKeyPairCounterFileId = 0x1FF4;
inline constexpr std::uint16_t kKeyPairCounterFileSize = 8;
inline constexpr std::uint16_t kGlobalInfoFileId = 0x1FF3;

// User data files: the identifier is the base of the file type plus the index.
inline constexpr std::array<std::uint16_t, 3> kUserDataFileBases = {0x0200, 0x0400, 0x0600};
// Access bytes a caller chooses from, by selector 0, 1, 2.
inline constexpr std::array<std::uint8_t, 3> kUserDataAccess = {kAccessNever, kAccessUserPin,
                                                                kAccessSuperPin};
// Header in front of a user data file's content: the presence byte and one spare byte.
inline constexpr std::int32_t kUserDataHeaderSize = 2;
inline constexpr std::uint8_t kUserDataPresent = 0x01;
inline constexpr std::uint8_t kUserDataDeleted = 0x00;

// ---- Keys and PINs in the key file ----------------------------------------
inline constexpr std::uint8_t kSuperPinRef = 0x10;
inline constexpr std::uint8_t kUserPinRef = 0x11;
inline constexpr std::uint8_t kLogoutPinRef = 0x0F;
inline constexpr std::uint8_t kUnknownPinRef = 0xFF;  // what an unknown login type names
inline constexpr std::uint8_t kExternalAuthKeyId = 0x01;

// One key record's header: identifier, type, parameter bytes and the two
// halves of the eighth header byte.
struct KeyHeader {
  std::uint8_t id;
  std::uint8_t type;
  std::array<std::uint8_t, 5> params;
  std::uint8_t firstHalf;
  std::uint8_t secondHalf;
};

// clang-format off
inline constexpr KeyHeader kMasterKey = {0x00, 0x01, {0x00, 0x01, 0x0F, 0x01, 0x01}, 0xF, 0xF};
inline constexpr KeyHeader kExternalAuthKey = {kExternalAuthKeyId, 0x01,
                                             {0x00, 0x01, 0x08, 0x5A, 0x0F}, 0xF, 0xF};
inline constexpr KeyHeader kInnerKey = {0x02, 0x02, {0x00, 0x01, 0x0F, 0x01, 0x0F}, 0xF, 0xF};
inline constexpr KeyHeader kApplicationKey = {0x04, 0x04, {0x00, 0x01, 0x0F, 0x01, 0x0F}, 0xF, 0xF};
inline constexpr KeyHeader kReloadKey = {0x05, 0x05, {0x00, 0x01, 0x0F, 0x01, 0x0F}, 0xF, 0xF};
inline constexpr KeyHeader kUnlockKey = {0x06, 0x06, {0x00, 0x01, 0x0F, 0x01, 0x0F}, 0xF, 0xF};
inline constexpr KeyHeader kSuperPin = {kSuperPinRef, 0x03, {0x00, 0x00, 0x08, 0x5A, 0x01}, 0xA, 0xA};
inline constexpr KeyHeader kLogoutPin = {kLogoutPinRef, 0x03, {0x00, 0x00, 0x0F, 0x01, 0x0F}, 0xF, 0xF};
inline constexpr KeyHeader kUserPin = {kUserPinRef, 0x03, {0x00, 0x00, 0x08, 0x14, 0x0F}, 0xF, 0xF};
// clang-format on

// The fixed values, ASCII, written without a terminator.
inline constexpr std::string_view kMasterKeyValue = "QJMXRZVTKWNBHPL8";
inline constexpr std::string_view kExternalAuthKeyValue = "TZHNWQXVRKBMJLC5";
inline constexpr std::string_view kInnerKeyValue = "WBZKQHTRVMXNPJF4";
inline constexpr std::string_view kApplicationKeyValue = "PRXVNJTQWZMBKLD7";
inline constexpr std::string_view kReloadKeyValue = "MTFWZQRNYBKVXCJH";
inline constexpr std::string_view kUnlockKeyValue = "HVQTRMZWBXPLJDSE";
inline constexpr std::string_view kLogoutPinValue = "80642719";

// The bytes of a fixed value, as they travel to the card.
inline std::span<const std::uint8_t> asBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace dal::layout
