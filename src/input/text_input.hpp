// Small pieces shared by the text readers: reading a whole file into memory and
// reading one number from a byte range. They report failures by return value.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <fast_float/fast_float.h>

namespace dg {

// Asks the kernel to back a large fresh buffer with huge pages where it can:
// on some machines faulting in a big buffer page by page costs more than
// parsing the text that fills it. Advice only; it changes no contents.
inline void advise_huge_pages(void* p, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes < (std::size_t{4} << 20)) return;
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = (reinterpret_cast<std::uintptr_t>(p) + page - 1) / page * page;
  const auto last = (reinterpret_cast<std::uintptr_t>(p) + bytes) / page * page;
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

// The bytes of a whole file.
struct FileText {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  std::string_view view() const { return {bytes.get(), size}; }
};

// Reads the whole file at `path` into `out`. Returns 0, or the errno value of
// the failure (the file cannot be opened, or reading it fails).
inline int read_whole_file(const std::string& path, FileText& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return errno;
  std::error_code size_error;
  const auto expected = std::filesystem::file_size(path, size_error);
  // One byte beyond the expected size lets a single read reach the end of the file.
  std::size_t capacity = size_error ? std::size_t{1} << 16 : static_cast<std::size_t>(expected) + 1;
  auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
  advise_huge_pages(bytes.get(), capacity);
  std::size_t used = 0;
  errno = 0;
  for (;;) {
    used += std::fread(bytes.get() + used, 1, capacity - used, f);
    if (used < capacity) break;
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
    std::memcpy(bigger.get(), bytes.get(), used);
    bytes = std::move(bigger);
    capacity *= 2;
  }
  int error = 0;
  if (std::ferror(f)) error = errno != 0 ? errno : EIO;
  std::fclose(f);
  out.bytes = std::move(bytes);
  out.size = used;
  return error;
}

// Reads a number at p: an optional sign ("+" included), digits, a decimal point
// and an exponent, or nan / inf in any letter case. Returns the end of the
// number, or nullptr when no number starts at p. Overflow gives +-inf.
inline const char* parse_number(const char* p, const char* end, double& value) {
  if (p != end && *p == '+') {
    ++p;
    if (p == end || *p == '-' || *p == '+') return nullptr;
  }
  if (p == end) return nullptr;
  const auto result = fast_float::from_chars(p, end, value);
  if (result.ec != std::errc() && result.ec != std::errc::result_out_of_range) return nullptr;
  return result.ptr;
}

// Whether the number text [p, e) that read as +-inf overflowed a double
// (1e999), rather than naming infinity itself.
inline bool overflows(const char* p, const char* e) {
  for (; p != e; ++p) {
    if (*p == 'i' || *p == 'I') return false;
  }
  return true;
}

// Lines end at LF, CR LF or a lone CR.
// The first line end (LF or CR) at or after p, or `end`.
inline const char* line_end(const char* p, const char* end) {
  while (p != end && *p != '\n' && *p != '\r') ++p;
  return p;
}

// Past the line end at p (CR LF counts as one); p itself at the end of the text.
inline const char* past_line_end(const char* p, const char* end) {
  if (p == end) return p;
  if (*p == '\r' && p + 1 != end && p[1] == '\n') return p + 2;
  return p + 1;
}

// How many line ends lie in [p, e); a CR directly before an LF is not counted
// (it ends its line together with that LF). `end` is the end of the text.
inline std::size_t count_line_ends(const char* p, const char* e, const char* end) {
  auto n = static_cast<std::size_t>(std::count(p, e, '\n'));
  while ((p = static_cast<const char*>(std::memchr(p, '\r', e - p))) != nullptr) {
    if (p + 1 == end || p[1] != '\n') ++n;
    ++p;
  }
  return n;
}

// The text without a UTF-8 byte-order mark at its start.
inline std::string_view skip_byte_order_mark(std::string_view text) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

}  // namespace dg
