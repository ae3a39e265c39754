// The card's file system: the MF, elementary files and their space, and
// the access checks the other sections share.
#include <algorithm>

#include "card_codes.h"
#include "card_commands.h"

namespace tkp30emu::card {
namespace {

// SELECT FILE forms (P1) and the P2 values it accepts.
constexpr std::uint8_t kSelectMf = 0x00;
constexpr std::uint8_t kSelectEfById = 0x02;
constexpr std::uint8_t kSelectDfByName = 0x04;
constexpr std::uint8_t kSelectAnswerFci = 0x00;
constexpr std::uint8_t kSelectAnswerNothing = 0x0C;
// CREATE FILE forms (P1) and the EF record: type, identifier, size, access.
constexpr std::uint8_t kCreateMf = 0x00;
constexpr std::uint8_t kCreateEf = 0x02;
constexpr std::size_t kEfRecordBytes = 9;
constexpr std::size_t kIdAt = 1;
constexpr std::size_t kSizeAt = 3;
constexpr std::size_t kAccessAt = 5;
// DELETE FILE clears the card for eight bytes of FF only.
constexpr std::size_t kClearCardBytes = 8;
constexpr std::uint8_t kClearCardByte = 0xFF;

void clearCurrent(Volatile& v) {
  v.currentKind = kCurrentNone;
  v.currentEf = 0;
}

void makeMfCurrent(Volatile& v) {
  v.currentKind = kCurrentMf;
  v.currentEf = 0;
}

void makeEfCurrent(Volatile& v, std::uint16_t id) {
  v.currentKind = kCurrentEf;
  v.currentEf = id;
}

bool namesTheMf(std::span<const std::uint8_t> data) {
  return data.size() == 2 && ((std::uint16_t{data[0]} << 8) | data[1]) == kMfId;
}

bool knownType(std::uint8_t type) {
  return type == kTransparent || type == kKeyFile || type == kRsaPublic || type == kRsaPrivate;
}

// A failed selection leaves no current file, so that the READ or UPDATE
// that follows can never touch a previously selected file.
void selectionFailed(Ctx& c) {
  clearCurrent(c.v);
  c.sw(kFileNotFound);
}

void selectMf(Ctx& c, const Apdu& a) {
  if ((!a.data.empty() && !namesTheMf(a.data)) || !c.p.mfExists) return selectionFailed(c);
  makeMfCurrent(c.v);
  c.sw(kOk);
}

void selectEf(Ctx& c, const Apdu& a) {
  if (a.data.size() != 2) return void(c.sw(kWrongLength));
  const std::uint16_t id = idAt(a.data.data());
  if (!c.p.mfExists || !c.p.files.count(id)) return selectionFailed(c);
  makeEfCurrent(c.v, id);
  c.sw(kOk);
}

void selectDfByName(Ctx& c, const Apdu& a) {
  if (a.data.empty()) return void(c.sw(kWrongLength));
  if (!c.p.mfExists ||
      !std::equal(a.data.begin(), a.data.end(), c.p.mfName.begin(), c.p.mfName.end()))
    return selectionFailed(c);
  makeMfCurrent(c.v);
  c.sw(kOk);
}

// The one DF: creating it clears whatever the card held.
void createMf(Ctx& c, const Apdu& a) {
  if (a.data.size() < kMfHeaderBytes || a.data.size() > kMfHeaderBytes + kMaxMfName)
    return void(c.sw(kWrongLength));
  if (c.p.mfExists) return void(c.sw(kFileExists));
  c.p.mfExists = true;
  std::copy_n(a.data.begin(), kMfHeaderBytes, c.p.mfHeader.begin());
  c.p.mfName.assign(a.data.begin() + kMfHeaderBytes, a.data.end());
  c.p.files.clear();
  c.p.keys.clear();
  makeMfCurrent(c.v);
  c.changed = true;
  c.sw(kOk);
}

std::size_t dataBytesOf(const ElementaryFile& f) {
  switch (f.type) {
    case kTransparent: return f.size;
    case kRsaPublic: return kRsaPublicData;
    case kRsaPrivate: return kRsaPrivateData;
    default: return 0;
  }
}

void createEf(Ctx& c, const Apdu& a) {
  if (a.data.size() != kEfRecordBytes) return void(c.sw(kWrongLength));
  if (!c.p.mfExists) return void(c.sw(kConditions));
  ElementaryFile f;
  f.type = a.data[0];
  const std::uint16_t id = idAt(a.data.data() + kIdAt);
  f.size = static_cast<std::uint16_t>((a.data[kSizeAt] << 8) | a.data[kSizeAt + 1]);
  std::copy_n(a.data.begin() + kAccessAt, f.access.size(), f.access.begin());
  if (!knownType(f.type)) return void(c.sw(kBadData));
  if (id == kMfId || id == kReservedId) return void(c.sw(kBadData));
  if (c.p.files.count(id)) return void(c.sw(kFileExists));
  if (f.type == kKeyFile && hasKeyFile(c.p)) return void(c.sw(kFileExists));
  if (c.p.usedSpace() + charge(f) > kCapacity) return void(c.sw(kNoSpace));
  f.data.assign(dataBytesOf(f), 0);
  c.p.files.emplace(id, std::move(f));
  makeEfCurrent(c.v, id);
  c.changed = true;
  c.sw(kOk);
}

}  // namespace

bool granted(std::uint8_t access, std::uint8_t state) {
  const std::uint8_t a = access >> 4, b = access & 0x0F;
  return state >= std::min(a, b) && state <= std::max(a, b);
}

std::size_t charge(const ElementaryFile& f) {
  switch (f.type) {
    case kTransparent: return kFileOverhead + f.size;
    case kKeyFile: return kFileOverhead + kKeyFileCharge;
    case kRsaPublic: return kFileOverhead + kRsaPublicData;
    case kRsaPrivate: return kFileOverhead + kRsaPrivateData;
    default: return kFileOverhead;
  }
}

bool hasKeyFile(const Persistent& p) {
  return std::any_of(p.files.begin(), p.files.end(),
                     [](const auto& kv) { return kv.second.type == kKeyFile; });
}

ElementaryFile* currentEf(Ctx& c) {
  if (c.v.currentKind != kCurrentEf) return nullptr;
  auto it = c.p.files.find(c.v.currentEf);
  return it == c.p.files.end() ? nullptr : &it->second;
}

ElementaryFile* fileById(Ctx& c, std::uint16_t id) {
  if (!c.p.mfExists) return nullptr;
  auto it = c.p.files.find(id);
  return it == c.p.files.end() ? nullptr : &it->second;
}

std::uint16_t idAt(const std::uint8_t* lowFirst) {
  return static_cast<std::uint16_t>(lowFirst[0] | (lowFirst[1] << 8));
}

void selectFile(Ctx& c, const Apdu& a) {
  if (a.p2 != kSelectAnswerFci && a.p2 != kSelectAnswerNothing) return void(c.sw(kBadP1P2));
  switch (a.p1) {
    case kSelectMf: return selectMf(c, a);
    case kSelectEfById: return selectEf(c, a);
    case kSelectDfByName: return selectDfByName(c, a);
    default: return void(c.sw(kBadP1P2));
  }
}

void createFile(Ctx& c, const Apdu& a) {
  if (a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.p1 == kCreateMf) return createMf(c, a);
  if (a.p1 != kCreateEf) return void(c.sw(kBadP1P2));
  createEf(c, a);
}

// Clears the whole card but its T=0 setting. Once an external
// authentication key exists, only after EXTERNAL AUTHENTICATE.
void deleteFile(Ctx& c, const Apdu& a) {
  if (a.p1 != 0 || a.p2 != 0) return void(c.sw(kBadP1P2));
  if (a.data.size() != kClearCardBytes) return void(c.sw(kWrongLength));
  if (!std::all_of(a.data.begin(), a.data.end(),
                   [](std::uint8_t b) { return b == kClearCardByte; }))
    return void(c.sw(kBadData));
  const bool hasExtKey = std::any_of(c.p.keys.begin(), c.p.keys.end(), [](const auto& kv) {
    return kv.second.type == kExtAuthKeyType;
  });
  if (hasExtKey && !c.v.extAuthenticated) return void(c.sw(kSecurity));
  const TokenOptions keep = c.p.options;
  c.p = Persistent{};
  c.p.options = keep;
  const Volatile fresh{};
  c.v = fresh;
  c.changed = true;
  c.sw(kOk);
}

void readBinary(Ctx& c, const Apdu& a) {
  if (!a.data.empty()) return void(c.sw(kWrongLength));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  if (f->type != kTransparent) return void(c.sw(kIncompatibleFile));
  if (!granted(f->access[0], c.v.securityState)) return void(c.sw(kSecurity));
  const std::size_t off = a.p1p2();
  if (off >= f->size) return void(c.sw(kBadOffset));
  std::size_t n = a.hasLe ? a.le : kMaxResponseData;
  const bool exact = a.hasLe && a.le != kMaxResponseData;
  if (off + n > f->size) {
    if (exact) return void(c.sw(kWrongLength));
    n = f->size - off;  // Le 00 or absent: as much as the file holds
  }
  c.out(f->data.data() + off, n);
  c.sw(kOk);
}

void updateBinary(Ctx& c, const Apdu& a) {
  if (a.data.empty()) return void(c.sw(kWrongLength));
  ElementaryFile* f = currentEf(c);
  if (!f) return void(c.sw(kNoCurrentEf));
  if (f->type != kTransparent) return void(c.sw(kIncompatibleFile));
  if (!granted(f->access[1], c.v.securityState)) return void(c.sw(kSecurity));
  const std::size_t off = a.p1p2();
  if (off >= f->size) return void(c.sw(kBadOffset));
  if (off + a.data.size() > f->size) return void(c.sw(kWrongLength));
  const auto at = f->data.begin() + static_cast<std::ptrdiff_t>(off);
  if (!std::equal(a.data.begin(), a.data.end(), at)) {
    std::copy(a.data.begin(), a.data.end(), at);
    c.changed = true;
  }
  c.sw(kOk);
}

}  // namespace tkp30emu::card

namespace tkp30emu {

std::size_t Persistent::usedSpace() const {
  std::size_t used = 0;
  for (const auto& kv : files) used += card::charge(kv.second);
  return used;
}

}  // namespace tkp30emu
