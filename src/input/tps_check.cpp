#include "input/tps_check.hpp"

#include <cmath>
#include <cstring>
#include <memory>

#include "input/text_input.hpp"
#include "input/tps_lexer.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/excerpt.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

std::string count_of(std::size_t n, const std::string& noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// "has" or "have" after a count.
const char* has(std::size_t n) {
  return n == 1 ? "has" : "have";
}

// Items joined by ", " and " and ", with "and N more" when `total` exceeds them.
std::string join(const std::vector<std::string>& items, std::size_t total) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const bool last = i + 1 == items.size() && total == items.size();
    text += (i == 0 ? "" : last ? " and " : ", ") + items[i];
  }
  if (total > items.size()) text += ", and " + std::to_string(total - items.size()) + " more";
  return text;
}

std::string place_text(const CheckPlace& place, const std::string& extra = "") {
  return "specimen " + std::to_string(place.specimen) + " (line " + std::to_string(place.line) +
         extra + ")";
}

// A pass over the bytes that tolerates anything, on the reader's lexer: what
// each LM= block holds and how the text is written.
class Survey {
 public:
  // `solid`: LM= blocks are read as x y z, as LM3= blocks always are.
  Survey(std::string_view text, bool solid, CheckReport& report)
      : text_(text), solid_(solid), r_(report) {}

  void run() {
    std::string_view body = text_;
    r_.byte_order_mark = body.substr(0, 3) == "\xEF\xBB\xBF";
    if (r_.byte_order_mark) body.remove_prefix(3);
    bytes(body);
    scan(body);
    const auto text = std::make_shared<const RecordText>(RecordText{r_.file, std::move(values_)});
    for (SpecimenRecord& record : r_.records) record.attach(text);
  }

 private:
  struct Block {
    std::size_t specimen = 0;
    std::size_t line = 0;
    std::string keyword;
    bool counted = false;  // the LM= count is readable
    std::size_t count = 0;
    enum Section { kLandmarks, kCurves, kOther } section = kLandmarks;
    std::size_t numbers = 0;        // in the landmark section
    std::size_t curve_numbers = 0;  // after CURVES=
    std::size_t lines = 0;          // lines holding landmark numbers
    std::size_t lines_of_three = 0;
    bool curves = false;
    std::size_t points = 0;  // announced by POINTS=
    bool scale = false;
    std::size_t last_missing = 0;  // the last landmark found missing, 0 for none
    bool missing = false;
    SpecimenRecord record;
  };

