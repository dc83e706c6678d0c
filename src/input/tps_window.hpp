// Where the reader's bytes come from: a window over a text in memory or over
// a source read in pieces (TpsSource), which moves on through the text and
// holds a bounded part of it, and a file as a source.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "input/text_input.hpp"
#include "input/tps_scan.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"

namespace dg::tps {

// A piece of a text held in memory: all of a text in memory, or a window of
// a source's bytes that moves on through it. A window always starts at a line
// start, so that keywords in it are told from other words without looking
// back; it grows when it has to keep more than half of what it holds. A
// window over a source never holds more than the bytes left to read (and one
// more, so that reading them all leaves room), so a small file costs a
// buffer of its size, not one of the full capacity.
class Window {
 public:
  explicit Window(std::string_view text)
      : begin_(text.data()), end_(text.data() + text.size()), at_end_(true) {}
  Window(const TpsSource& source, std::uint64_t offset, std::uint64_t stop, std::size_t capacity)
      : source_(&source),
        capacity_(fitted_capacity(capacity, offset, stop)),
        start_(offset),
        stop_(stop) {
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    begin_ = end_ = buffer_.get();
    fill(0);
  }

  const char* begin() const { return begin_; }
  const char* end() const { return end_; }
  // Whether the window reaches the end of the text.
  bool at_end() const { return at_end_; }
  std::uint64_t offset_of(const char* p) const {
    return start_ + static_cast<std::uint64_t>(p - begin_);
  }

  // Drops the bytes before `keep` and reads on after the rest.
  void advance(const char* keep) {
    const auto kept = static_cast<std::size_t>(end_ - keep);
    start_ += static_cast<std::uint64_t>(keep - begin_);
    if (kept > capacity_ / 2) {
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
      std::memcpy(bigger.get(), keep, kept);
      buffer_ = std::move(bigger);
      capacity_ *= 2;
    } else {
      std::memmove(buffer_.get(), keep, kept);
    }
    fill(kept);
  }

 private:
  static std::size_t fitted_capacity(std::size_t capacity, std::uint64_t offset,
                                     std::uint64_t stop) {
    const std::uint64_t left = stop > offset ? stop - offset : 0;
    return static_cast<std::size_t>(
        std::max<std::uint64_t>(std::min<std::uint64_t>(capacity, left + 1), 2));
  }

  void fill(std::size_t kept) {
    const std::uint64_t from = start_ + kept;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - kept, stop_ - from));
    const std::size_t got = source_->read(from, buffer_.get() + kept, wanted);
    begin_ = buffer_.get();
    end_ = begin_ + kept + got;
    // A file cut short since it was surveyed ends here too.
    at_end_ = got < wanted || from + got == stop_;
  }

  const TpsSource* source_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::uint64_t start_ = 0;  // the source offset of begin_
  std::uint64_t stop_ = 0;   // the end of the text in the source
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  bool at_end_ = false;
};

// Reads on past the end of the line the window is in, keeping none of the
// line, so that a line longer than the window is never held whole. Returns
// whether a line end was passed (false: the text ended first); the window
// then starts the next line.
inline bool skip_line(Window& window) {
  for (;;) {
    const char* q = line_end(window.begin(), window.end());
    if (q == window.end()) {
      if (window.at_end()) return false;
      window.advance(q);
    } else if (*q == '\r' && q + 1 == window.end() && !window.at_end()) {
      window.advance(q);  // the first half of CR LF, perhaps
    } else {
      window.advance(past_line_end(q, window.end()));
      return true;
    }
  }
}

// A file as a source; a failed read raises.
class FileSource final : public TpsSource {
 public:
  explicit FileSource(const std::string& path) : path_(path) {
    if (std::string reason; !file_.open(path, reason)) {
      raise("Error on file open: \"" + path + "\" (" + reason + ")");
    }
  }
  std::uint64_t size() const override { return file_.size(); }
  std::size_t read(std::uint64_t offset, char* p, std::size_t n) const override {
    std::string reason;
    const std::ptrdiff_t got = file_.read_at(offset, p, n, reason);
    if (got < 0) raise("Cannot read \"" + path_ + "\": " + reason + ".");
    return static_cast<std::size_t>(got);
  }

 private:
  const std::string& path_;
  InputFile file_;
};

}  // namespace dg::tps
