// A token's files on Windows. The lock file is locked with LockFileEx on
// one byte far past its end, so the lock never overlaps the shared state,
// and that state is mapped through a file mapping named after the file's
// identity (volume and file index), so every process that opens the token,
// by any spelling of its path, maps the same object; Windows refuses to
// cut short a file while it is mapped, so the copies in and out cannot
// fault. The image is replaced by MoveFileExW with write-through after
// FlushFileBuffers. Each file is opened without following a reparse point
// (a symbolic link or junction) and used only when it is a regular file
// under one name; who may open it is left to the folder's access control.
// Paths arrive in the ANSI code page (command line, environment), as the
// A functions take them. The boot is named by the kernel's boot time.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "token_files.h"

namespace tkp30emu {
namespace {

// The byte that LockFileEx locks: offset 2^62, far beyond any state.
constexpr DWORD kLockOffsetHigh = 0x40000000;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kNoFollow = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

std::string systemMessage(DWORD code) {
  char text[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, n);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

std::string lastError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + systemMessage(GetLastError());
}

std::wstring widePath(const std::string& path) {
  const int n =
      MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  return wide;
}

bool isDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Empty when the open file is one the token may trust: a regular file,
// not a reparse point, under one name.
std::string distrust(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return systemMessage(GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return "is a symbolic link or junction, which is not followed";
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::strerror(EISDIR);
  if (info.nNumberOfLinks != 1) return "has other hard links";
  return {};
}

// Opens the file and checks it; INVALID_HANDLE_VALUE with `error` set when
// it is missing (`absent` then true), cannot be opened or is not to be
// trusted.
HANDLE openTrusted(const std::string& path, DWORD access, DWORD disposition,
                   const std::string& what, std::string& error, bool& absent) {
  const std::wstring wide = widePath(path);
  HANDLE file =
      CreateFileW(wide.c_str(), access, kShareAll, nullptr, disposition, kNoFollow, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    absent = code == ERROR_FILE_NOT_FOUND;
    // A folder cannot be opened as a file at all: say what it is.
    error = what + " " + path + ": " +
            (isDirectory(wide) ? std::string(std::strerror(EISDIR)) : systemMessage(code));
    return INVALID_HANDLE_VALUE;
  }
  absent = false;
  if (std::string why = distrust(file); !why.empty()) {
    CloseHandle(file);
    error = what + " " + path + ": " + why;
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// Closes a file handle at the end of a scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (valid()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

bool writeAll(HANDLE file, const Bytes& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20));
    if (!WriteFile(file, data.data() + done, chunk, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

bool readAll(HANDLE file, Bytes& data) {
  std::uint8_t chunk[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr)) return false;
    if (n == 0) return true;
    data.insert(data.end(), chunk, chunk + n);
    if (data.size() > kMaxImageBytes) return true;
  }
}

// "Local\tkp30emu-<volume>-<file index>": one name per lock file.
bool mappingName(HANDLE file, std::wstring& name) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return false;
  wchar_t text[64];
  std::swprintf(text, sizeof text / sizeof text[0], L"Local\\tkp30emu-%08lx-%08lx%08lx",
                info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
  name = text;
  return true;
}

OVERLAPPED lockRegion() {
  OVERLAPPED region{};
  region.OffsetHigh = kLockOffsetHigh;
  return region;
}

}  // namespace

struct TokenFiles::Native {
  Native() = default;
  ~Native() {
    if (shared != nullptr) UnmapViewOfFile(shared);
    if (mapping != nullptr) CloseHandle(mapping);
    if (lockFile != INVALID_HANDLE_VALUE) CloseHandle(lockFile);
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;

  std::string path;
  std::string next;  // the next image while it is being written
  HANDLE lockFile = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  void* shared = nullptr;
  std::size_t sharedBytes = 0;
};

TokenFiles::TokenFiles() : native_(std::make_unique<Native>()) {}
TokenFiles::~TokenFiles() = default;

bool TokenFiles::open(const std::string& imagePath, std::size_t sharedBytes, std::string& error) {
  Native& n = *native_;
  n.path = imagePath;
  n.next = imagePath + ".tmp";
  const std::string lockPath = imagePath + ".lock";
  bool absent = false;
  n.lockFile =
      openTrusted(lockPath, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, "token lock", error, absent);
  if (n.lockFile == INVALID_HANDLE_VALUE) return false;
  std::wstring name;
  if (!mappingName(n.lockFile, name)) {
    error = lastError("cannot identify the token lock", lockPath);
    return false;
  }
  // Grows the file to the state's size when it is shorter (new: zeros).
  n.mapping = CreateFileMappingW(n.lockFile, nullptr, PAGE_READWRITE, 0,
                                 static_cast<DWORD>(sharedBytes), name.c_str());
  if (n.mapping != nullptr)
    n.shared = MapViewOfFile(n.mapping, FILE_MAP_ALL_ACCESS, 0, 0, sharedBytes);
  if (n.shared == nullptr) {
    error = lastError("cannot map the shared token state", lockPath);
    return false;
  }
  n.sharedBytes = sharedBytes;
  return true;
}

void TokenFiles::lock() {
  OVERLAPPED region = lockRegion();
  LockFileEx(native_->lockFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &region);
}

void TokenFiles::unlock() {
  OVERLAPPED region = lockRegion();
  UnlockFileEx(native_->lockFile, 0, 1, 0, &region);
}

bool TokenFiles::readShared(void* into, std::size_t bytes) {
  if (bytes > native_->sharedBytes) return false;
  std::memcpy(into, native_->shared, bytes);
  return true;
}

bool TokenFiles::writeShared(const void* from, std::size_t bytes) {
  if (bytes > native_->sharedBytes) return false;
  std::memcpy(native_->shared, from, bytes);
  return true;
}

bool TokenFiles::readImage(Bytes& image, bool& missing, std::string& error) {
  const std::string& path = native_->path;
  const FileHandle file(
      openTrusted(path, GENERIC_READ, OPEN_EXISTING, "token image", error, missing));
  if (!file.valid()) {
    if (missing) error.clear();  // a blank token
    return missing;
  }
  if (!readAll(file.get(), image)) {
    error = lastError("cannot read the token image", path);
    return false;
  }
  return true;
}

// The next image is always a new file of ours: whatever stands at its name
// (a leftover of a crash, or something planted) is removed first, and the
// exclusive create fails rather than write through anything put back.
bool TokenFiles::writeNext(const Bytes& image, std::string& error) {
  const std::string& next = native_->next;
  const std::wstring wideNext = widePath(next);
  if (!DeleteFileW(wideNext.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    error = lastError("cannot remove", next);
    return false;
  }
  bool written = false;
  {
    const FileHandle file(
        CreateFileW(wideNext.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kNoFollow, nullptr));
    if (!file.valid()) {
      error = lastError("cannot create", next);
      return false;
    }
    written = writeAll(file.get(), image) && FlushFileBuffers(file.get());
    if (!written) error = lastError("cannot write", next);
  }
  if (!written) DeleteFileW(wideNext.c_str());
  return written;
}

bool TokenFiles::replaceWithNext(std::string& error) {
  const Native& n = *native_;
  const std::wstring wideNext = widePath(n.next);
  if (!MoveFileExW(wideNext.c_str(), widePath(n.path).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = lastError("cannot replace", n.path);
    DeleteFileW(wideNext.c_str());
    return false;
  }
  return true;
}

const BootId& bootId() {
  static const BootId id = [] {
    BootId b;
    SYSTEM_TIMEOFDAY_INFORMATION now{};
    if (NtQuerySystemInformation(SystemTimeOfDayInformation, &now, sizeof now, nullptr) >= 0)
      std::snprintf(b.bytes, sizeof b.bytes, "boot %lld",
                    static_cast<long long>(now.BootTime.QuadPart));
    return b;
  }();
  return id;
}

}  // namespace tkp30emu
