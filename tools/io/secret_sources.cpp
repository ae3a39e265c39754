#include "io/secret_sources.h"

#include <cstdlib>

#include "common/secret_bytes.h"
#include "io/file_io.h"

namespace tkp30 {

std::optional<common::SecretBytes> secretFromEnvironment(const std::string& variable) {
  const char* value = std::getenv(variable.c_str());
  if (value == nullptr) return std::nullopt;
  common::SecretBytes secret;
  for (const char* p = value; *p != '\0'; ++p) secret.push_back(static_cast<std::uint8_t>(*p));
  return secret;
}

common::SecretBytes readSecretLine(const std::string& path) {
  const common::SecretBytes text = readSecretFile(path);
  common::SecretBytes line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t c = text.data()[i];
    if (c == '\n' || c == '\r') break;
    line.push_back(c);
  }
  return line;
}

}  // namespace tkp30
