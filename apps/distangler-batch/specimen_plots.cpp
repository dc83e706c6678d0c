#include "specimen_plots.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "display/showspecimen.hpp"
#include "pipeline/specimen_photos.hpp"
#include "pipeline/specimen_sheet.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/progress.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/qt/figure_export.hpp"
#include "runtime/qt/image_cache.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

// The plot box's longer side, and the figure's margins around it for the
// tick labels (left, bottom, right, top), in pixels.
constexpr double kBoxSide = 560;
constexpr double kShortestSide = 160;
constexpr std::array<double, 4> kMargins{60, 36, 16, 14};
// Photos decoded ahead of the one painted.
constexpr std::size_t kAhead = 2;

// Files written at once: each commit waits for the disk (the file and its
// folder are synced), and those waits overlap.
constexpr std::size_t kWriters = 4;
constexpr std::size_t kQueued = 16;

// Writes files whole (AtomicFile) on threads of their own while the caller
// paints the next; the first failure is raised on the caller's thread by the
// next write() or by finish(), and no file is started after it.
class FileWriters {
 public:
  FileWriters() {
    for (std::size_t i = 0; i < kWriters; ++i) threads_.emplace_back([this] { work(); });
  }
  FileWriters(const FileWriters&) = delete;
  FileWriters& operator=(const FileWriters&) = delete;
  ~FileWriters() { close(); }

  void write(std::string path, QByteArray bytes) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return queue_.size() < kQueued || failure_; });
    if (failure_) raise(*failure_);
    queue_.emplace_back(std::move(path), std::move(bytes));
    more_.notify_one();
  }

  void finish() {
    close();
    if (failure_) raise(*failure_);
  }

 private:
  void close() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    more_.notify_all();
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
  }

  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      more_.wait(lock, [&] { return !queue_.empty() || closing_; });
      if (queue_.empty() || failure_) return;
      auto [path, bytes] = std::move(queue_.front());
      queue_.pop_front();
      room_.notify_one();
      lock.unlock();
      std::optional<std::string> failed;
      try {
        AtomicFile file(path);
        file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        file.commit();
      } catch (const std::exception& error) {  // raised again on the caller's thread
        failed = error.what();
      }
      lock.lock();
      if (failed && !failure_) {
        failure_ = std::move(failed);
        queue_.clear();
        room_.notify_all();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable more_, room_;
  std::deque<std::pair<std::string, QByteArray>> queue_;
  std::optional<std::string> failure_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

std::string comparable(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(file_path(path), error);
  return path_text(error ? file_path(path) : canonical);
}

// Refuses, before anything is written, a picture or sheet that would replace
// one of the run's inputs or the photo of a specimen.
void refuse_overwriting(const std::vector<std::string>& outputs,
                        const std::vector<ReadFile>& inputs,
                        const std::vector<std::optional<std::string>>& photos) {
  std::map<std::string, ReadFile> read;
  for (const ReadFile& input : inputs) read.emplace(comparable(input.path), input);
  for (std::size_t i = 0; i < photos.size(); ++i) {
    if (photos[i]) {
      read.emplace(comparable(*photos[i]),
                   ReadFile{"the photo of specimen " + std::to_string(i + 1), *photos[i]});
    }
  }
  for (const std::string& output : outputs) {
    const auto it = read.find(comparable(output));
    if (it == read.end()) continue;
    raise("--specimen-plots \"" + output + "\" is " + it->second.what + " \"" + it->second.path +
          "\"; an output never replaces an input, so nothing was written.");
  }
}

// The figure's size for a photo of that size (or a blank field): the plot box
// takes the photo's shape with its longer side kBoxSide.
void lay_out(Graphics& g, Handle figure, Handle axes,
             const std::optional<std::array<double, 2>>& photo) {
  double width = kBoxSide, height = kBoxSide * 3 / 4;
  if (photo && (*photo)[0] > 0 && (*photo)[1] > 0) {
    const double aspect = (*photo)[0] / (*photo)[1];
    width = aspect >= 1 ? kBoxSide : std::max(kShortestSide, kBoxSide * aspect);
    height = aspect >= 1 ? std::max(kShortestSide, kBoxSide / aspect) : kBoxSide;
  }
  const auto [left, bottom, right, top] = kMargins;
  g.set(figure, "Position", Value(Matrix{{0, 0, left + width + right, bottom + height + top}}));
  g.set(axes, "Position", Value(Matrix{{left, bottom, width, height}}));
}

}  // namespace

std::vector<std::string> write_specimen_plots(const Sample& sample, const LoadOptions& options,
                                              const SpecimenPlots& plots,
                                              const std::vector<ReadFile>& inputs) {
  const DigitisedSpecimens digitised = digitised_specimens(sample, options, plots.images);
  std::error_code error;
  const fs::path folder = file_path(plots.folder).lexically_normal();
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    raise("Cannot make the folder \"" + plots.folder + "\" for --specimen-plots: " +
          (error ? error.message() : std::string("a file of that name is in the way")) + ".");
  }
  const std::size_t n = sample.specimens();
  std::vector<std::string> names(n), written(n);
  for (std::size_t i = 0; i < n; ++i) {
    names[i] = specimen_plot_name(i, n, sample.records[i], ".png");
    written[i] = path_text(folder / file_path(names[i]));
  }
  written.push_back(path_text(folder / "index.html"));
  refuse_overwriting(written, inputs, digitised.images);

  const std::size_t landmarks = sample.landmarks();
  const std::optional<CheckedList> pairs =
      plots.pairs.empty() ? std::nullopt : std::optional(checked_list(plots.pairs, 2, landmarks));
  const std::optional<CheckedList> triples =
      plots.triples.empty() ? std::nullopt
                            : std::optional(checked_list(plots.triples, 3, landmarks));
  HeadlessPlatform platform;
  platform.set_image_size(image_file_size);
  Graphics g(platform);
  const Handle figure = g.new_figure();
  const Handle axes = g.new_axes(figure);
  const std::size_t dims = sample.dimensions;
  FileWriters writers;
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<std::string> ahead;
    for (std::size_t j = i + 1; j < n && ahead.size() < kAhead; ++j) {
      if (digitised.images[j]) ahead.push_back(*digitised.images[j]);
    }
    if (!ahead.empty()) prefetch_image_files(ahead);
    SpecimenPicture picture;
    const auto row = digitised.coordinates.row(i);
    for (std::size_t l = 0; l < landmarks; ++l) {
      picture.x.push_back(row[dims * l]);
      picture.y.push_back(row[dims * l + 1]);
    }
    picture.image = digitised.images[i];
    if (picture.image) picture.image_size = platform.image_size(*picture.image);
    picture.label = specimen_caption(sample, plots.screen, i);
    picture.image_name = std::string(sample.records[i].image());
    picture.pairs = pairs ? &*pairs : nullptr;
    picture.triples = triples ? &*triples : nullptr;
    lay_out(g, figure, axes, picture.image_size);
    showspecimen(g, axes, picture);
    // A blank field is all lines and text: as sharp at the figure's own size,
    // and written quickly, since a sample without photos can have thousands.
    const bool photo = picture.image_size.has_value();
    writers.write(written[i], plot_bytes(g, figure, written[i], {photo ? 2.0 : 1.0, !photo}));
    progress_every(i);
  }
  writers.finish();
  write_contact_sheet(written.back(), sample, plots.screen, names, digitised.images);
  return written;
}

}  // namespace dg
