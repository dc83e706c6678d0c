#include "input/tps_scan.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/text_input.hpp"
#include "morpho/centsize.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

// Larger counts cannot be met by any file; the bound keeps 2 * count exact.
constexpr double kMaxCount = 1e12;
constexpr std::size_t kExcerptLength = 40;

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

const char* skip_space(const char* p, const char* end) {
  while (p != end && is_space(*p)) ++p;
  return p;
}

// A number that fills its whole white-space separated token, so that "12abc"
// or "INFO=" are text, not numbers. Returns its end or nullptr.
const char* number_token(const char* p, const char* end, double& value) {
  const char* e = parse_number(p, end, value);
  if (e == nullptr || (e != end && !is_space(*e))) return nullptr;
  return e;
}

// The '=' of the first L M = (either letter case) that starts at or after
// `from`, or nullptr. A character that breaks a partial match may start the
// next one, so LLM= is found; LM3= and "LM =" are not keywords. When
// `scale_eq` is given, the '=' of the first L E = standing before that keyword
// is recorded there (it ends SCALE=).
const char* find_keyword(const char* from, const char* end, const char** scale_eq) {
  const char* p = from;
  while (p != end) {
    const char* eq = static_cast<const char*>(std::memchr(p, '=', end - p));
    if (eq == nullptr) return nullptr;
    if (eq - from >= 2 && (eq[-2] | 0x20) == 'l') {
      const int second = eq[-1] | 0x20;
      if (second == 'm') return eq;
      if (second == 'e' && scale_eq != nullptr && *scale_eq == nullptr) *scale_eq = eq;
    }
    p = eq + 1;
  }
  return nullptr;
}

class TpsScanner {
 public:
  TpsScanner(std::string_view text, const std::string& file, bool with_scale, bool size_column)
      : begin_(text.data()),
        end_(text.data() + text.size()),
        file_(file),
        with_scale_(with_scale),
        size_column_(size_column),
        counted_to_(begin_) {}

  TpsData run();

 private:
  // Reads numbers from p into row[0 .. limit), advancing p past the last one.
  // Returns how many were read; `stop` is where the first non-number stands.
  std::size_t read_numbers(const char*& p, double* row, std::size_t limit, const char*& stop) const;
  std::size_t count_numbers(const char* p) const;
  double read_scale(const char* eq, std::size_t specimen, const char* keyword) const;

  std::size_t line_of(const char* p) const;
  std::string where(const char* p) const;
  [[noreturn]] void fail(std::size_t specimen, const char* keyword, const std::string& what) const;
  std::string specimen_text(std::size_t specimen, const char* keyword) const;

  const char* begin_;
  const char* end_;
  const std::string& file_;
  bool with_scale_;
  bool size_column_;
  // Line numbers are counted forward from the last position asked for.
  mutable const char* counted_to_;
  mutable std::size_t line_ = 1;
};

std::size_t TpsScanner::read_numbers(const char*& p, double* row, std::size_t limit,
                                     const char*& stop) const {
  std::size_t n = 0;
  while (n < limit) {
    const char* q = skip_space(p, end_);
    const char* e = q == end_ ? nullptr : number_token(q, end_, row[n]);
    if (e == nullptr) {
      stop = q;
      return n;
    }
    ++n;
    p = e;
  }
  stop = skip_space(p, end_);
  return n;
}

std::size_t TpsScanner::count_numbers(const char* p) const {
  std::size_t n = 0;
  double value;
  for (;;) {
    p = skip_space(p, end_);
    const char* e = p == end_ ? nullptr : number_token(p, end_, value);
    if (e == nullptr) return n;
    ++n;
    p = e;
  }
}

double TpsScanner::read_scale(const char* eq, std::size_t specimen, const char* keyword) const {
  const char* nl = static_cast<const char*>(std::memchr(eq + 1, '\n', end_ - (eq + 1)));
  const char* s = eq + 1;
  const char* e = nl != nullptr ? nl : end_;
  while (s != e && is_space(*s)) ++s;
  while (e != s && is_space(e[-1])) --e;
  double factor = 0;
  if (s != e && ((*s >= '0' && *s <= '9') || *s == '+' || *s == '-' || *s == '.') &&
      parse_number(s, e, factor) == e && std::isfinite(factor)) {
    return factor;
  }
  const char* name = eq;
  while (name != begin_ && is_letter(name[-1])) --name;
  fail(specimen, keyword,
       std::string(name, eq + 1) + " on line " + std::to_string(line_of(eq)) + " holds \"" +
           std::string(s, e) + "\", which is not a single number.");
}

std::size_t TpsScanner::line_of(const char* p) const {
  if (p < counted_to_) {
    counted_to_ = begin_;
    line_ = 1;
  }
  line_ += static_cast<std::size_t>(std::count(counted_to_, p, '\n'));
  counted_to_ = p;
  return line_;
}

// "the end of the file", or the text from p to its line end (shortened) and its line.
std::string TpsScanner::where(const char* p) const {
  if (p == end_) return "the end of the file";
  const char* e = p;
  while (e != end_ && *e != '\n' && *e != '\r' &&
         e - p < static_cast<std::ptrdiff_t>(kExcerptLength))
    ++e;
  std::string excerpt(p, e);
  if (e != end_ && *e != '\n' && *e != '\r') excerpt += "...";
  return "\"" + excerpt + "\" (line " + std::to_string(line_of(p)) + ")";
}

