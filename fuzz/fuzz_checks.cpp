#include "fuzz_checks.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "actions/dahand_actions.hpp"
#include "input/dload.hpp"
#include "input/file_kind.hpp"
#include "input/tps_check.hpp"
#include "input/tps_scan.hpp"
#include "morpho/centsize.hpp"
#include "morpho/formtrad2.hpp"
#include "morpho/tradangle.hpp"
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

void check_tps(const std::uint8_t* data, std::size_t size) {
  // As the load buttons read, with scale factors, and with curves and missing
  // landmarks (a code and negative values too). Missing values are not
  // combined with scale factors: inf times a zero factor is a NaN no landmark
  // was missing for. Each read is also made in a window of a few bytes on two
  // threads, which must give the same result or the same error. The last
  // mode reads LM= blocks as x y z, with missing landmarks.
  const TpsTextSource source(text_of(data, size));
  const std::size_t window = size == 0 ? 1 : 1 + data[size - 1] % 32;
  for (int mode = 0; mode < 5; ++mode) {
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
    if (!whole) continue;
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
  }
}

void check_matrix(const std::uint8_t* data, std::size_t size) {
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
  for (const TpsOptions& options : {TpsOptions{}, missing, solid}) {
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
    const nlohmann::json json = check_json(report);
    require(nlohmann::json::parse(json.dump()) == json);
    const std::string report_text = check_text(report);
    require(!report_text.empty() && report_text.back() == '\n');
  }
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
  for (const TpsOptions& options : {TpsOptions{}, missing, solid, solid_missing}) {
    const CheckReport report = check_tps(text, "fuzz.tps", options, actions::load_steps());
    std::vector<std::string> warnings;
    std::optional<Sample> sample;
    try {
      sample = finish_tps_load(read_tps(text, "fuzz.tps", options, centsize), "fuzz.tps",
                               "of \"fuzz.tps\"", warnings);
    } catch (const RuntimeError& e) {
      require(check_status(report) == 1 && report.error == e.what());
      continue;
    }
    require(check_status(report) == (warnings.empty() ? 0 : 3));
    require(report.warnings == warnings);
    require(report.specimens == sample->specimens() && report.landmarks == sample->landmarks());
    require(report.records.size() == sample->specimens());
    for (std::size_t i = 0; i < report.records.size(); ++i) {
      require(report.records[i].id() == sample->records[i].id());
      require(report.records[i].image() == sample->records[i].image());
    }
  }
}

std::span<const Check> checks() {
  static constexpr Check list[] = {
      {"tps", check_tps},         {"matrix", check_matrix},     {"pairs", check_pairs},
      {"triples", check_triples}, {"callback", check_callback}, {"layout", check_layout},
      {"write_g", check_write_g}, {"check", check_check},       {"check_load", check_check_load},
  };
  return list;
}

}  // namespace dg::fuzz
