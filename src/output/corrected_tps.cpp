#include "output/corrected_tps.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "input/text_input.hpp"
#include "input/tps_coordinate_spans.hpp"
#include "output/edits_log.hpp"
#include "output/table.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/excerpt.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// How a number token is written, so a new value can be written alike.
struct NumberForm {
  std::size_t decimals = 0;
  bool point = false;  // a decimal point, also with no decimals after it ("12.")
  bool exponent = false;
  char letter = 'e';
  bool exponent_sign = true;  // "e+05" rather than "e05"
  std::size_t exponent_digits = 2;
  auto operator<=>(const NumberForm&) const = default;
};

NumberForm form_of(std::string_view token) {
  NumberForm form;
  std::size_t i = 0;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  while (i < token.size() && is_digit(token[i])) ++i;
  if (i < token.size() && token[i] == '.') {
    form.point = true;
    for (++i; i < token.size() && is_digit(token[i]); ++i) ++form.decimals;
  }
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    form.exponent = true;
    form.letter = token[i++];
    form.exponent_sign = i < token.size() && (token[i] == '+' || token[i] == '-');
    if (form.exponent_sign) ++i;
    form.exponent_digits = token.size() - i;
  }
  return form;
}

// A finite value in the form, rounded as printf rounds; a zero is never "-0".
std::string write_number(double value, const NumberForm& form) {
  std::string text(330 + form.decimals, '\0');
  const auto written =
      std::to_chars(text.data(), text.data() + text.size(), value,
                    form.exponent ? std::chars_format::scientific : std::chars_format::fixed,
                    static_cast<int>(std::min<std::size_t>(form.decimals, 1u << 30)));
  text.resize(static_cast<std::size_t>(written.ptr - text.data()));
  std::size_t mantissa_end = form.exponent ? text.find('e') : text.size();
  if (form.point && form.decimals == 0) text.insert(mantissa_end++, 1, '.');
  if (form.exponent) {
    text[mantissa_end] = form.letter;
    std::size_t digits = mantissa_end + 1;
    if (!form.exponent_sign && text[digits] == '+') {
      text.erase(digits, 1);
    } else {
      ++digits;
    }
    while (text.size() - digits > form.exponent_digits && text[digits] == '0') {
      text.erase(digits, 1);
    }
    if (text.size() - digits < form.exponent_digits) {
      text.insert(digits, form.exponent_digits - (text.size() - digits), '0');
    }
  }
  if (text[0] == '-' &&
      std::none_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(mantissa_end),
                   [](char c) { return c >= '1' && c <= '9'; })) {
    text.erase(0, 1);
  }
  return text;
}

std::string number_text(double value) {
  if (std::isnan(value)) return "NA";
  if (std::isinf(value)) return non_finite_text(value);
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

using Landmark = std::array<double, 3>;

bool is_missing(const Landmark& v, std::size_t d) {
  return std::any_of(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(d),
                     [](double x) { return std::isnan(x); });
}

// Landmarks match when both are missing or every coordinate is equal.
bool same_landmark(const Landmark& a, const Landmark& b, std::size_t d) {
  if (is_missing(a, d) || is_missing(b, d)) return is_missing(a, d) && is_missing(b, d);
  return std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(d), b.begin());
}

std::string landmark_text(const Landmark& v, std::size_t d) {
  if (is_missing(v, d)) return d == 3 ? "NA NA NA" : "NA NA";
  std::string text;
  for (std::size_t c = 0; c < d; ++c) text += (c == 0 ? "" : " ") + number_text(v[c]);
  return text;
}

// One row of the edits log, its values as the file writes them.
struct LogRow {
  std::size_t specimen = 0, landmark = 0;
  std::string id;
  std::array<std::string, 3> old_values, new_values;
};

struct Correction {
  std::string text;
  std::size_t dimensions = 2;
  std::vector<LogRow> rows;
};

// An edited landmark as the edits so far leave it: its values and, per
// coordinate, the text the file would hold (empty for a missing landmark).
struct Standing {
  Landmark value{};
  std::array<std::string, 3> text;
};

class Corrector {
 public:
  Corrector(std::string_view original, const std::string& file, const TpsOptions& reading,
            std::string_view fallback)
      : original_(original), file_(file), fallback_(fallback) {
    options_ = reading;
    // The coordinates are compared and written as the file holds them.
    options_.with_scale = false;
    options_.names = false;
    data_ = read_tps(original, file, options_);
    spans_ = tps_coordinate_spans(original, options_);
    d_ = spans_.dimensions;
    if (spans_.specimens() != data_.coordinates.rows() || d_ != data_.dimensions ||
        spans_.width() + d_ * data_.curve_points != data_.coordinates.cols()) {
      raise("\"" + file_ +
            "\": the coordinates of its specimens cannot be told apart in its text, so nothing "
            "was written.");
    }
  }

