#include "pcsc/pcsc_fixture.h"

#include <stdlib.h>

#include <filesystem>

#include "dmcos.h"

namespace pcsctest {
namespace {

constexpr int kSlots = 6;

std::string tempRoot() {
  const char* root = std::getenv("TKP30_TEST_TMP");
  return root && *root ? root : std::filesystem::temp_directory_path().string();
}

}  // namespace

Answer send(int slot, std::span<const std::uint8_t> command) {
  std::array<unsigned char, DMCOS_RESPONSE_HEADER + DMCOS_MAX_RESPONSE> buffer{};
  Answer answer;
  answer.carried = APDU_UK(slot, command.data(), static_cast<int>(command.size()), buffer.data(),
                           static_cast<int>(buffer.size()), &answer.sw) != 0;
  if (!answer.carried) return answer;
  const std::size_t len = static_cast<std::size_t>(buffer[0] << 8 | buffer[1]);
  answer.data.assign(buffer.begin() + DMCOS_RESPONSE_HEADER,
                     buffer.begin() + DMCOS_RESPONSE_HEADER + static_cast<std::ptrdiff_t>(len));
  return answer;
}

void PcscSlotTest::SetUp() {
  std::filesystem::create_directories(tempRoot());
  std::string pattern = tempRoot() + "/pcsc-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
  imagePath_ = dir_ + "/token.img";
}

void PcscSlotTest::TearDown() {
  for (int slot = 1; slot <= kSlots; ++slot) Close_UK(slot);
  ::unsetenv("TKP30_SLOTS");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void PcscSlotTest::useSlots(const std::string& config) {
  ::setenv("TKP30_SLOTS", config.c_str(), 1);
}

}  // namespace pcsctest
