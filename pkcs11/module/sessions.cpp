#include "module/sessions.h"

#include <algorithm>

namespace p11 {

Session& Sessions::open(CK_FLAGS flags) {
  const CK_SESSION_HANDLE handle = next_++;
  Session& s = sessions_[handle];
  s.handle = handle;
  s.flags = flags;
  return s;
}

Session* Sessions::find(CK_SESSION_HANDLE handle) {
  const auto it = sessions_.find(handle);
  return it == sessions_.end() ? nullptr : &it->second;
}

std::vector<CK_SESSION_HANDLE> Sessions::handles() const {
  std::vector<CK_SESSION_HANDLE> out;
  for (const auto& [handle, session] : sessions_) out.push_back(handle);
  return out;
}

std::size_t Sessions::readOnlyCount() const {
  return static_cast<std::size_t>(std::count_if(
      sessions_.begin(), sessions_.end(), [](const auto& s) { return !s.second.readWrite(); }));
}

}  // namespace p11
