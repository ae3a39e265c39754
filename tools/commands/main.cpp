// tkp30: the token from a shell.
#include <clocale>
#include <exception>
#include <iostream>

#include "commands/tool.h"
#include "io/tool_error.h"
#include "platform/interrupt.h"

int main(int argc, char** argv) {
  (void)std::setlocale(LC_ALL, "");
  tkp30::installInterruptHandlers();
  int status = tkp30::kExitFailed;
  try {
    status = tkp30::runTool(argc, argv);
  } catch (const tkp30::Interrupted& e) {
    tkp30::endBySignal(e.signal());
  } catch (const std::exception& e) {
    std::cerr << "tkp30: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "tkp30: unexpected failure\n";
  }
  if (const int signal = tkp30::pendingInterrupt(); signal != 0) tkp30::endBySignal(signal);
  return status;
}