  void bytes(std::string_view s) {
    std::size_t line = 1;
    bool multibyte = false;
    for (std::size_t i = 0; i < s.size();) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (c == '\n') {
        ++r_.lf, ++line, ++i;
      } else if (c == '\r') {
        const bool pair = i + 1 < s.size() && s[i + 1] == '\n';
        ++(pair ? r_.crlf : r_.cr), ++line;
        i += pair ? 2 : 1;
      } else if (c < 0x80) {
        ++i;
      } else if (const std::size_t n = utf8_length(s, i); n != 0) {
        multibyte = true;
        i += n;
      } else {
        if (r_.first_non_utf8_line == 0) r_.first_non_utf8_line = line;
        ++i;
      }
    }
    r_.final_newline = !s.empty() && (s.back() == '\n' || s.back() == '\r');
    r_.encoding = r_.first_non_utf8_line != 0       ? "Latin-1 (not UTF-8)"
                  : multibyte || r_.byte_order_mark ? "UTF-8"
                                                    : "ASCII";
  }

  // Goes from keyword to keyword as the reader does (tps_lexer.hpp): a
  // specimen starts at each LM= or LM3=, its count is read as the reader
  // reads it, its coordinates start on the line after it and end at the
  // first token that is not a number or NA; a curve's points follow its
  // POINTS= count. The other keywords give the record its values.
  void scan(std::string_view s) {
    begin_ = s.data();
    end_ = s.data() + s.size();
    counted_ = begin_;
    const char* from = nullptr;  // where the section's numbers start; none outside one
    for (const char* p = begin_;;) {
      const char* eq = static_cast<const char*>(std::memchr(p, '=', end_ - p));
      const tps::Key key = eq == nullptr ? tps::Key::None : tps::keyword_at(eq, begin_);
      if (eq != nullptr && key == tps::Key::None) {
        p = eq + 1;
        continue;
      }
      const char* line = eq == nullptr ? end_ : line_start(eq);
      if (from != nullptr && in_block_ && block_.section != Block::kOther) numbers(from, line);
      if (eq == nullptr) break;
      from = keyword(key, line, eq);
      p = eq + 1;
    }
    finish_block();
  }

  // The start of the line that holds p.
  const char* line_start(const char* p) const {
    while (p != begin_ && p[-1] != '\n' && p[-1] != '\r') --p;
    return p;
  }

  std::size_t line_of(const char* p) {
    line_ += count_line_ends(counted_, p, end_);
    counted_ = p;
    return line_;
  }

  // Takes in the keyword whose '=' is at eq, on the line starting at `line`;
  // returns where the numbers that follow it start, or none.
  const char* keyword(tps::Key key, const char* line, const char* eq) {
    if (tps::starts_specimen(key)) {
      finish_block();
      in_block_ = true;
      block_ = Block{};
      Block& b = block_;
      b.specimen = ++r_.specimens;
      b.line = line_of(line);
      const char* word = line;
      while (*word == ' ' || *word == '\t') ++word;
      b.keyword.assign(word, eq);
      b.record.line = b.line;
      b.record.number = b.specimen;
      const char* count_end = tps::read_count(tps::skip_space(eq + 1, end_), end_, b.count);
      b.counted = count_end != nullptr;
      if (!b.counted) return nullptr;
      if (b.specimen == 1) r_.first_count = b.count;
      return past_line_end(line_end(count_end, end_), end_);
    }
    if (!in_block_) return nullptr;
    Block& b = block_;
    b.section = Block::kOther;
    const std::string_view value = tps::value_after(eq, end_);
    switch (key) {
      case tps::Key::Id:
        b.record.set(SpecimenRecord::Id, values_, value);
        break;
      case tps::Key::Image:
        b.record.set(SpecimenRecord::Image, values_, value);
        break;
      case tps::Key::Scale:
        if (!b.scale) b.record.set(SpecimenRecord::Scale, values_, value);
        b.scale = true;
        break;
      case tps::Key::Curves:
        b.curves = true;
        break;
      case tps::Key::Points: {
        if (!b.curves) break;
        std::size_t points = 0;
        const char* e = tps::read_count(tps::skip_space(eq + 1, end_), end_, points);
        if (e == nullptr) break;
        b.points += points;
        b.section = Block::kCurves;
        return e;
      }
      default:
        break;
    }
    return nullptr;
  }

  // The numbers (and NA) of the section from p to e, line by line, up to the
  // first other token, which ends the section as it ends the reader's.
  void numbers(const char* p, const char* e) {
    Block& b = block_;
    while (p < e) {
      const char* l = line_end(p, e);
      std::size_t on_line = 0;
      bool stopped = false;
      for (const char* q = p;;) {
        q = tps::skip_space(q, l);
        if (q == l) break;
        double v = std::nan("");
        const bool na = tps::na_token(q, l);
        const char* t = na ? q + 2 : tps::number_token(q, l, v);
        if (t == nullptr) {
          stopped = true;
          break;
        }
        q = t;
        ++on_line;
        std::size_t& index = b.section == Block::kLandmarks ? b.numbers : b.curve_numbers;
        const std::size_t landmark =
            (b.section == Block::kLandmarks ? 0 : r_.first_count) + index / 2 + 1;
        coordinate(v, landmark, p);
        ++index;
      }
      if (on_line > 0 && b.section == Block::kLandmarks) {
        ++b.lines;
        if (on_line == 3) ++b.lines_of_three;
      }
      if (stopped) {
        b.section = Block::kOther;
        return;
      }
      p = past_line_end(l, e);
    }
  }

  // A coordinate written NA or nan marks its landmark missing; `at` is its line.
  void coordinate(double v, std::size_t landmark, const char* at) {
    if (!std::isnan(v)) return;
    const std::size_t line = line_of(at);
    Block& b = block_;
    b.missing = true;
    if (b.last_missing != landmark) {
      b.last_missing = landmark;
      if (r_.missing_landmarks++ < kCheckListed) {
        r_.missing_first.push_back({b.specimen, line, landmark});
      }
    }
  }

  void finish_block() {
    if (!in_block_) return;
    in_block_ = false;
    Block& b = block_;
    if (b.counted) {
      if (b.count != r_.first_count && r_.differing++ < kCheckListed) {
        r_.differing_first.push_back({b.specimen, b.line, b.count});
      }
      if (b.count == 0 && r_.zero++ < kCheckListed) r_.zero_first.push_back({b.specimen, b.line});
      const bool in_threes = b.lines >= 2 && b.lines == b.lines_of_three;
      const CheckReport::ThreeD found{b.specimen, b.line, b.keyword, b.count, b.numbers, in_threes};
      if (solid_ || b.keyword.back() == '3') {
        // Read as x y z (LM3=, or as asked): only the count of numbers can be amiss.
        if (b.count > 0 && b.numbers != 3 * b.count && r_.solid_misfits++ == 0) {
          r_.first_solid_misfit = found;
        }
      } else if (b.count > 0 &&
                 (b.numbers == 3 * b.count || (in_threes && b.numbers != 2 * b.count))) {
        if (r_.three_d++ == 0) r_.first_three_d = found;
      }
    }
    if (b.curves) {
      if (r_.curve_specimens++ == 0) r_.min_curve_points = r_.max_curve_points = b.points;
      r_.min_curve_points = std::min(r_.min_curve_points, b.points);
      r_.max_curve_points = std::max(r_.max_curve_points, b.points);
    }
    if (b.scale) {
      ++r_.scale_specimens;
    } else if (r_.without_scale++ < kCheckListed) {
      r_.without_scale_first.push_back({b.specimen, b.line});
    }
    if (!b.record.has(SpecimenRecord::Id)) {
      ++r_.without_id;
      if (!b.record.has(SpecimenRecord::Image)) ++r_.without_name;
    }
    if (b.missing) ++r_.missing_specimens;
    r_.records.push_back(std::move(b.record));
  }

  std::string_view text_;
  bool solid_;
  CheckReport& r_;
  std::string values_;  // the records' values (see SpecimenRecord)
  bool in_block_ = false;
  Block block_;
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  // Line numbers are counted forward from the last place asked for.
  const char* counted_ = nullptr;
  std::size_t line_ = 1;
};

