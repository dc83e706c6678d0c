#include "runtime/qt/image_cache.hpp"

#include <QCoreApplication>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <list>
#include <mutex>
#include <new>
#include <thread>

#include "runtime/array/file_io.hpp"

namespace dg {
namespace {

constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;
// Files that do not decode are remembered too; this many entries at most.
constexpr std::size_t kMostEntries = 64;
// Qt's readers refuse pictures above 256 MiB by default; scans of large
// specimens reach more.
constexpr int kAllocationLimitMiB = 2048;

// A file as the cache knows it: edited, it is another file.
struct FileStamp {
  std::string path;
  std::filesystem::file_time_type modified;
  std::uintmax_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> stamp_of(const std::string& path) {
  std::error_code error;
  const std::filesystem::path file = file_path(path);
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  FileStamp stamp{path, std::filesystem::last_write_time(file, error), 0};
  if (!error) stamp.size = std::filesystem::file_size(file, error);
  if (error) return std::nullopt;
  return stamp;
}

// A picture too large for the memory left is one that does not decode.
QImage decode(const std::string& path) noexcept {
  try {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMiB);
    QImage image = reader.read();
    if (image.isNull()) return image;
    // The formats the raster painter draws from fastest.
    const QImage::Format fast =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != fast) image.convertTo(fast);
    return image;
  } catch (const std::bad_alloc&) {
    return QImage();
  }
}

void stop_shared_cache();

class ImageCache {
 public:
  ImageCache() = default;
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;
  ~ImageCache() { stop(); }

  QImage get(const std::string& path) {
    const std::optional<FileStamp> stamp = stamp_of(path);
    if (!stamp) return QImage();
    std::unique_lock lock(mutex_);
    if (const QImage* image = claim(*stamp, lock)) return *image;
    lock.unlock();
    QImage image = decode(path);
    lock.lock();
    keep(*stamp, image);
    return image;
  }

  void prefetch(const std::vector<std::string>& paths) {
    std::lock_guard lock(mutex_);
    wanted_.assign(paths.begin(), paths.end());
    if (!worker_.joinable()) {
      stopping_ = false;
      worker_ = std::thread([this] { work(); });
      // Stopped while the application's plugins and globals are still there.
      if (QCoreApplication::instance() != nullptr) qAddPostRoutine(&stop_shared_cache);
    }
    wake_.notify_one();
  }

  void set_budget(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    budget_ = bytes;
    trim();
  }

  // Ends the background thread and forgets every picture.
  void stop() {
    std::thread worker;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      wanted_.clear();
      worker = std::move(worker_);
    }
    wake_.notify_all();
    if (worker.joinable()) worker.join();
    std::lock_guard lock(mutex_);
    entries_.clear();
    bytes_ = 0;
  }

 private:
  struct Entry {
    FileStamp stamp;
    QImage image;
  };

  // The cached picture of the file (waiting while another thread decodes
  // it), or null after marking it as being decoded by the caller.
  const QImage* claim(const FileStamp& stamp, std::unique_lock<std::mutex>& lock) {
    for (;;) {
      auto it = std::find_if(entries_.begin(), entries_.end(),
                             [&](const Entry& e) { return e.stamp == stamp; });
      if (it != entries_.end()) {
        entries_.splice(entries_.begin(), entries_, it);
        return &entries_.front().image;
      }
      if (std::find(decoding_.begin(), decoding_.end(), stamp) == decoding_.end()) break;
      decoded_.wait(lock);
    }
    decoding_.push_back(stamp);
    return nullptr;
  }

  // Keeps a picture the caller claimed and decoded, newest first.
  void keep(const FileStamp& stamp, const QImage& image) {
    std::erase(decoding_, stamp);
    std::erase_if(entries_, [&](const Entry& e) {
      if (e.stamp.path != stamp.path) return false;
      bytes_ -= static_cast<std::size_t>(e.image.sizeInBytes());
      return true;
    });
    entries_.push_front({stamp, image});
    bytes_ += static_cast<std::size_t>(image.sizeInBytes());
    trim();
    decoded_.notify_all();
  }

  void trim() {
    while (entries_.size() > 1 && (bytes_ > budget_ || entries_.size() > kMostEntries)) {
      bytes_ -= static_cast<std::size_t>(entries_.back().image.sizeInBytes());
      entries_.pop_back();
    }
  }

  void work() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (wanted_.empty()) {
        wake_.wait(lock);
        continue;
      }
      const std::string path = std::move(wanted_.front());
      wanted_.pop_front();
      lock.unlock();
      const std::optional<FileStamp> stamp = stamp_of(path);
      lock.lock();
      if (!stamp || stopping_ || claim(*stamp, lock) != nullptr) continue;
      lock.unlock();
      QImage image = decode(path);
      lock.lock();
      keep(*stamp, image);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;     // the background thread: paths wanted, or stop
  std::condition_variable decoded_;  // a picture some thread was decoding is kept
  std::list<Entry> entries_;         // most recently used first
  std::size_t bytes_ = 0;
  std::size_t budget_ = kDefaultBudget;
  std::vector<FileStamp> decoding_;  // claimed by a thread that is decoding them
  std::deque<std::string> wanted_;
  std::thread worker_;
  bool stopping_ = false;
};

ImageCache& shared_cache() {
  static ImageCache cache;
  return cache;
}

void stop_shared_cache() {
  shared_cache().stop();
}

}  // namespace

std::optional<std::array<double, 2>> image_file_size(const std::string& path) {
  if (!stamp_of(path)) return std::nullopt;
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (size.isValid() && !size.isEmpty()) {
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
  } else {
    const QImage image = cached_image(path);
    if (image.isNull()) return std::nullopt;
    size = image.size();
  }
  return std::array<double, 2>{static_cast<double>(size.width()),
                               static_cast<double>(size.height())};
}

QImage cached_image(const std::string& path) {
  return shared_cache().get(path);
}

void prefetch_image_files(const std::vector<std::string>& paths) {
  shared_cache().prefetch(paths);
}

void set_image_cache_budget(std::size_t bytes) {
  shared_cache().set_budget(bytes);
}

}  // namespace dg
