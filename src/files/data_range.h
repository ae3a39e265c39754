// The byte range a caller asks to read or write in a file, checked before
// anything is sent: P1 P2 address only 16 bits of offset, and a range
// past them would wrap round to the start of the file.
#pragma once

#include <cstdint>

#include "card/file_commands.h"

namespace dal {

// True when offset and length are not negative, the buffer is there when
// bytes are to move, and the range (behind `headerBytes` of the file's
// own) ends within the addressable 64 KiB.
inline bool dataRangeFits(std::int32_t offset, std::int32_t length, const void* buffer,
                          std::int32_t headerBytes = 0) {
  if (offset < 0 || length < 0 || (buffer == nullptr && length > 0)) return false;
  return std::int64_t{headerBytes} + offset + length <= kAddressableBytes;
}

}  // namespace dal
