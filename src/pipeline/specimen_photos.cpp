#include "pipeline/specimen_photos.hpp"

#include <algorithm>
#include <unordered_map>

#include "input/specimen_images.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

// One file read again: its rows by the specimens' numbers in it.
struct ReadAgain {
  TpsData data;
  std::vector<std::size_t> row_of_number;  // npos where no specimen has the number
};

ReadAgain read_again(const std::string& file, const TpsOptions& options) {
  ReadAgain out{read_tps_file(file, options), {}};
  for (std::size_t r = 0; r < out.data.records.size(); ++r) {
    const std::size_t number = out.data.records[r].number;
    if (number >= out.row_of_number.size()) out.row_of_number.resize(number + 1, std::string::npos);
    out.row_of_number[number] = r;
  }
  return out;
}

[[noreturn]] void changed(const std::string& file, const std::string& what) {
  raise("\"" + file + "\" changed since the sample was loaded: " + what + "; load it again.");
}

}  // namespace

DigitisedSpecimens digitised_specimens(const Sample& sample, const LoadOptions& options,
                                       const std::string& images_dir) {
  if (options.format == SampleFormat::matrix || sample.consensus.empty()) {
    raise("\"" + (sample.name.empty() ? std::string("The sample") : sample.name) +
          "\" has no photos: it was not read from a TPS file.");
  }
  TpsOptions reading = options.reading;
  reading.with_scale = false;
  reading.names = false;
  const std::size_t n = sample.specimens(), width = sample.coordinates.cols();
  DigitisedSpecimens out{Matrix(n, width), std::vector<std::optional<std::string>>(n)};
  std::unordered_map<std::string, ReadAgain> files;
  for (std::size_t i = 0; i < n && i < sample.records.size(); ++i) {
    const SpecimenRecord& record = sample.records[i];
    const std::string& file = record.file();
    auto it = files.find(file);
    if (it == files.end()) it = files.emplace(file, read_again(file, reading)).first;
    const ReadAgain& read = it->second;
    if (read.data.coordinates.cols() != width) {
      changed(file, "its specimens have " + std::to_string(read.data.coordinates.cols()) +
                        " coordinates where the sample's have " + std::to_string(width));
    }
    const std::size_t row = record.number < read.row_of_number.size()
                                ? read.row_of_number[record.number]
                                : std::string::npos;
    if (row == std::string::npos) {
      changed(file, "specimen " + std::to_string(record.number) + " is no longer in it");
    }
    const auto from = read.data.coordinates.row(row);
    std::copy(from.begin(), from.end(), out.coordinates.row(i).begin());
    out.images[i] = find_specimen_image(record.image(), file, images_dir);
  }
  return out;
}

}  // namespace dg
