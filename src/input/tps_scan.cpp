#include "input/tps_scan.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/excerpt.hpp"
#include "input/text_input.hpp"
#include "morpho/centsize.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

// Larger counts cannot be met by any file; the bound keeps 2 * count exact.
constexpr double kMaxCount = 1e12;
constexpr std::size_t kExcerptLength = 40;
// Differing LM= counts are listed one by one up to this many, then summed up.
constexpr std::size_t kListedMismatches = 3;

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

// Whether the `length` letters before `eq` spell `word` (lower case) in any
// letter case, as a whole word that starts its line after optional blanks.
bool keyword_before(const char* eq, std::size_t length, const char* word, const char* begin) {
  if (static_cast<std::size_t>(eq - begin) < length) return false;
  const char* w = eq - length;
  for (std::size_t i = 0; i < length; ++i) {
    if ((w[i] | 0x20) != word[i]) return false;
  }
  while (w != begin && (w[-1] == ' ' || w[-1] == '\t')) --w;
  return w == begin || w[-1] == '\n' || w[-1] == '\r';
}

// The '=' of the first LM= (any letter case) at or after `from` that stands
// as a whole word at the start of a line, after optional blanks; nullptr when
// there is none. "LLM=", "ALM=", "LM3=" and "LM =" are not keywords. When
// `scale_eq` is given, the '=' of the first SCALE= keyword standing before
// that LM= is recorded there.
const char* find_keyword(const char* from, const char* end, const char* begin,
                         const char** scale_eq) {
  const char* p = from;
  while (p != end) {
    const char* eq = static_cast<const char*>(std::memchr(p, '=', end - p));
    if (eq == nullptr) return nullptr;
    if (keyword_before(eq, 2, "lm", begin)) return eq;
    if (scale_eq != nullptr && *scale_eq == nullptr && keyword_before(eq, 5, "scale", begin)) {
      *scale_eq = eq;
    }
    p = eq + 1;
  }
  return nullptr;
}

std::string landmarks_text(std::size_t n) {
  return n == 1 ? "landmark" : std::to_string(n) + " landmarks";
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
  void warn_mismatches(TpsData& out, std::size_t k) const;

  std::size_t line_of(const char* p) const;
  std::string where(const char* p) const;
  [[noreturn]] void fail(std::size_t specimen, const char* keyword, const std::string& what) const;
  std::string specimen_text(std::size_t specimen, const char* keyword) const;

  const char* begin_;
  const char* end_;
  const std::string& file_;
  bool with_scale_;
  bool size_column_;
  // The specimen being read, for messages about its numbers.
  std::size_t specimen_ = 0;
  const char* keyword_ = nullptr;
  // Specimens whose LM= count differs from the first one's: how many, and
  // the first few with their own warning.
  std::size_t mismatches_ = 0;
  std::vector<std::string> listed_;
  std::vector<std::string> listed_places_;
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
    if (std::isinf(row[n]) && overflows(q, e)) {
      fail(specimen_, keyword_,
           excerpt(q, e, kExcerptLength) + " on line " + std::to_string(line_of(q)) +
               " is too large for a number.");
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
  const char* s = eq + 1;
  const char* e = line_end(s, end_);
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
       std::string(name, eq + 1) + " on line " + std::to_string(line_of(eq)) + " holds " +
           excerpt(s, e, kExcerptLength) + ", which is not a single number.");
}

std::size_t TpsScanner::line_of(const char* p) const {
  if (p < counted_to_) {
    counted_to_ = begin_;
    line_ = 1;
  }
  line_ += count_line_ends(counted_to_, p, end_);
  counted_to_ = p;
  return line_;
}

// "the end of the file", or the text from p to its line end (shortened) and its line.
std::string TpsScanner::where(const char* p) const {
  if (p == end_) return "the end of the file";
  const char* e = line_end(p, std::min(end_, p + kExcerptLength + 1));
  return excerpt(p, e, kExcerptLength) + " (line " + std::to_string(line_of(p)) + ")";
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
  const char* eq = find_keyword(begin_, end_, begin_, nullptr);
  if (eq == nullptr) raise("No LM= keyword found in \"" + file_ + "\".");

  std::vector<double> row;
  std::size_t k = 0;
  for (std::size_t specimen = 1; eq != nullptr; ++specimen) {
    const char* keyword = eq - 2;
    specimen_ = specimen;
    keyword_ = keyword;

    const char* p = skip_space(eq + 1, end_);
    double count_value = 0;
    const char* count_end = parse_number(p, end_, count_value);
    if (count_end == nullptr) {
      fail(specimen, keyword,
           "LM= is followed by no landmark count; reading stopped at " + where(p) + ".");
    }
    if (!(count_value >= 0 && count_value <= kMaxCount && std::floor(count_value) == count_value)) {
      fail(specimen, keyword,
           excerpt(p, count_end, kExcerptLength) + " is not a valid landmark count.");
    }
    const auto count = static_cast<std::size_t>(count_value);

    p = past_line_end(line_end(count_end, end_), end_);
    out.namelist.emplace_back(count_end, p);

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
    if (count != k && ++mismatches_ <= kListedMismatches) {
      std::string what = specimen_text(specimen, keyword) + "LM=" + std::to_string(count) +
                         " differs from the first specimen's LM=" + std::to_string(k);
      if (n < announced) {
        what += ", and only " + std::to_string(n) + " of its " + std::to_string(announced) +
                " numbers follow it";
      }
      listed_.push_back(what + "; its first " + landmarks_text(k) +
                        (k == 1 ? " is kept." : " are kept."));
      listed_places_.push_back(std::to_string(specimen) + " (line " +
                               std::to_string(line_of(keyword)) + ")");
    }

    scale_eq = nullptr;
    eq = find_keyword(p, end_, begin_, with_scale_ ? &scale_eq : nullptr);
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
  warn_mismatches(out, k);
  return out;
}

// One warning per specimen with a differing count when there are few; a file
// with many gets one line that counts them and names the first few.
void TpsScanner::warn_mismatches(TpsData& out, std::size_t k) const {
  if (mismatches_ <= kListedMismatches) {
    out.warnings = listed_;
    return;
  }
  std::string places;
  for (std::size_t i = 0; i < listed_places_.size(); ++i) {
    places += (i == 0 ? "" : i + 1 == listed_places_.size() ? " and " : ", ") + listed_places_[i];
  }
  out.warnings.push_back("\"" + file_ + "\": " + std::to_string(mismatches_) +
                         " specimens have an LM= count that differs from the first specimen's LM=" +
                         std::to_string(k) + ", the first of them specimens " + places +
                         "; the first " + landmarks_text(k) + " of each " +
                         (k == 1 ? "is" : "are") + " kept.");
}

}  // namespace

TpsData read_tps(std::string_view text, const std::string& file, bool with_scale,
                 bool size_column) {
  text = skip_byte_order_mark(text);
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
