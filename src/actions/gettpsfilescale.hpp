// Asks for a TPS file whose specimens each carry a SCALE= factor after their
// coordinates ("*.tps;*.TPS", "Open a TPS file with scale factors") and
// reads it as gettpsfile2 does, each specimen's coordinates multiplied by its
// own factor (so the size column is in scaled units too). A specimen without a
// SCALE= line before the next specimen fails the whole load, naming it.
#pragma once

#include "actions/gettpsfile2.hpp"

namespace dg {

std::optional<TpsLoad> gettpsfilescale(Platform& platform, double cs, RowSize size_of,
                                       TpsOptions options = {});

}  // namespace dg
