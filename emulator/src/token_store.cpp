#include "token_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "emu_crypto.h"

namespace tkp30emu {
namespace {

constexpr std::uint64_t kSharedMagic = 0x544B503330564F4CULL;  // "TKP30VOL"
constexpr std::size_t kMaxImageBytes = std::size_t{8} << 20;

// The kernel's boot id: the volatile state of a token is lost when it
// changes, as a real token's is at power-down.
struct BootId {
  char bytes[40] = {};
};

const BootId& bootId() {
  static const BootId id = [] {
    BootId b;
    if (FILE* f = std::fopen("/proc/sys/kernel/random/boot_id", "r")) {
      const std::size_t n = std::fread(b.bytes, 1, sizeof b.bytes - 1, f);
      b.bytes[n] = 0;
      static_cast<void>(std::fclose(f));
    }
    return b;
  }();
  return id;
}

std::string sysError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, const Bytes& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool readAll(int fd, Bytes& data) {
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    data.insert(data.end(), chunk, chunk + n);
    if (data.size() > kMaxImageBytes) return true;  // the decoder refuses it
  }
}

}  // namespace

TokenStore::~TokenStore() {
  if (shm_) munmap(shm_, sizeof(SharedState));
  if (lockFd_ >= 0) ::close(lockFd_);
  if (dirFd_ >= 0) ::close(dirFd_);
}

bool TokenStore::open(const std::string& imagePath, std::string& error) {
  path_ = imagePath;
  const std::string lockPath = imagePath + ".lock";
  lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) {
    error = sysError("cannot open the token lock", lockPath);
    return false;
  }
  const std::string dir = directoryOf(imagePath);
  dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd_ < 0) {
    error = sysError("cannot open the directory", dir);
    return false;
  }
  struct stat st {};
  if (fstat(lockFd_, &st) != 0 || (static_cast<std::size_t>(st.st_size) < sizeof(SharedState) &&
                                   ftruncate(lockFd_, sizeof(SharedState)) != 0)) {
    error = sysError("cannot size the token lock", lockPath);
    return false;
  }
  void* m = mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED, lockFd_, 0);
  if (m == MAP_FAILED) {
    error = sysError("cannot map the shared token state", lockPath);
    return false;
  }
  shm_ = static_cast<SharedState*>(m);
  return true;
}

void TokenStore::lock() {
  while (flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
  }
  const BootId& boot = bootId();
  if (shm_->magic == kSharedMagic && std::memcmp(shm_->boot, boot.bytes, sizeof boot.bytes) == 0)
    return;
  // First use since the machine booted: the token powers up.
  std::memset(static_cast<void*>(shm_), 0, sizeof(SharedState));
  // The epoch only tells this power-up from an earlier one; should the
  // generator fail, the generation counter still does that alone.
  static_cast<void>(crypto::randomBytes(reinterpret_cast<std::uint8_t*>(&shm_->epoch),
                                        sizeof shm_->epoch));
  std::memcpy(shm_->boot, boot.bytes, sizeof boot.bytes);
  shm_->magic = kSharedMagic;
}

void TokenStore::unlock() { flock(lockFd_, LOCK_UN); }

bool TokenStore::load(Persistent& p, std::string& error) {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) {
      error = sysError("cannot open the token image", path_);
      return false;
    }
    p = Persistent{};
    return true;
  }
  Bytes image;
  const bool readOk = readAll(fd, image);
  ::close(fd);
  if (!readOk) {
    error = sysError("cannot read the token image", path_);
    return false;
  }
  std::string why;
  if (!decodeImage(image, p, why)) {
    error = path_ + ": " + why;
    return false;
  }
  return true;
}

bool TokenStore::commit(const Persistent& p, std::string& error) {
  const std::string tmp = path_ + ".tmp";
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = sysError("cannot create", tmp);
    return false;
  }
  const bool written = fchmod(fd, 0600) == 0 && writeAll(fd, encodeImage(p)) && fsync(fd) == 0;
  if (!written) error = sysError("cannot write", tmp);
  ::close(fd);
  if (!written) {
    ::unlink(tmp.c_str());
    return false;
  }
  // Every other process reloads from now on, even if this one dies before
  // the rename (it then finds the old image, which is still the truth).
  ++shm_->generation;
  if (::rename(tmp.c_str(), path_.c_str()) != 0) {
    error = sysError("cannot replace", path_);
    ::unlink(tmp.c_str());
    return false;
  }
  if (fsync(dirFd_) != 0) {
    error = sysError("cannot fsync the directory of", path_);
    return false;
  }
  return true;
}

}  // namespace tkp30emu
