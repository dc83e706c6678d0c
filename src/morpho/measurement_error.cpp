#include "morpho/measurement_error.hpp"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <limits>
#include <vector>

#include "runtime/array/error.hpp"

namespace dg {
namespace {

// The F distribution's tail and quantiles are computed in Boost's software
// floating point, whose logarithms and exponentials are its own, and then
// rounded to doubles: with the C library's, they would differ between
// systems in the last bits.
using Wide = boost::multiprecision::cpp_bin_float_50;
using WideF = boost::math::fisher_f_distribution<Wide>;

double upper_tail(double df1, double df2, double f) {
  return static_cast<double>(boost::math::cdf(boost::math::complement(WideF(df1, df2), Wide(f))));
}

double quantile(double df1, double df2, double p) {
  return static_cast<double>(boost::math::quantile(WideF(df1, df2), Wide(p)));
}

// What the sums of squares give, for `per` degrees of freedom a specimen's
// measurement adds (1 for one variable, the dimensions of shape space for
// the Procrustes analysis).
struct Sums {
  double ss_among = 0, ss_within = 0;
  std::size_t specimens = 0, measurements = 0;
  double squared_sizes = 0;  // sum of n_i^2
};

OneWayAnova from_sums(const Sums& s, double per, double confidence, bool interval) {
  OneWayAnova r;
  r.specimens = s.specimens;
  r.measurements = s.measurements;
  r.ss_among = s.ss_among;
  r.ss_within = s.ss_within;
  const auto a = static_cast<double>(s.specimens);
  const auto n = static_cast<double>(s.measurements);
  if (s.specimens < 2 || s.measurements <= s.specimens || !(per >= 1)) return r;
  r.df_among = (a - 1) * per;
  r.df_within = (n - a) * per;
  r.ms_among = r.ss_among / r.df_among;
  r.ms_within = r.ss_within / r.df_within;
  r.n0 = (n - s.squared_sizes / n) / (a - 1);
  r.s2_within = r.ms_within;
  r.s2_among = (r.ms_among - r.ms_within) / r.n0;
  const double total = r.s2_among + r.s2_within;
  if (!(r.ms_within > 0)) {
    // Replicates that agree exactly: all of the variation is among specimens.
    if (r.ms_among > 0) {
      r.f = std::numeric_limits<double>::infinity();
      r.p = 0;
      r.repeatability = 1;
      r.percent_me = 0;
      if (interval) r.ci_lower = r.ci_upper = 1;
    }
    return r;
  }
  r.f = r.ms_among / r.ms_within;
  r.p = upper_tail(r.df_among, r.df_within, r.f);
  if (total != 0) {
    r.repeatability = r.s2_among / total;
    r.percent_me = 100 * r.s2_within / total;
  }
  if (interval) {
    const double upper = 1 - (1 - confidence) / 2;
    const double f_lower = r.f / quantile(r.df_among, r.df_within, upper);
    const double f_upper = r.f * quantile(r.df_within, r.df_among, upper);
    r.ci_lower = (f_lower - 1) / (f_lower + r.n0 - 1);
    r.ci_upper = (f_upper - 1) / (f_upper + r.n0 - 1);
  }
  return r;
}

void check_groups(std::size_t values, std::span<const std::size_t> groups,
                  std::size_t group_count) {
  if (groups.size() != values) {
    raise("The analysis of variance has " + std::to_string(values) + " measurements but " +
          std::to_string(groups.size()) + " specimen labels.");
  }
  for (const std::size_t g : groups) {
    if (g >= group_count) {
      raise("A measurement belongs to specimen " + std::to_string(g + 1) + " of " +
            std::to_string(group_count) + ".");
    }
  }
}

// The sums of one column of values (rows where `used` is false left out),
// added to `s`; the counts are taken once, with the first column.
void add_column(std::span<const double> values, const std::vector<bool>& used,
                std::span<const std::size_t> groups, std::size_t group_count, bool count, Sums& s) {
  std::vector<double> sums(group_count, 0.0);
  std::vector<std::size_t> sizes(group_count, 0);
  double total = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!used[i]) continue;
    sums[groups[i]] += values[i];
    ++sizes[groups[i]];
    total += values[i];
    ++n;
  }
  if (n == 0) return;
  const double grand = total / static_cast<double>(n);
  for (std::size_t g = 0; g < group_count; ++g) {
    if (sizes[g] == 0) continue;
    sums[g] /= static_cast<double>(sizes[g]);  // now the mean
    const double d = sums[g] - grand;
    s.ss_among += static_cast<double>(sizes[g]) * d * d;
    if (count) {
      ++s.specimens;
      s.squared_sizes += static_cast<double>(sizes[g]) * static_cast<double>(sizes[g]);
    }
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!used[i]) continue;
    const double d = values[i] - sums[groups[i]];
    s.ss_within += d * d;
  }
  if (count) s.measurements = n;
}

}  // namespace

OneWayAnova one_way_anova(std::span<const double> values, std::span<const std::size_t> groups,
                          std::size_t group_count, double confidence) {
  check_groups(values.size(), groups, group_count);
  std::vector<bool> used(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) used[i] = !std::isnan(values[i]);
  Sums s;
  add_column(values, used, groups, group_count, true, s);
  return from_sums(s, 1, confidence, true);
}

OneWayAnova procrustes_anova(const Matrix& superimposed, std::size_t dims,
                             std::span<const std::size_t> groups, std::size_t group_count) {
  const std::size_t r = superimposed.rows();
  const std::size_t coords = superimposed.cols();
  check_groups(r, groups, group_count);
  std::vector<bool> used(r, true);
  for (std::size_t i = 0; i < r; ++i) {
    for (const double v : superimposed.row(i)) used[i] = used[i] && !std::isnan(v);
  }
  Sums s;
  std::vector<double> column(r);
  for (std::size_t c = 0; c < coords; ++c) {
    for (std::size_t i = 0; i < r; ++i) column[i] = superimposed(i, c);
    add_column(column, used, groups, group_count, c == 0, s);
  }
  const double shape_dimensions =
      static_cast<double>(coords) - static_cast<double>(dims * (dims + 1)) / 2 - 1;
  return from_sums(s, shape_dimensions, 0.95, false);
}

}  // namespace dg