// Reads the text as a load with these options would, with the size column.
TpsData read_as_load(std::string_view text, const std::string& file, const TpsOptions& options,
                     const LoadSteps& steps) {
  return read_tps(text, file, options, steps.size_of);
}

}  // namespace

CheckReport check_tps(std::string_view text, const std::string& file, const TpsOptions& options,
                      const LoadSteps& steps) {
  CheckReport r;
  r.file = file;
  r.missing_option = options.missing;
  Survey(text, options.dimensions == 3, r).run();
  r.shared = shared_ids(r.records);

  TpsData data;
  try {
    data = read_as_load(text, file, options, steps);
    r.loads = true;
  } catch (const RuntimeError& e) {
    r.error = e.what();
  }
  if (options.with_scale) {
    r.loads_with_scale = r.loads;
    r.scale_error = r.error;
  } else {
    TpsOptions scaled = options;
    scaled.with_scale = true;
    try {
      read_as_load(text, file, scaled, steps);
      r.loads_with_scale = true;
    } catch (const RuntimeError& e) {
      r.scale_error = e.what();
    }
  }
  if (!r.loads) {
    r.landmarks = r.first_count;
    return r;
  }

  // The steps after the reading, as the load takes them: a read that
  // succeeds may still not load, or load with warnings of the steps.
  const std::size_t rows = data.coordinates.rows();
  const std::size_t landmarks = data.coordinates.cols() / data.dimensions;
  const std::vector<double> sizes = data.sizes;
  if (!data.coded.empty()) {
    const CodedMissing& code = data.coded.front();
    r.code_hint = CheckReport::CodeHint{code.code, code.landmarks, code.specimens};
  }
  std::vector<SpecimenRecord> records = data.records;
  try {
    steps.finish(std::move(data), file, "of \"" + file + "\"", r.warnings);
  } catch (const RuntimeError& e) {
    r.loads = false;
    r.error = e.what();
    r.warnings.clear();
    r.code_hint.reset();
    r.landmarks = r.first_count;
    return r;
  }
  r.specimens = rows;
  r.landmarks = landmarks;
  r.shared_in_warnings = records.size() == rows;
  if (r.records.size() != rows) r.records = std::move(records);
  r.has_sizes = true;
  r.sizes = survey_sizes(sizes);
  return r;
}

CheckReport check_tps_file(const std::string& path, const TpsOptions& options,
                           const LoadSteps& steps) {
  FileText text;
  if (std::string reason; !read_whole_file(path, text, reason)) {
    CheckReport r;
    r.file = path;
    r.missing_option = options.missing;
    r.error = "Error on file open: \"" + path + "\" (" + reason + ")";
    r.scale_error = r.error;
    r.encoding = "ASCII";
    return r;
  }
  return check_tps(text.view(), path, options, steps);
}

