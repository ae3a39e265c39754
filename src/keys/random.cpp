// Random bytes from the token's generator, as many GET CHALLENGE commands
// as the request needs.
#include <openssl/crypto.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "card/rsa_commands.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

// One command's worth; a short answer is a failure, never a partial copy.
bool drawChunk(std::span<std::uint8_t> chunk) {
  ResponseBuffer response;
  const auto count = static_cast<std::uint8_t>(chunk.size());
  if (CosGetChallengeBytes(count, response) != kSwSuccess) return false;
  if (response.delivered() < chunk.size()) return false;
  std::memcpy(chunk.data(), response.data(), chunk.size());
  return true;
}

// Bytes of a failed request are wiped rather than handed out as if random.
std::int32_t drawRandom(std::span<std::uint8_t> destination) {
  for (std::size_t done = 0; done < destination.size();) {
    const std::size_t count = std::min(kMaxChallengeBytes, destination.size() - done);
    if (!drawChunk(destination.subspan(done, count))) {
      OPENSSL_cleanse(destination.data(), done);
      return NORV_DAL_ERR_GEN_RAND;
    }
    done += count;
  }
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_GenRand(int32_t randLen, uint8_t* randData) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    if (randLen < 0 || (randLen > 0 && !randData)) {
      DAL_LOG("******>NORV_DAL_GenRand param");
      return NORV_DAL_ERR_PARAM;
    }
    if (randLen == 0) return NORV_DAL_OK;
    return dal::drawRandom(std::span(randData, static_cast<std::size_t>(randLen)));
  });
}
