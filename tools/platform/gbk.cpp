#include "platform/gbk.h"

#include <array>

#include "norv_dal_tkp30.h"

namespace tkp30 {

std::optional<std::string> libraryMessage(std::int32_t code) {
  std::array<char, NORV_DAL_ERRMSG_SIZE> gbk{};
  NORV_DAL_GetErrMsg(code, gbk.data());
  gbk.back() = '\0';
  return gbkToLocale(gbk.data());
}

}  // namespace tkp30
