// How the PKCS #11 module's directory on the token reads, as the module
// itself judges it: a directory that is there but unreadable (a newer
// format, or its files spoilt by hand) makes the module keep the token
// read-only, and `tkp30 info` says why.
#pragma once

namespace tkp30 {

enum class ModuleDirectory { Absent, Readable, Unreadable };

// Reads the directory's files; needs no login. Throws on a device error.
ModuleDirectory moduleDirectory();

// "absent", "readable" or "unreadable".
const char* moduleDirectoryName(ModuleDirectory state);

}  // namespace tkp30
