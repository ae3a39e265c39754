// The module's user data files (type 3 of the reserved range), through the
// library's calls. Results are the library's codes.
#pragma once

#include "ck/ck.h"
#include "common/token_shape.h"
#include "records/storage_limits.h"
#include "token/token_lock.h"

namespace p11 {

std::int32_t readTokenFile(const TokenLock&, std::int32_t index, std::int32_t offset,
                           std::span<std::uint8_t> out);
std::int32_t writeTokenFile(const TokenLock&, std::int32_t index, std::int32_t offset,
                            ByteView data);
// True when the file is on the token, whether or not it can be used.
bool tokenFileThere(const TokenLock&, std::int32_t index);
std::int32_t createTokenFile(const TokenLock&, std::int32_t index, std::int32_t size,
                             common::FileAccess read, common::FileAccess write);

}  // namespace p11
