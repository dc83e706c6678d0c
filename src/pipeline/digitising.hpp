// A digitising session: a set of photos, the landmarks clicked on each so
// far, and the TPS file that holds them, written as digitising programs
// write theirs, one block per photo:
//   LM=<placed>     the landmarks placed so far (0 for a photo not begun)
//   x y             a line per landmark, in pixels of the photo (x to the
//                   right, y up from its bottom-left corner), five decimals;
//                   "NA NA" for a landmark marked missing
//   IMAGE=<name>    the photo, relative to the TPS file's folder
//   ID=<name>       the photo's name without its extension
//   SCALE=<s>       the length of one pixel, where a ruler was measured
// with LF line ends. Once every photo holds all k landmarks the file is an
// ordinary sample; before that its LM=0 blocks tell where the work stops,
// and reading it again resumes there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dg {

struct DigitisedPhoto {
  std::string image;  // IMAGE= as written: relative to the TPS file's folder
  std::string id;     // ID=
  // The landmarks placed so far, in order, x y each; NaN for one marked missing.
  std::vector<double> xy;
  std::optional<double> scale;  // SCALE=: the length of one pixel
  std::size_t placed() const { return xy.size() / 2; }
};

struct DigitisingSession {
  std::string path;           // the TPS file
  std::size_t landmarks = 0;  // k, the landmarks of every photo
  std::vector<DigitisedPhoto> photos;
  // The first photo with fewer than k landmarks; photos.size() when all are done.
  std::size_t first_unfinished() const;
  // The photo's file, found beside the TPS file.
  std::string image_path(std::size_t photo) const;
};

// A new session of the photos (paths as picked; they must lie in the TPS
// file's folder or below it, so that IMAGE= can name them relative to it),
// none begun. Raises a RuntimeError naming a photo outside that folder, and
// for k of 0.
DigitisingSession new_digitising(const std::string& tps_path,
                                 const std::vector<std::string>& images, std::size_t landmarks);

// Reads a session file written by write_digitising, or any TPS file of
// photos whose blocks hold at most k landmarks (LM=0 for those not begun).
// k is the largest count met, or `landmarks` when it is larger. Raises a
// RuntimeError naming the file and line of a block without IMAGE=, a count
// whose coordinates are missing, and a file without blocks.
DigitisingSession read_digitising(const std::string& tps_path, std::size_t landmarks = 0);
// The same for the file's text, `tps_path` naming it in messages.
DigitisingSession read_digitising_text(std::string_view text, const std::string& tps_path,
                                       std::size_t landmarks = 0);

// The session's TPS text, and the file written whole (AtomicFile).
std::string digitising_text(const DigitisingSession& session);
void write_digitising(const DigitisingSession& session);

// The pixel length of a ruler measured on a photo: `length` units over the
// distance between its two ends (pixels). Raises a RuntimeError for ends
// that coincide and for a length that is not a positive number.
double ruler_scale(double length, double x0, double y0, double x1, double y1);

}  // namespace dg
