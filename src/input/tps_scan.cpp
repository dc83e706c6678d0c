#include "input/tps_scan.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "runtime/array/excerpt.hpp"
#include "input/text_input.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

// Larger counts cannot be met by any file; the bound keeps 2 * count exact.
constexpr double kMaxCount = 1e12;
constexpr std::size_t kExcerptLength = 40;
// Differing LM= counts are listed one by one up to this many, then summed up.
constexpr std::size_t kListedMismatches = 3;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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

// Whether the token at p is NA, the usual mark of a missing value.
bool na_token(const char* p, const char* end) {
  return end - p >= 2 && p[0] == 'N' && p[1] == 'A' && (end - p == 2 || is_space(p[2]));
}

enum class Key { None, Lm, Lm3, Scale, Id, Image, Comment, Variables, Curves, Points };

// LM= and LM3= (x y z per landmark) both start a specimen.
bool starts_specimen(Key key) {
  return key == Key::Lm || key == Key::Lm3;
}

// The first letter of the keyword whose '=' is at eq, an LM= or LM3= keyword.
const char* keyword_start(const char* eq) {
  return eq[-1] == '3' ? eq - 3 : eq - 2;
}

// A keyword's letters in lower case, its last letter in the lowest byte
// (only its last eight letters are kept).
consteval std::uint64_t packed(std::string_view word) {
  std::uint64_t v = 0;
  for (char c : word.substr(word.size() > 8 ? word.size() - 8 : 0)) {
    v = v << 8 | static_cast<unsigned char>(c);
  }
  return v;
}

// The keyword whose '=' is at eq: the letters before it, in any letter case,
// as a whole word that starts its line after optional blanks; LM3= is the one
// keyword with a digit. "LLM=", "ALM=", "LM3D=" and "LM =" are no keywords,
// nor is the second word of "IMAGE=IMAGE=".
// Every '=' of a file comes here, so the word is compared as one number.
Key keyword_at(const char* eq, const char* begin) {
  constexpr std::ptrdiff_t kLongest = 9;  // "variables"
  if (eq - begin >= 3 && eq[-1] == '3' && (eq[-2] | 0x20) == 'm' && (eq[-3] | 0x20) == 'l') {
    const char* s = eq - 3;
    while (s != begin && (s[-1] == ' ' || s[-1] == '\t')) --s;
    return s == begin || s[-1] == '\n' || s[-1] == '\r' ? Key::Lm3 : Key::None;
  }
  std::uint64_t last8 = 0;
  char first = 0;
  std::ptrdiff_t length = 0;
  for (const char* w = eq; w != begin && is_letter(w[-1]); --w, ++length) {
    if (length == kLongest) return Key::None;
    const auto c = static_cast<unsigned char>(w[-1] | 0x20);
    if (length < 8) {
      last8 |= std::uint64_t{c} << (8 * length);
    } else {
      first = static_cast<char>(c);
    }
  }
  if (length < 2) return Key::None;
  const char* s = eq - length;
  while (s != begin && (s[-1] == ' ' || s[-1] == '\t')) --s;
  if (s != begin && s[-1] != '\n' && s[-1] != '\r') return Key::None;
  switch (length) {
    case 2:
      return last8 == packed("lm") ? Key::Lm : last8 == packed("id") ? Key::Id : Key::None;
    case 5:
      return last8 == packed("scale")   ? Key::Scale
             : last8 == packed("image") ? Key::Image
                                        : Key::None;
    case 6:
      return last8 == packed("curves")   ? Key::Curves
             : last8 == packed("points") ? Key::Points
                                         : Key::None;
    case 7:
      return last8 == packed("comment") ? Key::Comment : Key::None;
    case 9:
      return first == 'v' && last8 == packed("variables") ? Key::Variables : Key::None;
    default:
      return Key::None;
  }
}

// The '=' of the first LM= keyword at or after `from`, or nullptr.
const char* next_lm(const char* from, const char* end, const char* begin) {
  for (const char* p = from; p != end; ++p) {
    p = static_cast<const char*>(std::memchr(p, '=', end - p));
    if (p == nullptr) return nullptr;
    if (starts_specimen(keyword_at(p, begin))) return p;
  }
  return nullptr;
}

// The rest of the keyword's line, without blanks, tabs and CR at either end.
std::string_view value_after(const char* eq, const char* end) {
  const char* s = eq + 1;
  const char* e = line_end(s, end);
  while (s != e && (*s == ' ' || *s == '\t')) ++s;
  while (e != s && (e[-1] == ' ' || e[-1] == '\t')) --e;
  return {s, static_cast<std::size_t>(e - s)};
}

std::string landmarks_text(std::size_t n) {
  return n == 1 ? "landmark" : std::to_string(n) + " landmarks";
}

std::string points_text(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " point" : " points");
}

// A count after a keyword: a whole number from 0 to kMaxCount. Returns its end
// or nullptr.
const char* read_count(const char* p, const char* end, std::size_t& count) {
  double value = 0;
  const char* e = parse_number(p, end, value);
  if (e == nullptr || !(value >= 0 && value <= kMaxCount && std::floor(value) == value)) {
    return nullptr;
  }
  count = static_cast<std::size_t>(value);
  return e;
}

// The start of the last line in [b, e) that follows a whole line end (a CR at
// e - 1 may still be the first half of CR LF), or b.
const char* last_line_start(const char* b, const char* e) {
  for (const char* p = e - 1; p > b; --p) {
    if (p[-1] == '\n' || (p[-1] == '\r' && *p != '\n')) return p;
  }
  return b;
}

