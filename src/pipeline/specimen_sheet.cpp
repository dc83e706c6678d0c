#include "pipeline/specimen_sheet.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "input/sample_survey.hpp"
#include "pipeline/outliers.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

constexpr std::size_t kLongestName = 80;

bool plain_byte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

// The page's look: a grid of cards as wide as the window allows.
constexpr std::string_view kStyle =
    R"(body { font-family: sans-serif; margin: 1.5em; color: #222; background: #f6f6f6; }
h1 { font-size: 1.3em; }
.sheet { display: grid; grid-template-columns: repeat(auto-fill, minmax(260px, 1fr)); gap: 12px; }
figure { margin: 0; padding: 6px; background: #fff; border: 1px solid #ccc; }
figure.flagged { border: 2px solid #c00; }
img { display: block; width: 100%; height: auto; }
figcaption { font-size: 0.85em; margin-top: 4px; line-height: 1.35; overflow-wrap: anywhere; }
.flag { color: #c00; font-weight: bold; }
.missing { color: #a50; }
)";

}  // namespace

std::string specimen_plot_name(std::size_t row, std::size_t count, const SpecimenRecord& record,
                               std::string_view extension) {
  std::string number = std::to_string(row + 1);
  const std::size_t width = std::to_string(std::max<std::size_t>(count, 1)).size();
  if (number.size() < width) number.insert(0, width - number.size(), '0');
  std::string_view name = record.id();
  if (name.empty()) {
    name = record.image();
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  }
  std::string part;
  for (char c : name) {
    if (plain_byte(c)) {
      part += c;
    } else if (part.empty() || part.back() != '_') {
      part += '_';
    }
    if (part.size() >= kLongestName) break;
  }
  return part.empty() ? number + std::string(extension)
                      : number + "-" + part + std::string(extension);
}

std::string outlier_verdict(const OutlierScreen* screen, std::size_t row) {
  if (!screen || row >= screen->specimens.size()) return "not screened";
  const SpecimenDistance& s = screen->specimens[row];
  if (std::isnan(s.distance)) return "no landmark to measure";
  std::string text = "distance " + short_number(s.distance) +
                     (s.incomplete ? " over its present landmarks" : "") + ", rank " +
                     std::to_string(s.rank) + " of " + std::to_string(screen->specimens.size());
  if (s.flagged) text += "; flagged (above " + short_number(screen->threshold) + ")";
  if (s.swap_first != 0) {
    text += ": landmarks " + std::to_string(s.swap_first) + " and " +
            std::to_string(s.swap_second) + " look swapped";
  }
  if (s.mirrored) text += "; the mirror image fits better";
  return text;
}

std::string specimen_caption(const Sample& sample, const OutlierScreen* screen, std::size_t row) {
  return specimen_label(row, sample.records) + "\n" + outlier_verdict(screen, row);
}

std::string html_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string url_name(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : name) {
    if (plain_byte(c) || c == '~') {
      out += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

void write_contact_sheet(const std::string& path, const Sample& sample, const OutlierScreen* screen,
                         const std::vector<std::string>& files,
                         const std::vector<std::optional<std::string>>& photos) {
  const std::size_t n = std::min(files.size(), sample.specimens());
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (screen && screen->specimens.size() >= n) {
    // Largest distance first; specimens without one last, each group in sample order.
    const auto& d = screen->specimens;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      const bool ha = !std::isnan(d[a].distance), hb = !std::isnan(d[b].distance);
      if (ha != hb) return ha;
      return ha && d[a].distance > d[b].distance;
    });
  }
  const std::string name = html_text(sample.name);
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<title>Specimens of " + name + "</title>\n<style>\n" + std::string(kStyle) +
          "</style>\n</head>\n<body>\n<h1>Specimens of " + name + "</h1>\n<p>" +
          std::to_string(sample.specimens()) + " specimens of " +
          std::to_string(sample.landmarks()) +
          " landmarks, each on its photo as digitised, numbered as in the sample. ";
  page += screen ? html_text(outlier_report(sample, *screen).front()) +
                       " Sorted by that distance, largest first."
                 : std::string("Not screened for outliers; in the sample's order.");
  page += "</p>\n<div class=\"sheet\">\n";
  for (const std::size_t row : order) {
    const SpecimenRecord* record = row < sample.records.size() ? &sample.records[row] : nullptr;
    const bool flagged = screen && row < screen->specimens.size() && screen->specimens[row].flagged;
    const std::string href = url_name(files[row]);
    page += flagged ? "<figure class=\"flagged\">" : "<figure>";
    page += "<a href=\"" + href + "\"><img src=\"" + href + "\" alt=\"specimen " +
            std::to_string(row + 1) + "\" loading=\"lazy\"></a>\n<figcaption><b>" +
            std::to_string(row + 1) + "</b>";
    if (record && !record->id().empty()) page += " ID=" + html_text(record->id());
    page += "<br>" + std::string(flagged ? "<span class=\"flag\">" : "<span>") +
            html_text(outlier_verdict(screen, row)) + "</span>";
    if (record && !record->image().empty() && (row >= photos.size() || !photos[row])) {
      page +=
          "<br><span class=\"missing\">image not found: " + html_text(record->image()) + "</span>";
    }
    page += "</figcaption></figure>\n";
  }
  page += "</div>\n</body>\n</html>\n";
  AtomicFile file(path);
  file.write(page);
  file.commit();
}

}  // namespace dg
