#include "token/token_files.h"

#include "common/module_range.h"
#include "common/token_shape.h"

namespace p11 {

std::int32_t readTokenFile(const TokenLock&, std::int32_t index, std::int32_t offset,
                           std::span<std::uint8_t> out) {
  return NORV_DAL_ReadUsrDataFile(common::kModuleFileType, index, offset,
                                  static_cast<std::int32_t>(out.size()), out.data());
}

std::int32_t writeTokenFile(const TokenLock&, std::int32_t index, std::int32_t offset,
                            ByteView data) {
  return NORV_DAL_WriteUsrDataFile(common::kModuleFileType, index, offset,
                                   static_cast<std::int32_t>(data.size()), data.data());
}

bool tokenFileThere(const TokenLock& lock, std::int32_t index) {
  std::uint8_t probe[1];
  const std::int32_t rv = readTokenFile(lock, index, 0, probe);
  return rv == NORV_DAL_OK || rv == NORV_DAL_ERR_FILE_DELETED;
}

std::int32_t createTokenFile(const TokenLock&, std::int32_t index, std::int32_t size,
                             common::FileAccess read, common::FileAccess write) {
  return NORV_DAL_CreateUsrDataFile(common::kModuleFileType, index, size,
                                    static_cast<std::int32_t>(read),
                                    static_cast<std::int32_t>(write));
}

}  // namespace p11
