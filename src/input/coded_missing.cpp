#include "input/coded_missing.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "input/sample_survey.hpp"
#include "input/text_input.hpp"

namespace dg {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// Candidates counted in the rows, at most: each costs a pass over its slots.
constexpr std::size_t kCounted = 4;

bool same(std::span<const double> a, std::span<const double> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool all_finite(std::span<const double> v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

bool none_finite(std::span<const double> v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return !std::isfinite(x); });
}

// The shortest text that reads back as the same double.
std::string number_text(double v) {
  char buffer[32];
  return {buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr};
}

}  // namespace

void SlotExtremes::start(std::size_t width, std::size_t dims) {
  dims_ = dims;
  low_.assign(width, kInf);
  high_.assign(width, -kInf);
  ends_.assign(2 * width, End{});
  holders_.assign(2 * width * dims, 0.0);
}

namespace {

// Whether any value reaches its column's low or high end (NaN reaches none).
// Most rows reach none and pass in a few instructions a value.
bool reaches_an_end(const double* v, const double* lo, const double* hi, std::size_t n) {
  std::size_t c = 0;
#if defined(__SSE2__)
  __m128d reached = _mm_setzero_pd();
  for (; c + 4 <= n; c += 4) {
    const __m128d a = _mm_loadu_pd(v + c);
    const __m128d b = _mm_loadu_pd(v + c + 2);
    reached = _mm_or_pd(reached, _mm_or_pd(_mm_cmple_pd(a, _mm_loadu_pd(lo + c)),
                                           _mm_cmpge_pd(a, _mm_loadu_pd(hi + c))));
    reached = _mm_or_pd(reached, _mm_or_pd(_mm_cmple_pd(b, _mm_loadu_pd(lo + c + 2)),
                                           _mm_cmpge_pd(b, _mm_loadu_pd(hi + c + 2))));
  }
  if (_mm_movemask_pd(reached) != 0) return true;
#endif
  bool any = false;
  for (; c < n; ++c) any = any || v[c] <= lo[c] || v[c] >= hi[c];
  return any;
}

}  // namespace

void SlotExtremes::add(std::span<const double> row, std::size_t dims) {
  if (dims_ == 0) start(row.size(), dims);
  const std::size_t n = std::min(low_.size(), row.size());
  const double* v = row.data();
  if (!reaches_an_end(v, low_.data(), high_.data(), n)) return;
  for (std::size_t c = 0; c < n; ++c) {
    if (v[c] <= low_[c] || v[c] >= high_[c]) take(row, c);
  }
}

// The value at `column` reaches one of the column's ends (or both).
void SlotExtremes::take(std::span<const double> row, std::size_t column) {
  const double v = row[column];
  if (!std::isfinite(v)) return;
  const std::span<const double> landmark = row.subspan(column / dims_ * dims_, dims_);
  const End end{1, !all_finite(landmark)};
  meet(column, 0, v, end, landmark);
  meet(column, 1, v, end, landmark);
}

// Meets a value at one end of a column: a value beyond the end becomes it,
// with its landmark as holder; an equal one is counted, or shares the end.
void SlotExtremes::meet(std::size_t column, int side, double value, const End& end,
                        std::span<const double> holder) {
  double& at = side == 0 ? low_[column] : high_[column];
  const bool beyond = side == 0 ? value < at : value > at;
  End& mine = ends_[2 * column + side];
  double* held = holders_.data() + (2 * column + side) * dims_;
  if (beyond) {
    at = value;
    mine = end;
    std::copy(holder.begin(), holder.end(), held);
  } else if (value == at) {
    if (!mine.shared && !end.shared && same({held, dims_}, holder)) {
      mine.count += end.count;
    } else {
      mine.shared = true;
    }
  }
}

void SlotExtremes::merge(const SlotExtremes& other) {
  if (other.dims_ == 0) return;
  if (dims_ == 0) {
    *this = other;
    return;
  }
  if (other.low_.size() != low_.size() || other.dims_ != dims_) return;
  for (std::size_t c = 0; c < low_.size(); ++c) {
    for (int side = 0; side < 2; ++side) {
      const double value = side == 0 ? other.low_[c] : other.high_[c];
      if (std::isfinite(value)) meet(c, side, value, other.end(c, side), other.holder(c, side));
    }
  }
}

