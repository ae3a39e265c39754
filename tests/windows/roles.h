// The roles a Windows test starts its own program in, and their signals.
#pragma once

namespace wintest {

inline constexpr char kHoldLockRole[] = "--hold-lock";          // argument: a tag
inline constexpr char kLoginStateRole[] = "--user-login-state";  // argument: a token image
inline constexpr char kHeldEvent[] = "tkp30-test-held-";
inline constexpr char kReleasingEvent[] = "tkp30-test-releasing-";

}  // namespace wintest
