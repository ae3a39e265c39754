// User data files: named by file type and index, each behind a two-byte
// header whose first byte tells present (01) from deleted (00).
#include <array>
#include <optional>

#include "card/file_commands.h"
#include "card/token_layout.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "files/data_range.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

using Header = std::array<std::uint8_t, layout::kUserDataHeaderSize>;

// Type 1, 2, 3 and the index, kept to 16 bits; empty for other types.
std::optional<std::uint16_t> fileIdOf(std::int32_t fileType, std::int32_t index) {
  if (fileType < 1 || fileType > static_cast<std::int32_t>(layout::kUserDataFileBases.size()))
    return std::nullopt;
  const std::uint32_t base = layout::kUserDataFileBases[static_cast<std::size_t>(fileType - 1)];
  return static_cast<std::uint16_t>((base + static_cast<std::uint32_t>(index)) & 0xFFFF);
}

std::optional<std::uint8_t> accessOf(std::int32_t selector) {
  if (selector < 0 || selector >= static_cast<std::int32_t>(layout::kUserDataAccess.size()))
    return std::nullopt;
  return layout::kUserDataAccess[static_cast<std::size_t>(selector)];
}

// Selects the file and reads its header; false when either fails, so that
// a file never created is not mistaken for whichever file was current.
bool readHeader(std::uint16_t fileId, Header& header) {
  return CosSelectFileId(fileId) == kSwSuccess &&
         CosReadBinary(header.data(), 0, layout::kUserDataHeaderSize) == 0;
}

bool markFile(std::uint16_t fileId, std::uint8_t mark) {
  const Header header = {mark, 0x00};
  return CosSelectFileId(fileId) == kSwSuccess &&
         CosUpdateBinary(header.data(), 0, layout::kUserDataHeaderSize) == 0;
}

std::int32_t refuse(const char* logText) {
  DAL_LOG(logText);
  return NORV_DAL_ERR_PARAM;
}

// The file and its header must fit the 16-bit size of a card file.
bool sizeFits(std::int32_t size) {
  return size >= 0 && size <= 0xFFFF - layout::kUserDataHeaderSize;
}

std::int32_t createFile(std::uint16_t fileId, std::int32_t size, std::uint8_t readAccess,
                        std::uint8_t writeAccess) {
  const auto cardSize = static_cast<std::uint16_t>(size + layout::kUserDataHeaderSize);
  const auto record = CosMakeEfRecord(kEfTransparent, fileId, cardSize, readAccess, writeAccess,
                                      layout::kAccessFree, layout::kAccessFree);
  if (const std::int32_t sw = CosCreateEf(record); sw != kSwSuccess) {
    DAL_LOG("******>NORV_DAL_CreateUsrDataFile erro");
    DAL_LOG_VALUE("size:", cardSize);
    DAL_LOG_VALUE("rv", sw);
    return NORV_DAL_ERR_CREATE_FILE;
  }
  if (!markFile(fileId, layout::kUserDataPresent)) {
    DAL_LOG("******>NORV_DAL_CreateUsrDataFile");
    return NORV_DAL_ERR_WRITE_FILE;
  }
  return NORV_DAL_OK;
}

std::int32_t createUsrDataFile(std::int32_t fileType, std::int32_t index, std::int32_t size,
                               std::int32_t readSelector, std::int32_t writeSelector) {
  const auto readAccess = accessOf(readSelector);
  if (!readAccess) return refuse("******>read");
  const auto writeAccess = accessOf(writeSelector);
  if (!writeAccess) return refuse("******>wrt");
  const auto fileId = fileIdOf(fileType, index);
  if (!fileId) return refuse("******>file type");
  if (!sizeFits(size)) return refuse("******>file size");
  return createFile(*fileId, size, *readAccess, *writeAccess);
}

