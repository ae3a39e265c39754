#include "support/e2e_rsa_helpers.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "support/rsa_test_keys.h"

namespace e2e {
namespace {

std::string scratchDir() {
  const char* root = std::getenv("TKP30_TEST_TMP");
  const std::string base =
      root && *root ? root : std::filesystem::temp_directory_path().string();
  std::filesystem::create_directories(base);
  std::string pattern = base + "/rsa-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
  return pattern;
}

void writeFile(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("write " + path);
}

}  // namespace

bool opensslVerifiesSha256(const std::string& publicPem, const std::vector<std::uint8_t>& message,
                           const std::vector<std::uint8_t>& signature) {
  const std::string dir = scratchDir();
  const std::vector<std::uint8_t> digest = rsatest::sha256(message);
  writeFile(dir + "/pub.pem", publicPem.data(), publicPem.size());
  writeFile(dir + "/digest.bin", digest.data(), digest.size());
  writeFile(dir + "/sig.bin", signature.data(), signature.size());
  const std::string command = "openssl pkeyutl -verify -pubin -inkey '" + dir +
                              "/pub.pem' -in '" + dir + "/digest.bin' -sigfile '" + dir +
                              "/sig.bin' -pkeyopt digest:sha256 >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace e2e
