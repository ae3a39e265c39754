#include "card/file_commands.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "device/card_codes.h"
#include "device/checked_send.h"

namespace dal {
namespace {

std::uint8_t offsetHigh(std::int32_t offset) {
  return static_cast<std::uint8_t>((offset >> 8) & 0xFF);
}
std::uint8_t offsetLow(std::int32_t offset) { return static_cast<std::uint8_t>(offset & 0xFF); }

// One READ BINARY of `count` bytes; the card must deliver all of them.
bool readChunk(std::uint8_t* destination, std::int32_t offset, std::int32_t count) {
  Apdu command(kClaIso, kInsReadBinary, offsetHigh(offset), offsetLow(offset));
  command.le(static_cast<std::uint8_t>(count));
  ResponseBuffer response;
  if (DalSend(command, response) != kSwSuccess) return false;
  if (response.delivered() < static_cast<std::size_t>(count)) return false;
  std::memcpy(destination, response.data(), static_cast<std::size_t>(count));
  return true;
}

std::int32_t updateChunk(const std::uint8_t* source, std::int32_t offset, std::int32_t count) {
  Apdu command(kClaIso, kInsUpdateBinary, offsetHigh(offset), offsetLow(offset));
  command.append(std::span(source, static_cast<std::size_t>(count)));
  const std::int32_t sw = DalSend(command);
  return sw == kSwNotCarried ? kCosFailed : sw;
}

}  // namespace

bool inAddressRange(std::int32_t offset, std::int32_t length) {
  return offset >= 0 && length >= 0 &&
         std::int64_t{offset} + std::int64_t{length} <= kAddressableBytes;
}

CosEfRecord CosMakeEfRecord(std::uint8_t type, std::uint16_t fileId, std::uint16_t size,
                            std::uint8_t readAccess, std::uint8_t writeAccess, std::uint8_t access3,
                            std::uint8_t access4) {
  return {type,
          static_cast<std::uint8_t>(fileId & 0xFF),
          static_cast<std::uint8_t>(fileId >> 8),
          static_cast<std::uint8_t>(size >> 8),
          static_cast<std::uint8_t>(size & 0xFF),
          readAccess,
          writeAccess,
          access3,
          access4};
}

std::int32_t CosCreateDf(const CosDfRecord& record) {
  Apdu command(kClaProprietary, kInsCreateFile, kFormMf, 0x00);
  const std::size_t nameLen = std::min<std::size_t>(record.nameLen, record.name.size());
  command.append(record.header).append(std::span(record.name.data(), nameLen));
  return DalSend(command);
}

std::int32_t CosCreateEf(const CosEfRecord& record) {
  Apdu command(kClaProprietary, kInsCreateFile, kFormEfById, 0x00);
  command.append(record);
  return DalSend(command);
}

std::int32_t CosDeleteFile(std::uint8_t p1, std::span<const std::uint8_t> data) {
  Apdu command(kClaIso, kInsDeleteFile, p1, 0x00);
  command.append(data);
  return DalSend(command);
}

std::int32_t CosSelectFile(int form, std::span<const std::uint8_t> data) {
  if (form != kFormMf && form != kFormEfById && form != kFormDfByName) return kCosFailed;
  Apdu command(kClaIso, kInsSelectFile, static_cast<std::uint8_t>(form), 0x00);
  command.append(form == kFormMf ? std::span<const std::uint8_t>(kMfId) : data);
  return DalSend(command);
}

std::int32_t CosSelectFileId(std::uint16_t fileId) {
  const std::uint8_t id[] = {static_cast<std::uint8_t>(fileId & 0xFF),
                             static_cast<std::uint8_t>(fileId >> 8)};
  return CosSelectFile(kFormEfById, id);
}

std::int32_t CosSelectMfDirect() {
  Apdu command(kClaIso, kInsSelectFile, kFormMf, 0x00);
  command.append(kMfId);
  return DalSend(command, Route::kDirect);
}

std::int32_t CosReadBinary(std::uint8_t* destination, std::int32_t offset, std::int32_t length) {
  if (length <= 0) return 0;
  if (!inAddressRange(offset, length)) return kCosFailed;
  const std::int32_t full = length / kBinaryChunk;
  const std::int32_t rest = length % kBinaryChunk;
  for (std::int32_t k = 0; k < full; ++k) {
    if (!readChunk(destination + std::ptrdiff_t{k} * kBinaryChunk, offset, kBinaryChunk))
      return kCosFailed;
    offset += kBinaryChunk;
  }
  if (rest > 0 && !readChunk(destination + std::ptrdiff_t{full} * kBinaryChunk, offset, rest))
    return kCosFailed;
  return 0;
}

std::int32_t CosUpdateBinary(const std::uint8_t* source, std::int32_t offset, std::int32_t length) {
  if (length <= 0) return 0;
  if (!inAddressRange(offset, length)) return kCosFailed;
  const std::int32_t full = length / kBinaryChunk;
  const std::int32_t rest = length % kBinaryChunk;
  for (std::int32_t k = 0; k < full; ++k) {
    const std::int32_t sw =
        updateChunk(source + std::ptrdiff_t{k} * kBinaryChunk, offset, kBinaryChunk);
    if (sw != kSwSuccess) return sw;
    offset += kBinaryChunk;
  }
  if (rest > 0) {
    const std::int32_t sw = updateChunk(source + std::ptrdiff_t{full} * kBinaryChunk, offset, rest);
    if (sw != kSwSuccess) return sw;
  }
  return 0;
}

}  // namespace dal
