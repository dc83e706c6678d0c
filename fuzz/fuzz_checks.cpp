#include "fuzz_checks.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "actions/dahand_actions.hpp"
#include "input/dload.hpp"
#include "input/file_kind.hpp"
#include "input/text_input.hpp"
#include "input/tps_check.hpp"
#include "input/tps_coordinate_spans.hpp"
#include "input/tps_scan.hpp"
#include "morpho/centsize.hpp"
#include "morpho/formtrad2.hpp"
#include "morpho/tradangle.hpp"
#include "output/corrected_tps.hpp"
#include "pipeline/digitising.hpp"
#include "pipeline/groups.hpp"
#include "pipeline/load_sample.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/graphics/callback_text.hpp"
#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/graphics/layout_file.hpp"

namespace dg::fuzz {
namespace {

std::string_view text_of(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

void require(bool promise) {
  if (!promise) __builtin_trap();
}

bool every_mode = false;

bool finite_numbers(const nlohmann::json& json) {
  if (json.is_number_float()) return std::isfinite(json.get<double>());
  return !json.is_structured() || std::all_of(json.begin(), json.end(), finite_numbers);
}

// Runs `body` for one of a check's `modes` reading modes, chosen by the
// input's length, or for each of them where every mode is asked for.
template <class Body>
void each_mode(std::size_t size, int modes, Body body) {
  if (!every_mode) return body(static_cast<int>(size % static_cast<std::size_t>(modes)));
  for (int mode = 0; mode < modes; ++mode) body(mode);
}

// Three specimens of four landmarks, and their sizes.
const Matrix& sample() {
  static const Matrix x{
      {0, 0, 1, 0, 1, 1, 0, 1}, {0, 0, 2, 0, 2, 3, 0, 2}, {1, 1, 1, 1, 1, 1, 1, 1}};
  return x;
}
const std::vector<double> kSizes{2, 4.5, 0};
constexpr std::size_t kLandmarks = 4;

bool same_call(const CallbackCall& a, const CallbackCall& b) {
  return a.function == b.function && a.args == b.args;
}

void compare_g(double value) {
  char got[kMaxG];
  char* end = write_g(got, value);
  require(end > got && end <= got + kMaxG);
  std::string expected;
  if (std::isnan(value)) {
    expected = "NaN";
  } else if (std::isinf(value)) {
    expected = value < 0 ? "-Inf" : "Inf";
  } else {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%g", value);
    expected.assign(buffer, static_cast<std::size_t>(n));
  }
  require(std::string_view(got, static_cast<std::size_t>(end - got)) == expected);
}

// Where each line starts: LF, CR LF and a lone CR end a line, as in the readers.
std::vector<std::size_t> line_starts(std::string_view text) {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\n' || text[i] == '\r') starts.push_back(i + 1);
  }
  return starts;
}

// Whether the 1-based line starts with LM= (any letter case) after blanks.
bool starts_with_lm(std::string_view text, const std::vector<std::size_t>& starts,
                    std::size_t line) {
  if (line == 0 || line > starts.size()) return false;
  std::size_t at = starts[line - 1];
  if (at == 0 && text.substr(0, 3) == "\xEF\xBB\xBF") at = 3;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  if (text.size() - at < 3 || (text[at] | 0x20) != 'l' || (text[at + 1] | 0x20) != 'm')
    return false;
  // LM= or LM3=
  return text[at + 2] == '=' ||
         (text.size() - at >= 4 && text[at + 2] == '3' && text[at + 3] == '=');
}

// Whether two reads gave the same: rows bit for bit, records, warnings, names.
bool same_reads(const TpsData& a, const TpsData& b) {
  const Matrix& x = a.coordinates;
  const Matrix& y = b.coordinates;
  if (x.rows() != y.rows() || x.cols() != y.cols() ||
      std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) != 0 || a.namelist != b.namelist ||
      a.warnings != b.warnings || a.curve_points != b.curve_points ||
      a.dimensions != b.dimensions || a.incomplete != b.incomplete ||
      a.records.size() != b.records.size() || a.sizes.size() != b.sizes.size() ||
      std::memcmp(a.sizes.data(), b.sizes.data(), a.sizes.size() * sizeof(double)) != 0) {
    return false;
  }
  for (std::size_t r = 0; r < a.records.size(); ++r) {
    const SpecimenRecord& p = a.records[r];
    const SpecimenRecord& q = b.records[r];
    if (p.line != q.line || p.number != q.number || p.file() != q.file()) return false;
    for (auto f : {SpecimenRecord::Id, SpecimenRecord::Image, SpecimenRecord::Scale,
                   SpecimenRecord::Comment, SpecimenRecord::Variables}) {
      if (p.field(f) != q.field(f)) return false;
    }
  }
  return true;
}

}  // namespace

