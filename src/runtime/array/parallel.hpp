// Row-independent work split over threads. Every split depends only on the
// number of rows and the thread count, never on timing, so a result is the
// same on every run; with one thread the work runs in today's order on the
// calling thread. The thread count follows the machine's cores unless set
// (the batch tool's --threads N). The threads are started when work first
// needs them and kept for the work after, so a split costs no thread start.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace dg {

// The threads row-independent work uses: at least 1.
std::size_t thread_count();
// Sets the thread count; 0 goes back to the machine's cores.
void set_thread_count(std::size_t threads);

// Calls body(begin, end) on consecutive blocks that cover [0, n), one block per
// thread (fewer when n / min_block is smaller), the first block on the calling
// thread. Waits for all; the error of the first block that failed is rethrown.
void parallel_blocks(std::size_t n, std::size_t min_block,
                     const std::function<void(std::size_t begin, std::size_t end)>& body);

// Formats [0, n) in blocks of `block` rows on the threads and hands each
// block's text to `write` in row order on the calling thread, while the
// following blocks are formatted. `format` appends the text of rows
// [begin, end) to its string. The error of the first block in row order that
// failed, or of `write`, is rethrown once the threads have stopped. With one
// thread every block is formatted and written in turn on the calling thread.
void ordered_blocks(
    std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, std::string& out)>& format,
    const std::function<void(const std::string& text)>& write);

}  // namespace dg
