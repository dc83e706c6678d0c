// The pictures of a sample's specimens as files to send to a co-author: the
// file name of each specimen's picture, the words its corner shows (who it
// is and the outlier screen's verdict), and a contact sheet of them all.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "morpho/procrustes_outliers.hpp"
#include "pipeline/sample.hpp"

namespace dg {

// The file name of row `row`'s picture in a sample of `count` specimens: its
// number (1-based, zero-padded to the width of `count`), then "-" and its ID,
// else the file name of its IMAGE= without the extension (none when it has
// neither), then `extension`. Bytes other than A-Z a-z 0-9 . _ - become _,
// one for each run of them, and the name part is cut to 80 bytes:
//   12-ID_12.png, 003-M-12156_maxilla_lateral.png, 7.png
std::string specimen_plot_name(std::size_t row, std::size_t count, const SpecimenRecord& record,
                               std::string_view extension);

// The screen's verdict on a row in a few words:
//   distance 0.0213, rank 3 of 62
//   distance 0.21 over its present landmarks, rank 1 of 62; flagged (above
//   0.08): landmarks 4 and 5 look swapped; the mirror image fits better
// ("of" the specimens screened, also those without a distance)
// "no landmark to measure" for a NaN distance, "not screened" without a
// screen.
std::string outlier_verdict(const OutlierScreen* screen, std::size_t row);

// The corner text of a specimen's picture: who it is ("specimen 12
// (ID=abc)"), a line end, and the verdict.
std::string specimen_caption(const Sample& sample, const OutlierScreen* screen, std::size_t row);

// Writes an HTML page, complete in itself (inline style, no script, nothing
// fetched), that shows the pictures `files` (row for row with the sample,
// names in the page's folder) as a sheet of thumbnails, each linked to its
// picture with its number, ID, verdict and "image not found" where the
// specimen names a photo that `photos` (row for row) lacks; sorted by the
// Procrustes distance, largest first (sample order without a screen). Texts
// are escaped for HTML and file names for URLs. Written whole (AtomicFile);
// raises a RuntimeError naming the file when it cannot be written.
void write_contact_sheet(const std::string& path, const Sample& sample, const OutlierScreen* screen,
                         const std::vector<std::string>& files,
                         const std::vector<std::optional<std::string>>& photos);

// Text for HTML: & < > " ' as entities.
std::string html_text(std::string_view text);
// A file name for a URL: every byte but A-Z a-z 0-9 - . _ ~ as %XX.
std::string url_name(std::string_view name);

}  // namespace dg