  Correction correct(std::span<const LandmarkEdit> edits) {
    Correction out;
    out.dimensions = d_;
    // Keyed by the landmark's first token, in file order.
    std::map<std::size_t, Standing> standing;
    for (const LandmarkEdit& edit : edits) {
      const std::size_t at = first_token(edit);
      auto [it, fresh] = standing.try_emplace(at, as_read(at));
      Standing& now = it->second;
      if (!same_landmark(edit.before, now.value, d_)) {
        fail(edit, (fresh ? "the file holds " : "an earlier edit leaves it at ") +
                       landmark_text(now.value, d_) + " where the edit starts from " +
                       landmark_text(edit.before, d_) +
                       (fresh ? "; the file changed since it was loaded, so nothing was written."
                              : ", so nothing was written."));
      }
      if (same_landmark(edit.after, now.value, d_)) continue;
      Standing next = written(edit, at);
      LogRow row{edit.specimen, edit.landmark, data_.records[edit.specimen - 1].name(),
                 log_texts(now), log_texts(next)};
      out.rows.push_back(std::move(row));
      now = std::move(next);
    }
    // Each token whose text is no longer the file's, in file order.
    std::string text;
    std::size_t copied = 0;
    for (const auto& [at, now] : standing) {
      if (same_landmark(now.value, as_read(at).value, d_)) continue;
      const bool missing = is_missing(now.value, d_);
      for (std::size_t c = 0; c < d_; ++c) {
        const TokenSpan token = spans_.tokens[at + c];
        const std::string_view old = original_.substr(token.begin, token.size);
        const std::string_view now_text = missing ? std::string_view(mark()) : now.text[c];
        if (now_text == old) continue;
        text.append(original_.substr(copied, token.begin - copied));
        text.append(now_text);
        copied = token.begin + token.size;
      }
    }
    text.append(original_.substr(copied));
    out.text = std::move(text);
    return out;
  }

 private:
  std::size_t first_token(const LandmarkEdit& edit) const {
    const std::size_t n = spans_.specimens();
    if (edit.specimen < 1 || edit.specimen > n) {
      raise("\"" + file_ + "\": there is no specimen " + std::to_string(edit.specimen) +
            " (the file holds " + std::to_string(n) + "), so nothing was written.");
    }
    const std::size_t k = spans_.landmarks;
    if (edit.landmark < 1 || edit.landmark > k) {
      raise(specimen_text(edit.specimen) + "there is no landmark " + std::to_string(edit.landmark) +
            " (its specimens have " + std::to_string(k) + "), so nothing was written.");
    }
    return (edit.specimen - 1) * spans_.width() + (edit.landmark - 1) * d_;
  }

  Standing as_read(std::size_t at) const {
    Standing s;
    const std::size_t row = at / spans_.width();
    const std::size_t column = at % spans_.width();
    for (std::size_t c = 0; c < d_; ++c) s.value[c] = data_.coordinates(row, column + c);
    if (!is_missing(s.value, d_)) {
      for (std::size_t c = 0; c < d_; ++c) s.text[c] = token_text(at + c);
    }
    return s;
  }

  // The landmark as the edit leaves it: each coordinate the file's token when
  // that is a number of the new value, else the new number in the form of the
  // token, or of the specimen's numbers for a token that marks it missing.
  Standing written(const LandmarkEdit& edit, std::size_t at) {
    Standing s;
    s.value = edit.after;
    if (is_missing(s.value, d_)) {
      for (std::size_t c = 0; c < d_; ++c) s.value[c] = std::nan("");
      return s;
    }
    for (std::size_t c = 0; c < d_; ++c) {
      const double v = edit.after[c];
      const double held = token_value(original_, spans_.tokens[at + c]);
      const bool number = !std::isnan(held) && !missing_value(held, options_);
      if (number && v == held) {
        s.text[c] = token_text(at + c);
        continue;
      }
      if (!std::isfinite(v)) {
        fail(edit, "the new value " + number_text(v) +
                       " is not a finite number, so nothing was written.");
      }
      const NumberForm form = number && std::isfinite(held) ? form_of(token_text(at + c))
                                                            : specimen_form(edit.specimen);
      s.text[c] = write_number(v, form);
      double back = 0;
      parse_number(s.text[c].data(), s.text[c].data() + s.text[c].size(), back);
      if (missing_value(back, options_)) {
        fail(edit, "the new value " + number_text(v) + ", written " + s.text[c] +
                       ", would be read as missing, so nothing was written.");
      }
    }
    return s;
  }

  std::array<std::string, 3> log_texts(const Standing& s) const {
    std::array<std::string, 3> texts;
    for (std::size_t c = 0; c < d_; ++c) texts[c] = s.text[c].empty() ? "NA" : s.text[c];
    return texts;
  }

  std::string_view token_text(std::size_t token) const {
    return original_.substr(spans_.tokens[token].begin, spans_.tokens[token].size);
  }