void run_every_mode(bool every) {
  every_mode = every;
}

void check_tps(const std::uint8_t* data, std::size_t size) {
  // As the load buttons read, with scale factors, and with curves and missing
  // landmarks (a code and negative values too). Missing values are not
  // combined with scale factors: inf times a zero factor is a NaN no landmark
  // was missing for. Each read is also made in a window of a few bytes on two
  // threads, which must give the same result or the same error. The last
  // mode reads LM= blocks as x y z, with missing landmarks.
  const TpsTextSource source(text_of(data, size));
  const std::size_t window = size == 0 ? 1 : 1 + data[size - 1] % 32;
  each_mode(size, 5, [&](int mode) {
    TpsOptions options;
    options.names = true;
    options.with_scale = mode == 1;
    options.curves = mode >= 2;
    options.missing = mode >= 2;
    if (mode == 4) options.dimensions = 3;
    if (mode == 3) {
      options.missing_code = -1000001;
      options.negative_missing = true;
    }
    std::optional<TpsData> whole;
    std::string error;
    try {
      whole = read_tps(text_of(data, size), "fuzz.tps", options, centsize);
    } catch (const RuntimeError& e) {
      error = e.what();
    }
    set_thread_count(2);
    try {
      const TpsData windowed = read_tps_windowed(source, "fuzz.tps", options, centsize, window);
      require(whole.has_value() && same_reads(*whole, windowed));
    } catch (const RuntimeError& e) {
      require(!whole.has_value() && error == e.what());
    }
    set_thread_count(0);
    if (!whole) return;
    const TpsData& tps = *whole;
    const Matrix& x = tps.coordinates;
    require(x.rows() == tps.namelist.size() && x.rows() == tps.records.size());
    require(tps.dimensions == 2 || tps.dimensions == 3);
    require(mode != 4 || tps.dimensions == 3);
    require(x.cols() % tps.dimensions == 0 && tps.sizes.size() == x.rows());
    require(tps.dimensions * tps.curve_points < x.cols());
    std::size_t with_nan = 0;
    for (std::size_t r = 0; r < x.rows(); ++r) {
      const SpecimenRecord& record = tps.records[r];
      require(record.number == r + 1 && record.file() == "fuzz.tps");
      require(r == 0 || record.line > tps.records[r - 1].line);
      const auto row = x.row(r);
      with_nan += std::any_of(row.begin(), row.end(), [](double v) { return std::isnan(v); });
    }
    require(tps.incomplete == (options.missing ? with_nan : 0));
    // Coordinates that look like a missing-value code stand at three or more
    // landmarks of two or more specimens, the first of which are named in
    // order and hold them as read (before any scale factor).
    const std::size_t d = tps.dimensions;
    for (const CodedMissing& code : tps.coded) {
      require(code.landmarks >= 3 && code.specimens >= 2 && code.specimens <= x.rows());
      require(code.coordinates.size() == d);
      require(std::find(code.coordinates.begin(), code.coordinates.end(), code.code) !=
              code.coordinates.end());
      require(code.first_rows.size() == std::min(code.specimens, kListedCodeRows));
      for (std::size_t i = 0; i < code.first_rows.size(); ++i) {
        const std::size_t r = code.first_rows[i];
        require(r < x.rows() && (i == 0 || r > code.first_rows[i - 1]));
        if (options.with_scale) continue;
        bool held = false;
        for (std::size_t c = 0; c + d <= x.cols() && !held; c += d) {
          held = std::equal(code.coordinates.begin(), code.coordinates.end(), x.row(r).begin() + c);
        }
        require(held);
      }
    }
    if (mode == 0 || mode == 4) {
      const std::vector<std::size_t> starts = line_starts(text_of(data, size));
      for (const SpecimenRecord& record : tps.records) {
        require(starts_with_lm(text_of(data, size), starts, record.line));
      }
    }
  });
}

