#include "input/tps_scan.hpp"

#include <cstring>
#include <utility>

#include "input/tps_scanner.hpp"
#include "input/tps_survey.hpp"
#include "input/tps_window.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/parallel.hpp"

namespace dg {

using tps::FileSource;
using tps::kWholeText;
using tps::read_window;
using tps::survey;
using tps::Survey;
using tps::survey_on_threads;
using tps::Window;

std::size_t TpsTextSource::read(std::uint64_t offset, char* p, std::size_t n) const {
  if (offset >= text_.size()) return 0;
  const std::size_t got = std::min<std::size_t>(n, text_.size() - offset);
  std::memcpy(p, text_.data() + offset, got);
  return got;
}

TpsData read_tps(std::string_view text, const std::string& file, const TpsOptions& options,
                 RowSize size_of) {
  text = skip_byte_order_mark(text);
  Window counting(text);
  const Survey found = survey(counting, kWholeText, 0);
  Window window(text);
  return read_window(window, found, nullptr, 0, 0, file, options, size_of);
}

TpsData read_tps_windowed(const TpsSource& source, const std::string& file,
                          const TpsOptions& options, RowSize size_of, std::size_t window) {
  const std::uint64_t stop = source.size();
  char head[3];
  const std::uint64_t start =
      source.read(0, head, 3) == 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  // Shares of the specimens go to threads of their own; record values are
  // kept at 32-bit offsets, which a file below 4 GiB cannot exceed when they
  // are joined. A file that fits one window is read here, without a thread.
  const bool shared = thread_count() > 1 && stop <= UINT32_MAX && stop - start > window;
  Survey found;
  if (shared) {
    found = survey_on_threads(source, start, stop, window, window);
  } else {
    Window counting(source, start, stop, window);
    found = survey(counting, kWholeText, 0);
  }
  Window first(source, start, stop, window);
  return read_window(first, found, &source, stop, window, file, options, size_of);
}

namespace {

TpsOptions plain_options(bool with_scale) {
  TpsOptions options;
  options.with_scale = with_scale;
  return options;
}

}  // namespace

TpsData read_tps(std::string_view text, const std::string& file, bool with_scale, RowSize size_of) {
  return read_tps(text, file, plain_options(with_scale), size_of);
}

TpsData read_tps_file(const std::string& path, const TpsOptions& options, RowSize size_of,
                      std::size_t window) {
  const FileSource source(path);
  return read_tps_windowed(source, path, options, size_of, window);
}

TpsData read_tps_file(const std::string& path, bool with_scale, RowSize size_of) {
  return read_tps_file(path, plain_options(with_scale), size_of);
}

TpsData read_tps_files(const std::vector<std::string>& paths, const TpsOptions& options,
                       RowSize size_of) {
  TpsData all;
  const auto landmarks = [&](const TpsData& d) {
    return std::to_string(d.coordinates.cols() / d.dimensions);
  };
  for (std::size_t i = 0; i < paths.size(); ++i) {
    TpsData one = read_tps_file(paths[i], options, size_of);
    if (i == 0) {
      all = std::move(one);
      continue;
    }
    if (one.dimensions != all.dimensions) {
      raise("\"" + paths[i] + "\" holds " + std::to_string(one.dimensions) +
            "-D specimens where \"" + paths[0] + "\" holds " + std::to_string(all.dimensions) +
            "-D ones; files loaded as one sample must have the same dimension.");
    }
    if (one.coordinates.cols() != all.coordinates.cols()) {
      const std::size_t n = one.coordinates.cols() / one.dimensions;
      raise("\"" + paths[i] + "\" has " + landmarks(one) + (n == 1 ? " landmark" : " landmarks") +
            " per specimen where \"" + paths[0] + "\" has " + landmarks(all) +
            "; files loaded as one sample must have the same landmark count.");
    }
    if (one.curve_points != all.curve_points) {
      raise("\"" + paths[i] + "\" has " + std::to_string(one.curve_points) +
            " curve points per specimen where \"" + paths[0] + "\" has " +
            std::to_string(all.curve_points) +
            "; files loaded as one sample must have the same number.");
    }
    all.coordinates.reserve_rows(all.coordinates.rows() + one.coordinates.rows());
    for (std::size_t r = 0; r < one.coordinates.rows(); ++r) {
      all.coordinates.append_row(one.coordinates.row(r));
    }
    const auto append = [](auto& to, auto& from) {
      to.insert(to.end(), std::make_move_iterator(from.begin()),
                std::make_move_iterator(from.end()));
    };
    append(all.sizes, one.sizes);
    append(all.namelist, one.namelist);
    append(all.records, one.records);
    append(all.warnings, one.warnings);
    append(all.coded, one.coded);
    all.incomplete += one.incomplete;
  }
  return all;
}

}  // namespace dg