int check_status(const CheckReport& r) {
  if (!r.loads) return 1;
  return r.warnings.empty() ? 0 : 3;
}

std::string check_text(const CheckReport& r) {
  std::string out =
      "\"" + r.file + "\": " + count_of(r.specimens, "specimen") + ", " +
      count_of(r.landmarks, "landmark") + ": " +
      (!r.loads             ? std::string("does not load.")
       : r.warnings.empty() ? std::string("loads cleanly.")
                            : "loads with " + count_of(r.warnings.size(), "warning") + ".") +
      "\n";
  const auto line = [&](const std::string& text) { out += "  " + text + "\n"; };
  if (!r.loads) line("Error: " + r.error);
  for (const std::string& w : r.warnings) line("Warning: " + w);

  if (r.three_d > 0) {
    const CheckReport::ThreeD& t = r.first_three_d;
    line("specimen " + std::to_string(t.specimen) + " (line " + std::to_string(t.line) +
         "): " + t.keyword + "=" + std::to_string(t.count) + " with " + std::to_string(t.numbers) +
         " numbers" + (t.numbers != 3 * t.count ? ", three on each line" : "") +
         ": looks like 3-D (x y z) data; load it as 3-D with --dimensions 3." +
         (r.three_d > 1 ? " " + std::to_string(r.three_d) + " specimens look like this." : ""));
  }
  if (r.solid_misfits > 0) {
    const CheckReport::ThreeD& t = r.first_solid_misfit;
    const std::string announced = t.keyword + "=" + std::to_string(t.count);
    line("specimen " + std::to_string(t.specimen) + " (line " + std::to_string(t.line) +
         "): " + announced + " with " + std::to_string(t.numbers) + " numbers where " + announced +
         " announces " + std::to_string(3 * t.count) + " (x, y and z of each landmark)" +
         (t.keyword.back() != '3' && t.numbers == 2 * t.count
              ? ": looks like 2-D (x y) data; load it without --dimensions 3."
              : ".") +
         (r.solid_misfits > 1
              ? " " + std::to_string(r.solid_misfits) +
                    " specimens hold another count of numbers than their keyword announces."
              : ""));
  }
  if (r.missing_landmarks > 0) {
    std::vector<std::string> places;
    for (const CheckPlace& p : r.missing_first) {
      places.push_back(place_text(p, ", landmark " + std::to_string(p.value)));
    }
    line(count_of(r.missing_landmarks, "landmark") + " in " +
         count_of(r.missing_specimens, "specimen") + " " + has(r.missing_landmarks) +
         " a coordinate written NA or nan: " + join(places, r.missing_landmarks) +
         (r.missing_option ? "."
                           : "; load with --missing to keep these specimens with those "
                             "landmarks missing."));
  }
  if (r.differing > 0) {
    std::vector<std::string> places;
    for (const CheckPlace& p : r.differing_first) {
      places.push_back(place_text(p, ", LM=" + std::to_string(p.value)));
    }
    line(count_of(r.differing, "specimen") + " " + has(r.differing) +
         " an LM= count other than the first specimen's LM=" + std::to_string(r.first_count) +
         ": " + join(places, r.differing) + ".");
  }
  if (r.zero > 0) {
    std::vector<std::string> places;
    for (const CheckPlace& p : r.zero_first) places.push_back(place_text(p));
    line(count_of(r.zero, "specimen") + " " + has(r.zero) +
         " LM=0 (no landmarks): " + join(places, r.zero) + ".");
  }
  if (r.curve_specimens > 0) {
    const std::string points =
        r.min_curve_points == r.max_curve_points
            ? std::to_string(r.max_curve_points)
            : std::to_string(r.min_curve_points) + " to " + std::to_string(r.max_curve_points);
    line(count_of(r.curve_specimens, "specimen") +
         (r.curve_specimens == 1 ? " carries" : " carry") + " curves (CURVES=), " + points +
         (r.curve_specimens == 1 ? " points." : " points each."));
  }
  const std::size_t blocks = r.records.size();
  if (blocks > 0) {
    std::string scale = "SCALE=: ";
    if (r.without_scale == 0) {
      scale += blocks == 1 ? "the specimen has one"
                           : "all " + std::to_string(blocks) + " specimens have one";
    } else if (r.scale_specimens == 0) {
      scale += "no specimen has one";
    } else {
      std::vector<std::string> places;
      for (const CheckPlace& p : r.without_scale_first) places.push_back(place_text(p));
      scale += std::to_string(r.scale_specimens) + " of " + count_of(blocks, "specimen") + " " +
               has(r.scale_specimens) + " one; missing in " + join(places, r.without_scale);
    }
    scale += "; a load with scale factors (--tps-scale) would ";
    if (r.loads_with_scale) {
      scale += "work.";
    } else if (r.loads && r.scale_specimens > 0) {
      scale += "fail: " + r.scale_error;
    } else {
      scale += "fail.";
    }
    line(scale);

    std::string ids = "IDs: ";
    if (r.without_id == 0) {
      ids += blocks == 1 ? "the specimen has an ID=." : "every specimen has an ID=.";
    } else if (r.without_name == blocks) {
      ids += "no specimen has an ID= or IMAGE=; they will be known by number.";
    } else {
      ids += r.without_id == blocks
                 ? std::string("no specimen has an ID=")
                 : std::to_string(r.without_id) + " of " + count_of(blocks, "specimen") + " " +
                       has(r.without_id) + " no ID=";
      if (r.without_name == 0) {
        ids += r.without_id == 1 ? "; IMAGE= names it." : "; IMAGE= names each of them.";
      } else {
        ids += "; " + std::to_string(r.without_name) + " of them " + has(r.without_name) +
               " no IMAGE= either and will be known by number.";
      }
    }
    line(ids);
  }
  if (!r.shared.empty() && !r.shared_in_warnings) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < std::min(r.shared.size(), kCheckListed); ++i) {
      const std::vector<std::size_t>& shared_rows = r.shared[i].rows;
      std::vector<std::string> rows;
      for (std::size_t j = 0; j < std::min(shared_rows.size(), kCheckListed); ++j) {
        rows.push_back(std::to_string(shared_rows[j] + 1));
      }
      items.push_back("ID=" + r.shared[i].id + " (specimens " + join(rows, shared_rows.size()) +
                      ")");
    }
    line(count_of(r.shared.size(), "ID") + (r.shared.size() == 1 ? " is" : " are") +
         " shared by several specimens: " + join(items, r.shared.size()) + ".");
  }
  if (r.has_sizes) {
    const std::size_t n = r.sizes.outliers.size();
    line("centroid sizes: median " + sprintf("%.6g", r.sizes.median) +
         (r.sizes.split
              ? " of the smaller specimens (the sizes fall into groups over 10 times apart); "
              : "; ") +
         (n == 0 ? std::string("none is over 10 times or under a tenth of it.")
                 : count_of(n, "specimen") + " " + (n == 1 ? "lies" : "lie") +
                       (r.sizes.split ? " over 10 times it"
                                      : " over 10 times or under a tenth of it") +
                       " (see the warnings)."));
  }

  std::vector<std::string> kinds;
  if (r.lf > 0) kinds.push_back(std::to_string(r.lf) + " LF");
  if (r.crlf > 0) kinds.push_back(std::to_string(r.crlf) + " CRLF");
  if (r.cr > 0) kinds.push_back(std::to_string(r.cr) + " lone CR");
  line("line ends: " + std::string(kinds.size() > 1 ? "mixed, " : "") +
       (kinds.empty() ? std::string("none") : join(kinds, kinds.size())) +
       (r.final_newline ? "; the file ends with a line end." : "; the last line has no line end."));
  line("encoding: " + r.encoding +
       (r.first_non_utf8_line != 0
            ? ", the first byte that is not UTF-8 on line " + std::to_string(r.first_non_utf8_line)
            : std::string()) +
       (r.byte_order_mark ? "; with a byte order mark." : "; no byte order mark."));
  return out;
}

