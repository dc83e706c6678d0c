// Reading user files and replacing them whole, on POSIX systems and on Windows.
//
// Paths are UTF-8 text everywhere in the program; file_path turns one into a
// std::filesystem::path (wide on Windows) and path_text turns it back.
//
// read_whole_file reads a regular file into memory; InputFile reads one in
// pieces. Anything else (a folder, a FIFO, a device, a socket) is refused
// without blocking, since reading it would hang or never end.
//
// AtomicFile writes a new version of a file: the bytes go to a temporary file
// beside the target, which replaces the target in one step at commit(). Until
// then, and after any failure, the old file is left as it was and no
// temporary file remains. A symbolic link as target is followed (the file it
// names is replaced, the link stays); an existing target that is not a
// regular file (a device such as /dev/null, a FIFO) is written directly.
// Bytes are written as given: lines end with "\n" on every system.
// Failures raise a RuntimeError:
//   Cannot open "<path>" for writing: <reason>.
//   Cannot write "<path>": <reason>; the file was left as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#if defined(_WIN32)
#include <mutex>
#endif
#include <string>
#include <string_view>
#include <vector>

namespace dg {

std::filesystem::path file_path(const std::string& utf8);
std::string path_text(const std::filesystem::path& path);

// The position of the last folder separator in a path ("/", and on Windows
// also "\\"), or npos.
std::size_t last_separator(std::string_view path);
// The part of a path after its last folder separator: the file's name.
std::string file_name(std::string_view path);

// A file name's extension from its last dot, in lower case (".svg"), or ""
// when the name has none.
std::string lower_extension(const std::string& path);

// Whether two paths name the same existing file, by its identity (device and
// inode, or volume and file index on Windows), whatever the spelling of the
// paths, the symbolic links or hard links between them. False when either
// does not exist.
bool same_file(const std::string& a, const std::string& b);

// A file a run reads: what it is, as a message names it ("the --tps file",
// "the loaded sample"), and its path.
struct ReadFile {
  std::string what;
  std::string path;
};

// Raises when `output` is one of `inputs` (same_file), before anything is
// written:
//   <output_what> "<output>" is <what> "<path>"; an output never replaces an
//   input, so nothing was written.
void refuse_overwriting_input(std::string_view output_what, const std::string& output,
                              const std::vector<ReadFile>& inputs);

// Asks the kernel to back a large fresh buffer with huge pages where it can:
// on some machines faulting in a big buffer page by page costs more than
// parsing the text that fills it. Advice only; it changes no contents.
void advise_huge_pages(void* p, std::size_t bytes);

// The bytes of a whole file.
struct FileText {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  std::string_view view() const { return {bytes.get(), size}; }
};

// Reads the whole regular file at `path` into `out`. Returns true, or false
// with the reason in `reason` ("No such file or directory", "not a regular
// file", ...); `out` is then left unchanged.
bool read_whole_file(const std::string& path, FileText& out, std::string& reason);

// A regular file read in pieces at given offsets, so that a large file is
// never held whole; several threads may read it at once.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens a regular file as read_whole_file does; false with the reason.
  bool open(const std::string& path, std::string& reason);
  std::uint64_t size() const { return size_; }  // when it was opened
  // Reads up to n bytes at `offset` into p, fewer only at the file's end.
  // Returns how many, or -1 with the reason.
  std::ptrdiff_t read_at(std::uint64_t offset, char* p, std::size_t n, std::string& reason) const;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
#if defined(_WIN32)
  // A seek and the read after it are one step.
  std::unique_ptr<std::mutex> seek_ = std::make_unique<std::mutex>();
#endif
};

class AtomicFile {
 public:
  // Opens the temporary file; raises "Cannot open ... for writing".
  explicit AtomicFile(const std::string& path);
  // Removes the temporary file unless commit() succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void write(std::string_view bytes);
  // Makes the written bytes the file's contents.
  void commit();

 private:
  [[noreturn]] void fail(const std::string& reason);
  void discard() noexcept;

  std::string path_;    // as the user gave it, for messages
  std::string target_;  // the file replaced: the path with symbolic links followed
  std::string temp_;    // the temporary file's name, once it has one
  bool direct_ = false;
  bool committed_ = false;
  int fd_ = -1;                // a POSIX descriptor, or a C runtime one on Windows
  std::uint64_t written_ = 0;  // bytes written so far
  std::uint64_t started_ = 0;  // bytes whose writing to disk has been started
  static constexpr std::uint64_t kWritebackBytes = std::uint64_t{8} << 20;
};

}  // namespace dg
