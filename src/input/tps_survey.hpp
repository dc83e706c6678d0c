// The reader's first pass over a text: how many specimens it holds, and
// where a share of them can start on a thread of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "input/tps_window.hpp"

namespace dg::tps {

// An LM= line where a share of the specimens starts: its offset in the
// source, the specimen's 0-based number, its line, and the most bytes the
// records' values before it can take.
struct Cut {
  std::uint64_t offset = 0;
  std::size_t specimen = 0;
  std::size_t line = 0;
  std::size_t values = 0;
};

// What the first pass over a text finds: how many specimens it holds, the
// most bytes their records' values can take, and with `cut_every`, the line
// ends it holds and cuts: at the second specimen, then at the first LM= line
// at least that many bytes after the previous cut.
struct Survey {
  std::size_t specimens = 0;
  std::size_t values = 0;
  std::size_t lines = 0;
  std::vector<Cut> cuts;
};

// The first pass: finds every LM= keyword by the rule the reading follows
// (every specimen starts at one, and each block ends at the next one), so the
// matrix, the records and their values are allocated once at their final
// size. It looks at the lines that start before offset `to` (all with
// kWholeText); a window's last line is looked at in the next one, whole,
// unless it is longer than the window: then only its start is looked at, as
// only there can it hold a keyword, and the rest is read past. Memory stays
// within the window (and a keyword's letters) however long a line is.
// `first` says whether the window starts the text: a later part of it may cut
// at its first LM= line.
inline constexpr std::uint64_t kWholeText = UINT64_MAX;
Survey survey(Window& window, std::uint64_t to, std::uint64_t cut_every, bool first = true);

// The first pass in parts on the threads, each over the lines that start in
// its share of the bytes; the parts' counts are then added up in order.
Survey survey_on_threads(const TpsSource& source, std::uint64_t start, std::uint64_t stop,
                         std::size_t window, std::uint64_t cut_every);

}  // namespace dg::tps
