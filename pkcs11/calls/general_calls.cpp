// Module and slot information: one slot, holding the token that the
// library opens.
#include "calls/calls.h"
#include "ck/ck_text.h"
#include "common/token_shape.h"
#include "module/module.h"

namespace p11::calls {
namespace {

constexpr CK_VERSION kVersion240 = {2, 40};
constexpr CK_VERSION kVersion30 = {3, 0};
constexpr CK_VERSION kModuleVersion = {1, 0};
constexpr CK_VERSION kNoVersion = {0, 0};

bool tokenPresent(Module& module) {
  TokenLock lock(module.tokenMutex());
  return NORV_DAL_Initialize() == NORV_DAL_OK;
}

// Formatting created the login probe files; a blank token has none.
bool formatted(const TokenLock&) {
  std::int32_t flag = 0;
  return NORV_DAL_IsLogin(NORV_DAL_LOGIN_USER, &flag) == NORV_DAL_OK;
}

template <typename T>
CK_RV listOut(std::span<const T> items, T* list, CK_ULONG_PTR count) {
  const CK_ULONG room = *count;
  *count = static_cast<CK_ULONG>(items.size());
  if (list == nullptr) return CKR_OK;
  if (room < items.size()) return CKR_BUFFER_TOO_SMALL;
  std::copy(items.begin(), items.end(), list);
  return CKR_OK;
}

// The version an application sees is that of the list it called through.
CK_RV infoOf(CK_INFO_PTR info, CK_VERSION version) {
  return withModule([&](Module&) -> CK_RV {
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    info->cryptokiVersion = version;
    blankPadded(info->manufacturerID, kManufacturer);
    info->flags = 0;
    blankPadded(info->libraryDescription, std::string_view("TKP30 token module"));
    info->libraryVersion = kModuleVersion;
    return CKR_OK;
  });
}

}  // namespace

CK_RV Initialize(CK_VOID_PTR args) {
  try {
    return initializeModule(args);
  } catch (const std::bad_alloc&) {
    return CKR_HOST_MEMORY;
  } catch (...) {
    return CKR_GENERAL_ERROR;
  }
}

CK_RV Finalize(CK_VOID_PTR reserved) {
  try {
    return finalizeModule(reserved);
  } catch (...) {
    return CKR_GENERAL_ERROR;
  }
}

CK_RV GetInfo(CK_INFO_PTR info) { return infoOf(info, kVersion240); }
CK_RV GetInfo30(CK_INFO_PTR info) { return infoOf(info, kVersion30); }

CK_RV GetSlotList(CK_BBOOL onlyWithToken, CK_SLOT_ID_PTR list, CK_ULONG_PTR count) {
  return withModule([&](Module& module) -> CK_RV {
    if (count == nullptr) return CKR_ARGUMENTS_BAD;
    const bool listed = onlyWithToken == CK_FALSE || tokenPresent(module);
    const CK_SLOT_ID slots[] = {kSlotId};
    return listOut(std::span<const CK_SLOT_ID>(slots, listed ? 1 : 0), list, count);
  });
}

CK_RV GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info) {
  return withModule([&](Module& module) -> CK_RV {
    if (slot != kSlotId) return CKR_SLOT_ID_INVALID;
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    blankPadded(info->slotDescription, std::string_view("TKP30 token slot"));
    blankPadded(info->manufacturerID, kManufacturer);
    info->flags =
        CKF_REMOVABLE_DEVICE | CKF_HW_SLOT | (tokenPresent(module) ? CKF_TOKEN_PRESENT : 0);
    info->hardwareVersion = kNoVersion;
    info->firmwareVersion = kNoVersion;
    return CKR_OK;
  });
}

CK_RV GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
  return withModule([&](Module& module) -> CK_RV {
    if (slot != kSlotId) return CKR_SLOT_ID_INVALID;
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    TokenLock lock(module.tokenMutex());
    if (NORV_DAL_Initialize() != NORV_DAL_OK) return CKR_TOKEN_NOT_PRESENT;
    TokenRecord record;
    bool found = false;
    bool readOnly = false;
    if (const CK_RV rv = module.readRecord(lock, record, &found); rv != CKR_OK) return rv;
    if (const CK_RV rv = module.objects.writeProtected(lock, readOnly); rv != CKR_OK) return rv;
    blankPadded(info->label, record.label);
    blankPadded(info->manufacturerID, kManufacturer);
    blankPadded(info->model, std::string_view("TKP30"));
    blankPadded(info->serialNumber, record.serial);
    info->flags = CKF_RNG | CKF_LOGIN_REQUIRED | module.login.pinFlags() |
                  (found || formatted(lock) ? CKF_TOKEN_INITIALIZED : 0) |
                  (record.userPinSet ? CKF_USER_PIN_INITIALIZED : 0) |
                  (readOnly ? CKF_WRITE_PROTECTED : 0);
    info->ulMaxSessionCount = CK_EFFECTIVELY_INFINITE;
    info->ulSessionCount = static_cast<CK_ULONG>(module.sessions.count());
    info->ulMaxRwSessionCount = CK_EFFECTIVELY_INFINITE;
    info->ulRwSessionCount =
        static_cast<CK_ULONG>(module.sessions.count() - module.sessions.readOnlyCount());
    info->ulMaxPinLen = common::kMaxPinLength;
    info->ulMinPinLen = common::kMinPinLength;
    info->ulTotalPublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulTotalPrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info->hardwareVersion = kNoVersion;
    info->firmwareVersion = kNoVersion;
    blankPadded(info->utcTime, std::string_view(""));
    return CKR_OK;
  });
}

CK_RV GetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count) {
  return withModule([&](Module&) -> CK_RV {
    if (slot != kSlotId) return CKR_SLOT_ID_INVALID;
    if (count == nullptr) return CKR_ARGUMENTS_BAD;
    std::vector<CK_MECHANISM_TYPE> types;
    for (const MechanismEntry& m : mechanismTable()) types.push_back(m.type);
    return listOut(std::span<const CK_MECHANISM_TYPE>(types), list, count);
  });
}

CK_RV GetMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info) {
  return withModule([&](Module&) -> CK_RV {
    if (slot != kSlotId) return CKR_SLOT_ID_INVALID;
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    const MechanismEntry* m = findMechanism(type);
    if (m == nullptr) return CKR_MECHANISM_INVALID;
    *info = m->info;
    return CKR_OK;
  });
}

// The library cannot tell when a token comes or goes.
CK_RV WaitForSlotEvent(CK_FLAGS, CK_SLOT_ID_PTR, CK_VOID_PTR) {
  return withModule([](Module&) -> CK_RV { return CKR_FUNCTION_NOT_SUPPORTED; });
}

}  // namespace p11::calls
