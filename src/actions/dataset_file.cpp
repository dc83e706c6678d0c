#include "actions/dataset_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

constexpr std::size_t kFlushBytes = 1 << 22;

// A file under a temporary name beside its target, renamed over the target by
// commit() and removed if the writing fails before that.
class AtomicFile {
 public:
  explicit AtomicFile(const std::string& path) : path_(path) {
    auto slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    temp_ = folder + "." + name + ".XXXXXX";
    int fd = ::mkstemp(temp_.data());
    if (fd < 0) {
      raise("Cannot open \"" + path + "\" for writing: " + std::strerror(errno) + ".");
    }
    file_ = ::fdopen(fd, "w");
    if (!file_) {
      ::close(fd);
      fail("cannot open a temporary file");
    }
  }
  ~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!committed_) std::remove(temp_.c_str());
  }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void write(std::string& buffer) {
    if (!buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), file_) != buffer.size()) {
      fail(std::strerror(errno));
    }
    buffer.clear();
  }

  void commit() {
    if (std::fflush(file_) != 0) fail(std::strerror(errno));
    ::fchmod(::fileno(file_), new_file_mode());
    int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) fail(std::strerror(errno));
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) fail(std::strerror(errno));
    committed_ = true;
  }

 private:
  [[noreturn]] void fail(const std::string& reason) {
    raise("Cannot write \"" + path_ + "\": " + reason + "; the file was left as it was.");
  }

  // An existing target keeps its permissions; a new file gets the usual ones.
  mode_t new_file_mode() const {
    struct stat existing {};
    if (::stat(path_.c_str(), &existing) == 0) return existing.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
  }

  std::string path_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

template <class WriteRow>
void write_rows(const std::string& path, const Matrix& rows, WriteRow write_row) {
  AtomicFile file(path);
  std::string buffer;
  buffer.reserve(kFlushBytes + 4096);
  std::vector<double> row(rows.cols());
  for (std::size_t i = 0; i < rows.rows(); ++i) {
    auto source = rows.row(i);
    std::copy(source.begin(), source.end(), row.begin());
    write_row(buffer, std::span<double>(row));
    if (buffer.size() >= kFlushBytes) file.write(buffer);
  }
  file.write(buffer);
  file.commit();
}

}  // namespace

void write_dataset(const std::string& path, const Matrix& rows, const RowTransform& transform) {
  write_rows(path, rows, [&](std::string& out, std::span<double> row) {
    if (transform) transform(row);
    std::size_t used = out.size();
    out.resize(used + row.size() * (kMaxG + 1) + 2);
    char* p = out.data() + used;
    for (double v : row) {
      p = write_g(p, v);
      *p++ = ' ';
    }
    *p++ = ' ';
    *p++ = '\n';
    out.resize(static_cast<std::size_t>(p - out.data()));
  });
}

void write_exact(const std::string& path, const Matrix& rows) {
  write_rows(path, rows, [](std::string& out, std::span<double> row) {
    for (std::size_t j = 0; j < row.size(); ++j) {
      if (j) out += ' ';
      double v = row[j];
      if (!std::isfinite(v)) {
        out += non_finite_text(v);
        continue;
      }
      char text[32];
      auto result = std::to_chars(text, text + sizeof text, v);
      out.append(text, result.ptr);
    }
    out += '\n';
  });
}

}  // namespace dg
