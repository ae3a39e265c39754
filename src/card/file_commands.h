// The card's file commands: CREATE FILE, DELETE FILE, SELECT FILE, READ
// and UPDATE BINARY (in 128-byte chunks). The builders neither open the
// token nor log; their callers do both.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace dal {

// SELECT FILE and CREATE FILE forms (P1).
inline constexpr int kFormMf = 0;        // SELECT: the MF; CREATE: a DF
inline constexpr int kFormEfById = 2;    // an elementary file by identifier
inline constexpr int kFormDfByName = 4;  // SELECT only

// The identifier SELECT FILE gives the MF.
inline constexpr std::array<std::uint8_t, 2> kMfId = {0x3F, 0x00};

// The result of a builder asked for an unknown form, or of a failed read.
inline constexpr std::int32_t kCosFailed = -1;

// Largest chunk moved by one READ or UPDATE BINARY.
inline constexpr std::int32_t kBinaryChunk = 128;

// P1 and P2 carry 16 bits of offset: a range past this would wrap round
// to the start of the file, so the binary commands refuse it (-1) before
// sending anything.
inline constexpr std::int64_t kAddressableBytes = 0x10000;
bool inAddressRange(std::int32_t offset, std::int32_t length);

// DF creation record: a 13-byte header passed unchanged and the DF name.
struct CosDfRecord {
  std::array<std::uint8_t, 13> header{};
  std::array<std::uint8_t, 19> name{};
  std::uint32_t nameLen = 0;
};

// EF creation record: nine bytes sent unchanged (type, identifier low byte
// first, size high byte first, four access bytes).
using CosEfRecord = std::array<std::uint8_t, 9>;

// File types of an EF creation record.
inline constexpr std::uint8_t kEfTransparent = 0x21;
inline constexpr std::uint8_t kEfKeyFile = 0x25;
inline constexpr std::uint8_t kEfRsaPublic = 0x30;
inline constexpr std::uint8_t kEfRsaPrivate = 0x31;

// Builds an EF creation record.
CosEfRecord CosMakeEfRecord(std::uint8_t type, std::uint16_t fileId, std::uint16_t size,
                            std::uint8_t readAccess, std::uint8_t writeAccess, std::uint8_t access3,
                            std::uint8_t access4);

std::int32_t CosCreateDf(const CosDfRecord& record);
std::int32_t CosCreateEf(const CosEfRecord& record);
std::int32_t CosDeleteFile(std::uint8_t p1, std::span<const std::uint8_t> data);
// Form 0 selects the MF (data ignored); form 2 an EF by the identifier
// bytes in `data`; form 4 a DF by name. Any other form: -1, nothing sent.
std::int32_t CosSelectFile(int form, std::span<const std::uint8_t> data);
// SELECT FILE form 2 of `fileId`, sent low byte first.
std::int32_t CosSelectFileId(std::uint16_t fileId);
// SELECT FILE of the MF sent directly, so that no GET RESPONSE can follow.
std::int32_t CosSelectMfDirect();
// 0, or -1 for any failure (a refusal, or fewer bytes than asked for).
// Chunks before a failing one are already in `destination`.
std::int32_t CosReadBinary(std::uint8_t* destination, std::int32_t offset, std::int32_t length);
// 0, or the status word of the first failing chunk (-1 if not carried).
std::int32_t CosUpdateBinary(const std::uint8_t* source, std::int32_t offset, std::int32_t length);

}  // namespace dal
