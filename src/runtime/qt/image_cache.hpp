// Image files for the axes painter, such as specimen photos: read with Qt's
// image readers (JPEG, PNG, TIFF, BMP and whatever plugins are installed),
// turned as their orientation says, into one cache that every painter shares.
// The cache is bounded by the memory its decoded images take (it always keeps
// the last one), and knows a file by its path, modification time and size, so
// a photo edited on disk is read again. A file that does not decode gives a
// null image, which is remembered too.
//
// prefetch_image_files decodes files ahead of time on one background thread,
// started on first use and stopped when the QCoreApplication goes; a painter
// that wants a file the thread is decoding waits for it rather than decoding
// it twice. Every function is thread-safe and raises nothing.
#pragma once

#include <QImage>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace dg {

// The width and height of the picture in the file, as shown, from its header
// (decoded when the reader cannot tell without); nothing when it is no image.
std::optional<std::array<double, 2>> image_file_size(const std::string& path);

// The decoded picture, from the cache or read now; a null image when the file
// is missing or does not decode.
QImage cached_image(const std::string& path);

// Decodes the files in order on the background thread, skipping those the
// cache holds; the paths of an earlier call not yet started are dropped.
void prefetch_image_files(const std::vector<std::string>& paths);

// The most bytes the decoded pictures may take together; 256 MiB to start
// with, a few photos of 12 megapixels.
void set_image_cache_budget(std::size_t bytes);

}  // namespace dg
