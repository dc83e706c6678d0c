// Writes a file's rows in blocks: formatted on the threads (ordered_blocks)
// and written in row order by the calling thread while the next blocks are
// formatted, so the bytes are the same for every thread count. With one
// thread everything runs on the calling thread in row order. The first error,
// formatting or writing, is raised once the threads have stopped; nothing is
// committed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "runtime/array/file_io.hpp"

namespace dg {

void write_ordered_blocks(
    AtomicFile& file, std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, std::string& out)>& format);

}  // namespace dg