std::string TpsScanner::specimen_text(std::size_t specimen, const char* keyword) const {
  return "\"" + file_ + "\", specimen " + std::to_string(specimen) + " (line " +
         std::to_string(line_of(keyword)) + "): ";
}

void TpsScanner::fail(std::size_t specimen, const char* keyword, const std::string& what) const {
  raise(specimen_text(specimen, keyword) + what);
}

TpsData TpsScanner::run() {
  TpsData out;
  const char* scale_eq = nullptr;
  const char* eq = find_keyword(begin_, end_, nullptr);
  if (eq == nullptr) raise("No LM= keyword found in \"" + file_ + "\".");

  std::vector<double> row;
  std::size_t k = 0;
  for (std::size_t specimen = 1; eq != nullptr; ++specimen) {
    const char* keyword = eq - 2;

    const char* p = skip_space(eq + 1, end_);
    double count_value = 0;
    const char* count_end = parse_number(p, end_, count_value);
    if (count_end == nullptr) {
      fail(specimen, keyword,
           "LM= is followed by no landmark count; reading stopped at " + where(p) + ".");
    }
    if (!(count_value >= 0 && count_value <= kMaxCount && std::floor(count_value) == count_value)) {
      fail(specimen, keyword,
           "\"" + std::string(p, count_end) + "\" is not a valid landmark count.");
    }
    const auto count = static_cast<std::size_t>(count_value);

    const char* nl = static_cast<const char*>(std::memchr(count_end, '\n', end_ - count_end));
    const char* line_end = nl != nullptr ? nl + 1 : end_;
    out.namelist.emplace_back(count_end, line_end);
    p = line_end;

    if (specimen == 1) {
      k = count;
      // A bogus count cannot make us allocate more than the text could hold.
      row.resize(std::min(2 * k, static_cast<std::size_t>(end_ - p) / 2 + 1));
    }
    const std::size_t width = 2 * k;
    const char* stop = nullptr;
    std::size_t n = read_numbers(p, row.data(), row.size(), stop);
    if (n == 0) {
      fail(specimen, keyword,
           "no coordinates follow LM=" + std::to_string(count) + "; reading stopped at " +
               where(stop) + ".");
    }
    if (n < width) {
      fail(specimen, keyword,
           "found " + std::to_string(n) + " numbers where " + std::to_string(width) +
               " were expected (" + std::to_string(k) + " landmarks); reading stopped at " +
               where(stop) + ".");
    }

    // Numbers that go on past the ones the specimen's own count announces mean
    // the data are not x y pairs (3-D files hold x y z per landmark).
    const std::size_t announced = 2 * count;
    double skipped;
    while (n < announced) {
      const char* q = skip_space(p, end_);
      const char* e = q == end_ ? nullptr : number_token(q, end_, skipped);
      if (e == nullptr) break;
      ++n;
      p = e;
    }
    if (n > announced || (n == announced && count_numbers(p) > 0)) {
      const std::size_t held = n + count_numbers(p);
      fail(specimen, keyword,
           "holds " + std::to_string(held) + " numbers where LM=" + std::to_string(count) +
               " announces " + std::to_string(announced) + " (x and y of each landmark)" +
               (held == 3 * count ? "; it may be 3-D data." : "."));
    }
    if (count != k) {
      out.warnings.push_back(specimen_text(specimen, keyword) + "LM=" + std::to_string(count) +
                             " differs from the first specimen's LM=" + std::to_string(k) +
                             "; its first " + std::to_string(k) + " landmarks are kept.");
    }

    scale_eq = nullptr;
    eq = find_keyword(p, end_, with_scale_ ? &scale_eq : nullptr);
    if (with_scale_) {
      if (scale_eq == nullptr) {
        fail(specimen, keyword,
             std::string("no SCALE= follows its coordinates before ") +
                 (eq != nullptr ? "the next LM= (line " + std::to_string(line_of(eq)) + ")"
                                : std::string("the end of the file")) +
                 ".");
      }
      const double factor = read_scale(scale_eq, specimen, keyword);
      for (double& v : row) v *= factor;
    }

    if (size_column_) {
      // The size is computed while the row is at hand, so the matrix is built once.
      row.push_back(centsize(std::span<const double>(row)));
      out.coordinates.append_row(row);
      row.pop_back();
    } else {
      out.coordinates.append_row(row);
    }
    if (specimen == 1 && eq != nullptr) {
      // Later blocks are about as long as the first one. A quarter more room
      // keeps a slightly short first block from forcing a copy of the whole
      // matrix; room never written costs no memory.
      const auto block = static_cast<std::size_t>(eq - 2 - keyword);
      const std::size_t rows = static_cast<std::size_t>(end_ - keyword) / block * 5 / 4 + 1;
      out.coordinates.reserve_rows(rows);
      out.namelist.reserve(rows);
      advise_huge_pages(out.coordinates.data(), rows * out.coordinates.cols() * sizeof(double));
    }
  }
  return out;
}

}  // namespace

TpsData read_tps(std::string_view text, const std::string& file, bool with_scale,
                 bool size_column) {
  return TpsScanner(text, file, with_scale, size_column).run();
}

TpsData read_tps_file(const std::string& path, bool with_scale, bool size_column) {
  FileText text;
  if (std::string reason; !read_whole_file(path, text, reason)) {
    raise("Error on file open: \"" + path + "\" (" + reason + ")");
  }
  return read_tps(text.view(), path, with_scale, size_column);
}

}  // namespace dg
