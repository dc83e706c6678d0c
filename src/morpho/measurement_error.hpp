// Measurement error of replicate measurements: a one-way analysis of
// variance with the specimen as the factor, its variance components and the
// repeatability they give (Lessells & Boag 1987, Auk 104:116-121: the
// intraclass correlation ICC(1), from variance components, not from the mean
// squares themselves), for one variable, or for the superimposed coordinates
// as a whole (a Procrustes analysis of variance, Klingenberg & McIntyre
// 1998, Evolution 52:1363-1375).
//
// With a specimens (groups with at least one measurement), N measurements
// and n_i of specimen i:
//   MS_A = SS_A / (a - 1), MS_W = SS_W / (N - a), F = MS_A / MS_W
//   n0 = (N - sum n_i^2 / N) / (a - 1)
//   s2_A = (MS_A - MS_W) / n0, s2_W = MS_W
//   r = s2_A / (s2_A + s2_W), %ME = 100 s2_W / (s2_A + s2_W)
// The confidence interval of r comes from the F distribution (Boost.Math):
//   F_L = F / F(1 - alpha/2; a - 1, N - a), F_U = F * F(1 - alpha/2; N - a, a - 1)
//   r_L = (F_L - 1) / (F_L + n0 - 1), r_U = (F_U - 1) / (F_U + n0 - 1)
// A negative s2_A (MS_A below MS_W) is kept as it is, so r can be below 0.
// What cannot be computed (fewer than two specimens, no replicate, no
// variation at all) is NaN.
#pragma once

#include <cstddef>
#include <limits>
#include <span>

#include "runtime/array/matrix.hpp"

namespace dg {

struct OneWayAnova {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

  std::size_t specimens = 0;     // a
  std::size_t measurements = 0;  // N
  double n0 = kNone;
  double ss_among = kNone, ss_within = kNone;
  double df_among = kNone, df_within = kNone;
  double ms_among = kNone, ms_within = kNone;
  double f = kNone, p = kNone;  // F and its upper-tail probability
  double s2_among = kNone, s2_within = kNone;
  double repeatability = kNone;
  double ci_lower = kNone, ci_upper = kNone;  // NaN for the Procrustes analysis
  double percent_me = kNone;
};

// `values[i]` is a measurement of specimen `groups[i]` (0 to group_count - 1);
// a NaN value drops out. `confidence` is that of the interval of r.
OneWayAnova one_way_anova(std::span<const double> values, std::span<const std::size_t> groups,
                          std::size_t group_count, double confidence = 0.95);

// The Procrustes analysis of variance of superimposed coordinates (r x dk,
// rows as `groups`): the sums of squares over every coordinate, degrees of
// freedom (a - 1) m and (N - a) m with m = dk - d(d+1)/2 - 1 (the dimensions
// of shape space), F with those degrees of freedom, and variance components,
// repeatability and %ME as for one variable, per shape dimension. Rows with
// a missing landmark are left out. No confidence interval.
OneWayAnova procrustes_anova(const Matrix& superimposed, std::size_t dims,
                             std::span<const std::size_t> groups, std::size_t group_count);

}  // namespace dg