  // The form most used by the specimen's finite numbers that are not missing,
  // else by the file's, else a whole number.
  NumberForm specimen_form(std::size_t specimen) const {
    for (const auto& [first, last] :
         {std::pair{specimen - 1, specimen}, std::pair{std::size_t{0}, spans_.specimens()}}) {
      std::map<NumberForm, std::size_t> uses;
      NumberForm best;
      std::size_t most = 0;
      for (std::size_t t = first * spans_.width(); t < last * spans_.width(); ++t) {
        const double v = token_value(original_, spans_.tokens[t]);
        if (!std::isfinite(v) || missing_value(v, options_)) continue;
        const NumberForm form = form_of(token_text(t));
        if (const std::size_t n = ++uses[form]; n > most) {
          most = n;
          best = form;
        }
      }
      if (most != 0) return best;
    }
    return {};
  }

  // The text of every coordinate of a landmark marked missing: the file's own
  // mark, else the fallback.
  const std::string& mark() {
    if (!mark_) {
      mark_ = tps_missing_mark(original_, options_);
      if (!mark_) {
        double v = 0;
        const char* b = fallback_.data();
        const char* e = b + fallback_.size();
        if (fallback_ != "NA" && !(parse_number(b, e, v) == e && v < 0 && std::isfinite(v))) {
          raise("\"" + file_ + "\" has no mark of a missing landmark of its own, and " +
                excerpt(b, e, 40) +
                " is neither NA nor a negative number, so nothing was written.");
        }
        mark_ = std::string(fallback_);
      }
    }
    return *mark_;
  }

  std::string specimen_text(std::size_t specimen) const {
    const SpecimenRecord& record = data_.records[specimen - 1];
    std::string id;
    if (const std::string_view value = record.id(); !value.empty()) {
      const std::string quoted = excerpt(value.data(), value.data() + value.size(), 60);
      id = "ID=" + quoted.substr(1, quoted.size() - 2) + ", ";
    }
    return "\"" + file_ + "\", specimen " + std::to_string(specimen) + " (" + id + "line " +
           std::to_string(record.line) + "): ";
  }

  [[noreturn]] void fail(const LandmarkEdit& edit, const std::string& what) const {
    std::string where = specimen_text(edit.specimen);
    where.insert(where.size() - 2, ", landmark " + std::to_string(edit.landmark));
    raise(where + what);
  }

  std::string_view original_;
  const std::string& file_;
  std::string_view fallback_;
  TpsOptions options_;
  TpsData data_;
  CoordinateSpans spans_;
  std::size_t d_ = 2;
  std::optional<std::string> mark_;
};

void append_row(std::string& out, const LogRow& row, std::size_t d, std::string_view time) {
  out += std::to_string(row.specimen);
  out += ',';
  append_csv_field(out, utf8_text(row.id));
  out += ',';
  out += std::to_string(row.landmark);
  for (const auto* values : {&row.old_values, &row.new_values}) {
    for (std::size_t c = 0; c < d; ++c) {
      out += ',';
      out += (*values)[c];
    }
  }
  out += ',';
  // A row is one line, whatever the caller's text holds.
  std::string one_line(time);
  std::replace_if(
      one_line.begin(), one_line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  append_csv_field(out, one_line);
  out += '\n';
}

}  // namespace

std::string corrected_tps(std::string_view original, const std::string& file,
                          std::span<const LandmarkEdit> edits, const TpsOptions& reading,
                          std::string_view missing_fallback) {
  return Corrector(original, file, reading, missing_fallback).correct(edits).text;
}

void save_corrected_tps(const std::string& original_path, const std::string& out_path,
                        std::span<const LandmarkEdit> edits, const TpsOptions& reading,
                        std::string_view missing_fallback, std::string_view time) {
  FileText original;
  if (std::string reason; !read_whole_file(original_path, original, reason)) {
    raise("Cannot read \"" + original_path + "\": " + reason + ".");
  }
  const Correction fix =
      Corrector(original.view(), original_path, reading, missing_fallback).correct(edits);
  const std::string log_path = edits_log_path(out_path);
  std::string log;
  if (!fix.rows.empty()) {
    const std::string header = edits_log_header(fix.dimensions);
    std::error_code ignored;
    if (std::filesystem::exists(file_path(log_path), ignored)) {
      FileText old;
      if (std::string reason; !read_whole_file(log_path, old, reason)) {
        raise("Cannot read the edits log \"" + log_path + "\": " + reason +
              "; nothing was written.");
      }
      log.assign(old.view());
      std::string_view first = std::string_view(log).substr(0, log.find('\n'));
      if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
      if (first != header) {
        raise("The edits log \"" + log_path + "\" starts with " +
              excerpt(first.data(), first.data() + first.size(), 80) + " where \"" + header +
              "\" was expected; nothing was written.");
      }
      if (log.back() != '\n') log += '\n';
    } else {
      log = header + "\n";
    }
    for (const LogRow& row : fix.rows) append_row(log, row, fix.dimensions, time);
  }
  AtomicFile tps(out_path);
  tps.write(fix.text);
  tps.commit();
  if (fix.rows.empty()) return;
  AtomicFile edits_log(log_path);
  edits_log.write(log);
  edits_log.commit();
}

}  // namespace dg
