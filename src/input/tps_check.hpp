// Checks a TPS file without computing anything: whether it would load, with
// which warnings (a likely missing-value code among them), and what a
// tolerant pass over its bytes finds (differing LM= counts, missing values,
// curves, SCALE= lines, IDs, centroid size outliers, signs of 3-D data, line
// ends and encoding), so that a user can mend the file or choose the load
// options.
//
// check_tps_file / check_tps never raise for a bad file: a file that cannot
// be read, or that the reader refuses, gives a failing report carrying the
// reader's message. The load is predicted by running the reader itself with
// the given options and the load's size column, then the load's refusal of a
// sample without a complete specimen.
//
// check_json gives the report as one JSON object with these keys (all always
// present; "first" lists hold at most kCheckListed entries; specimen numbers
// count LM= blocks from 1; lines count from 1, a lone CR ending a line too):
//   file            the file as given
//   verdict         "loads", "loads with warnings" or "fails"
//   status          0, 1 or 3 (check_status)
//   error           the reader's message when it fails, else null
//   warnings        every warning the load would print, in order
//   specimens       LM= blocks (the loaded rows when it loads)
//   landmarks       landmarks per specimen (the loaded width when it loads,
//                   else the first block's LM= count)
//   lm_counts       {first, differing, differing_first: [{specimen, line, count}],
//                    zero, zero_first: [{specimen, line}]}
//   missing         {landmarks, specimens, first: [{specimen, landmark, line}],
//                    code_hint: null or {value, landmarks, specimens}}
//                   landmarks with a coordinate written NA or nan; and the
//                   coordinates the load warns of as a likely missing-value
//                   code (coded_missing.hpp), the most common if several:
//                   value reads them as missing (--missing-code), landmarks
//                   and specimens hold them; null when the file does not load
//   curves          {specimens, min_points, max_points} (points of CURVES= blocks)
//   scale           {specimens, without, without_first: [{specimen, line}],
//                    loads_with_scale, scale_error: null or the reader's message}
//   ids             {without_id, without_name, image_stands_in,
//                    shared: [{id, specimens: [...]}]} (without_name: neither
//                    ID= nor IMAGE=; image_stands_in: without_name is 0)
//   sizes           null when the file does not load, else
//                   {median, split (see SizeSurvey), outliers: [{specimen, label,
//                    size, ratio}]}
//   three_d         {specimens, first: null or {specimen, line, keyword, count,
//                    numbers, three_per_line}}: LM= blocks read as x y that
//                   look like x y z data
//   three_d_counts  {specimens, first: null or {specimen, line, keyword, count,
//                    numbers}}: blocks read as x y z (LM3=, or LM= with
//                   dimensions 3) whose numbers are not three a landmark of
//                   their count
//   line_ends       {lf, crlf, cr, mixed, final_newline}
//   encoding        {name: "ASCII", "UTF-8" or "Latin-1 (not UTF-8)",
//                    byte_order_mark, first_non_utf8_line: null or a line}
// Non-finite numbers are null. JSON text must be UTF-8: a byte of the file
// that is not part of valid UTF-8 appears in a string as the text \xNN.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "input/sample_survey.hpp"
#include "input/tps_scan.hpp"
#include "runtime/array/specimen_record.hpp"

namespace dg {

// Each listed finding names at most this many specimens.
inline constexpr std::size_t kCheckListed = 5;

// A place in the file: the specimen (1-based LM= block) and a line.
struct CheckPlace {
  std::size_t specimen = 0;
  std::size_t line = 0;
  std::size_t value = 0;  // the LM= count, or the landmark number, where it applies
};

struct CheckReport {
  std::string file;
  bool loads = false;
  std::string error;                  // the reader's message when it does not load
  std::vector<std::string> warnings;  // reader's warnings, then the sample's
  std::size_t specimens = 0;
  std::size_t landmarks = 0;

