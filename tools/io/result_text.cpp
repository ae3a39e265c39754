#include "io/result_text.h"

#include <array>
#include <utility>

#include "common/token_shape.h"
#include "norv_dal_tkp30.h"
#include "platform/gbk.h"

namespace tkp30 {
namespace {

// Results above the tries-left range are raw card status words.

// One entry per code of the library's error table.
constexpr std::array<std::pair<std::int32_t, const char*>, 36> kMeanings = {{
    {NORV_DAL_ERR_PARAM, "bad argument"},
    {NORV_DAL_ERR_SYNC, "synchronisation operation failed"},
    {NORV_DAL_ERR_CREATE_SYNC, "creating the synchronisation object failed"},
    {NORV_DAL_ERR_GEN_RAND, "generating random bytes failed"},
    {NORV_DAL_ERR_SSF33, "the SSF33 operation failed"},
    {NORV_DAL_ERR_CIPHERTEXT, "the ciphertext is not correct"},
    {NORV_DAL_ERR_CIPHER_MODE, "unsupported cipher mode"},
    {NORV_DAL_ERR_CREATE_SYM_KEY, "setting up the symmetric key failed"},
    {NORV_DAL_ERR_RSA, "the RSA operation failed"},
    {NORV_DAL_ERR_DATA_LEN, "the data length is wrong"},
    {NORV_DAL_ERR_GEN_KEY_PAIR, "generating the key pair failed"},
    {NORV_DAL_ERR_MODULUS_LEN, "the modulus length is not supported"},
    {NORV_DAL_ERR_DELETE_FILE, "deleting the file failed"},
    {NORV_DAL_ERR_FILE_DELETED, "the file has been deleted"},
    {NORV_DAL_ERR_READ_FILE, "reading the file failed"},
    {NORV_DAL_ERR_WRITE_FILE, "writing the file failed"},
    {NORV_DAL_ERR_WRITE_PIN, "writing the PIN failed"},
    {NORV_DAL_ERR_WRITE_KEY_FILE, "writing the key file failed"},
    {NORV_DAL_ERR_CREATE_KEY_FILE, "creating the key file failed"},
    {NORV_DAL_ERR_CREATE_FILE, "creating the file failed"},
    {NORV_DAL_ERR_WRITE, "writing the file failed"},
    {NORV_DAL_ERR_CLEAR_FORMAT, "clearing the token's format failed"},
    {NORV_DAL_ERR_LOGOUT, "logging out failed"},
    {NORV_DAL_ERR_LOGIN, "logging in failed"},
    {NORV_DAL_ERR_CHANGE_PIN, "changing the PIN failed"},
    {NORV_DAL_ERR_UNLOCK_PIN, "unlocking the PIN failed"},
    {NORV_DAL_ERR_VERIFY_PIN, "verifying the PIN failed"},
    {NORV_DAL_ERR_UNLOCK_SUPER_PIN, "the super PIN was refused while unlocking the user PIN"},
    {NORV_DAL_ERR_OTHER, "other error"},
    {NORV_DAL_ERR_RESET_DEVICE, "resetting the token failed"},
    {NORV_DAL_ERR_OPEN_DEVICE, "opening the token failed"},
    {NORV_DAL_ERR_NO_DEVICE, "no such token"},
    {NORV_DAL_ERR_NOT_SUPPORTED, "not supported"},
    {NORV_DAL_ERR_SUPER_PIN_LOCKED, "the super PIN is blocked"},
    {NORV_DAL_ERR_USER_PIN_LOCKED, "the user PIN is blocked"},
    {NORV_DAL_OK, "success"},
}};

}  // namespace

std::string englishMeaning(std::int32_t code) {
  if (code >= 1 && code <= common::kMaxTriesLeft)
    return "wrong PIN, " + std::to_string(code) + (code == 1 ? " try" : " tries") + " left";
  for (const auto& [known, meaning] : kMeanings)
    if (known == code) return meaning;
  if (code > common::kMaxTriesLeft) return "the card refused the command";
  return "unknown result";
}

std::string describeResult(std::int32_t code) {
  const auto message = libraryMessage(code);
  if (!message || code == NORV_DAL_OK || code > common::kMaxTriesLeft) return englishMeaning(code);
  return *message + " - " + englishMeaning(code);
}

}  // namespace tkp30
