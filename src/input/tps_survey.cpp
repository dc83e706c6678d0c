#include "input/tps_survey.hpp"

#include <algorithm>

#include "input/tps_lexer.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/array/progress.hpp"
#include "runtime/array/specimen_record.hpp"

namespace dg::tps {

Survey survey(Window& window, std::uint64_t to, std::uint64_t cut_every, bool first) {
  Survey out;
  std::uint64_t next_cut = 0;
  const char* counted = window.begin();
  // The window starts inside a line, after blanks of it that were dropped.
  bool inside = false;
  // The keywords whose '=' lies in [b, limit); e ends the window.
  const auto keywords = [&](const char* b, const char* limit, const char* e) {
    for (const char* p = b; p != limit; ++p) {
      p = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(limit - p)));
      if (p == nullptr) break;
      const Key key = keyword_at(p, b);
      if (key == Key::Id || key == Key::Image || key == Key::Scale || key == Key::Comment ||
          key == Key::Variables) {
        out.values += SpecimenRecord::stored_bytes(value_after(p, e).size());
      }
      if (!starts_specimen(key)) continue;
      if (cut_every != 0 && (out.specimens >= 1 || !first)) {
        const char* start = keyword_start(p);
        while (start != b && (start[-1] == ' ' || start[-1] == '\t')) --start;
        // A share starts at the start of an LM= line, which must be at hand.
        if (window.offset_of(start) >= next_cut && !(inside && start == b)) {
          out.lines += count_line_ends(counted, start, e);
          counted = start;
          out.cuts.push_back({window.offset_of(start), out.specimens, out.lines + 1, out.values});
          next_cut = window.offset_of(start) + cut_every;
        }
      }
      ++out.specimens;
    }
  };
  for (;;) {
    progress();  // once a window: a load off the event loop can stop here
    const char* b = window.begin();
    const char* e = window.end();
    const char* limit = window.at_end() ? e : last_line_start(b, e);
    bool last = window.at_end();
    if (to != kWholeText && (limit != b || !inside) && window.offset_of(limit) >= to) {
      // The first line start at or after `to`: no later than `limit`.
      const char* l =
          b + static_cast<std::size_t>(to > window.offset_of(b) ? to - window.offset_of(b) : 0);
      if (inside && l == b) ++l;  // b starts no line
      while (l != b && l < limit && !(l[-1] == '\n' || (l[-1] == '\r' && *l != '\n'))) ++l;
      limit = l;
      last = true;
    }
    if (limit == b && !last) {
      // The window holds the start of one line only (perhaps up to a CR).
      const char* word = b;
      while (word != e && (*word == ' ' || *word == '\t')) ++word;
      if (keyword_may_follow(b, e)) {
        // Its keyword is yet to come: the blanks before it are let go.
        inside = inside || word != b;
        window.advance(word);
      } else {
        // Its keyword, if any, is at hand, and its one line end is counted
        // as it is passed.
        keywords(b, e, e);
        const bool more = skip_line(window);
        if (cut_every != 0 && more) ++out.lines;
        inside = false;
        if (!more) return out;
      }
      counted = window.begin();
      continue;
    }
    keywords(b, limit, e);
    if (cut_every != 0) out.lines += count_line_ends(counted, limit, e);
    if (last) return out;
    window.advance(limit);
    inside = false;
    counted = window.begin();
  }
}

// The first pass in parts on the threads, each over the lines that start in
// its share of the bytes; the parts' counts are then added up in order. A
// part after the first starts at least a byte into the text, since the byte
// before it tells whether a line starts there: a text of fewer bytes than
// threads has fewer parts.
Survey survey_on_threads(const TpsSource& source, std::uint64_t start, std::uint64_t stop,
                         std::size_t window, std::uint64_t cut_every) {
  const auto parts =
      static_cast<std::size_t>(std::clamp<std::uint64_t>(stop - start, 1, thread_count()));
  std::vector<Survey> found(parts);
  const auto at = [&](std::size_t part) { return start + (stop - start) * part / parts; };
  parallel_blocks(parts, 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t part = begin; part < end; ++part) {
      const std::uint64_t from = at(part);
      const std::uint64_t to = part + 1 == parts ? kWholeText : at(part + 1);
      if (part == 0) {
        Window text(source, from, stop, window);
        found[part] = survey(text, to, cut_every);
        continue;
      }
      // From the first line start at or after `from`, found with one byte before it.
      Window text(source, from - 1, stop, window);
      for (;;) {
        const char* l = text.begin() + 1;
        while (l < text.end() && !(l[-1] == '\n' || (l[-1] == '\r' && *l != '\n'))) ++l;
        if (l < text.end()) {
          if (to != kWholeText && text.offset_of(l) >= to) break;  // no line starts here
          text.advance(l);
          found[part] = survey(text, to, cut_every, false);
          break;
        }
        if (text.at_end()) break;
        text.advance(text.end() - 1);
      }
    }
  });
  Survey all;
  for (Survey& part : found) {
    for (Cut cut : part.cuts) {
      cut.specimen += all.specimens;
      cut.line += all.lines;
      cut.values += all.values;
      if (cut.specimen != 0) all.cuts.push_back(cut);
    }
    all.specimens += part.specimens;
    all.values += part.values;
    all.lines += part.lines;
  }
  return all;
}

}  // namespace dg::tps
