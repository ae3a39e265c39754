// The global info file: caller-sized, caller-structured bytes in the MF.
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

// Created in the current DF, the MF once the token is formatted. Only the
// low 16 bits of the size reach the card.
std::int32_t createGlobalInfoFile(std::int32_t size) {
  const auto record = CosMakeEfRecord(
      kEfTransparent, layout::kGlobalInfoFileId, static_cast<std::uint16_t>(size & 0xFFFF),
      layout::kAccessFree, layout::kAccessFree, layout::kAccessFree, layout::kAccessFree);
  if (CosCreateEf(record) == kSwSuccess) return NORV_DAL_OK;
  DAL_LOG("******>create global info file Error");
  return NORV_DAL_ERR_CREATE_FILE;
}

// A read or write acts on the current file: when the global info file
// cannot be selected the call stops rather than touch another file.
std::int32_t readGlobalInfoFile(std::int32_t offset, std::int32_t length, std::uint8_t* data) {
  if (!dataRangeFits(offset, length, data)) {
    DAL_LOG("******>data range");
    return NORV_DAL_ERR_PARAM;
  }
  if (CosSelectFileId(layout::kGlobalInfoFileId) != kSwSuccess ||
      CosReadBinary(data, offset, length) != 0) {
    DAL_LOG("******>NORV_DAL_ReadGlobalInfoFile");
    return NORV_DAL_ERR_READ_FILE;
  }
  return NORV_DAL_OK;
}

std::int32_t writeGlobalInfoFile(std::int32_t offset, std::int32_t length,
                                 const std::uint8_t* data) {
  if (!dataRangeFits(offset, length, data)) {
    DAL_LOG("******>data range");
    return NORV_DAL_ERR_PARAM;
  }
  if (CosSelectFileId(layout::kGlobalInfoFileId) != kSwSuccess ||
      CosUpdateBinary(data, offset, length) != 0) {
    DAL_LOG("******>NORV_DAL_WriteGlobalInfoFile");
    return NORV_DAL_ERR_WRITE_FILE;
  }
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_CreateGlobalInfoFile(int32_t size) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::createGlobalInfoFile(size);
  });
}

NORV_DAL_API int32_t NORV_DAL_ReadGlobalInfoFile(int32_t offset, int32_t length, uint8_t* data) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::readGlobalInfoFile(offset, length, data);
  });
}

NORV_DAL_API int32_t NORV_DAL_WriteGlobalInfoFile(int32_t offset, int32_t length,
                                                  const uint8_t* data) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::writeGlobalInfoFile(offset, length, data);
  });
}

}  // extern "C"
