#include "io/pin_input.h"

#include <cstdlib>
#include <cstring>

#include "common/secret_bytes.h"
#include "common/token_shape.h"
#include "io/file_io.h"
#include "io/secret_sources.h"
#include "io/tool_error.h"
#include "platform/console.h"

namespace tkp30 {
namespace {

// The longest PIN the token's commands carry.

common::SecretBytes fromEnvironment(const PinSource& source, const std::string& which) {
  auto pin = secretFromEnvironment(source.envVariable);
  if (!pin)
    throw UsageError("environment variable " + source.envVariable + " (the " + which +
                     ") is not set");
  return std::move(*pin);
}

common::SecretBytes fromPrompt(const PinSource& source, const std::string& which, bool confirm) {
  std::optional<common::SecretBytes> pin = askHidden("Enter " + which + ": ");
  if (!pin)
    throw UsageError("no terminal to ask for the " + which + ": use --" + source.name +
                     "-env or --" + source.name + "-file");
  if (confirm) {
    const std::optional<common::SecretBytes> again = askHidden("Repeat " + which + ": ");
    if (!again || !(*again == *pin))
      throw UsageError("the two entries of the " + which + " differ");
  }
  return std::move(*pin);
}

common::SecretBytes fromSource(const PinSource& source, const std::string& which, bool confirm) {
  if (!source.envVariable.empty()) return fromEnvironment(source, which);
  if (!source.file.empty()) return readSecretLine(source.file);
  return fromPrompt(source, which, confirm);
}

}  // namespace

common::SecretBytes readPin(const PinSource& source, const std::string& which, bool confirm) {
  common::SecretBytes pin = fromSource(source, which, confirm);
  if (pin.empty()) throw UsageError("the " + which + " is empty");
  if (pin.size() > common::kMaxPinLength)
    throw UsageError("the " + which + " is longer than " + std::to_string(common::kMaxPinLength) +
                     " bytes");
  return pin;
}

std::optional<common::SecretBytes> askOnTerminal(const std::string& which) {
  return askHidden("Enter " + which + ": ");
}

}  // namespace tkp30
