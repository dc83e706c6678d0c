#include "input/tps_scanner.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "input/tps_lexer.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/excerpt.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/array/progress.hpp"

namespace dg::tps {

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
  bool any = false;
  for (std::size_t i = 0; i < landmarks; ++i) {
    bool gone = false;
    for (std::size_t c = 0; c < d; ++c) gone = gone || missing_value(row[d * i + c], options_);
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

void TpsScanner::absorb(TpsScanner& part, std::size_t first, std::size_t last) {
  share_values_.push_back({first, last, std::move(part.values_)});
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
  const std::size_t own = share_values_.empty() ? out.records.size() : share_values_[0].first;
  for (std::size_t r = 0; r < own; ++r) out.records[r].attach(text);
  for (ShareValues& share : share_values_) {
    const auto part =
        std::make_shared<const RecordText>(RecordText{file_, std::move(share.values)});
    for (std::size_t r = share.first; r < share.last; ++r) out.records[r].attach(part);
  }
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
  const bool shared = source != nullptr && found.cuts.size() >= 2;
  scanner.reserve_values(shared ? found.cuts.front().values : found.values);
  const char* eq = scanner.find_lm(scanner.begin());
  eq = scanner.read_specimens<Missing>(eq, 1, 2, out);
  const std::vector<Cut>& cuts = found.cuts;
  if (!shared) {
    if (scanner.read_specimens<Missing>(eq, 2, found.specimens + 1, out) != nullptr) {
      scanner.changed();
    }
  } else {
    // The specimens before the first cut are read here.
    scanner.read_specimens<Missing>(eq, 2, cuts.front().specimen + 1, out);
    // Each share writes its rows, so their pages are first touched on its
    // thread.
    out.coordinates.add_unset_rows(found.specimens - out.coordinates.rows());
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
      scanner.absorb(*shares[i], cuts[i].specimen, last);
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

}  // namespace dg::tps
