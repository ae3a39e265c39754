#include "token/cipher_stream.h"
#include <type_traits>

#include "io/tool_error.h"
#include "norv_dal_tkp30.h"

namespace tkp30 {
namespace {

// Room beyond the input that an update or final call may write: the
// decryption update releases a held-back block, encryption adds padding.
constexpr std::size_t kSlack = 32;

template <typename Ctx>
struct FamilyCalls {
  int32_t (*acquire)(const uint8_t*, int32_t, const uint8_t*, int32_t, int32_t, Ctx**);
  int32_t (*encUpdate)(Ctx*, const uint8_t*, uint32_t, uint8_t*, uint32_t*);
  int32_t (*encFinal)(Ctx*, uint8_t*, uint32_t*);
  int32_t (*decUpdate)(Ctx*, const uint8_t*, uint32_t, uint8_t*, uint32_t*);
  int32_t (*decFinal)(Ctx*, uint8_t*, uint32_t*);
  int32_t (*macUpdate)(Ctx*, const uint8_t*, uint32_t);
  int32_t (*macFinal)(Ctx*, uint8_t*, uint32_t);
  // DES, RC2 and RC4 share one release routine that takes any of their contexts.
  int32_t (*release)(std::conditional_t<std::is_same_v<Ctx, SSF33Ctx>, SSF33Ctx, void>*);
};

constexpr FamilyCalls<SSF33Ctx> kSsf33{NORV_DAL_SSF33AcquireContext, NORV_DAL_SSF33EncUpdate,
                                       NORV_DAL_SSF33EncFinal,       NORV_DAL_SSF33DecUpdate,
                                       NORV_DAL_SSF33DecFinal,       NORV_DAL_SSF33MacUpdate,
                                       NORV_DAL_SSF33MacFinal,       NORV_DAL_SSF33ReleaseCtx};
constexpr FamilyCalls<DesCtx> kDes{NORV_DAL_DesAcquireContext, NORV_DAL_DesEncUpdate,
                                   NORV_DAL_DesEncFinal,       NORV_DAL_DesDecUpdate,
                                   NORV_DAL_DesDecFinal,       NORV_DAL_DesMacUpdate,
                                   NORV_DAL_DesMacFinal,       NORV_DAL_DesReleaseCtx};
constexpr FamilyCalls<Rc2Ctx> kRc2{NORV_DAL_Rc2AcquireContext, NORV_DAL_Rc2EncUpdate,
                                   NORV_DAL_Rc2EncFinal,       NORV_DAL_Rc2DecUpdate,
                                   NORV_DAL_Rc2DecFinal,       NORV_DAL_Rc2MacUpdate,
                                   NORV_DAL_Rc2MacFinal,       NORV_DAL_Rc2ReleaseCtx};
// RC4 has one call for both directions and no MAC.
constexpr FamilyCalls<Rc4Ctx> kRc4{NORV_DAL_Rc4AcquireContext,
                                   NORV_DAL_Rc4Update,
                                   NORV_DAL_Rc4Final,
                                   NORV_DAL_Rc4Update,
                                   NORV_DAL_Rc4Final,
                                   nullptr,
                                   nullptr,
                                   NORV_DAL_Rc4ReleaseCtx};

// One acquired context, released on every way out.
template <typename Ctx>
class Context {
 public:
  Context(const FamilyCalls<Ctx>& calls, const CipherChoice& choice, bool cbc, int32_t encFlag)
      : calls_(calls) {
    const int32_t mode = cbc ? NORV_DAL_MODE_CBC : NORV_DAL_MODE_ECB;
    check(calls.acquire(choice.key.data(), static_cast<int32_t>(choice.key.size()),
                        cbc ? choice.iv.data() : nullptr, mode, encFlag, &ctx_),
          "set up the cipher");
  }
  ~Context() {
    if (ctx_ != nullptr) calls_.release(ctx_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  Ctx* get() const { return ctx_; }
  const FamilyCalls<Ctx>& calls() const { return calls_; }

 private:
  const FamilyCalls<Ctx>& calls_;
  Ctx* ctx_ = nullptr;
};

template <typename Ctx>
class FamilyCipher final : public CipherStream {
 public:
  FamilyCipher(const FamilyCalls<Ctx>& calls, const CipherChoice& choice, Direction direction)
      : encrypt_(direction == Direction::Encrypt),
        context_(calls, choice, choice.cbc, encrypt_ ? 1 : 0) {}

  void update(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) override {
    const auto call = encrypt_ ? context_.calls().encUpdate : context_.calls().decUpdate;
    out.resize(in.size() + kSlack);
    uint32_t written = 0;
    check(call(context_.get(), in.data(), static_cast<uint32_t>(in.size()), out.data(), &written),
          encrypt_ ? "encrypt" : "decrypt");
    out.resize(written);
  }

  void finish(std::vector<std::uint8_t>& out) override {
    const auto call = encrypt_ ? context_.calls().encFinal : context_.calls().decFinal;
    out.resize(kSlack);
    uint32_t written = 0;
    check(call(context_.get(), out.data(), &written), encrypt_ ? "encrypt" : "decrypt");
    out.resize(written);
  }

 private:
  bool encrypt_;
  Context<Ctx> context_;
};

// The MAC chains from zero itself; the context is loaded for ECB
// encryption, which is what the token's SSF33 MAC needs.
template <typename Ctx>
class FamilyMac final : public MacStream {
 public:
  FamilyMac(const FamilyCalls<Ctx>& calls, const CipherChoice& choice)
      : context_(calls, choice, false, 1) {}

  void update(std::span<const std::uint8_t> in) override {
    check(context_.calls().macUpdate(context_.get(), in.data(), static_cast<uint32_t>(in.size())),
          "compute the MAC");
  }

  std::vector<std::uint8_t> finish(std::uint32_t macLength) override {
    std::vector<std::uint8_t> mac(macLength);
    check(context_.calls().macFinal(context_.get(), mac.data(), macLength), "compute the MAC");
    return mac;
  }

 private:
  Context<Ctx> context_;
};

bool keyLengthFits(Algorithm algorithm, std::size_t length) {
  switch (algorithm) {
    case Algorithm::Ssf33: return length == 16;
    case Algorithm::Des: return length == 8;
    case Algorithm::TripleDes: return length == 16 || length == 24;
    case Algorithm::Rc2: return length >= 1 && length <= 128;
    case Algorithm::Rc4: return length >= 1 && length <= 256;
  }
  return false;
}

const char* keyLengthRule(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Ssf33: return "an SSF33 key is 16 bytes";
    case Algorithm::Des: return "a DES key is 8 bytes";
    case Algorithm::TripleDes: return "a triple-DES key is 16 or 24 bytes";
    case Algorithm::Rc2: return "an RC2 key is 1 to 128 bytes";
    case Algorithm::Rc4: return "an RC4 key is 1 to 256 bytes";
  }
  return "";
}

}  // namespace

std::size_t blockSize(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Ssf33: return 16;
    case Algorithm::Rc4: return 1;
    default: return 8;
  }
}

void validate(const CipherChoice& choice) {
  if (!keyLengthFits(choice.algorithm, choice.key.size()))
    throw UsageError(keyLengthRule(choice.algorithm));
  if (choice.algorithm == Algorithm::Rc4) {
    if (!choice.iv.empty()) throw UsageError("RC4 takes no IV");
    return;
  }
  if (choice.cbc && choice.iv.size() != blockSize(choice.algorithm))
    throw UsageError("CBC needs an IV of " + std::to_string(blockSize(choice.algorithm)) +
                     " bytes (--iv)");
  if (!choice.cbc && !choice.iv.empty()) throw UsageError("ECB takes no IV");
}

std::unique_ptr<CipherStream> openCipher(const CipherChoice& choice, Direction direction) {
  switch (choice.algorithm) {
    case Algorithm::Ssf33:
      return std::make_unique<FamilyCipher<SSF33Ctx>>(kSsf33, choice, direction);
    case Algorithm::Des:
    case Algorithm::TripleDes:
      return std::make_unique<FamilyCipher<DesCtx>>(kDes, choice, direction);
    case Algorithm::Rc2: return std::make_unique<FamilyCipher<Rc2Ctx>>(kRc2, choice, direction);
    case Algorithm::Rc4: return std::make_unique<FamilyCipher<Rc4Ctx>>(kRc4, choice, direction);
  }
  throw UsageError("unknown cipher");
}

std::unique_ptr<MacStream> openMac(const CipherChoice& choice) {
  switch (choice.algorithm) {
    case Algorithm::Ssf33: return std::make_unique<FamilyMac<SSF33Ctx>>(kSsf33, choice);
    case Algorithm::Des:
    case Algorithm::TripleDes: return std::make_unique<FamilyMac<DesCtx>>(kDes, choice);
    case Algorithm::Rc2: return std::make_unique<FamilyMac<Rc2Ctx>>(kRc2, choice);
    case Algorithm::Rc4: break;
  }
  throw UsageError("RC4 is a stream cipher and has no MAC");
}

}  // namespace tkp30
