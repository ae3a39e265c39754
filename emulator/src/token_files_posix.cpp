// A token's files on Linux, all reached through the descriptor of their
// directory: flock() on the lock file and pread()/pwrite() of the shared
// state in it, the image read whole, the next image created exclusively,
// fsync()ed and put in place by renameat(), then fsync() of the
// directory. The boot is named by the kernel's boot id.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "token_files.h"

namespace tkp30emu {
namespace {

// Never follow a planted link, never wait on a planted FIFO.
constexpr int kSafeOpen = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr mode_t kOwnerOnly = 0600;

std::string sysError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Why opening `path` failed, in words a user can act on.
std::string openError(const std::string& what, const std::string& path) {
  if (errno == ELOOP) return what + " " + path + ": is a symbolic link, which is not followed";
  return sysError(what, path);
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Empty when the open file is one the token may trust: a regular file of
// the effective user that nobody else can read or write, under one name.
std::string distrust(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  if (st.st_uid != ::geteuid()) return "owned by another user";
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
    return "open to group or others (the token's files must be mode 600)";
  if (st.st_nlink != 1) return "has other hard links";
  return {};
}

// Opens `name` in the directory and checks it; -1 with `error` set when it
// is missing (`absent` then true), cannot be opened or is not to be
// trusted.
int openTrusted(int dirFd, const std::string& name, int flags, const std::string& what,
                const std::string& path, std::string& error, bool& absent) {
  const int fd = ::openat(dirFd, name.c_str(), flags | kSafeOpen, kOwnerOnly);
  absent = fd < 0 && errno == ENOENT;
  if (fd < 0) {
    error = openError(what, path);
    return -1;
  }
  if (std::string why = distrust(fd); !why.empty()) {
    ::close(fd);
    error = what + " " + path + ": " + why;
    return -1;
  }
  return fd;
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
    if (lockFd >= 0) ::close(lockFd);
    if (dirFd >= 0) ::close(dirFd);
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;

  std::string path;
  std::string name;      // of the image in its directory
  std::string nextName;  // of the next image while it is being written
  int lockFd = -1;
  int dirFd = -1;
};

TokenFiles::TokenFiles() : native_(std::make_unique<Native>()) {}
TokenFiles::~TokenFiles() = default;

bool TokenFiles::open(const std::string& imagePath, std::size_t sharedBytes, std::string& error) {
  Native& n = *native_;
  n.path = imagePath;
  n.name = nameOf(imagePath);
  n.nextName = n.name + ".tmp";
  const std::string dir = directoryOf(imagePath);
  n.dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (n.dirFd < 0) {
    error = sysError("cannot open the directory", dir);
    return false;
  }
  const std::string lockPath = imagePath + ".lock";
  bool absent = false;
  n.lockFd = openTrusted(n.dirFd, n.name + ".lock", O_RDWR | O_CREAT, "token lock", lockPath, error,
                         absent);
  if (n.lockFd < 0) return false;
  struct stat st {};
  if (fstat(n.lockFd, &st) != 0 || (static_cast<std::size_t>(st.st_size) < sharedBytes &&
                                    ftruncate(n.lockFd, static_cast<off_t>(sharedBytes)) != 0)) {
    error = sysError("cannot size the token lock", lockPath);
    return false;
  }
  // Reserves the blocks now where the file system can, so that writing the
  // state back never needs space that a full disk no longer has.
  static_cast<void>(posix_fallocate(n.lockFd, 0, static_cast<off_t>(sharedBytes)));
  return true;
}

void TokenFiles::lock() {
  while (flock(native_->lockFd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void TokenFiles::unlock() { flock(native_->lockFd, LOCK_UN); }

bool TokenFiles::readShared(void* into, std::size_t bytes) {
  auto* at = static_cast<std::uint8_t*>(into);
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::pread(native_->lockFd, at + done, bytes - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // cut short (or unreadable): the state is lost
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool TokenFiles::writeShared(const void* from, std::size_t bytes) {
  const auto* at = static_cast<const std::uint8_t*>(from);
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::pwrite(native_->lockFd, at + done, bytes - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool TokenFiles::readImage(Bytes& image, bool& missing, std::string& error) {
  const Native& n = *native_;
  const int fd = openTrusted(n.dirFd, n.name, O_RDONLY, "token image", n.path, error, missing);
  if (fd < 0) {
    if (missing) error.clear();  // a blank token
    return missing;
  }
  const bool readOk = readAll(fd, image);
  ::close(fd);
  if (!readOk) error = sysError("cannot read the token image", n.path);
  return readOk;
}

// The next image is always a new file of ours: whatever stands at its name
// (a leftover of a crash, or something planted) is removed first, and the
// exclusive create fails rather than write through anything put back.
bool TokenFiles::writeNext(const Bytes& image, std::string& error) {
  const Native& n = *native_;
  const std::string next = n.path + ".tmp";
  if (::unlinkat(n.dirFd, n.nextName.c_str(), 0) != 0 && errno != ENOENT) {
    error = sysError("cannot remove", next);
    return false;
  }
  const int fd =
      ::openat(n.dirFd, n.nextName.c_str(), O_WRONLY | O_CREAT | O_EXCL | kSafeOpen, kOwnerOnly);
  if (fd < 0) {
    error = sysError("cannot create", next);
    return false;
  }
  const bool written = fchmod(fd, kOwnerOnly) == 0 && writeAll(fd, image) && fsync(fd) == 0;
  if (!written) error = sysError("cannot write", next);
  ::close(fd);
  if (!written) ::unlinkat(n.dirFd, n.nextName.c_str(), 0);
  return written;
}

bool TokenFiles::replaceWithNext(std::string& error) {
  const Native& n = *native_;
  if (::renameat(n.dirFd, n.nextName.c_str(), n.dirFd, n.name.c_str()) != 0) {
    error = sysError("cannot replace", n.path);
    ::unlinkat(n.dirFd, n.nextName.c_str(), 0);
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
