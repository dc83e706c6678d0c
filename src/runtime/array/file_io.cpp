#include "runtime/array/file_io.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#if defined(__linux__)
#include <sys/mman.h>
#endif
#endif

#include "runtime/array/error.hpp"

namespace dg {
namespace {

constexpr const char* kNotRegular = "not a regular file";
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

std::string error_text(int error) {
  return std::strerror(error);
}

// The folder part of a path, with its separator ("" for a bare name).
std::string folder_of(const std::string& path) {
  auto slash = last_separator(path);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A hidden name beside `target` that no other file is likely to have.
std::string temporary_name(const std::string& target) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string folder = folder_of(target);
  std::string name = "." + target.substr(folder.size()) + ".";
  std::uint64_t bits = random();
  for (int i = 0; i < 6; ++i, bits /= 62) name += kLetters[bits % 62];
  return folder + name;
}

#if defined(_WIN32)

int read_some(int fd, char* p, std::size_t n) {
  return ::_read(fd, p, static_cast<unsigned>(std::min(n, kMaxChunk)));
}
void close_file(int fd) {
  ::_close(fd);
}

// Windows' text for an error code, in the words of the C library where the
// cause is the same, so that messages read alike on every system.
std::string windows_error_text(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return error_text(ENOENT);
    case ERROR_ACCESS_DENIED:
      return error_text(EACCES);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return error_text(ENOSPC);
    default:
      break;
  }
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result;
  if (length != 0) {
    result = path_text(std::filesystem::path(std::wstring(text, length)));
    ::LocalFree(text);
  }
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                             result.back() == ' ' || result.back() == '.')) {
    result.pop_back();
  }
  return result.empty() ? "Windows error " + std::to_string(code) : result;
}

// Opens a regular file for reading; anything else (a folder, a device such as
// NUL or CON, a pipe) is refused.
int open_for_reading(const std::string& path, std::size_t& size, std::string& reason) {
  const std::wstring name = file_path(path).wstring();
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    reason = error_text(EISDIR);
    return -1;
  }
  const int fd = ::_wopen(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    reason = error_text(errno);
    return -1;
  }
  struct _stat64 status {};
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (::GetFileType(handle) != FILE_TYPE_DISK || ::_fstat64(fd, &status) != 0) {
    ::_close(fd);
    reason = kNotRegular;
    return -1;
  }
  size = static_cast<std::size_t>(status.st_size);
  return fd;
}

#else

int read_some(int fd, char* p, std::size_t n) {
  for (;;) {
    auto got = ::read(fd, p, std::min(n, kMaxChunk));
    if (got >= 0 || errno != EINTR) return static_cast<int>(got);
  }
}
void close_file(int fd) {
  ::close(fd);
}

// Opens a regular file for reading. The type is checked before opening, since
// opening a FIFO waits for a writer; O_NONBLOCK keeps that from happening if
// the file is swapped for one in between, and fstat checks again.
int open_for_reading(const std::string& path, std::size_t& size, std::string& reason) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    reason = error_text(errno);
    return -1;
  }
  if (!S_ISREG(status.st_mode)) {
    reason = S_ISDIR(status.st_mode) ? error_text(EISDIR) : kNotRegular;
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    reason = error_text(errno);
    return -1;
  }
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    reason = kNotRegular;
    return -1;
  }
  size = static_cast<std::size_t>(status.st_size);
  return fd;
}

// Follows symbolic links at the end of `path` to the name of the file they
// lead to, which may not exist yet.
std::string follow_links(const std::string& path) {
  std::string target = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return target;
    std::string link(4096, '\0');
    const auto length = ::readlink(target.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<std::size_t>(length) == link.size()) return target;
    link.resize(static_cast<std::size_t>(length));
    target = link.front() == '/' ? link : folder_of(target) + link;
  }
  return target;
}