  // LM= counts: the first block's, the blocks that differ from it, LM=0 blocks.
  std::size_t first_count = 0;
  std::size_t differing = 0;
  std::vector<CheckPlace> differing_first;  // value: the block's count
  std::size_t zero = 0;
  std::vector<CheckPlace> zero_first;

  // Coordinates written NA or nan (value: the landmark number).
  std::size_t missing_landmarks = 0;
  std::size_t missing_specimens = 0;
  std::vector<CheckPlace> missing_first;
  struct CodeHint {
    double value = 0;
    std::size_t landmarks = 0;
    std::size_t specimens = 0;
  };
  std::optional<CodeHint> code_hint;  // from the load's warning of a likely missing-value code
  bool missing_option = false;        // the load already treats missing values as such

  std::size_t curve_specimens = 0;
  std::size_t min_curve_points = 0;
  std::size_t max_curve_points = 0;

  std::size_t scale_specimens = 0;  // blocks with a SCALE= line
  std::size_t without_scale = 0;
  std::vector<CheckPlace> without_scale_first;
  bool loads_with_scale = false;  // a load with scale factors would succeed
  std::string scale_error;        // the reader's message when it would not

  std::size_t without_id = 0;
  std::size_t without_name = 0;         // blocks with neither ID= nor IMAGE=
  std::vector<SharedId> shared;         // rows 0-based
  bool shared_in_warnings = false;      // the load's warnings already name them
  std::vector<SpecimenRecord> records;  // one per LM= block, as surveyed

  bool has_sizes = false;  // the file loads, so centroid sizes are known
  SizeSurvey sizes;

  std::size_t three_d = 0;  // LM= blocks read as x y that look like x y z data
  struct ThreeD {
    std::size_t specimen = 0;
    std::size_t line = 0;
    std::string keyword;  // the keyword as written: "lm", "LM", "LM3", ...
    std::size_t count = 0;
    std::size_t numbers = 0;
    bool three_per_line = false;  // every coordinate line holds three numbers
  };
  ThreeD first_three_d;
  // Blocks read as x y z (LM3=, or LM= with dimensions 3) that hold another
  // count of numbers than three for each landmark of their count.
  std::size_t solid_misfits = 0;
  ThreeD first_solid_misfit;

  std::size_t lf = 0, crlf = 0, cr = 0;
  bool final_newline = false;
  std::string encoding;  // "ASCII", "UTF-8" or "Latin-1 (not UTF-8)"
  bool byte_order_mark = false;
  std::size_t first_non_utf8_line = 0;  // 0 when the text is UTF-8
};

// What a load does with a sample once it is read, which the check repeats:
// each specimen's size, and the steps that follow the reading (the
// superimposition and the findings that do not stop a load), given the
// text's reading, its name in messages, the source as the refusal of a
// sample without a complete specimen names it (`of "a.tps"`), and the
// warnings to append to; they raise what would stop the load. The caller
// passes them (actions::load_steps), so that the check's verdict is the
// load's by construction and the check computes nothing itself.
struct LoadSteps {
  RowSize size_of;
  std::function<void(TpsData data, const std::string& name, const std::string& source,
                     std::vector<std::string>& warnings)>
      finish;
};

// Reads the file at `path` and checks it; a file that cannot be read gives a
// failing report with the message a load would give.
CheckReport check_tps_file(const std::string& path, const TpsOptions& options,
                           const LoadSteps& steps);
// Checks TPS text; `file` names it in the report and the reader's messages.
CheckReport check_tps(std::string_view text, const std::string& file, const TpsOptions& options,
                      const LoadSteps& steps);

// 0 when the file loads cleanly, 1 when it does not load, 3 when it loads with warnings.
int check_status(const CheckReport& report);
// The report for a person: a first line with the verdict, then one finding a
// line, indented two spaces, the most actionable first.
std::string check_text(const CheckReport& report);
// The report as JSON, keys as listed above.
nlohmann::json check_json(const CheckReport& report);

}  // namespace dg