// A piece of a text held in memory: all of a text in memory, or a window of
// a source's bytes that moves on through it. A window always starts at a line
// start, so that keywords in it are told from other words without looking
// back; it grows when it has to keep more than half of what it holds.
class Window {
 public:
  explicit Window(std::string_view text)
      : begin_(text.data()), end_(text.data() + text.size()), at_end_(true) {}
  Window(const TpsSource& source, std::uint64_t offset, std::uint64_t stop, std::size_t capacity)
      : source_(&source),
        buffer_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(capacity, 2))),
        capacity_(std::max<std::size_t>(capacity, 2)),
        start_(offset),
        stop_(stop) {
    begin_ = end_ = buffer_.get();
    fill(0);
  }

  const char* begin() const { return begin_; }
  const char* end() const { return end_; }
  // Whether the window reaches the end of the text.
  bool at_end() const { return at_end_; }
  std::uint64_t offset_of(const char* p) const {
    return start_ + static_cast<std::uint64_t>(p - begin_);
  }

  // Drops the bytes before `keep` and reads on after the rest.
  void advance(const char* keep) {
    const auto kept = static_cast<std::size_t>(end_ - keep);
    start_ += static_cast<std::uint64_t>(keep - begin_);
    if (kept > capacity_ / 2) {
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
      std::memcpy(bigger.get(), keep, kept);
      buffer_ = std::move(bigger);
      capacity_ *= 2;
    } else {
      std::memmove(buffer_.get(), keep, kept);
    }
    fill(kept);
  }

 private:
  void fill(std::size_t kept) {
    const std::uint64_t from = start_ + kept;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - kept, stop_ - from));
    const std::size_t got = source_->read(from, buffer_.get() + kept, wanted);
    begin_ = buffer_.get();
    end_ = begin_ + kept + got;
    // A file cut short since it was surveyed ends here too.
    at_end_ = got < wanted || from + got == stop_;
  }

  const TpsSource* source_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::uint64_t start_ = 0;  // the source offset of begin_
  std::uint64_t stop_ = 0;   // the end of the text in the source
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  bool at_end_ = false;
};

// An LM= line where a share of the specimens starts: its offset in the
// source, the specimen's 0-based number, its line, and the most bytes the
// records' values before it can take.
struct Cut {
  std::uint64_t offset = 0;
  std::size_t specimen = 0;
  std::size_t line = 0;
  std::size_t values = 0;
};

// What the first pass over a text finds: how many specimens it holds, the
// most bytes their records' values can take, and with `cut_every`, the line
// ends it holds and cuts: at the second specimen, then at the first LM= line
// at least that many bytes after the previous cut.
struct Survey {
  std::size_t specimens = 0;
  std::size_t values = 0;
  std::size_t lines = 0;
  std::vector<Cut> cuts;
};

// Whether [b, e), the start of a line that goes on beyond e, may yet start a
// keyword whose '=' lies beyond e: blanks, then no more letters than a
// keyword has, or LM3 without its '='. Any other line holds no keyword
// after e, since a keyword starts its line.
bool keyword_may_follow(const char* b, const char* e) {
  while (b != e && (*b == ' ' || *b == '\t')) ++b;
  const char* w = b;
  while (w != e && is_letter(*w)) ++w;
  if (w == e) return w - b <= 9;  // "variables"
  return w - b == 2 && *w == '3' && w + 1 == e && (b[0] | 0x20) == 'l' && (b[1] | 0x20) == 'm';
}

// Reads on past the end of the line the window is in, keeping none of the
// line, so that a line longer than the window is never held whole. Returns
// whether a line end was passed (false: the text ended first); the window
// then starts the next line.
bool skip_line(Window& window) {
  for (;;) {
    const char* q = line_end(window.begin(), window.end());
    if (q == window.end()) {
      if (window.at_end()) return false;
      window.advance(q);
    } else if (*q == '\r' && q + 1 == window.end() && !window.at_end()) {
      window.advance(q);  // the first half of CR LF, perhaps
    } else {
      window.advance(past_line_end(q, window.end()));
      return true;
    }
  }
}

// The first pass: finds every LM= keyword by the rule the reading follows
// (every specimen starts at one, and each block ends at the next one), so the
// matrix, the records and their values are allocated once at their final
// size. It looks at the lines that start before offset `to` (all with
// kWholeText); a window's last line is looked at in the next one, whole,
// unless it is longer than the window: then only its start is looked at, as
// only there can it hold a keyword, and the rest is read past. Memory stays
// within the window (and a keyword's letters) however long a line is.
// `first` says whether the window starts the text: a later part of it may cut
// at its first LM= line.
constexpr std::uint64_t kWholeText = UINT64_MAX;
Survey survey(Window& window, std::uint64_t to, std::uint64_t cut_every, bool first = true) {
  Survey out;
  std::uint64_t next_cut = 0;
  const char* counted = window.begin();
  // The window starts inside a line, after blanks of it that were dropped.
  bool inside = false;
  // The keywords whose '=' lies in [b, limit); e ends the window.
  const auto keywords = [&](const char* b, const char* limit, const char* e) {
    for (const char* p = b; p != limit; ++p) {
      p = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(limit - p)));
      if (p == nullptr) break;
      const Key key = keyword_at(p, b);
      if (key == Key::Id || key == Key::Image || key == Key::Scale || key == Key::Comment ||
          key == Key::Variables) {
        out.values += value_after(p, e).size();
      }
      if (!starts_specimen(key)) continue;
      if (cut_every != 0 && (out.specimens >= 1 || !first)) {
        const char* start = keyword_start(p);
        while (start != b && (start[-1] == ' ' || start[-1] == '\t')) --start;
        // A share starts at the start of an LM= line, which must be at hand.
        if (window.offset_of(start) >= next_cut && !(inside && start == b)) {
          out.lines += count_line_ends(counted, start, e);
          counted = start;
          out.cuts.push_back({window.offset_of(start), out.specimens, out.lines + 1, out.values});
          next_cut = window.offset_of(start) + cut_every;
        }
      }
      ++out.specimens;
    }
  };
  for (;;) {
    const char* b = window.begin();
    const char* e = window.end();
    const char* limit = window.at_end() ? e : last_line_start(b, e);
    bool last = window.at_end();
    if (to != kWholeText && (limit != b || !inside) && window.offset_of(limit) >= to) {
      // The first line start at or after `to`: no later than `limit`.
      const char* l =
          b + static_cast<std::size_t>(to > window.offset_of(b) ? to - window.offset_of(b) : 0);
      if (inside && l == b) ++l;  // b starts no line
      while (l != b && l < limit && !(l[-1] == '\n' || (l[-1] == '\r' && *l != '\n'))) ++l;
      limit = l;
      last = true;
    }
    if (limit == b && !last) {
      // The window holds the start of one line only (perhaps up to a CR).
      const char* word = b;
      while (word != e && (*word == ' ' || *word == '\t')) ++word;
      if (keyword_may_follow(b, e)) {
        // Its keyword is yet to come: the blanks before it are let go.
        inside = inside || word != b;
        window.advance(word);
      } else {
        // Its keyword, if any, is at hand, and its one line end is counted
        // as it is passed.
        keywords(b, e, e);
        const bool more = skip_line(window);
        if (cut_every != 0 && more) ++out.lines;
        inside = false;
        if (!more) return out;
      }
      counted = window.begin();
      continue;
    }
    keywords(b, limit, e);
    if (cut_every != 0) out.lines += count_line_ends(counted, limit, e);
    if (last) return out;
    window.advance(limit);
    inside = false;
    counted = window.begin();
  }
}

