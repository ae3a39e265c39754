// PowerCycleEmu_UK: the device library's diagnostic power cycle of an
// emulated token, so that tools reach the emulator through this library
// alone.
#include <string>

#include "copy_text.h"
#include "dmcos.h"
#include "tkp30emu/token.h"

extern "C" DMCOS_API int PowerCycleEmu_UK(const char* imagePath, char* buf, int cap) {
  try {
    std::string reason = "no token image named";
    if (imagePath != nullptr && *imagePath != '\0' && tkp30emu::powerCycleToken(imagePath, reason))
      return 1;
    if (buf != nullptr) dmcos::copyText(reason, buf, cap);
    return 0;
  } catch (...) {
    return 0;
  }
}