// The permissions a new file gets: read and write for all, less the umask.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Makes a rename in the folder last over a crash; a folder that cannot be
// synced (some file systems refuse) changes nothing about the file written.
void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

#endif

}  // namespace

std::size_t last_separator(std::string_view path) {
#if defined(_WIN32)
  return path.find_last_of("/\\");
#else
  return path.find_last_of('/');
#endif
}

std::string file_name(std::string_view path) {
  const std::size_t at = last_separator(path);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string lower_extension(const std::string& path) {
  auto dot = path.find_last_of('.');
  auto slash = last_separator(path);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(file_path(a), file_path(b), error) && !error;
}

void refuse_overwriting_input(std::string_view output_what, const std::string& output,
                              const std::vector<ReadFile>& inputs) {
  for (const ReadFile& input : inputs) {
    if (!same_file(output, input.path)) continue;
    raise(std::string(output_what) + " \"" + output + "\" is " + input.what + " \"" + input.path +
          "\"; an output never replaces an input, so nothing was written.");
  }
}

std::filesystem::path file_path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string path_text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

void advise_huge_pages(void* p, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes < (std::size_t{4} << 20)) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = (reinterpret_cast<std::uintptr_t>(p) + page - 1) / page * page;
  const auto last = (reinterpret_cast<std::uintptr_t>(p) + bytes) / page * page;
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

bool read_whole_file(const std::string& path, FileText& out, std::string& reason) {
  std::size_t expected = 0;
  const int fd = open_for_reading(path, expected, reason);
  if (fd < 0) return false;
  // One byte beyond the expected size lets the reads find the end of the file
  // without growing the buffer.
  std::size_t capacity = expected + 1;
  auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
  advise_huge_pages(bytes.get(), capacity);
  std::size_t used = 0;
  for (;;) {
    if (used == capacity) {
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(bigger.get(), bytes.get(), used);
      bytes = std::move(bigger);
      capacity *= 2;
    }
    const int got = read_some(fd, bytes.get() + used, capacity - used);
    if (got < 0) {
      reason = error_text(errno);
      close_file(fd);
      return false;
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  close_file(fd);
  out.bytes = std::move(bytes);
  out.size = used;
  return true;
}

InputFile::~InputFile() {
  if (fd_ >= 0) close_file(fd_);
}

bool InputFile::open(const std::string& path, std::string& reason) {
  std::size_t size = 0;
  const int fd = open_for_reading(path, size, reason);
  if (fd < 0) return false;
  if (fd_ >= 0) close_file(fd_);
  fd_ = fd;
  size_ = size;
  return true;
}

std::ptrdiff_t InputFile::read_at(std::uint64_t offset, char* p, std::size_t n,
                                  std::string& reason) const {
  std::size_t done = 0;
#if defined(_WIN32)
  const std::lock_guard<std::mutex> lock(*seek_);
  if (::_lseeki64(fd_, static_cast<__int64>(offset), SEEK_SET) < 0) {
    reason = error_text(errno);
    return -1;
  }
  while (done < n) {
    const int got = read_some(fd_, p + done, n - done);
#else
  while (done < n) {
    const auto got =
        ::pread(fd_, p + done, std::min(n - done, kMaxChunk), static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
#endif
    if (got < 0) {
      reason = error_text(errno);
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::ptrdiff_t>(done);
}

#if defined(_WIN32)

AtomicFile::AtomicFile(const std::string& path) : path_(path), target_(path) {
  const std::wstring name = file_path(target_).wstring();
  // A device (NUL, CON) is written directly: it cannot be replaced.
  HANDLE existing =
      ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    direct_ = ::GetFileType(existing) != FILE_TYPE_DISK;
    ::CloseHandle(existing);
  }
  if (direct_) {
    fd_ = ::_wopen(name.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
  } else {
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
      temp_ = temporary_name(target_);
      fd_ =
          ::_wopen(file_path(temp_).c_str(),
                   _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) temp_.clear();
  }
  if (fd_ < 0) raise("Cannot open \"" + path_ + "\" for writing: " + error_text(errno) + ".");
}

void AtomicFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const int put =
        ::_write(fd_, bytes.data(), static_cast<unsigned>(std::min(bytes.size(), kMaxChunk)));
    if (put < 0) fail(error_text(errno));
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

void AtomicFile::commit() {
  if (!direct_ && ::_commit(fd_) != 0) fail(error_text(errno));
  const int closed = ::_close(fd_);
  fd_ = -1;
  if (closed != 0) fail(error_text(errno));
  if (!direct_) {
    const std::wstring target = file_path(target_).wstring();
    if (!::MoveFileExW(file_path(temp_).c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD error = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(target.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        fail(error_text(EISDIR));
      }
      fail(windows_error_text(error));
    }
    temp_.clear();
  }
  committed_ = true;
}

void AtomicFile::discard() noexcept {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::_wunlink(file_path(temp_).c_str());
  temp_.clear();
}

#else

AtomicFile::AtomicFile(const std::string& path) : path_(path), target_(follow_links(path)) {
  auto open_failed = [this](int error) {
    discard();
    raise("Cannot open \"" + path_ + "\" for writing: " + error_text(error) + ".");
  };
  struct stat status {};
  const bool exists = ::stat(target_.c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
    // A device or a FIFO cannot be replaced (nor should /dev/null be, even
    // by root): its readers get the bytes.
    direct_ = true;
    fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) open_failed(errno);
    return;
  }
  // An existing file keeps its permissions; a new one gets the usual ones.
  const mode_t mode = exists && S_ISREG(status.st_mode) ? status.st_mode & 07777 : new_file_mode();
#if defined(O_TMPFILE)
  // A file without a name until commit() links it: a killed process leaves
  // nothing behind. Linking it needs /proc; some file systems refuse it.
  if (::access("/proc/self/fd", X_OK) == 0) {
    const std::string folder = folder_of(target_);
    fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) open_failed(errno);
  }
#endif
  if (fd_ < 0) {
    std::string name = temporary_name(target_);
    name.replace(name.size() - 6, 6, "XXXXXX");
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) open_failed(errno);
    temp_ = name;
  }
  if (::fchmod(fd_, mode) != 0) open_failed(errno);
}

void AtomicFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto put = ::write(fd_, bytes.data(), std::min(bytes.size(), kMaxChunk));
    if (put < 0) {
      if (errno == EINTR) continue;
      fail(error_text(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
    written_ += static_cast<std::uint64_t>(put);
  }
#if defined(__linux__)
  // The disk starts on what is written while the rest is still being made,
  // so the fsync of commit() waits for the last stretch only. A hint: its
  // failures show at that fsync.
  if (!direct_ && written_ - started_ >= kWritebackBytes) {
    ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                      SYNC_FILE_RANGE_WRITE);
    started_ = written_;
  }
#endif
}

void AtomicFile::commit() {
  if (direct_) {
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 && errno != EINTR) fail(error_text(errno));
    committed_ = true;
    return;
  }
  if (::fsync(fd_) != 0) fail(error_text(errno));
  if (temp_.empty()) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; temp_.empty(); ++attempt) {
      std::string name = temporary_name(target_);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temp_ = name;
      } else if (errno != EEXIST || attempt == 100) {
        fail(error_text(errno));
      }
    }
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) fail(error_text(errno));
  temp_.clear();
  committed_ = true;
  ::close(fd_);
  fd_ = -1;
  sync_folder(folder_of(target_));
}

void AtomicFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

#endif

AtomicFile::~AtomicFile() {
  if (!committed_) discard();
}

void AtomicFile::fail(const std::string& reason) {
  discard();
  raise("Cannot write \"" + path_ + "\": " + reason + "; the file was left as it was.");
}

}  // namespace dg
