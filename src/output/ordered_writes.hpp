// Writes a file's rows in blocks: formatted on the threads (ordered_blocks)
// and written in row order by the calling thread while the next blocks are
// formatted, so the bytes are the same for every thread count. With one
// thread everything runs on the calling thread in row order. The first error,
// formatting or writing, is raised once the threads have stopped; nothing is
// committed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "runtime/array/file_io.hpp"

namespace dg {

void write_ordered_blocks(
    AtomicFile& file, std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, std::string& out)>& format);

// A block's text for several files: each file's part is appended to text()
// in the files' order and closed with end_part().
class BlockParts {
 public:
  explicit BlockParts(std::string& text) : text_(text), start_(text.size()) {}
  std::string& text() { return text_; }
  void end_part() {
    sizes_.push_back(text_.size() - start_);
    start_ = text_.size();
  }
  const std::vector<std::uint64_t>& sizes() const { return sizes_; }

 private:
  std::string& text_;
  std::size_t start_;
  std::vector<std::uint64_t> sizes_;
};

// The same for several files written from one pass over the rows: `format`
// gives a part for each of `files`, in order.
void write_ordered_blocks(
    std::span<AtomicFile* const> files, std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, BlockParts& parts)>& format);

}  // namespace dg