void check_matrix(const std::uint8_t* data, std::size_t size) {
  // The readers' quick path for plain decimals reads what the full decimal
  // reader does, to the bit and to the byte, wherever it takes a number.
  const char* text = reinterpret_cast<const char*>(data);
  for (std::size_t at = 0, tried = 0; at < size && tried < 64; ++at) {
    double quick = 0;
    const char* end = detail::parse_plain_decimal(text + at, text + size, quick);
    if (end == nullptr) continue;
    ++tried;
    double full = 0;
    const auto read = fast_float::from_chars(text + at, text + size, full);
    require(read.ec == std::errc() && read.ptr == end &&
            std::memcmp(&quick, &full, sizeof quick) == 0);
  }
  // A dropped file's kind is told from the same bytes, or refused.
  try {
    const FileKind kind = file_kind("dropped.txt", text_of(data, size));
    require(kind == FileKind::Tps || kind == FileKind::Pairs || kind == FileKind::Triples ||
            kind == FileKind::Matrix);
  } catch (const RuntimeError&) {
  }
  try {
    Matrix m = parse_matrix(text_of(data, size), "fuzz.txt");
    require(m.size() == m.rows() * m.cols());
    require((m.rows() == 0) == (m.cols() == 0));
  } catch (const RuntimeError&) {
  }
}

void check_pairs(const std::uint8_t* data, std::size_t size) {
  Matrix list;
  try {
    list = parse_matrix(text_of(data, size), "pairs.txt");
  } catch (const RuntimeError&) {
    return;
  }
  std::vector<std::size_t> index;
  bool listed = true;
  try {
    index = landmark_indices(list, 2, 2, kLandmarks, "Pair");
    require(index.size() == 2 * list.rows() || list.empty());
    for (std::size_t i : index) require(i < kLandmarks);
  } catch (const RuntimeError&) {
    listed = false;
  }
  // The window's quiet check of a kept list agrees with the one that raises.
  if (!list.empty()) require(list_misfit(list, 2, 2, kLandmarks).has_value() == !listed);
  if (!listed) return;
  // The distances of a checked list: one per pair, then the size.
  const Matrix d = formtrad2(sample(), kSizes, index, {}, 2);
  require(d.rows() == sample().rows() && d.cols() == list.rows() + 1);
}

void check_triples(const std::uint8_t* data, std::size_t size) {
  try {
    Matrix list = parse_matrix(text_of(data, size), "triples.txt");
    Matrix angles = tradangle(sample(), landmark_indices(list, 2, 3, kLandmarks, "Triple"), 2);
    // An empty list gives no angles (the empty matrix is 0 x 0).
    if (list.empty()) {
      require(angles.empty());
    } else {
      require(angles.rows() == sample().rows() && angles.cols() == list.rows());
    }
    for (double a : angles.values()) require(std::isnan(a) || (a >= 0 && a <= std::numbers::pi));
  } catch (const RuntimeError&) {
  }
}

void check_callback(const std::uint8_t* data, std::size_t size) {
  CallbackCall call;
  try {
    call = parse_callback(text_of(data, size));
  } catch (const RuntimeError&) {
    return;
  }
  require(!call.function.empty());
  std::string written = format_callback(call);
  CallbackCall again;
  try {
    again = parse_callback(written);
  } catch (const RuntimeError&) {
    require(false);
  }
  require(same_call(call, again));
  require(format_callback(again) == written);
}

void check_layout(const std::uint8_t* data, std::size_t size) {
  HeadlessPlatform platform;
  Graphics graphics(platform);
  const std::size_t before = graphics.findall(0).size();
  try {
    Handle figure = load_figure_text(graphics, text_of(data, size), "fuzz.fig");
    require(graphics.is_handle(figure) && graphics.type(figure) == ObjectType::Figure);
  } catch (const RuntimeError&) {
    require(graphics.findall(0).size() == before);
  }
}

void check_write_g(const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0; at + 8 <= size; at += 8) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, data + at, 8);
    double raw = 0;
    std::memcpy(&raw, &bits, 8);
    compare_g(raw);
    // A decimal of up to eight digits and a power of ten, moved a few units in
    // the last place: the values where rounding to six digits is decided.
    char decimal[48];
    std::snprintf(decimal, sizeof decimal, "%llue%d",
                  static_cast<unsigned long long>(bits % 100000000),
                  static_cast<int>((bits >> 32) % 640) - 330);
    double near = std::strtod(decimal, nullptr);
    const int steps = static_cast<int>((bits >> 56) % 7) - 3;
    for (int i = 0; i < std::abs(steps); ++i) {
      near = std::nextafter(near, steps < 0 ? -HUGE_VAL : HUGE_VAL);
    }
    compare_g((bits >> 63) != 0 ? -near : near);
  }
}

