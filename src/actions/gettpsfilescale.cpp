#include "actions/gettpsfilescale.hpp"

namespace dg {

std::optional<TpsLoad> gettpsfilescale(Platform& platform, double cs, RowSize size_of,
                                       TpsOptions options) {
  options.with_scale = true;
  return load_tps(platform, cs, size_of, options, "Open a TPS file with scale factors");
}

}  // namespace dg
