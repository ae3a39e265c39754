#include "support/fault_card.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/test_os.h"

namespace fault {
namespace {

// The emulated card syncs every persistent write to disk; the images of
// hundreds of cases live in memory when the machine offers it.
std::string tempRoot() {
  if (std::string memory = testos::memoryTempRoot(); !memory.empty()) return memory;
  const char* root = std::getenv("TKP30_TEST_TMP");
  return root && *root ? root : std::filesystem::temp_directory_path().string();
}

// Removes the target first: GCC 12's copy_file cannot overwrite on Windows.
void replaceFile(const std::string& from, const std::string& to) {
  std::filesystem::remove(to);
  std::filesystem::copy_file(from, to);
}

bool isGetResponse(const Bytes& command) {
  return command.size() >= 2 && command[0] == 0x00 && command[1] == 0xC0;
}

}  // namespace

const char* name(Failure failure) {
  switch (failure) {
    case Failure::NotCarried: return "not carried";
    case Failure::Refused: return "refused";
    case Failure::GetResponseFails: return "61xx then GET RESPONSE refused";
    case Failure::ShortResponse: return "short response";
  }
  return "?";
}

struct CardImage::Responder {
  std::unique_ptr<tkp30emu::Token> token;
  std::size_t target = 0;
  Failure failure = Failure::Refused;
  std::size_t count = 0;
  bool getResponseDue = false;
  std::vector<Exchange> log;

  scripted::Answer answer(const Bytes& command) {
    ++count;
    if (getResponseDue) {
      getResponseDue = false;
      if (isGetResponse(command)) return refuse(command);
    }
    if (count != target) return forward(command);
    switch (failure) {
      case Failure::NotCarried:
        log.push_back({command, 0, 0});
        return scripted::Answer{0, {}, false};
      case Failure::Refused:
        return refuse(command);
      case Failure::GetResponseFails: {
        // The card did the work; only the fetch of its answer fails.
        const scripted::Answer done = forward(command);
        getResponseDue = true;
        return scripted::Answer{static_cast<std::uint16_t>(0x6100 | (done.data.size() & 0xFF)),
                                {}, true};
      }
      case Failure::ShortResponse: {
        scripted::Answer done = forward(command);
        done.data.resize(done.data.size() / 2);
        return done;
      }
    }
    return forward(command);
  }

  scripted::Answer refuse(const Bytes& command) {
    log.push_back({command, kRefusal, 0});
    return scripted::Answer{kRefusal, {}, true};
  }

  scripted::Answer forward(const Bytes& command) {
    const tkp30emu::Response r = token->transmit(command);
    log.push_back({command, r.sw, r.len});
    return scripted::Answer{r.sw, Bytes(r.data.begin(), r.data.begin() + static_cast<long>(r.len)),
                            true};
  }
};

CardImage::CardImage() : responder_(std::make_shared<Responder>()) {
  std::filesystem::create_directories(tempRoot());
  dir_ = testos::makeTempDir(tempRoot() + "/fault-");
}

CardImage::~CardImage() {
  scripted::reset();
  responder_->token.reset();
  std::string error;
  tkp30emu::powerCycleToken(dir_ + "/card.img", error);  // drops the shared volatile state
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void CardImage::connect() {
  if (!responder_->token) {
    std::string error;
    responder_->token = tkp30emu::openToken(dir_ + "/card.img", error);
    if (!responder_->token) throw std::runtime_error(error);
  }
  scripted::reset();
  std::shared_ptr<Responder> r = responder_;
  scripted::setResponder([r](const Bytes& command) { return r->answer(command); });
  inject(0, Failure::Refused);
}

void CardImage::save() { replaceFile(dir_ + "/card.img", dir_ + "/saved.img"); }

void CardImage::restore() {
  responder_->token.reset();
  replaceFile(dir_ + "/saved.img", dir_ + "/card.img");
  connect();  // a fresh token object reads the restored image
  responder_->token->powerCycle();
}

void CardImage::inject(std::size_t k, Failure failure) {
  responder_->target = k;
  responder_->failure = failure;
  responder_->count = 0;
  responder_->getResponseDue = false;
  responder_->log.clear();
}

const std::vector<Exchange>& CardImage::log() const { return responder_->log; }

}  // namespace fault
