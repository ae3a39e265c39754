// The token image: creation, persistence, refusal of damaged or foreign
// files, and power cycles from another process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/emu_token.h"
#include "tkp30emu/card.h"

using namespace emu_test;

namespace {

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

TEST(TokenImage, MissingImageIsBlankUntilTheFirstChange) {
  TempDir dir;
  const std::string img = dir.file("token.img");
  Card card(img);
  EXPECT_EQ(card.sw("00 A4 00 00 02 3F 00"), 0x6A82);
  EXPECT_EQ(card.send(hex("00 84 00 00 08")).sw, 0x9000);
  EXPECT_FALSE(std::filesystem::exists(img));  // nothing persistent changed
  ASSERT_TRUE(card.format("12345678", "654321"));
  struct stat st {};
  ASSERT_EQ(stat(img.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(std::filesystem::exists(img + ".tmp"));
}

TEST(TokenImage, DataSurviveReopeningAndTheCodecRoundTrips) {
  TempDir dir;
  const std::string img = dir.file("token.img");
  {
    Card card(img);
    ASSERT_TRUE(card.format("12345678", "654321"));
    ASSERT_EQ(card.send(cat({hex("00 20 11 00 06"), bytesOf("654321")})).sw, 0x9000);
    card.sw("00 A4 02 00 02 F4 1F");
    ASSERT_EQ(card.sw("00 D6 00 00 02 05 00"), 0x9000);
  }
  Card card(img);
  card.sw("00 A4 02 00 02 F4 1F");
  EXPECT_EQ(card.data(card.send(hex("00 B0 00 00 02"))), hex("05 00"));
  tkp30emu::Persistent p;
  std::string error;
  const Bytes image = readFile(img);
  ASSERT_TRUE(tkp30emu::decodeImage(image, p, error)) << error;
  EXPECT_EQ(tkp30emu::encodeImage(p), image);
  EXPECT_EQ(p.files.size(), 12u);
  EXPECT_EQ(p.keys.size(), 9u);
}

TEST(TokenImage, DamagedOrForeignImagesAreRefused) {
  TempDir dir;
  const std::string img = dir.file("token.img");
  {
    Card card(img);
    ASSERT_TRUE(card.format("12345678", "654321"));
  }
  const Bytes good = readFile(img);
  std::string error;
  auto refused = [&](const Bytes& content) {
    writeFile(img, content);
    error.clear();
    return tkp30emu::openToken(img, error) == nullptr && !error.empty();
  };
  Bytes flipped = good;
  flipped[flipped.size() / 2] ^= 0x01;
  EXPECT_TRUE(refused(flipped));
  EXPECT_NE(error.find("checksum"), std::string::npos) << error;
  EXPECT_TRUE(refused(Bytes(good.begin(), good.end() - 1)));
  EXPECT_TRUE(refused(bytesOf("just some text file that is not a token image at all........")));
  EXPECT_NE(error.find("not a TKP30 token image"), std::string::npos) << error;
  EXPECT_TRUE(refused({}));
  Bytes newer = good;
  newer[8] = 2;  // format version
  EXPECT_TRUE(refused(newer));
  EXPECT_NE(error.find("version"), std::string::npos) << error;
  writeFile(img, good);
  EXPECT_NE(tkp30emu::openToken(img, error), nullptr);
  // setTokenOptions refuses a damaged image too, and leaves it as it is.
  writeFile(img, flipped);
  EXPECT_FALSE(tkp30emu::setTokenOptions(img, {.t0 = true}, error));
  EXPECT_EQ(readFile(img), flipped);
}

TEST(TokenImage, PowerCycleFromAnotherProcessClearsTheSharedState) {
  TempDir dir;
  const std::string img = dir.file("token.img");
  Card card(img);
  ASSERT_TRUE(card.format("12345678", "654321"));
  ASSERT_EQ(card.send(cat({hex("00 20 11 00 06"), bytesOf("654321")})).sw, 0x9000);
  ASSERT_EQ(card.send(cat({hex("80 C2 40 08 10"), Bytes(16, 1)})).sw, 0x9000);
  const pid_t child = fork();
  if (child == 0) {
    std::string error;
    _exit(tkp30emu::powerCycleToken(img, error) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(card.sw("00 A4 02 00 02 F5 1F"), 0x9000);
  EXPECT_EQ(card.sw("00 B0 00 00 02"), 0x6982);                          // logged out
  EXPECT_EQ(card.send(cat({hex("80 C4 00 00 10"), Bytes(16, 0)})).sw, 0x6985);  // cipher gone
  std::string error;
  EXPECT_TRUE(tkp30emu::powerCycleToken(dir.file("never-used.img"), error)) << error;
}

}  // namespace
