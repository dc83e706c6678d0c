// The reader's messages: where an error stands, which specimen it names, and
// the warnings a read ends with.
#include <algorithm>
#include <cstring>

#include "input/tps_lexer.hpp"
#include "input/tps_scanner.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/excerpt.hpp"

namespace dg::tps {

// "the end of the file", or the text from p to its line end (shortened) and its line.
std::string TpsScanner::where(const char* p) const {
  if (p == end_) return "the end of the file";
  const char* e = line_end(p, std::min(end_, p + kExcerptLength + 1));
  return excerpt(p, e, kExcerptLength) + " (line " + std::to_string(line_of(p)) + ")";
}

// Errors name the specimen's ID when its block has one; it is looked for only
// then, as errors are rare. Warnings keep the number and line alone.
std::string TpsScanner::specimen_text(std::size_t specimen, const char* keyword,
                                      bool with_id) const {
  std::string id;
  if (with_id) {
    const char* eq = static_cast<const char*>(std::memchr(keyword, '=', end_ - keyword));
    for (const char* p = eq + 1; p < end_; ++p) {
      p = static_cast<const char*>(std::memchr(p, '=', end_ - p));
      if (p == nullptr) break;
      const Key key = keyword_at(p, begin_);
      if (starts_specimen(key)) break;
      if (key == Key::Id) {
        const std::string_view value = value_after(p, end_);
        if (value.empty()) continue;
        const std::string quoted = excerpt(value.data(), value.data() + value.size(), 60);
        id = "ID=" + quoted.substr(1, quoted.size() - 2) + ", ";
        break;
      }
    }
  }
  return "\"" + file_ + "\", specimen " + std::to_string(specimen) + " (" + id + "line " +
         std::to_string(line_of(keyword)) + "): ";
}

void TpsScanner::fail(std::size_t specimen, const char* keyword, const std::string& what) const {
  raise(specimen_text(specimen, keyword, true) + what);
}

// A short read that stopped at NA tells how to load missing landmarks instead.
void TpsScanner::fail_short(std::size_t specimen, const char* keyword, const char* stop,
                            const std::string& what) const {
  if (na_token(stop, end_)) {
    fail(specimen, keyword,
         "\"NA\" on line " + std::to_string(line_of(stop)) +
             " marks a missing landmark; load with --missing (in the window: File > Missing "
             "landmarks) to keep the specimen with that landmark missing.");
  }
  fail(specimen, keyword, what);
}

// One warning per specimen with a differing count when there are few; a file
// with many gets one line that counts them and names the first few.
void TpsScanner::warn_mismatches(TpsData& out, std::size_t k) const {
  if (mismatches_ <= kListedMismatches) {
    out.warnings = listed_;
    return;
  }
  std::string places;
  for (std::size_t i = 0; i < listed_places_.size(); ++i) {
    places += (i == 0 ? "" : i + 1 == listed_places_.size() ? " and " : ", ") + listed_places_[i];
  }
  out.warnings.push_back(
      "\"" + file_ + "\": " + std::to_string(mismatches_) + " specimens have an " +
      (lm3_ ? "LM3=" : "LM=") + " count that differs from the first specimen's " +
      (lm3_ ? "LM3=" : "LM=") + std::to_string(k) + ", the first of them specimens " + places +
      "; the first " + landmarks_text(k) + " of each " + (k == 1 ? "is" : "are") + " kept.");
}

void TpsScanner::warn_curves(TpsData& out) const {
  if (curve_specimens_ == 0) return;
  const bool one = curve_specimens_ == 1;
  const std::string points =
      fewest_points_ == most_points_
          ? points_text(most_points_)
          : std::to_string(fewest_points_) + " to " + points_text(most_points_);
  out.warnings.push_back("\"" + file_ + "\": " + std::to_string(curve_specimens_) +
                         (one ? " specimen carries curves (" : " specimens carry curves (") +
                         points + (one ? "" : " each") +
                         "); they are not used; load them as extra landmarks with --curves (in "
                         "the window: File > Curves as landmarks).");
}

void TpsScanner::warn_missing(TpsData& out) const {
  if (incomplete_ == 0) return;
  std::string numbers;
  std::size_t listed = 0;
  for (std::size_t i = 0; i < missing_landmarks_.size(); ++i) {
    if (!missing_landmarks_[i]) continue;
    numbers += (listed++ == 0 ? "" : ", ") + std::to_string(i + 1);
  }
  out.warnings.push_back(
      "\"" + file_ + "\": " + std::to_string(incomplete_) + " of " + std::to_string(rows_) +
      (incomplete_ == 1 ? " specimens has" : " specimens have") + " missing landmarks (" +
      (listed == 1 ? "landmark " : "landmarks ") + numbers +
      "); they are kept, and every distance or angle that uses a missing "
      "landmark is NaN.");
}

}  // namespace dg::tps