void check_check(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = text_of(data, size);
  TpsOptions missing;
  missing.missing = true;
  missing.missing_code = -1;
  TpsOptions solid;
  solid.dimensions = 3;
  const TpsOptions modes[] = {TpsOptions{}, missing, solid};
  each_mode(size, 3, [&](int mode) {
    const TpsOptions& options = modes[mode];
    const CheckReport report = check_tps(text, "fuzz.tps", options, actions::load_steps());
    const int status = check_status(report);
    require(status == 0 || status == 1 || status == 3);
    if (!options.missing) {
      bool refused = false;
      try {
        read_tps(text, "fuzz.tps", options, centsize);
      } catch (const RuntimeError&) {
        refused = true;
      }
      require((status == 1) == refused);
    }
    // The report dumps (its text is UTF-8) and reads back the same: JSON has
    // no NaN or infinity, which a dump would write as null.
    const nlohmann::json json = check_json(report);
    require(!json.dump().empty() && finite_numbers(json));
    const std::string report_text = check_text(report);
    require(!report_text.empty() && report_text.back() == '\n');
  });
}

// The check and the load read a text alike: for any text, in 2-D and 3-D,
// with and without missing values, the check's verdict is the load's, and
// when it loads, its specimens, landmarks, warnings and IDs are the loaded
// sample's.
void check_check_load(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = text_of(data, size);
  TpsOptions missing;
  missing.missing = true;
  TpsOptions solid;
  solid.dimensions = 3;
  TpsOptions solid_missing = solid;
  solid_missing.missing = true;
  solid_missing.missing_code = -1;
  const TpsOptions modes[] = {TpsOptions{}, missing, solid, solid_missing};
  each_mode(size, 4, [&](int mode) {
    const TpsOptions& options = modes[mode];
    const CheckReport report = check_tps(text, "fuzz.tps", options, actions::load_steps());
    std::vector<std::string> warnings;
    std::optional<Sample> sample;
    try {
      sample = finish_tps_load(read_tps(text, "fuzz.tps", options, centsize), "fuzz.tps",
                               "of \"fuzz.tps\"", warnings);
    } catch (const RuntimeError& e) {
      require(check_status(report) == 1 && report.error == e.what());
      return;
    }
    require(check_status(report) == (warnings.empty() ? 0 : 3));
    require(report.warnings == warnings);
    require(report.specimens == sample->specimens() && report.landmarks == sample->landmarks());
    require(report.records.size() == sample->specimens());
    for (std::size_t i = 0; i < report.records.size(); ++i) {
      require(report.records[i].id() == sample->records[i].id());
      require(report.records[i].image() == sample->records[i].image());
    }
  });
}

namespace {

// The decimals of a number token's mantissa and its exponent, if any.
struct Written {
  int decimals = 0;
  std::optional<int> exponent;
};

Written written_form(std::string_view token) {
  Written form;
  const std::size_t point = token.find('.');
  const std::size_t e = token.find_first_of("eE");
  if (point != std::string_view::npos) {
    form.decimals = static_cast<int>((e == std::string_view::npos ? token.size() : e) - point - 1);
  }
  if (e != std::string_view::npos) {
    const char* p = token.data() + e + 1;
    if (p != token.data() + token.size() && *p == '+') ++p;
    int exponent = 0;
    std::from_chars(p, token.data() + token.size(), exponent);
    form.exponent = exponent;
  }
  return form;
}

}  // namespace