// The first pass in parts on the threads, each over the lines that start in
// its share of the bytes; the parts' counts are then added up in order. A
// part after the first starts at least a byte into the text, since the byte
// before it tells whether a line starts there: a text of fewer bytes than
// threads has fewer parts.
Survey survey_on_threads(const TpsSource& source, std::uint64_t start, std::uint64_t stop,
                         std::size_t window, std::uint64_t cut_every) {
  const auto parts =
      static_cast<std::size_t>(std::clamp<std::uint64_t>(stop - start, 1, thread_count()));
  std::vector<Survey> found(parts);
  const auto at = [&](std::size_t part) { return start + (stop - start) * part / parts; };
  parallel_blocks(parts, 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t part = begin; part < end; ++part) {
      const std::uint64_t from = at(part);
      const std::uint64_t to = part + 1 == parts ? kWholeText : at(part + 1);
      if (part == 0) {
        Window text(source, from, stop, window);
        found[part] = survey(text, to, cut_every);
        continue;
      }
      // From the first line start at or after `from`, found with one byte before it.
      Window text(source, from - 1, stop, window);
      for (;;) {
        const char* l = text.begin() + 1;
        while (l < text.end() && !(l[-1] == '\n' || (l[-1] == '\r' && *l != '\n'))) ++l;
        if (l < text.end()) {
          if (to != kWholeText && text.offset_of(l) >= to) break;  // no line starts here
          text.advance(l);
          found[part] = survey(text, to, cut_every, false);
          break;
        }
        if (text.at_end()) break;
        text.advance(text.end() - 1);
      }
    }
  });
  Survey all;
  for (Survey& part : found) {
    for (Cut cut : part.cuts) {
      cut.specimen += all.specimens;
      cut.line += all.lines;
      cut.values += all.values;
      if (cut.specimen != 0) all.cuts.push_back(cut);
    }
    all.specimens += part.specimens;
    all.values += part.values;
    all.lines += part.lines;
  }
  return all;
}

class TpsScanner {
 public:
  // Reads the text of `window` into `out`, which gets `rows` rows; the
  // window's first line is line `first_line` of the file.
  TpsScanner(Window& window, std::size_t first_line, const std::string& file,
             const TpsOptions& options, RowSize size_of, std::size_t rows)
      : window_(&window), file_(file), options_(options), size_of_(size_of), rows_(rows) {
    look_at(first_line);
  }

  // A scanner for a later share of the specimens, read in `window`, after
  // this one has read the first specimen.
  std::unique_ptr<TpsScanner> share(Window& window, std::size_t first_line) const {
    auto part = std::make_unique<TpsScanner>(window, first_line, file_, options_, size_of_, rows_);
    part->k_ = k_;
    part->first_points_ = first_points_;
    part->dims_ = dims_;
    part->lm3_ = lm3_;
    return part;
  }

  const char* begin() const { return begin_; }
  void reserve_values(std::size_t bytes) { values_.reserve(bytes); }
  std::uint64_t offset_of(const char* p) const { return window_->offset_of(p); }
  // The '=' of the first LM= keyword from `from` on, reading on as needed.
  const char* find_lm(const char* from);
  // Reads specimens first .. last - 1 (numbered from 1), the first one's
  // LM= at eq; returns the '=' of the next LM=, or nullptr at the end.
  template <bool Missing>
  const char* read_specimens(const char* eq, std::size_t first, std::size_t last, TpsData& out);
  // Takes in what a share read: its records' values, warnings and counts.
  void absorb(TpsScanner& part, TpsData& out, std::size_t first, std::size_t last);
  // The records' shared text and the warnings, once every specimen is read.
  template <bool Missing>
  void finish(TpsData& out);
  [[noreturn]] void changed() const;

 private:
  // Takes in the window's text, whose first line is `first_line`.
  void look_at(std::size_t first_line);
  // The specimen's keyword at eq, in the window with its block, which ends
  // at the next LM= line (that line included, as messages may quote it).
  const char* whole_block(const char* eq);
  template <bool Missing>
  const char* read_specimen(const char* eq, std::size_t specimen, TpsData& out);
  void place_row(std::size_t specimen, std::vector<double>& row, TpsData& out);

  // Reads numbers from p into row[0 .. limit), advancing p past the last one.
  // Returns how many were read; `stop` is where the first non-number stands.
  template <bool Missing>
  std::size_t read_numbers(const char*& p, double* row, std::size_t limit, const char*& stop) const;
  template <bool Missing>
  std::size_t count_numbers(const char* p) const;
  // Reads the keywords between a specimen's coordinates at p and the next
  // LM= (whose '=' it returns): the record's values, the scale keyword's '='
  // and, with options_.curves, the curve points appended to row.
  template <bool Missing>
  const char* read_block(const char* p, SpecimenRecord& record, const char*& scale_eq,
                         std::vector<double>& row);
  template <bool Missing>
  const char* read_curve(const char* points_eq, std::vector<double>& row);
  double read_scale(const char* eq, std::size_t specimen, const char* keyword) const;
  void mark_missing(std::vector<double>& row);
  void warn_mismatches(TpsData& out, std::size_t k) const;
  void warn_curves(TpsData& out) const;
  void warn_missing(TpsData& out) const;

  std::size_t line_of(const char* p) const;
  std::string where(const char* p) const;
  [[noreturn]] void fail(std::size_t specimen, const char* keyword, const std::string& what) const;
  [[noreturn]] void fail_short(std::size_t specimen, const char* keyword, const char* stop,
                               const std::string& what) const;
  std::string specimen_text(std::size_t specimen, const char* keyword, bool with_id) const;

