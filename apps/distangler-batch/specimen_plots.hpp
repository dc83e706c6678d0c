// --specimen-plots: one PNG per specimen of a TPS sample, painted offscreen by
// the window's painter (write_plot) from a figure drawn by showspecimen: its
// photo (or a blank field) with its landmarks as digitised, numbered, the
// protocol's pairs and triples when given, and in the corner who it is and
// the outlier screen's verdict; then index.html, a contact sheet of them all
// sorted by the outlier distance (write_contact_sheet).
//
// The folder is made when missing. Every file is written whole; no picture
// replaces one of the run's inputs or photos (checked before the first is
// written). Raises a RuntimeError naming the file or folder. A
// QGuiApplication must exist.
#pragma once

#include <string>
#include <vector>

#include "morpho/procrustes_outliers.hpp"
#include "pipeline/load_sample.hpp"
#include "pipeline/sample.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/matrix.hpp"

namespace dg {

struct SpecimenPlots {
  std::string folder;
  std::string images;  // where photos are looked for after the TPS file's folder; may be empty
  const OutlierScreen* screen = nullptr;  // null: "not screened"
  Matrix pairs, triples;                  // the lists as loaded; empty when not given
};

// The files written: the pictures in the sample's order, then index.html.
std::vector<std::string> write_specimen_plots(const Sample& sample, const LoadOptions& options,
                                              const SpecimenPlots& plots,
                                              const std::vector<ReadFile>& inputs);

}  // namespace dg
