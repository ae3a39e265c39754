// Compiled into each of our Windows DLLs, every one of which carries a
// static libcrypto (scripts/windows.sh builds it). The first time
// libcrypto initialises it registers its clean-up with the C runtime's
// process-wide _onexit table, so after a FreeLibrary the process would
// call into unloaded code as it exits. Initialised here first, as the DLL
// loads, without that registration, it leaves the table alone; what
// libcrypto keeps is freed with the process.
#include <openssl/crypto.h>

namespace {

[[maybe_unused]] const bool g_libcryptoReady =
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;

}  // namespace
