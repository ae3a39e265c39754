#include <iconv.h>
#include <langinfo.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "gbk.h"

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

  // Converts as much as it can; an unconvertible or broken byte becomes '?'.
  std::string run(std::string_view in) {
    std::string out;
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
      std::array<char, 256> chunk;
      char* dst = chunk.data();
      std::size_t dstLeft = chunk.size();
      const std::size_t rv = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(chunk.data(), chunk.size() - dstLeft);
      if (rv == static_cast<std::size_t>(-1) && errno != E2BIG) skipOne(src, srcLeft, out);
    }
    return out;
  }

 private:
  static void skipOne(char*& src, std::size_t& left, std::string& out) {
    const bool doubleByte = static_cast<unsigned char>(*src) >= 0x81 && left >= 2;
    const std::size_t n = doubleByte ? 2 : 1;
    src += n;
    left -= n;
    out.push_back('?');
  }
  iconv_t cd_;
};

}  // namespace

std::string gbkToLocale(std::string_view gbk) {
  Converter converter(nl_langinfo(CODESET));
  if (!converter.ok()) return std::string(gbk);
  return converter.run(gbk);
}

}  // namespace tkp30