namespace {

// A set of coordinates that holds an end of a slot's column alone.
struct Held {
  std::span<const double> coordinates;
  std::size_t slot = 0;
  enum Kind { kOutside, kInside, kAlone } kind = kInside;
  unsigned axes = 0;  // the axes on which it lies beyond every other coordinate
  std::size_t count = 0;
};

bool before(std::span<const double> a, std::span<const double> b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

// What a slot's ends say about the coordinates that hold them alone: outside
// the box of the slot's other coordinates, inside it (or on its edge), or
// alone in the slot.
void slot_holders(const SlotExtremes& x, std::size_t slot, std::vector<Held>& out) {
  const std::size_t d = x.dims();
  const std::size_t first = out.size();
  for (std::size_t a = 0; a < d; ++a) {
    const std::size_t c = slot * d + a;
    if (!std::isfinite(x.low(c))) continue;
    for (int side = 0; side < 2; ++side) {
      const SlotExtremes::End& end = x.end(c, side);
      if (end.shared) continue;
      const std::span<const double> held = x.holder(c, side);
      auto it = std::find_if(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                             [&](const Held& h) { return same(h.coordinates, held); });
      if (it == out.end()) {
        out.push_back({held, slot, Held::kInside, 0, end.count});
        it = out.end() - 1;
      }
      if (x.low(c) < x.high(c)) it->axes |= 1u << a;
    }
  }
  for (auto it = out.begin() + static_cast<std::ptrdiff_t>(first); it != out.end(); ++it) {
    bool alone = true;
    for (std::size_t a = 0; a < d && alone; ++a) {
      const std::size_t c = slot * d + a;
      alone = x.low(c) == x.high(c) && !x.end(c, 0).shared && same(x.holder(c, 0), it->coordinates);
    }
    it->kind = alone ? Held::kAlone : it->axes != 0 ? Held::kOutside : Held::kInside;
  }
}

// A slot where a candidate lies outside the others: on which axes, and how
// many landmarks hold it or other finite coordinates.
struct Place {
  std::size_t slot = 0;
  unsigned axes = 0;
  std::size_t written = 0;
  std::size_t others = 0;
};

struct Candidate {
  std::span<const double> coordinates;
  std::size_t held = 0;              // landmarks outside, by the extremes
  std::vector<Place> outside;        // slots where it lies outside the others
  std::vector<std::size_t> cleared;  // other slots whose box holds it
  bool inside = false;               // written inside a slot's box
  CodedMissing found;
};

}  // namespace

std::vector<CodedMissing> find_coded_missing(const SlotExtremes& extremes, const Matrix& rows,
                                             const std::vector<SpecimenRecord>& records,
                                             bool scaled) {
  const std::size_t d = extremes.dims();
  if (d == 0 || extremes.columns() > rows.cols()) return {};
  const std::size_t slots = extremes.columns() / d;
  std::vector<Held> held;
  for (std::size_t s = 0; s < slots; ++s) slot_holders(extremes, s, held);
  std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) {
    return before(a.coordinates, b.coordinates) ||
           (same(a.coordinates, b.coordinates) && a.slot < b.slot);
  });

  // Coordinates outside their slot's box in some slots and inside none, at
  // three or more landmarks by the extremes' counts.
  std::vector<Candidate> candidates;
  for (std::size_t i = 0; i < held.size();) {
    std::size_t j = i;
    Candidate c;
    c.coordinates = held[i].coordinates;
    for (; j < held.size() && same(held[j].coordinates, c.coordinates); ++j) {
      c.inside = c.inside || held[j].kind == Held::kInside;
      // Written at most rows, it is that landmark's usual value (see below).
      if (held[j].kind != Held::kOutside || 2 * held[j].count > rows.rows()) continue;
      c.held += held[j].count;
      c.outside.push_back({held[j].slot, held[j].axes});
    }
    if (!c.inside && c.held >= 3) {
      // Slots where it may be written although no end shows it.
      for (std::size_t s = 0, h = i; s < slots; ++s) {
        while (h < j && held[h].slot < s) ++h;
        if (h < j && held[h].slot == s) continue;
        bool in_box = true;
        for (std::size_t a = 0; a < d && in_box; ++a) {
          in_box = extremes.low(s * d + a) <= c.coordinates[a] &&
                   c.coordinates[a] <= extremes.high(s * d + a);
        }
        if (in_box) c.cleared.push_back(s);
      }
      candidates.push_back(std::move(c));
    }
    i = j;
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.held > b.held; });
  if (candidates.size() > kCounted) candidates.resize(kCounted);
  if (candidates.empty()) return {};

  // Each row's factor; a zero one (or none) leaves nothing to tell values
  // apart, and the row is passed over.
  std::vector<double> factors(scaled ? rows.rows() : 0, 0.0);
  for (std::size_t r = 0; r < factors.size() && r < records.size(); ++r) {
    if (!parse_scale(records[r].scale(), factors[r])) factors[r] = 0;
  }
  std::vector<double> target(d);
  const auto aim = [&](const Candidate& c, std::size_t r) {
    for (std::size_t a = 0; a < d; ++a) {
      target[a] = scaled ? c.coordinates[a] * factors[r] : c.coordinates[a];
    }
    return !scaled || factors[r] != 0;
  };
  const auto written = [&](std::span<const double> row, std::size_t s) {
    for (std::size_t a = 0; a < d; ++a) {
      if (row[s * d + a] != target[a]) return false;
    }
    return true;
  };
  // Counted in the rows: where it is written and where other coordinates
  // are, and whether a slot without an end for it holds it too.
  for (std::size_t r = 0; r < rows.rows(); ++r) {
    const std::span<const double> row = rows.row(r);
    for (Candidate& c : candidates) {
      if (c.inside || !aim(c, r)) continue;
      for (Place& place : c.outside) {
        if (written(row, place.slot)) {
          ++place.written;
        } else if (!none_finite(row.subspan(place.slot * d, d))) {
          ++place.others;
        }
      }
      for (std::size_t s : c.cleared) c.inside = c.inside || written(row, s);
    }
  }
  // Where it is written at more landmarks than the others', it is that
  // landmark's usual value rather than a code, and is not counted there. And
  // a code stands for any landmark: coordinates that differ from axis to axis
  // and stand at one landmark only are more likely a specimen entered twice.
  for (Candidate& c : candidates) {
    std::erase_if(c.outside, [](const Place& p) { return p.written == 0 || p.written > p.others; });
    const auto v = c.coordinates;
    if (c.outside.size() < 2 &&
        std::any_of(v.begin(), v.end(), [&](double x) { return x != v[0]; })) {
      c.outside.clear();
    }
  }
  for (std::size_t r = 0; r < rows.rows(); ++r) {
    const std::span<const double> row = rows.row(r);
    for (Candidate& c : candidates) {
      if (c.inside || c.outside.empty() || !aim(c, r)) continue;
      bool hit = false;
      for (const Place& place : c.outside) {
        if (!written(row, place.slot)) continue;
        ++c.found.landmarks;
        hit = true;
      }
      if (hit && c.found.specimens++ < kListedCodeRows) c.found.first_rows.push_back(r);
    }
  }

  std::vector<CodedMissing> out;
  for (Candidate& c : candidates) {
    if (c.inside || c.found.landmarks < 3 || c.found.specimens < 2) continue;
    c.found.coordinates.assign(c.coordinates.begin(), c.coordinates.end());
    // The number to read them as missing: the one they all hold, else one
    // that lies outside on its own axis wherever they are counted.
    const std::vector<double>& v = c.found.coordinates;
    std::size_t axis = 0;
    if (std::any_of(v.begin(), v.end(), [&](double x) { return x != v[0]; })) {
      unsigned axes = ~0u;
      for (const Place& place : c.outside) axes &= place.axes;
      while (axis < d && (axes >> axis & 1u) == 0) ++axis;
      if (axis == d) axis = 0;
    }
    c.found.code = v[axis];
    out.push_back(std::move(c.found));
  }
  std::stable_sort(out.begin(), out.end(), [](const CodedMissing& a, const CodedMissing& b) {
    return a.landmarks > b.landmarks;
  });
  return out;
}

std::string coded_missing_warning(const std::string& file, const CodedMissing& found,
                                  const std::vector<SpecimenRecord>& records) {
  std::string written;
  for (double v : found.coordinates) written += (written.empty() ? "" : " ") + number_text(v);
  std::string listed;
  const std::size_t n = found.first_rows.size();
  for (std::size_t i = 0; i < n; ++i) {
    const bool last = i + 1 == n && n == found.specimens;
    listed += (i == 0 ? "" : last ? " and " : ", ") + specimen_label(found.first_rows[i], records);
  }
  if (found.specimens > n) listed += " and " + std::to_string(found.specimens - n) + " more";
  return "\"" + file + "\": " + std::to_string(found.landmarks) + " landmarks in " +
         std::to_string(found.specimens) + " specimens are written as " + written +
         ", outside the range of the other specimens' coordinates of those landmarks: a "
         "missing-value code? (" +
         listed + "). Load with --missing --missing-code " + number_text(found.code) +
         " (in the window: File > Missing landmarks and Missing-value code...) to read them as "
         "missing.";
}

}  // namespace dg