void check_corrected(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHead = 14;
  if (size < kHead) return;
  const std::string_view text = text_of(data + kHead, size - kHead);
  const int mode = data[0] % 6;
  TpsOptions options;
  options.missing = mode != 0;
  if (mode == 2) options.missing_code = -1;
  options.negative_missing = mode == 3;
  if (mode == 4) options.dimensions = 3;
  options.curves = mode == 5;
  const std::string_view fallback = mode == 2 || mode == 3 ? "-1" : "NA";
  std::optional<TpsData> read;
  try {
    read = read_tps(text, "fuzz.tps", options);
  } catch (const RuntimeError&) {
    // A text the reader refuses is refused, edits or none.
    try {
      corrected_tps(text, "fuzz.tps", {}, options, fallback);
      require(false);
    } catch (const RuntimeError&) {
    }
    return;
  }
  const Matrix& x = read->coordinates;
  const CoordinateSpans spans = tps_coordinate_spans(text, options);
  const std::size_t d = spans.dimensions;
  const std::size_t k = spans.landmarks;
  require(spans.specimens() == x.rows() && d == read->dimensions);
  require(spans.width() + d * read->curve_points == x.cols());
  const auto value_at = [&](std::size_t t) { return token_value(text, spans.tokens[t]); };
  for (std::size_t t = 0; t < spans.tokens.size(); ++t) {
    const double v = x(t / spans.width(), t % spans.width());
    if (std::isnan(v)) {
      bool marked = false;
      for (std::size_t c = t - t % d; c < t - t % d + d; ++c) {
        marked = marked || std::isnan(value_at(c)) || missing_value(value_at(c), options);
      }
      require(marked);
    } else {
      require(value_at(t) == v);
    }
  }
  require(corrected_tps(text, "fuzz.tps", {}, options, fallback) == text);

  // Edits: each starts where the ones before leave its landmark.
  std::map<std::size_t, std::array<double, 3>> standing;  // by the landmark's first token
  std::vector<LandmarkEdit> edits;
  const std::size_t n = x.rows();
  for (std::size_t e = 0; e < data[1] % 5; ++e) {
    const std::uint8_t* b = data + 2 + 3 * e;
    LandmarkEdit edit;
    edit.specimen = b[0] % n + 1;
    edit.landmark = b[1] % k + 1;
    const std::size_t at = (edit.specimen - 1) * spans.width() + (edit.landmark - 1) * d;
    if (!standing.contains(at)) {
      std::array<double, 3> v{};
      for (std::size_t c = 0; c < d; ++c) v[c] = x(edit.specimen - 1, at % spans.width() + c);
      standing[at] = v;
    }
    edit.before = standing[at];
    edit.after = edit.before;
    const bool missing = std::any_of(edit.before.begin(), edit.before.begin() + d,
                                     [](double v) { return std::isnan(v); });
    switch (b[2] % 4) {
      case 0:
        if (options.missing) {
          edit.after.fill(std::nan(""));
          break;
        }
        [[fallthrough]];
      default:
        for (std::size_t c = 0; c < d; ++c) {
          const double step =
              (static_cast<int>(b[2] >> 2) - 32) * 0.37 * static_cast<double>(c + 1);
          edit.after[c] = missing ? 12.5 + step : edit.before[c] + step;
        }
        break;
      case 1:
        break;
    }
    standing[at] = edit.after;
    edits.push_back(edit);
  }
  std::string corrected;
  try {
    corrected = corrected_tps(text, "fuzz.tps", edits, options, fallback);
  } catch (const RuntimeError&) {
    return;  // a new value that is not finite or would read as missing
  }
  const TpsData back = read_tps(corrected, "fuzz.tps", options);
  const CoordinateSpans again = tps_coordinate_spans(corrected, options);
  require(back.coordinates.rows() == n && back.coordinates.cols() == x.cols());
  require(again.tokens.size() == spans.tokens.size());
  // Every byte between the tokens is as it was.
  std::size_t from = 0, from_again = 0;
  for (std::size_t t = 0; t < spans.tokens.size(); ++t) {
    require(text.substr(from, spans.tokens[t].begin - from) ==
            std::string_view(corrected).substr(from_again, again.tokens[t].begin - from_again));
    from = spans.tokens[t].begin + spans.tokens[t].size;
    from_again = again.tokens[t].begin + again.tokens[t].size;
  }
  require(text.substr(from) == std::string_view(corrected).substr(from_again));
  for (std::size_t r = 0; r < n; ++r) {
    require(back.records[r].id() == read->records[r].id());
    for (std::size_t j = 0; j < x.cols(); ++j) {
      const double was = x(r, j), now = back.coordinates(r, j);
      const std::size_t at = j < spans.width() ? r * spans.width() + j - j % d : SIZE_MAX;
      const auto edited = standing.find(at);
      if (edited == standing.end()) {
        // Not edited: the same bits, and the same token.
        require(std::memcmp(&was, &now, sizeof was) == 0);
        if (at != SIZE_MAX) {
          const TokenSpan a = spans.tokens[r * spans.width() + j];
          const TokenSpan b = again.tokens[r * spans.width() + j];
          require(text.substr(a.begin, a.size) ==
                  std::string_view(corrected).substr(b.begin, b.size));
        }
        continue;
      }
      const std::array<double, 3>& after = edited->second;
      const auto gone = [&](auto first) {
        return std::any_of(first, first + d, [](double v) { return std::isnan(v); });
      };
      if (gone(after.begin())) {
        // A landmark missing in the file stays as it was (without missing values
        // on, "nan 5" reads as NaN and 5); any other is read as missing.
        if (gone(x.row(r).begin() + (j - j % d))) {
          require(std::memcmp(&was, &now, sizeof was) == 0);
        } else {
          require(std::isnan(now));
        }
        continue;
      }
      const double target = after[j % d];
      const TokenSpan b = again.tokens[r * spans.width() + j];
      const std::string_view token = std::string_view(corrected).substr(b.begin, b.size);
      const Written form = written_form(token);
      const TokenSpan a = spans.tokens[r * spans.width() + j];
      // A coordinate left at the file's value keeps the file's token, "-0" or not.
      require(token == text.substr(a.begin, a.size) || !(token.front() == '-' && now == 0));
      // A number of the file (not a missing mark) keeps its form.
      if (const double held = value_at(r * spans.width() + j);
          std::isfinite(held) && !missing_value(held, options)) {
        const Written old = written_form(text.substr(a.begin, a.size));
        require(now == was || (old.decimals == form.decimals &&
                               old.exponent.has_value() == form.exponent.has_value()));
      }
      const double unit = std::pow(10.0, (form.exponent ? *form.exponent : 0) - form.decimals);
      require(now == target ||
              std::fabs(now - target) <= 0.5 * unit * (1 + 1e-9) + 4e-16 * std::fabs(target));
    }
  }
}