namespace {

nlohmann::json number_or_null(double v) {
  return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr);
}

nlohmann::json text_or_null(bool present, const std::string& s) {
  return present ? nlohmann::json(escape_bytes(s, false)) : nlohmann::json(nullptr);
}

nlohmann::json places_json(const std::vector<CheckPlace>& places, const char* value_key) {
  nlohmann::json list = nlohmann::json::array();
  for (const CheckPlace& p : places) {
    nlohmann::json item = {{"specimen", p.specimen}, {"line", p.line}};
    if (value_key != nullptr) item[value_key] = p.value;
    list.push_back(std::move(item));
  }
  return list;
}

}  // namespace

nlohmann::json check_json(const CheckReport& r) {
  using nlohmann::json;
  json warnings = json::array();
  for (const std::string& w : r.warnings) warnings.push_back(escape_bytes(w, false));

  json hint = nullptr;
  if (r.code_hint) {
    hint = {{"value", number_or_null(r.code_hint->value)},
            {"landmarks", r.code_hint->landmarks},
            {"specimens", r.code_hint->specimens}};
  }
  json shared = json::array();
  for (const SharedId& s : r.shared) {
    json rows = json::array();
    for (std::size_t row : s.rows) rows.push_back(row + 1);
    shared.push_back({{"id", escape_bytes(s.id, false)}, {"specimens", std::move(rows)}});
  }
  json sizes = nullptr;
  if (r.has_sizes) {
    json outliers = json::array();
    for (const SizeOutlier& o : r.sizes.outliers) {
      outliers.push_back({{"specimen", o.row + 1},
                          {"label", escape_bytes(specimen_label(o.row, r.records), false)},
                          {"size", number_or_null(o.size)},
                          {"ratio", number_or_null(o.ratio)}});
    }
    sizes = {{"median", number_or_null(r.sizes.median)},
             {"split", r.sizes.split},
             {"outliers", std::move(outliers)}};
  }
  json three_d_first = nullptr;
  if (r.three_d > 0) {
    const CheckReport::ThreeD& t = r.first_three_d;
    three_d_first = {{"specimen", t.specimen},
                     {"line", t.line},
                     {"keyword", escape_bytes(t.keyword, false)},
                     {"count", t.count},
                     {"numbers", t.numbers},
                     {"three_per_line", t.three_per_line}};
  }
  json misfit_first = nullptr;
  if (r.solid_misfits > 0) {
    const CheckReport::ThreeD& t = r.first_solid_misfit;
    misfit_first = {{"specimen", t.specimen},
                    {"line", t.line},
                    {"keyword", escape_bytes(t.keyword, false)},
                    {"count", t.count},
                    {"numbers", t.numbers}};
  }
  const int status = check_status(r);
  return {
      {"file", escape_bytes(r.file, false)},
      {"verdict", status == 1   ? "fails"
                  : status == 3 ? "loads with warnings"
                                : "loads"},
      {"status", status},
      {"error", text_or_null(!r.loads, r.error)},
      {"warnings", std::move(warnings)},
      {"specimens", r.specimens},
      {"landmarks", r.landmarks},
      {"lm_counts",
       {{"first", r.first_count},
        {"differing", r.differing},
        {"differing_first", places_json(r.differing_first, "count")},
        {"zero", r.zero},
        {"zero_first", places_json(r.zero_first, nullptr)}}},
      {"missing",
       {{"landmarks", r.missing_landmarks},
        {"specimens", r.missing_specimens},
        {"first", places_json(r.missing_first, "landmark")},
        {"code_hint", std::move(hint)}}},
      {"curves",
       {{"specimens", r.curve_specimens},
        {"min_points", r.min_curve_points},
        {"max_points", r.max_curve_points}}},
      {"scale",
       {{"specimens", r.scale_specimens},
        {"without", r.without_scale},
        {"without_first", places_json(r.without_scale_first, nullptr)},
        {"loads_with_scale", r.loads_with_scale},
        {"scale_error", text_or_null(!r.loads_with_scale, r.scale_error)}}},
      {"ids",
       {{"without_id", r.without_id},
        {"without_name", r.without_name},
        {"image_stands_in", r.without_name == 0},
        {"shared", std::move(shared)}}},
      {"sizes", std::move(sizes)},
      {"three_d", {{"specimens", r.three_d}, {"first", std::move(three_d_first)}}},
      {"three_d_counts", {{"specimens", r.solid_misfits}, {"first", std::move(misfit_first)}}},
      {"line_ends",
       {{"lf", r.lf},
        {"crlf", r.crlf},
        {"cr", r.cr},
        {"mixed", (r.lf > 0) + (r.crlf > 0) + (r.cr > 0) > 1},
        {"final_newline", r.final_newline}}},
      {"encoding",
       {{"name", r.encoding},
        {"byte_order_mark", r.byte_order_mark},
        {"first_non_utf8_line",
         r.first_non_utf8_line != 0 ? json(r.first_non_utf8_line) : json(nullptr)}}},
  };
}

}  // namespace dg
