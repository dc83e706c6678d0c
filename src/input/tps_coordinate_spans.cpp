#include "input/tps_coordinate_spans.hpp"

#include <cmath>
#include <unordered_map>

#include "input/tps_lexer.hpp"

namespace dg {

using tps::kNaN;
using tps::na_token;
using tps::next_lm;
using tps::number_token;
using tps::read_count;
using tps::skip_space;

CoordinateSpans tps_coordinate_spans(std::string_view text, const TpsOptions& options) {
  CoordinateSpans out;
  const std::string_view body = skip_byte_order_mark(text);
  const char* origin = text.data();
  const char* begin = body.data();
  const char* end = begin + body.size();
  const char* eq = next_lm(begin, end, begin);
  for (std::size_t specimen = 1; eq != nullptr; ++specimen) {
    std::size_t count = 0;
    const char* count_end = read_count(skip_space(eq + 1, end), end, count);
    if (count_end == nullptr) break;
    if (specimen == 1) {
      out.landmarks = count;
      out.dimensions = eq[-1] == '3' || options.dimensions == 3 ? 3 : 2;
      if (count == 0) break;
    }
    // The numbers start on the line after the count.
    const char* p = past_line_end(line_end(count_end, end), end);
    const std::size_t width = out.width();
    const std::size_t first = out.tokens.size();
    for (std::size_t n = 0; n < width; ++n) {
      const char* q = skip_space(p, end);
      double value;
      const char* e = q == end ? nullptr : number_token(q, end, value);
      if (e == nullptr && options.missing && na_token(q, end)) e = q + 2;
      if (e == nullptr) {
        out.tokens.resize(first);
        return out;
      }
      out.tokens.push_back({static_cast<std::size_t>(q - origin), static_cast<std::size_t>(e - q)});
      p = e;
    }
    // Numbers hold no '=', so the next keyword is the reader's next specimen.
    eq = next_lm(p, end, begin);
  }
  return out;
}

double token_value(std::string_view text, TokenSpan token) {
  const char* p = text.data() + token.begin;
  const char* e = p + token.size;
  double value = kNaN;
  if (na_token(p, e)) return kNaN;
  number_token(p, e, value);
  return value;
}

std::optional<std::string> tps_missing_mark(std::string_view text, const TpsOptions& options) {
  if (!options.missing) return std::nullopt;
  const CoordinateSpans spans = tps_coordinate_spans(text, options);
  const std::size_t d = spans.dimensions;
  std::unordered_map<std::string_view, std::size_t> uses;
  std::string_view best;
  std::size_t most = 0;
  for (std::size_t at = 0; at < spans.tokens.size(); at += d) {
    bool missing = false;
    for (std::size_t c = 0; c < d; ++c) {
      missing = missing || missing_value(token_value(text, spans.tokens[at + c]), options);
    }
    if (!missing) continue;
    for (std::size_t c = 0; c < d; ++c) {
      const TokenSpan token = spans.tokens[at + c];
      if (!missing_value(token_value(text, token), options)) continue;
      const std::string_view mark = text.substr(token.begin, token.size);
      // Of equally used marks, the one that got there first stays.
      if (const std::size_t n = ++uses[mark]; n > most) {
        most = n;
        best = mark;
      }
    }
  }
  if (most == 0) return std::nullopt;
  return std::string(best);
}

}  // namespace dg
