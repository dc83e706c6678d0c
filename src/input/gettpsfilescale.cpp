#include "input/gettpsfilescale.hpp"

namespace dg {

std::optional<TpsLoad> gettpsfilescale(Platform& platform, double cs) {
  return load_tps(platform, cs, true, "Specify TPS (with scale factor) file to load");
}

}  // namespace dg