  Window* window_;
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  // Before it the window holds every block with the LM= line after it.
  const char* safe_ = nullptr;
  const std::string& file_;
  std::string values_;  // the records' values, shared by them once the file is read
  const TpsOptions& options_;
  RowSize size_of_;
  std::size_t rows_;   // specimens in the text
  std::size_t k_ = 0;  // the first specimen's landmark count
  // Coordinates per landmark: 3 when the first specimen starts with LM3= or
  // the options ask for 3-D, else 2; and whether specimens start with LM3=.
  std::size_t dims_ = 2;
  bool lm3_ = false;
  std::vector<double> row_;  // the specimen being read
  // The specimen being read, for messages about its numbers.
  std::size_t specimen_ = 0;
  const char* keyword_ = nullptr;
  // Specimens whose LM= count differs from the first one's: how many, and
  // the first few with their own warning.
  std::size_t mismatches_ = 0;
  std::vector<std::string> listed_;
  std::vector<std::string> listed_places_;
  // Curves: specimens that carry them, the fewest and most points of one, and
  // with options_.curves the points every specimen must have (the first's).
  std::size_t curve_specimens_ = 0;
  std::size_t fewest_points_ = 0;
  std::size_t most_points_ = 0;
  std::size_t block_points_ = 0;
  std::size_t first_points_ = 0;
  // Missing values: the specimens with a missing landmark, and which
  // landmarks were missing.
  std::size_t incomplete_ = 0;
  std::vector<bool> missing_landmarks_;
  // Each column's extremes as written, for coordinates that look like a
  // missing-value code.
  SlotExtremes extremes_;
  // Line numbers are counted forward from the last position asked for; the
  // window starts on line first_line_.
  std::size_t first_line_ = 1;
  mutable const char* counted_to_ = nullptr;
  mutable std::size_t line_ = 1;
};

void TpsScanner::look_at(std::size_t first_line) {
  begin_ = window_->begin();
  end_ = window_->end();
  first_line_ = line_ = first_line;
  counted_to_ = begin_;
  safe_ = begin_;
  if (window_->at_end()) {
    safe_ = end_;
    return;
  }
  for (const char* p = end_; p != begin_; --p) {
    if (p[-1] == '=' && starts_specimen(keyword_at(p - 1, begin_)) && line_end(p, end_) != end_) {
      safe_ = p - 1;
      return;
    }
  }
}

const char* TpsScanner::find_lm(const char* from) {
  for (;;) {
    if (const char* eq = next_lm(from, end_, begin_)) return eq;
    if (window_->at_end()) return nullptr;
    const char* keep = last_line_start(begin_, end_);
    std::size_t line = line_of(keep);
    if (keep == begin_) {
      // The window holds the start of one line only: its blanks are let go
      // while an LM= may follow them, and the rest of any other line is
      // read past, so that a long line is never held whole.
      while (keep != end_ && (*keep == ' ' || *keep == '\t')) ++keep;
      if (!keyword_may_follow(keep, end_)) {
        const bool more = skip_line(*window_);
        look_at(more ? line + 1 : line);
        if (!more) return nullptr;
        from = begin_;
        continue;
      }
    }
    const auto seen = static_cast<std::size_t>(end_ - keep);
    window_->advance(keep);
    look_at(line);
    from = begin_ + seen;
  }
}

const char* TpsScanner::whole_block(const char* eq) {
  while (eq >= safe_ && !window_->at_end()) {
    const char* keep = keyword_start(eq);
    while (keep != begin_ && (keep[-1] == ' ' || keep[-1] == '\t')) --keep;
    const auto at = static_cast<std::size_t>(eq - keep);
    const std::size_t line = line_of(keep);
    window_->advance(keep);
    look_at(line);
    eq = begin_ + at;
  }
  return eq;
}

void TpsScanner::changed() const {
  raise("\"" + file_ + "\" changed while it was read; read it again.");
}

