#include <iconv.h>
#include <langinfo.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "platform/gbk.h"

namespace tkp30 {
namespace {

class Converter {
 public:
  explicit Converter(const std::string& to) : cd_(iconv_open(to.c_str(), "GBK")) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  // iconv_open reports failure as (iconv_t)-1.
  bool ok() const { return reinterpret_cast<std::intptr_t>(cd_) != -1; }

  // The whole text converted, or nothing when a byte is broken or has no
  // equivalent in the target encoding.
  std::optional<std::string> run(std::string_view in) {
    std::string out;
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
      std::array<char, 256> chunk;
      char* dst = chunk.data();
      std::size_t dstLeft = chunk.size();
      const std::size_t rv = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(chunk.data(), chunk.size() - dstLeft);
      if (rv == static_cast<std::size_t>(-1) && errno != E2BIG) return std::nullopt;
      // glibc counts characters it replaced instead of refusing them.
      if (rv != static_cast<std::size_t>(-1) && rv > 0) return std::nullopt;
    }
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> gbkToLocale(std::string_view gbk) {
  Converter converter(nl_langinfo(CODESET));
  if (!converter.ok()) return std::nullopt;
  return converter.run(gbk);
}

}  // namespace tkp30