void check_digitising(const std::uint8_t* data, std::size_t size) {
  DigitisingSession read;
  try {
    read = read_digitising_text(text_of(data, size), "fuzz.tps");
  } catch (const RuntimeError&) {
    return;
  }
  require(!read.photos.empty());
  for (const DigitisedPhoto& photo : read.photos) {
    require(!photo.image.empty() && photo.xy.size() % 2 == 0 && photo.placed() <= read.landmarks);
  }
  // Written and read back: the same photos, names and counts, coordinates to
  // the five decimals written; a second writing gives the same bytes.
  const std::string written = digitising_text(read);
  const DigitisingSession back = read_digitising_text(written, "fuzz.tps");
  require(back.landmarks == read.landmarks && back.photos.size() == read.photos.size());
  for (std::size_t p = 0; p < read.photos.size(); ++p) {
    const DigitisedPhoto &a = read.photos[p], &b = back.photos[p];
    require(a.image == b.image && a.id == b.id && a.xy.size() == b.xy.size() &&
            a.scale.has_value() == b.scale.has_value());
    for (std::size_t i = 0; i < a.xy.size(); ++i) {
      const bool same = std::isnan(a.xy[i]) ? std::isnan(b.xy[i])
                        : std::isinf(a.xy[i])
                            ? a.xy[i] == b.xy[i]
                            : std::abs(a.xy[i] - b.xy[i]) <= 5e-6 + std::abs(a.xy[i]) * 1e-15;
      require(same);
    }
  }
  require(digitising_text(back) == written);
}

void check_groups(const std::uint8_t* data, std::size_t size) {
  // Four specimens: IDs a, b and a again, and one known by its image alone.
  static const Sample four = [] {
    Sample s;
    s.coordinates = Matrix(4, 2);
    s.sizes.assign(4, 1.0);
    auto text = std::make_shared<RecordText>();
    s.records.resize(4);
    const char* ids[] = {"a", "b", "a", ""};
    for (std::size_t i = 0; i < 4; ++i) {
      if (*ids[i] != 0) s.records[i].set(SpecimenRecord::Id, text->values, ids[i]);
    }
    s.records[3].set(SpecimenRecord::Image, text->values, "c.jpg");
    for (SpecimenRecord& record : s.records) record.attach(text);
    return s;
  }();
  SpecimenGroups groups;
  try {
    groups = csv_groups(four, text_of(data, size), "groups.csv");
  } catch (const RuntimeError&) {
    return;
  }
  // Every specimen has a group, the two rows of ID a the same one.
  require(groups.of.size() == 4 && groups.of[0] == groups.of[2]);
  for (std::size_t g : groups.of) require(g < groups.names.size() && !groups.names[g].empty());
}

std::span<const Check> checks() {
  static constexpr Check list[] = {
      {"tps", check_tps},
      {"matrix", check_matrix},
      {"pairs", check_pairs},
      {"triples", check_triples},
      {"callback", check_callback},
      {"layout", check_layout},
      {"write_g", check_write_g},
      {"check", check_check},
      {"check_load", check_check_load},
      {"corrected", check_corrected},
      {"digitising", check_digitising},
      {"groups", check_groups},
  };
  return list;
}

}  // namespace dg::fuzz
