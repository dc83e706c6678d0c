#include "output/ordered_writes.hpp"

#include "runtime/array/parallel.hpp"

namespace dg {

void write_ordered_blocks(
    AtomicFile& file, std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, std::string& out)>& format) {
  ordered_blocks(n, block, format, [&](const std::string& text) { file.write(text); });
}

}  // namespace dg
