#include "store/object_store.h"

namespace p11 {
namespace {

constexpr CK_OBJECT_HANDLE kFileObjectBase = 0x10000;

}  // namespace

CK_OBJECT_HANDLE publicKeyHandle(int slot) { return 1 + 2 * static_cast<CK_OBJECT_HANDLE>(slot); }
CK_OBJECT_HANDLE privateKeyHandle(int slot) { return 2 + 2 * static_cast<CK_OBJECT_HANDLE>(slot); }
CK_OBJECT_HANDLE fileObjectHandle(std::uint32_t number) { return kFileObjectBase + number; }

std::vector<const Object*> ObjectStore::visible(bool userLoggedIn) const {
  std::vector<const Object*> out;
  for (const auto* objects : {&tokenObjects_, &sessionObjects_})
    for (const auto& [handle, object] : *objects)
      if (userLoggedIn || !object.isPrivate) out.push_back(&object);
  return out;
}

const Object* ObjectStore::find(CK_OBJECT_HANDLE handle, bool userLoggedIn) const {
  for (const auto* objects : {&tokenObjects_, &sessionObjects_}) {
    const auto it = objects->find(handle);
    if (it != objects->end() && (userLoggedIn || !it->second.isPrivate)) return &it->second;
  }
  return nullptr;
}

void ObjectStore::forgetPrivate() {
  std::erase_if(files_, [&](const auto& item) {
    const FileEntry* f = directory_.fileHolding(item.first);
    return f == nullptr || f->isPrivate;
  });
  std::erase_if(sessionObjects_, [](const auto& item) { return item.second.isPrivate; });
  rebuild();
}

void ObjectStore::forgetAll() {
  directoryState_ = TwinState{};
  directory_ = Directory{};
  directoryDamaged_ = false;
  for (auto& slot : slots_) slot.reset();
  claimsFailed_ = {};
  files_.clear();
  rebuild();
}

CK_OBJECT_HANDLE ObjectStore::createSessionObject(CK_SESSION_HANDLE owner,
                                                  const Attributes& attributes, bool isPrivate) {
  const CK_OBJECT_HANDLE handle = nextSessionObject_++;
  sessionObjects_[handle] =
      Object{handle, ObjectKind::Session, -1, 0, owner, isPrivate, attributes};
  return handle;
}

void ObjectStore::eraseSessionObject(CK_OBJECT_HANDLE handle) { sessionObjects_.erase(handle); }

void ObjectStore::dropSessionObjects(CK_SESSION_HANDLE owner) {
  std::erase_if(sessionObjects_, [&](const auto& item) { return item.second.owner == owner; });
}
}  // namespace p11
