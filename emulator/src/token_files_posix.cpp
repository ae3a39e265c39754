// A token's files on Linux: flock() on the lock file, a shared mmap of it,
// and the image replaced by rename() after fsync(), then fsync() of the
// directory. The boot is named by the kernel's boot id.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "token_files.h"

namespace tkp30emu {
namespace {

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
    if (data.size() > kMaxImageBytes) return true;
  }
}

}  // namespace

struct TokenFiles::Native {
  Native() = default;
  ~Native() {
    if (shared) munmap(shared, sharedBytes);
    if (lockFd >= 0) ::close(lockFd);
    if (dirFd >= 0) ::close(dirFd);
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;

  std::string path;
  std::string next;  // the next image while it is being written
  int lockFd = -1;
  int dirFd = -1;
  void* shared = nullptr;
  std::size_t sharedBytes = 0;
};

TokenFiles::TokenFiles() : native_(std::make_unique<Native>()) {}
TokenFiles::~TokenFiles() = default;

void* TokenFiles::shared() const { return native_->shared; }

bool TokenFiles::open(const std::string& imagePath, std::size_t sharedBytes,
                      std::string& error) {
  Native& n = *native_;
  n.path = imagePath;
  n.next = imagePath + ".tmp";
  const std::string lockPath = imagePath + ".lock";
  n.lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (n.lockFd < 0) {
    error = sysError("cannot open the token lock", lockPath);
    return false;
  }
  const std::string dir = directoryOf(imagePath);
  n.dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (n.dirFd < 0) {
    error = sysError("cannot open the directory", dir);
    return false;
  }
  struct stat st {};
  if (fstat(n.lockFd, &st) != 0 || (static_cast<std::size_t>(st.st_size) < sharedBytes &&
                                    ftruncate(n.lockFd, static_cast<off_t>(sharedBytes)) != 0)) {
    error = sysError("cannot size the token lock", lockPath);
    return false;
  }
  void* m = mmap(nullptr, sharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, n.lockFd, 0);
  if (m == MAP_FAILED) {
    error = sysError("cannot map the shared token state", lockPath);
    return false;
  }
  n.shared = m;
  n.sharedBytes = sharedBytes;
  return true;
}

void TokenFiles::lock() {
  while (flock(native_->lockFd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void TokenFiles::unlock() { flock(native_->lockFd, LOCK_UN); }

bool TokenFiles::readImage(Bytes& image, bool& missing, std::string& error) {
  const std::string& path = native_->path;
  missing = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      missing = true;
      return true;
    }
    error = sysError("cannot open the token image", path);
    return false;
  }
  const bool readOk = readAll(fd, image);
  ::close(fd);
  if (!readOk) error = sysError("cannot read the token image", path);
  return readOk;
}

bool TokenFiles::writeNext(const Bytes& image, std::string& error) {
  const std::string& next = native_->next;
  const int fd = ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = sysError("cannot create", next);
    return false;
  }
  const bool written = fchmod(fd, 0600) == 0 && writeAll(fd, image) && fsync(fd) == 0;
  if (!written) error = sysError("cannot write", next);
  ::close(fd);
  if (!written) ::unlink(next.c_str());
  return written;
}

bool TokenFiles::replaceWithNext(std::string& error) {
  const Native& n = *native_;
  if (::rename(n.next.c_str(), n.path.c_str()) != 0) {
    error = sysError("cannot replace", n.path);
    ::unlink(n.next.c_str());
    return false;
  }
  if (fsync(n.dirFd) != 0) {
    error = sysError("cannot fsync the directory of", n.path);
    return false;
  }
  return true;
}

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

}  // namespace tkp30emu