template <bool Missing>
std::size_t TpsScanner::read_numbers(const char*& p, double* row, std::size_t limit,
                                     const char*& stop) const {
  // Line ends are counted in passing, as every byte between the numbers is
  // looked at here anyway; line_of then need not count the coordinates again.
  const char* from = p;
  std::size_t lines = 0;
  const auto passed = [&](const char* at) {
    if (counted_to_ == from) {
      counted_to_ = at;
      line_ += lines;
    }
  };
  std::size_t n = 0;
  while (n < limit) {
    const char* q = p;
    for (; q != end_ && is_space(*q); ++q) {
      lines += *q == '\n' ? 1 : 0;
      if (*q == '\r' && (q + 1 == end_ || q[1] != '\n')) ++lines;
    }
    const char* e = q == end_ ? nullptr : number_token(q, end_, row[n]);
    if (e == nullptr) {
      if (Missing && na_token(q, end_)) {
        row[n++] = kNaN;
        p = q + 2;
        continue;
      }
      passed(q);
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
  passed(p);
  stop = skip_space(p, end_);
  return n;
}

template <bool Missing>
std::size_t TpsScanner::count_numbers(const char* p) const {
  std::size_t n = 0;
  double value;
  for (;;) {
    p = skip_space(p, end_);
    const char* e = p == end_ ? nullptr : number_token(p, end_, value);
    if (e == nullptr) {
      if (!(Missing && na_token(p, end_))) return n;
      e = p + 2;
    }
    ++n;
    p = e;
  }
}

template <bool Missing>
const char* TpsScanner::read_block(const char* p, SpecimenRecord& record, const char*& scale_eq,
                                   std::vector<double>& row) {
  const char* curves_eq = nullptr;
  std::size_t curves = 0;
  std::size_t curve_blocks = 0;
  block_points_ = 0;
  const char* next = nullptr;
  while (next == nullptr) {
    const char* eq = static_cast<const char*>(std::memchr(p, '=', end_ - p));
    if (eq == nullptr) break;
    p = eq + 1;
    switch (keyword_at(eq, begin_)) {
      case Key::None:
        break;
      case Key::Lm:
      case Key::Lm3:
        next = eq;
        break;
      case Key::Scale:
        if (scale_eq == nullptr) {
          scale_eq = eq;
          record.set(SpecimenRecord::Scale, values_, value_after(eq, end_));
        }
        break;
      case Key::Id:
        record.set(SpecimenRecord::Id, values_, value_after(eq, end_));
        break;
      case Key::Image:
        record.set(SpecimenRecord::Image, values_, value_after(eq, end_));
        break;
      case Key::Comment:
        record.set(SpecimenRecord::Comment, values_, value_after(eq, end_));
        break;
      case Key::Variables:
        record.set(SpecimenRecord::Variables, values_, value_after(eq, end_));
        break;
      case Key::Curves:
        if (curves_eq == nullptr) {
          curves_eq = eq;
          if (read_count(skip_space(eq + 1, end_), end_, curves) == nullptr) {
            if (options_.curves) {
              fail(specimen_, keyword_,
                   "CURVES= on line " + std::to_string(line_of(eq)) + " holds " +
                       excerpt(eq + 1, line_end(eq + 1, end_), kExcerptLength) +
                       ", which is not a curve count.");
            }
            curves = 0;
          }
        }
        break;
      case Key::Points:
        // Point lists count only as the curves a CURVES= keyword announced.
        if (curves_eq == nullptr) break;
        ++curve_blocks;
        if (options_.curves) {
          p = read_curve<Missing>(eq, row);
        } else if (std::size_t m = 0; read_count(skip_space(eq + 1, end_), end_, m) != nullptr) {
          block_points_ += m;
        }
        break;
    }
  }
  if (curves_eq != nullptr) {
    if (options_.curves && curve_blocks != curves) {
      fail(specimen_, keyword_,
           "CURVES=" + std::to_string(curves) + " on line " + std::to_string(line_of(curves_eq)) +
               " announces " + std::to_string(curves) + (curves == 1 ? " curve" : " curves") +
               " where " + std::to_string(curve_blocks) +
               (curve_blocks == 1 ? " POINTS= list follows." : " POINTS= lists follow."));
    }
    if (curve_specimens_++ == 0) {
      fewest_points_ = most_points_ = block_points_;
    } else {
      fewest_points_ = std::min(fewest_points_, block_points_);
      most_points_ = std::max(most_points_, block_points_);
    }
  }
  return next;
}

template <bool Missing>
const char* TpsScanner::read_curve(const char* points_eq, std::vector<double>& row) {
  const char* p = skip_space(points_eq + 1, end_);
  std::size_t m = 0;
  const char* e = read_count(p, end_, m);
  if (e == nullptr) {
    fail(specimen_, keyword_,
         "POINTS= on line " + std::to_string(line_of(points_eq)) + " holds " +
             excerpt(points_eq + 1, line_end(points_eq + 1, end_), kExcerptLength) +
             ", which is not a point count.");
  }
  p = e;
  const std::size_t at = row.size();
  // A bogus count cannot make us allocate more than the text could hold.
  const std::size_t wanted = dims_ * m;
  row.resize(at + std::min(wanted, static_cast<std::size_t>(end_ - p) / 2 + 1));
  const char* stop = nullptr;
  const std::size_t n = read_numbers<Missing>(p, row.data() + at, row.size() - at, stop);
  const std::string announced =
      "POINTS=" + std::to_string(m) + " on line " + std::to_string(line_of(points_eq));
  if (n < wanted) {
    fail_short(specimen_, keyword_, stop,
               "found " + std::to_string(n) + " numbers where " + std::to_string(wanted) +
                   " were expected (" + announced + "); reading stopped at " + where(stop) + ".");
  }
  if (const std::size_t more = count_numbers<Missing>(p); more > 0) {
    fail(specimen_, keyword_,
         "holds " + std::to_string(n + more) + " numbers where " + announced + " announces " +
             std::to_string(wanted) + ".");
  }
  block_points_ += m;
  return p;
}

double TpsScanner::read_scale(const char* eq, std::size_t specimen, const char* keyword) const {
  const char* s = eq + 1;
  const char* e = line_end(s, end_);
  if (double factor = 0; parse_scale({s, static_cast<std::size_t>(e - s)}, factor)) return factor;
  while (s != e && is_space(*s)) ++s;
  while (e != s && is_space(e[-1])) --e;
  const char* name = eq;
  while (name != begin_ && is_letter(name[-1])) --name;
  fail(specimen, keyword,
       std::string(name, eq + 1) + " on line " + std::to_string(line_of(eq)) + " holds " +
           excerpt(s, e, kExcerptLength) + ", which is not a single number.");
}

// Sets both coordinates of each landmark with a missing one to NaN, before any
// scale factor, so that a code is compared with the value as written.
void TpsScanner::mark_missing(std::vector<double>& row) {
  const std::size_t d = dims_;
  const std::size_t landmarks = row.size() / d;
  if (missing_landmarks_.size() < landmarks) missing_landmarks_.resize(landmarks);
  const bool coded = options_.missing_code.has_value();
  const double code = coded ? *options_.missing_code : 0.0;
  const auto missing = [&](double v) {
    return std::isnan(v) || (coded && v == code) || (options_.negative_missing && v < 0);
  };
  bool any = false;
  for (std::size_t i = 0; i < landmarks; ++i) {
    bool gone = false;
    for (std::size_t c = 0; c < d; ++c) gone = gone || missing(row[d * i + c]);
    if (gone) {
      for (std::size_t c = 0; c < d; ++c) row[d * i + c] = kNaN;
      missing_landmarks_[i] = true;
      any = true;
    }
  }
  if (any) ++incomplete_;
}

std::size_t TpsScanner::line_of(const char* p) const {
  if (p < counted_to_) {
    counted_to_ = begin_;
    line_ = first_line_;
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

// Errors name the specimen's ID when its block has one; it is looked for only
// then, as errors are rare. Warnings keep the number and line alone.
std::string TpsScanner::specimen_text(std::size_t specimen, const char* keyword,
                                      bool with_id) const {
  std::string id;
  if (with_id) {
    const char* eq = static_cast<const char*>(std::memchr(keyword, '=', end_ - keyword));
    for (const char* p = eq + 1; p < end_; ++p) {
      p = static_cast<const char*>(std::memchr(p, '=', end_ - p));
      if (p == nullptr) break;
      const Key key = keyword_at(p, begin_);
      if (starts_specimen(key)) break;
      if (key == Key::Id) {
        const std::string_view value = value_after(p, end_);
        if (value.empty()) continue;
        const std::string quoted = excerpt(value.data(), value.data() + value.size(), 60);
        id = "ID=" + quoted.substr(1, quoted.size() - 2) + ", ";
        break;
      }
    }
  }
  return "\"" + file_ + "\", specimen " + std::to_string(specimen) + " (" + id + "line " +
         std::to_string(line_of(keyword)) + "): ";
}

void TpsScanner::fail(std::size_t specimen, const char* keyword, const std::string& what) const {
  raise(specimen_text(specimen, keyword, true) + what);
}

// A short read that stopped at NA tells how to load missing landmarks instead.
void TpsScanner::fail_short(std::size_t specimen, const char* keyword, const char* stop,
                            const std::string& what) const {
  if (na_token(stop, end_)) {
    fail(specimen, keyword,
         "\"NA\" on line " + std::to_string(line_of(stop)) +
             " marks a missing landmark; load with --missing (in the window: File > Missing "
             "landmarks) to keep the specimen with that landmark missing.");
  }
  fail(specimen, keyword, what);
}

template <bool Missing>
const char* TpsScanner::read_specimens(const char* eq, std::size_t first, std::size_t last,
                                       TpsData& out) {
  for (std::size_t specimen = first; specimen < last; ++specimen) {
    if (eq == nullptr) changed();
    eq = read_specimen<Missing>(whole_block(eq), specimen, out);
  }
  return eq;
}

template <bool Missing>
const char* TpsScanner::read_specimen(const char* eq, std::size_t specimen, TpsData& out) {
  std::vector<double>& row = row_;
  const char* keyword = keyword_start(eq);
  const bool lm3 = eq[-1] == '3';
  const std::string word = lm3 ? "LM3=" : "LM=";
  specimen_ = specimen;
  keyword_ = keyword;
  progress_every(specimen);

  const char* p = skip_space(eq + 1, end_);
  double count_value = 0;
  const char* count_end = parse_number(p, end_, count_value);
  if (count_end == nullptr) {
    fail(specimen, keyword,
         word + " is followed by no landmark count; reading stopped at " + where(p) + ".");
  }
  if (!(count_value >= 0 && count_value <= kMaxCount && std::floor(count_value) == count_value)) {
    fail(specimen, keyword,
         excerpt(p, count_end, kExcerptLength) + " is not a valid landmark count.");
  }
  const auto count = static_cast<std::size_t>(count_value);

  p = past_line_end(line_end(count_end, end_), end_);
  if (specimen > rows_) changed();
  if (options_.names) {
    if (out.namelist.empty()) out.namelist.resize(rows_);
    out.namelist[specimen - 1].assign(count_end, p);
  }

  if (specimen == 1) {
    k_ = count;
    lm3_ = lm3;
    dims_ = lm3 || options_.dimensions == 3 ? 3 : 2;
    // A bogus count cannot make us allocate more than the text could hold
    // (the window holds the whole block).
    row.resize(std::min(dims_ * k_, static_cast<std::size_t>(end_ - p) / 2 + 1));
  } else {
    if (lm3 != lm3_) {
      fail(specimen, keyword,
           word + std::to_string(count) + " starts a " + (lm3 ? "3-D" : "2-D") +
               " specimen where the file's first specimen starts with " + (lm3_ ? "LM3=" : "LM=") +
               "; a file cannot mix LM= and LM3= specimens.");
    }
    row.resize(dims_ * k_);  // without the curve points of the one before
  }
  const std::size_t k = k_;
  const std::size_t dims = dims_;
  const std::size_t width = dims * k;
  const char* stop = nullptr;
  const std::size_t line = line_of(keyword);
  line_of(p);  // so that the numbers' lines are counted as they are read
  std::size_t n = read_numbers<Missing>(p, row.data(), row.size(), stop);
  if (n == 0) {
    fail_short(specimen, keyword, stop,
               "no coordinates follow " + word + std::to_string(count) + "; reading stopped at " +
                   where(stop) + ".");
  }
  if (n < width) {
    fail_short(specimen, keyword, stop,
               "found " + std::to_string(n) + " numbers where " + std::to_string(width) +
                   " were expected (" + std::to_string(k) + " landmarks); reading stopped at " +
                   where(stop) + ".");
  }

  // Numbers that go on past the ones the specimen's own count announces mean
  // the data are not x y pairs (3-D files hold x y z per landmark).
  const std::size_t announced = dims * count;
  double skipped;
  while (n < announced) {
    const char* q = skip_space(p, end_);
    const char* e = q == end_ ? nullptr : number_token(q, end_, skipped);
    if (e == nullptr) {
      if (!(Missing && na_token(q, end_))) break;
      e = q + 2;
    }
    ++n;
    p = e;
  }
  if (n > announced || (n == announced && count_numbers<Missing>(p) > 0)) {
    const std::size_t held = n + count_numbers<Missing>(p);
    if (dims == 3) {
      fail(specimen, keyword,
           "holds " + std::to_string(held) + " numbers where " + word + std::to_string(count) +
               " announces " + std::to_string(announced) + " (x, y and z of each landmark).");
    }
    fail(specimen, keyword,
         "holds " + std::to_string(held) + " numbers where LM=" + std::to_string(count) +
             " announces " + std::to_string(announced) + " (x and y of each landmark)" +
             (held == 3 * count ? "; it may be 3-D data." : "."));
  }
  if (count != k && ++mismatches_ <= kListedMismatches) {
    std::string what = specimen_text(specimen, keyword, false) + word + std::to_string(count) +
                       " differs from the first specimen's " + word + std::to_string(k);
    if (n < announced) {
      what += ", and only " + std::to_string(n) + " of its " + std::to_string(announced) +
              " numbers follow it";
    }
    listed_.push_back(what + "; its first " + landmarks_text(k) +
                      (k == 1 ? " is kept." : " are kept."));
    listed_places_.push_back(std::to_string(specimen) + " (line " +
                             std::to_string(line_of(keyword)) + ")");
  }

  if (out.records.empty()) out.records.resize(rows_);
  SpecimenRecord& record = out.records[specimen - 1];
  record.line = line;
  record.number = specimen;
  const char* scale_eq = nullptr;
  eq = read_block<Missing>(p, record, scale_eq, row);
  if (options_.curves) {
    if (specimen == 1) {
      first_points_ = block_points_;
    } else if (block_points_ != first_points_) {
      fail(specimen, keyword,
           std::to_string(block_points_) + " curve points where the first specimen has " +
               std::to_string(first_points_) +
               "; to use curves as landmarks every specimen needs the same number.");
    }
  }
  if (Missing) mark_missing(row);
  extremes_.add(row, dims_);
  if (options_.with_scale) {
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
  place_row(specimen, row, out);
  return eq;
}

// Rows come in order on one thread and are appended; the threads' shares
// write into rows made beforehand. The first row fixes the width and the
// matrix is given its final size at once.
void TpsScanner::place_row(std::size_t specimen, std::vector<double>& row, TpsData& out) {
  Matrix& m = out.coordinates;
  if (m.rows() == specimen - 1) {
    m.append_row(row);
    if (specimen == 1) {
      m.reserve_rows(rows_);
      advise_huge_pages(m.data(), rows_ * m.cols() * sizeof(double));
      if (size_of_ != nullptr) out.sizes.resize(rows_);
    }
  } else {
    std::copy(row.begin(), row.end(), m.row(specimen - 1).begin());
  }
  // The size is computed while the row is at hand.
  if (size_of_ != nullptr) out.sizes[specimen - 1] = size_of_(std::span<const double>(row), dims_);
}

void TpsScanner::absorb(TpsScanner& part, TpsData& out, std::size_t first, std::size_t last) {
  // Files read on several threads are below 4 GiB, and so are the values.
  const auto shift = static_cast<std::uint32_t>(values_.size());
  values_ += part.values_;
  std::string().swap(part.values_);
  for (std::size_t r = first; r < last; ++r) out.records[r].shift(shift);
  for (std::size_t i = 0; i < part.listed_.size() && listed_.size() < kListedMismatches; ++i) {
    listed_.push_back(part.listed_[i]);
    listed_places_.push_back(part.listed_places_[i]);
  }
  mismatches_ += part.mismatches_;
  if (part.curve_specimens_ != 0) {
    if (curve_specimens_ == 0) {
      fewest_points_ = part.fewest_points_;
      most_points_ = part.most_points_;
    } else {
      fewest_points_ = std::min(fewest_points_, part.fewest_points_);
      most_points_ = std::max(most_points_, part.most_points_);
    }
    curve_specimens_ += part.curve_specimens_;
  }
  incomplete_ += part.incomplete_;
  extremes_.merge(part.extremes_);
  if (missing_landmarks_.size() < part.missing_landmarks_.size()) {
    missing_landmarks_.resize(part.missing_landmarks_.size());
  }
  for (std::size_t i = 0; i < part.missing_landmarks_.size(); ++i) {
    if (part.missing_landmarks_[i]) missing_landmarks_[i] = true;
  }
}

template <bool Missing>
void TpsScanner::finish(TpsData& out) {
  const auto text = std::make_shared<const RecordText>(RecordText{file_, std::move(values_)});
  for (SpecimenRecord& record : out.records) record.attach(text);
  out.dimensions = dims_;
  warn_mismatches(out, k_);
  if (options_.curves) {
    out.curve_points = first_points_;
  } else {
    warn_curves(out);
  }
  if (Missing) {
    out.incomplete = incomplete_;
    warn_missing(out);
  }
  out.coded = find_coded_missing(extremes_, out.coordinates, out.records, options_.with_scale);
  for (const CodedMissing& found : out.coded) {
    out.warnings.push_back(coded_missing_warning(file_, found, out.records));
  }
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
  out.warnings.push_back(
      "\"" + file_ + "\": " + std::to_string(mismatches_) + " specimens have an " +
      (lm3_ ? "LM3=" : "LM=") + " count that differs from the first specimen's " +
      (lm3_ ? "LM3=" : "LM=") + std::to_string(k) + ", the first of them specimens " + places +
      "; the first " + landmarks_text(k) + " of each " + (k == 1 ? "is" : "are") + " kept.");
}

void TpsScanner::warn_curves(TpsData& out) const {
  if (curve_specimens_ == 0) return;
  const bool one = curve_specimens_ == 1;
  const std::string points =
      fewest_points_ == most_points_
          ? points_text(most_points_)
          : std::to_string(fewest_points_) + " to " + points_text(most_points_);
  out.warnings.push_back("\"" + file_ + "\": " + std::to_string(curve_specimens_) +
                         (one ? " specimen carries curves (" : " specimens carry curves (") +
                         points + (one ? "" : " each") +
                         "); they are not used; load them as extra landmarks with --curves (in "
                         "the window: File > Curves as landmarks).");
}

void TpsScanner::warn_missing(TpsData& out) const {
  if (incomplete_ == 0) return;
  std::string numbers;
  std::size_t listed = 0;
  for (std::size_t i = 0; i < missing_landmarks_.size(); ++i) {
    if (!missing_landmarks_[i]) continue;
    numbers += (listed++ == 0 ? "" : ", ") + std::to_string(i + 1);
  }
  out.warnings.push_back(
      "\"" + file_ + "\": " + std::to_string(incomplete_) + " of " + std::to_string(rows_) +
      (incomplete_ == 1 ? " specimens has" : " specimens have") + " missing landmarks (" +
      (listed == 1 ? "landmark " : "landmarks ") + numbers +
      "); they are kept, and every distance or angle that uses a missing "
      "landmark is NaN.");
}

// Reads the text that `first` begins, as `found` surveyed it: the first
// specimen here, then the rest here too, or with a source and more than one
// thread, each share of the cuts on a thread of its own, into rows made for
// them beforehand.
template <bool Missing>
TpsData read_surveyed(Window& first, const Survey& found, const TpsSource* source,
                      std::uint64_t stop, std::size_t window, const std::string& file,
                      const TpsOptions& options, RowSize size_of) {
  if (found.specimens == 0) raise("No LM= keyword found in \"" + file + "\".");
  TpsData out;
  TpsScanner scanner(first, 1, file, options, size_of, found.specimens);
  scanner.reserve_values(found.values);
  const char* eq = scanner.find_lm(scanner.begin());
  eq = scanner.read_specimens<Missing>(eq, 1, 2, out);
  const std::vector<Cut>& cuts = found.cuts;
  if (source == nullptr || cuts.size() < 2) {
    if (scanner.read_specimens<Missing>(eq, 2, found.specimens + 1, out) != nullptr) {
      scanner.changed();
    }
  } else {
    // The specimens before the first cut are read here.
    scanner.read_specimens<Missing>(eq, 2, cuts.front().specimen + 1, out);
    const std::vector<double> zero(out.coordinates.cols());
    while (out.coordinates.rows() < found.specimens) out.coordinates.append_row(zero);
    std::vector<std::unique_ptr<TpsScanner>> shares(cuts.size());
    parallel_blocks(cuts.size(), 1, [&](std::size_t begin, std::size_t end) {
      Window text(*source, cuts[begin].offset, stop, window);
      auto share = scanner.share(text, cuts[begin].line);
      const std::size_t last = end < cuts.size() ? cuts[end].specimen : found.specimens;
      share->reserve_values((end < cuts.size() ? cuts[end].values : found.values) -
                            cuts[begin].values);
      const char* at = share->find_lm(share->begin());
      at = share->read_specimens<Missing>(at, cuts[begin].specimen + 1, last + 1, out);
      if (end < cuts.size()) {
        // The next share starts at the next LM= line.
        const char* start = at == nullptr ? nullptr : keyword_start(at);
        while (start != nullptr && start != share->begin() &&
               (start[-1] == ' ' || start[-1] == '\t')) {
          --start;
        }
        if (start == nullptr || share->offset_of(start) != cuts[end].offset) share->changed();
      } else if (at != nullptr) {
        share->changed();
      }
      shares[begin] = std::move(share);
    });
    for (std::size_t i = 0; i < cuts.size(); ++i) {
      if (shares[i] == nullptr) continue;
      std::size_t next = i + 1;
      while (next < cuts.size() && shares[next] == nullptr) ++next;
      const std::size_t last = next < cuts.size() ? cuts[next].specimen : found.specimens;
      scanner.absorb(*shares[i], out, cuts[i].specimen, last);
    }
  }
  scanner.finish<Missing>(out);
  return out;
}

TpsData read_window(Window& first, const Survey& found, const TpsSource* source, std::uint64_t stop,
                    std::size_t window, const std::string& file, const TpsOptions& options,
                    RowSize size_of) {
  return options.missing
             ? read_surveyed<true>(first, found, source, stop, window, file, options, size_of)
             : read_surveyed<false>(first, found, source, stop, window, file, options, size_of);
}

// A file as a source; a failed read raises.
class FileSource final : public TpsSource {
 public:
  explicit FileSource(const std::string& path) : path_(path) {
    if (std::string reason; !file_.open(path, reason)) {
      raise("Error on file open: \"" + path + "\" (" + reason + ")");
    }
  }
  std::uint64_t size() const override { return file_.size(); }
  std::size_t read(std::uint64_t offset, char* p, std::size_t n) const override {
    std::string reason;
    const std::ptrdiff_t got = file_.read_at(offset, p, n, reason);
    if (got < 0) raise("Cannot read \"" + path_ + "\": " + reason + ".");
    return static_cast<std::size_t>(got);
  }

 private:
  const std::string& path_;
  InputFile file_;
};

}  // namespace

std::size_t TpsTextSource::read(std::uint64_t offset, char* p, std::size_t n) const {
  if (offset >= text_.size()) return 0;
  const std::size_t got = std::min<std::size_t>(n, text_.size() - offset);
  std::memcpy(p, text_.data() + offset, got);
  return got;
}

TpsData read_tps(std::string_view text, const std::string& file, const TpsOptions& options,
                 RowSize size_of) {
  text = skip_byte_order_mark(text);
  Window counting(text);
  const Survey found = survey(counting, kWholeText, 0);
  Window window(text);
  return read_window(window, found, nullptr, 0, 0, file, options, size_of);
}

TpsData read_tps_windowed(const TpsSource& source, const std::string& file,
                          const TpsOptions& options, RowSize size_of, std::size_t window) {
  const std::uint64_t stop = source.size();
  char head[3];
  const std::uint64_t start =
      source.read(0, head, 3) == 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  // Shares of the specimens go to threads of their own; record values are
  // kept at 32-bit offsets, which a file below 4 GiB cannot exceed when they
  // are joined.
  const bool shared = thread_count() > 1 && stop <= UINT32_MAX;
  Survey found;
  if (shared) {
    found = survey_on_threads(source, start, stop, window, window);
  } else {
    Window counting(source, start, stop, window);
    found = survey(counting, kWholeText, 0);
  }
  Window first(source, start, stop, window);
  return read_window(first, found, &source, stop, window, file, options, size_of);
}

namespace {

TpsOptions plain_options(bool with_scale) {
  TpsOptions options;
  options.with_scale = with_scale;
  return options;
}

}  // namespace

TpsData read_tps(std::string_view text, const std::string& file, bool with_scale, RowSize size_of) {
  return read_tps(text, file, plain_options(with_scale), size_of);
}

TpsData read_tps_file(const std::string& path, const TpsOptions& options, RowSize size_of,
                      std::size_t window) {
  const FileSource source(path);
  return read_tps_windowed(source, path, options, size_of, window);
}

TpsData read_tps_file(const std::string& path, bool with_scale, RowSize size_of) {
  return read_tps_file(path, plain_options(with_scale), size_of);
}

TpsData read_tps_files(const std::vector<std::string>& paths, const TpsOptions& options,
                       RowSize size_of) {
  TpsData all;
  const auto landmarks = [&](const TpsData& d) {
    return std::to_string(d.coordinates.cols() / d.dimensions);
  };
  for (std::size_t i = 0; i < paths.size(); ++i) {
    TpsData one = read_tps_file(paths[i], options, size_of);
    if (i == 0) {
      all = std::move(one);
      continue;
    }
    if (one.dimensions != all.dimensions) {
      raise("\"" + paths[i] + "\" holds " + std::to_string(one.dimensions) +
            "-D specimens where \"" + paths[0] + "\" holds " + std::to_string(all.dimensions) +
            "-D ones; files loaded as one sample must have the same dimension.");
    }
    if (one.coordinates.cols() != all.coordinates.cols()) {
      const std::size_t n = one.coordinates.cols() / one.dimensions;
      raise("\"" + paths[i] + "\" has " + landmarks(one) + (n == 1 ? " landmark" : " landmarks") +
            " per specimen where \"" + paths[0] + "\" has " + landmarks(all) +
            "; files loaded as one sample must have the same landmark count.");
    }
    if (one.curve_points != all.curve_points) {
      raise("\"" + paths[i] + "\" has " + std::to_string(one.curve_points) +
            " curve points per specimen where \"" + paths[0] + "\" has " +
            std::to_string(all.curve_points) +
            "; files loaded as one sample must have the same number.");
    }
    all.coordinates.reserve_rows(all.coordinates.rows() + one.coordinates.rows());
    for (std::size_t r = 0; r < one.coordinates.rows(); ++r) {
      all.coordinates.append_row(one.coordinates.row(r));
    }
    const auto append = [](auto& to, auto& from) {
      to.insert(to.end(), std::make_move_iterator(from.begin()),
                std::make_move_iterator(from.end()));
    };
    append(all.sizes, one.sizes);
    append(all.namelist, one.namelist);
    append(all.records, one.records);
    append(all.warnings, one.warnings);
    append(all.coded, one.coded);
    all.incomplete += one.incomplete;
  }
  return all;
}

}  // namespace dg
