#include "ciphers/cipher_result.h"

#include "norv_dal_tkp30.h"

namespace dal::ciphers {

std::int32_t mapResult(std::int32_t internal, const ErrorMap& map) {
  switch (internal) {
    case kOk: return NORV_DAL_OK;
    case kBadMode: return map.badMode;
    case kBadPadding: return map.badPadding;
    case kBadLength: return map.badLength;
    case kTooLong:
      return NORV_DAL_ERR_DATA_LEN;  // whatever the family: a length the call cannot report
    default: return map.other;
  }
}

}  // namespace dal::ciphers
