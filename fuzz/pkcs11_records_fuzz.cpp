// Every decoder of the bytes the token holds for the PKCS #11 module: the
// header of a record's copy, the directory, an object file and the token
// record. The bytes come from a shared token that any program may have
// written. What decodes must encode to bytes that decode to the same.
#include <cstdint>

#include "common/module_copies.h"
#include "records/directory.h"
#include "records/object_codec.h"
#include "records/token_record.h"

namespace {

using p11::ByteView;

void copies(ByteView in) {
  for (const auto kind : {common::RecordKind::Token, common::RecordKind::Directory}) {
    const common::CopyLook look = common::lookOfCopy(kind, in.first(std::min(in.size(), common::kCopyHeaderBytes)));
    const auto header = common::parseCopyHeader(kind, in);
    if (header.has_value() != (look == common::CopyLook::Ours)) __builtin_trap();
    if (!header) continue;
    const ByteView payload = in.subspan(common::kCopyHeaderBytes);
    if (!common::payloadMatches(kind, *header, payload)) continue;
    const p11::Bytes again = common::encodeCopy(kind, header->sequence, payload);
    if (!std::equal(again.begin(), again.end(), in.begin(), in.end())) __builtin_trap();
  }
}

void directory(ByteView in) {
  const auto decoded = p11::decodeDirectory(in);
  if (!decoded) return;
  const auto again = p11::decodeDirectory(p11::encodeDirectory(*decoded));
  if (!again || !(*again == *decoded)) __builtin_trap();
}

// An object file names its object's number at offset 5.
void object(ByteView in) {
  if (in.size() < 9) return;
  const std::uint32_t number = (std::uint32_t{in[5]} << 24) | (std::uint32_t{in[6]} << 16) |
                               (std::uint32_t{in[7]} << 8) | in[8];
  const auto decoded = p11::decodeObject(number, in);
  if (!decoded) return;
  const auto encoded = p11::encodeObject(number, *decoded);
  if (!encoded) __builtin_trap();
  const auto again = p11::decodeObject(number, *encoded);
  if (!again || again->all() != decoded->all()) __builtin_trap();
}

void tokenRecord(ByteView in) {
  const auto decoded = p11::decodeTokenRecord(in);
  if (!decoded) return;
  const auto again = p11::decodeTokenRecord(p11::encodeTokenRecord(*decoded));
  if (!again || again->label != decoded->label || again->serial != decoded->serial ||
      again->userPinSet != decoded->userPinSet)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView in(data, size);
  copies(in);
  directory(in);
  object(in);
  tokenRecord(in);
  return 0;
}
