// The emulator backend of the device library: a slot configured as
// emu:<token image path> talks to the software token kept in that file.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "backend.h"
#include "tkp30emu/token.h"
#include "trace.h"

namespace dmcos {
namespace {

class EmulatorBackend final : public Backend {
 public:
  explicit EmulatorBackend(std::string_view path) : path_(path) {}

  bool open(std::string& why) override {
    if (token_) return true;
    if (path_.empty()) {
      why = "no token image named";
      return false;
    }
    if (!folderExists()) {
      why = "no token image at " + path_ + ": its folder does not exist";
      return false;
    }
    token_ = tkp30emu::openToken(path_, why);
    // A damaged or foreign image keeps the slot closed; say why in the trace.
    if (!token_) traceLine("emu: token " + path_ + " not opened: " + why);
    return token_ != nullptr;
  }

  void close() override { token_.reset(); }
  // Closing this process's copies of the token's descriptors leaves the
  // parent's (and the lock it may hold) as they are.
  void forsake() override { token_.reset(); }

  bool transmit(std::span<const std::uint8_t> command, Reply& reply) override {
    if (!token_) return false;
    const tkp30emu::Response r = token_->transmit(command);
    const std::size_t n = std::min(r.len, reply.data.size());
    std::memcpy(reply.data.data(), r.data.data(), n);
    reply.len = n;
    reply.sw = r.sw;
    return true;
  }

 private:
  // A missing image is a blank token, but only in a folder that exists.
  bool folderExists() const {
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    std::error_code ignored;
    return folder.empty() || std::filesystem::is_directory(folder, ignored);
  }

  std::string path_;
  std::unique_ptr<tkp30emu::Token> token_;
};

}  // namespace

std::unique_ptr<Backend> makeEmulatorBackend(std::string_view imagePath) {
  return std::make_unique<EmulatorBackend>(imagePath);
}

}  // namespace dmcos