std::int32_t readUsrDataFile(std::int32_t fileType, std::int32_t index, std::int32_t offset,
                             std::int32_t length, std::uint8_t* data) {
  const auto fileId = fileIdOf(fileType, index);
  if (!fileId) return refuse("******>file type");
  if (!dataRangeFits(offset, length, data, layout::kUserDataHeaderSize))
    return refuse("******>data range");
  Header header{};
  if (!readHeader(*fileId, header)) {
    DAL_LOG("******>NORV_DAL_ReadUsrDataFile SelectFile1");
    return NORV_DAL_ERR_READ_FILE;
  }
  if (header[0] == layout::kUserDataDeleted) {
    DAL_LOG("******>file deled");
    return NORV_DAL_ERR_FILE_DELETED;
  }
  if (CosReadBinary(data, offset + layout::kUserDataHeaderSize, length) != 0) {
    DAL_LOG("******>NORV_DAL_ReadUsrDataFile2:");
    return NORV_DAL_ERR_READ_FILE;
  }
  return NORV_DAL_OK;
}

std::int32_t writeContent(std::uint16_t fileId, std::int32_t offset, std::int32_t length,
                          const std::uint8_t* data) {
  const std::int32_t rv = CosUpdateBinary(data, offset + layout::kUserDataHeaderSize, length);
  if (rv == 0) return NORV_DAL_OK;
  DAL_LOG("******>NORV_DAL_WriteUsrDataFile2");
  DAL_LOG_VALUE("Write fileId", fileId);
  DAL_LOG_VALUE("writeLen:", length);
  DAL_LOG_VALUE("rv", rv);
  return NORV_DAL_ERR_WRITE_FILE;
}

std::int32_t writeUsrDataFile(std::int32_t fileType, std::int32_t index, std::int32_t offset,
                              std::int32_t length, const std::uint8_t* data) {
  const auto fileId = fileIdOf(fileType, index);
  if (!fileId) return refuse("******>file type");
  if (!dataRangeFits(offset, length, data, layout::kUserDataHeaderSize))
    return refuse("******>data range");
  if (CosSelectFileId(*fileId) != kSwSuccess) {
    DAL_LOG("******>NORV_DAL_WriteUsrDataFile1");
    return NORV_DAL_ERR_WRITE_FILE;
  }
  Header header{};
  if (CosReadBinary(header.data(), 0, layout::kUserDataHeaderSize) != 0) {
    DAL_LOG("******>NORV_DAL_WriteUsrDataFile1");
    return NORV_DAL_ERR_READ_FILE;
  }
  if (header[0] == layout::kUserDataDeleted) {
    DAL_LOG("******>file deled");
    return NORV_DAL_ERR_FILE_DELETED;
  }
  return writeContent(*fileId, offset, length, data);
}

std::int32_t deleteUsrDataFile(std::int32_t fileType, std::int32_t index) {
  const auto fileId = fileIdOf(fileType, index);
  if (!fileId) return refuse("******>file type");
  if (!markFile(*fileId, layout::kUserDataDeleted)) {
    DAL_LOG("******>NORV_DAL_DeleteUsrDataFile");
    return NORV_DAL_ERR_DELETE_FILE;
  }
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_CreateUsrDataFile(int32_t fileType, int32_t index, int32_t size,
                                                int32_t readAccess, int32_t writeAccess) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::createUsrDataFile(fileType, index, size, readAccess, writeAccess);
  });
}

NORV_DAL_API int32_t NORV_DAL_ReadUsrDataFile(int32_t fileType, int32_t index, int32_t offset,
                                              int32_t length, uint8_t* data) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::readUsrDataFile(fileType, index, offset, length, data);
  });
}

NORV_DAL_API int32_t NORV_DAL_WriteUsrDataFile(int32_t fileType, int32_t index, int32_t offset,
                                               int32_t length, const uint8_t* data) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::writeUsrDataFile(fileType, index, offset, length, data);
  });
}

NORV_DAL_API int32_t NORV_DAL_DeleteUsrDataFile(int32_t fileType, int32_t index) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::deleteUsrDataFile(fileType, index);
  });
}

}  // extern "C"
