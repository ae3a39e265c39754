// A file of the module's range that the directory does not name: one a
// creator made and did not live (or could not write the directory) to
// record, or one another program put there. The directory is the truth,
// so such a file is free whatever it holds. What it can hold is found out
// from the token: its size (reads past its end are refused), and whether
// it opens without the user PIN. A file the module would not have made
// (writable without the user PIN, not writable with it, or not readable
// with it) is recorded as foreign and left alone; any other is wiped and
// recorded as a free object file.
#pragma once

#include "records/directory.h"
#include "token/login.h"

namespace p11 {

// The entry for the file at `index`: free, or unusable and foreign.
// CKR_DEVICE_REMOVED when the token went away; CKR_USER_NOT_LOGGED_IN when
// the user's login could not be restored.
CK_RV reclaimFile(const TokenLock& lock, Login& login, std::int32_t index, FileEntry& entry);

}  // namespace p11
