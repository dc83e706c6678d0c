#include "output/ordered_writes.hpp"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "runtime/array/error.hpp"
#include "runtime/array/parallel.hpp"

namespace dg {

void write_ordered_blocks(
    AtomicFile& file, std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, std::string& out)>& format) {
  ordered_blocks(n, block, format, [&](const std::string& text) { file.write(text); });
}

void write_ordered_blocks(
    std::span<AtomicFile* const> files, std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, BlockParts& parts)>& format) {
  const std::size_t count = files.size();
  // A block's text holds each file's part in turn, then their byte counts.
  ordered_blocks(
      n, block,
      [&](std::size_t begin, std::size_t end, std::string& text) {
        BlockParts parts(text);
        format(begin, end, parts);
        if (parts.sizes().size() != count) raise("A block gave parts for another count of files.");
        text.append(reinterpret_cast<const char*>(parts.sizes().data()),
                    count * sizeof(std::uint64_t));
      },
      [&](const std::string& text) {
        const char* counts = text.data() + text.size() - count * sizeof(std::uint64_t);
        std::size_t at = 0;
        for (std::size_t k = 0; k < count; ++k) {
          std::uint64_t size = 0;
          std::memcpy(&size, counts + k * sizeof size, sizeof size);
          files[k]->write(std::string_view(text).substr(at, static_cast<std::size_t>(size)));
          at += static_cast<std::size_t>(size);
        }
      });
}

}  // namespace dg
