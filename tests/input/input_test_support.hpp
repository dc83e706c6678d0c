// Helpers shared by the input tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/array/error.hpp"

// Runs f and returns the message of the RuntimeError it raises, or
// "(no error)" when it raises none.
template <class F>
std::string error_message(F&& f) {
  try {
    f();
  } catch (const dg::RuntimeError& e) {
    return e.what();
  }
  return "(no error)";
}

#define EXPECT_ERROR_MSG(statement, message) EXPECT_EQ(error_message([&] { statement; }), message)

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <sstream>

#include "input/tps_scan.hpp"
#include "runtime/array/matrix.hpp"
#include "runtime/array/parallel.hpp"

namespace dg {

// Lets failed matrix comparisons show the values.
inline void PrintTo(const Matrix& m, std::ostream* os) {
  *os << m.rows() << " x " << m.cols() << " {";
  for (std::size_t r = 0; r < m.rows(); ++r) {
    *os << (r ? "; " : "");
    for (std::size_t c = 0; c < m.cols(); ++c) *os << (c ? " " : "") << m(r, c);
  }
  *os << "}";
}

// Equal sizes and values, NaN equal to NaN.
inline bool same_values(const Matrix& a, const Matrix& b) {
  if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double x = a.values()[i], y = b.values()[i];
    if (!(x == y || (std::isnan(x) && std::isnan(y)))) return false;
  }
  return true;
}

// What a read gives: every part of its result, or its error.
inline std::string read_outcome(const std::function<TpsData()>& read) {
  std::ostringstream out;
  try {
    const TpsData d = read();
    out << d.coordinates.rows() << " x " << d.coordinates.cols() << "\n";
    // Bit for bit, NaN payloads and the sign of zero included.
    for (double v : d.coordinates.values()) out << std::bit_cast<std::uint64_t>(v) << " ";
    for (const std::string& name : d.namelist) out << "\nname " << name;
    for (const SpecimenRecord& r : d.records) {
      out << "\nrecord " << r.file() << " " << r.line << " " << r.number << " [" << r.id() << "] ["
          << r.image() << "] [" << r.scale() << "] [" << r.comment() << "] [" << r.variables()
          << "]";
    }
    for (const std::string& w : d.warnings) out << "\nwarning " << w;
    out << "\n"
        << d.curve_points << " curve points, " << d.incomplete << " incomplete, " << d.dimensions
        << "-D";
  } catch (const RuntimeError& e) {
    out << "error " << e.what();
  }
  return out.str();
}

// Reads the text whole and in windows of a few bytes, on one thread and on
// two (a share of specimens per window, so shares start and end everywhere),
// and expects the same outcome every time.
inline void expect_windowed_reads_agree(std::string_view text, const std::string& file,
                                        const TpsOptions& options, RowSize size_of = nullptr) {
  const std::string whole = read_outcome([&] { return read_tps(text, file, options, size_of); });
  const TpsTextSource source(text);
  for (std::size_t threads : {1, 2}) {
    set_thread_count(threads);
    for (std::size_t window : {std::size_t{1}, std::size_t{7}, std::size_t{64}, kTpsWindow}) {
      EXPECT_EQ(
          read_outcome([&] { return read_tps_windowed(source, file, options, size_of, window); }),
          whole)
          << threads << " threads, window " << window;
    }
  }
  set_thread_count(0);
}

}  // namespace dg
