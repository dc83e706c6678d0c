// The specimen browser: a window listing the sample's specimens beside the
// photo of the one selected, its landmarks as its file holds them, and the
// corrections made by dragging a landmark or marking it missing, with undo,
// redo and saving them into a corrected TPS file.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <numeric>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "display/showspecimen.hpp"
#include "input/tps_coordinate_spans.hpp"
#include "pipeline/load_sample.hpp"
#include "pipeline/specimen_sheet.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

constexpr const char* kBrowserTag = "SpecimenBrowser";
// Photos decoded ahead of the one shown, in the direction of the list.
constexpr std::size_t kPrefetched = 2;

bool missing(double v) {
  return std::isnan(v);
}

// The setting that keeps the photo folder named for a sample's folder.
std::string folder_key(const Session& session) {
  return "photos:" + sample_folder(session.handler);
}

std::size_t missing_count(const BrowserState& b, std::size_t row) {
  const auto xy = b.specimens.coordinates.row(row);
  std::size_t n = 0;
  for (std::size_t p = 0; p + 1 < xy.size(); p += 2) n += missing(xy[p]) || missing(xy[p + 1]);
  return n;
}

// "12. M-12156   photo   0.0412 flagged   2 missing"
std::string browser_row(const Session& session, std::size_t row) {
  const BrowserState& b = session.browser;
  const SpecimenRecord& record = session.handler.sample.records[row];
  // The ID, else the photo's file name without its folders, else the number.
  std::string name =
      record.id().empty() && !record.image().empty()
          ? std::string(record.image().substr(record.image().find_last_of("/\\") + 1))
          : record.name();
  std::string text = std::to_string(row + 1) + ". " + name + "   " +
                     (b.specimens.images[row] ? "photo" : "no photo");
  const auto& screened = session.analyses.screen.specimens;
  if (row < screened.size()) {
    text += "   " + sprintf("%.3g", screened[row].distance);
    if (screened[row].flagged) text += " flagged";
  }
  if (const std::size_t n = missing_count(b, row)) text += "   " + std::to_string(n) + " missing";
  return text;
}

std::optional<std::size_t> list_place(const BrowserState& b, std::size_t row) {
  const auto at = std::find(b.order.begin(), b.order.end(), row);
  if (at == b.order.end()) return std::nullopt;
  return static_cast<std::size_t>(at - b.order.begin());
}

void fill_list(Session& session) {
  BrowserState& b = session.browser;
  const std::size_t n = session.handler.sample.specimens();
  b.order.resize(n);
  std::iota(b.order.begin(), b.order.end(), 0);
  if (b.sorted && session.analyses.order.size() == n) b.order = session.analyses.order;
  std::vector<Value> rows;
  for (const std::size_t row : b.order) rows.emplace_back(browser_row(session, row));
  set_tagged(session, "BrowserList", "String", Value::cell_row(std::move(rows)));
  const auto at = list_place(b, b.shown);
  set_tagged(session, "BrowserList", "Value", Value(at ? static_cast<double>(*at + 1) : 0.0));
}

void show_edits(Session& session) {
  const BrowserState& b = session.browser;
  std::string text = b.applied == 0 ? std::string("No corrections")
                                    : count_of(b.applied, "correction") +
                                          (b.unsaved() ? ", not saved" : ", saved");
  if (b.applied < b.corrections.size()) {
    text += " (" + std::to_string(b.corrections.size() - b.applied) + " to redo)";
  }
  set_tagged(session, "BrowserEdits", "String", Value(text));
  enable(session, "BrowserUndo", b.applied > 0);
  enable(session, "BrowserRedo", b.applied < b.corrections.size());
  enable(session, "BrowserSave", b.applied > 0);
}

// Draws the specimen shown on its photo in the browser's axes, and gives
// the drawing back to the main window.
void draw_shown(Session& session) {
  Graphics& g = session.graphics;
  BrowserState& b = session.browser;
  const auto axes = g.find_by_tag("BrowserPhoto");
  if (axes.empty() || b.shown >= b.specimens.images.size()) return;
  const HandlerState& h = session.handler;
  const auto xy = b.specimens.coordinates.row(b.shown);
  SpecimenPicture picture;
  for (std::size_t p = 0; p + 1 < xy.size(); p += 2) {
    picture.x.push_back(xy[p]);
    picture.y.push_back(xy[p + 1]);
  }
  picture.image = b.specimens.images[b.shown];
  if (picture.image) picture.image_size = g.observer().image_size(*picture.image);
  const OutlierScreen& screen = session.analyses.screen;
  picture.label = specimen_caption(
      h.sample, screen.specimens.size() == h.sample.specimens() ? &screen : nullptr, b.shown);
  picture.image_name = std::string(h.sample.records[b.shown].image());
  picture.selected = b.landmark;
  const std::size_t k = h.sample.landmarks();
  CheckedList pairs{Matrix(), 2, {}}, triples{Matrix(), 3, {}};
  if (b.protocol) {
    if (fits(h.tlengths, 2, k)) pairs = checked_list(h.tlengths, 2, k);
    if (fits(h.tangles, 3, k)) triples = checked_list(h.tangles, 3, k);
    picture.pairs = &pairs;
    picture.triples = &triples;
  }
  showspecimen(g, axes.front(), picture);

  const SpecimenRecord& record = h.sample.records[b.shown];
  std::string where = picture.image            ? *picture.image
                      : record.image().empty() ? std::string("The file names no photo (IMAGE=).")
                                               : "Photo not found: " + std::string(record.image());
  set_tagged(
      session, "BrowserShown", "String",
      Value::text_cell({specimen_label(b.shown, h.sample.records) + " of " + record.file() +
                            (b.landmark ? ", landmark " + std::to_string(b.landmark) + " selected"
                                        : std::string()),
                        where}));
  // The photos next in the list are decoded while the user looks at this one.
  std::vector<std::string> ahead;
  if (const auto at = list_place(b, b.shown)) {
    for (std::size_t i = 1; i <= kPrefetched && *at + i < b.order.size(); ++i) {
      if (const auto& image = b.specimens.images[b.order[*at + i]]) ahead.push_back(*image);
    }
    if (*at > 0) {
      if (const auto& image = b.specimens.images[b.order[*at - 1]]) ahead.push_back(*image);
    }
  }
  if (!ahead.empty()) g.observer().prefetch_images(ahead);
}

void show_row(Session& session, std::size_t row) {
  BrowserState& b = session.browser;
  if (row != b.shown) b.landmark = 0;
  b.shown = row;
  const auto at = list_place(b, row);
  set_tagged(session, "BrowserList", "Value", Value(at ? static_cast<double>(*at + 1) : 0.0));
  draw_shown(session);
}

// The browser's specimens read again from their files, with the photo
// folder kept for the sample's folder.
void read_specimens(Session& session) {
  BrowserState& b = session.browser;
  const HandlerState& h = session.handler;
  b.images = session.platform.setting(folder_key(session));
  LoadOptions options;
  options.reading = h.reading;
  b.specimens = digitised_specimens(h.sample, options, b.images);
}

void fill_browser(Session& session) {
  fill_list(session);
  show_edits(session);
  set_tagged(session, "BrowserSort", "Value", Value(session.browser.sorted ? 1.0 : 0.0));
  set_tagged(session, "BrowserProtocol", "Value", Value(session.browser.protocol ? 1.0 : 0.0));
  draw_shown(session);
}

// The correction's coordinates as the landmark now holds them.
std::array<double, 3> landmark_now(const BrowserState& b, std::size_t row, std::size_t landmark) {
  const auto xy = b.specimens.coordinates.row(row);
  return {xy[2 * (landmark - 1)], xy[2 * (landmark - 1) + 1], 0};
}

void put_landmark(BrowserState& b, std::size_t row, std::size_t landmark,
                  const std::array<double, 3>& at) {
  auto xy = b.specimens.coordinates.row(row);
  xy[2 * (landmark - 1)] = at[0];
  xy[2 * (landmark - 1) + 1] = at[1];
}

// `to` is taken by value: it may be a correction of the list this one grows.
void correct(Session& session, std::size_t landmark, std::array<double, 3> to) {
  BrowserState& b = session.browser;
  const std::size_t row = b.shown;
  Correction c{row, {}};
  c.edit.specimen = session.handler.sample.records[row].number;
  c.edit.landmark = landmark;
  c.edit.before = landmark_now(b, row, landmark);
  c.edit.after = to;
  b.corrections.resize(b.applied);
  if (b.saved > b.applied) b.saved = std::numeric_limits<std::size_t>::max();
  b.corrections.push_back(c);
  b.applied = b.corrections.size();
  put_landmark(b, row, landmark, to);
  b.landmark = landmark;
  const auto at = list_place(b, row);
  if (at) {
    // The row's missing count may have changed.
    fill_list(session);
  }
  show_edits(session);
  draw_shown(session);
}

void step(Session& session, int by) {
  BrowserState& b = session.browser;
  const auto at = list_place(b, b.shown);
  if (!at || b.order.empty()) return;
  const auto next = static_cast<std::ptrdiff_t>(*at) + by;
  if (next < 0 || next >= static_cast<std::ptrdiff_t>(b.order.size())) return;
  show_row(session, b.order[static_cast<std::size_t>(next)]);
}

// The time a correction was saved, as the log writes it: 2026-12-08T14:05:09Z.
std::string now_text() {
  const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &t);
#else
  gmtime_r(&t, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

bool browser_open(const Session& session) {
  return tagged_figure(session, kBrowserTag).has_value();
}

void toggle_browser(Session& session) {
  if (auto open = tagged_figure(session, kBrowserTag)) {
    if (keeps_unsaved_corrections(session, "Close the specimen photos",
                                  "closing the specimen photos")) {
      return;
    }
    session.graphics.close(*open);
    session.browser.sample_changed();
    return session.report("Specimen photos closed");
  }
  if (no_sample(session)) return;
  const Sample& s = session.handler.sample;
  if (s.consensus.empty() || s.dimensions != 2) {
    return session.report(
        "The specimen photos show a 2-D sample read from TPS files on the photos its IMAGE= "
        "lines name.");
  }
  read_specimens(session);
  if (!s.consensus.empty() && session.analyses.order.empty()) screen_sample(session);
  open_window(session, "SpecimenBrowser.fig");
  fill_browser(session);
  std::size_t found = 0;
  for (const auto& image : session.browser.specimens.images) found += image.has_value();
  session.report("Specimen photos: " + std::to_string(found) + " of " +
                 count_of(s.specimens(), "photo") + " found");
}

void browser_sample_changed(Session& session) {
  session.browser.sample_changed();
  const auto open = tagged_figure(session, kBrowserTag);
  if (!open) return;
  if (session.handler.sample.empty()) {
    session.graphics.close(*open);
    return;
  }
  read_specimens(session);
  fill_browser(session);
}

void browser_show(Session& session, std::size_t row) {
  if (!browser_open(session) || row >= session.browser.specimens.images.size()) return;
  show_row(session, row);
}

bool keeps_unsaved_corrections(Session& session, std::string_view title, std::string_view before) {
  if (!session.browser.unsaved()) return false;
  switch (session.platform.ask_unsaved(
      title,
      "The landmark corrections were not saved. Save them before " + std::string(before) + "?")) {
    case Platform::Unsaved::cancel:
      return true;
    case Platform::Unsaved::discard:
      return false;
    case Platform::Unsaved::save:
      browser_save(session);
      return session.browser.unsaved();
  }
  return true;
}

void browser_select(Session& session) {
  BrowserState& b = session.browser;
  for (Handle box : session.graphics.find_by_tag("BrowserList")) {
    const Value v = session.graphics.get(box, "Value");
    if (!v.is_double() || v.numel() != 1) continue;
    const double at = v.scalar();
    if (at >= 1 && at <= static_cast<double>(b.order.size())) {
      return show_row(session, b.order[static_cast<std::size_t>(at) - 1]);
    }
  }
}

void browser_key(Session& session) {
  const auto figure = tagged_figure(session, kBrowserTag);
  if (!figure) return;
  const std::string key = session.graphics.get(*figure, "CurrentKey").text();
  if (key == "pageup") return step(session, -1);
  if (key == "pagedown") return step(session, 1);
  if (key == "ctrl+z") return browser_undo(session);
  if (key == "ctrl+shift+z" || key == "ctrl+y") return browser_redo(session);
  if (key != "delete") return;
  BrowserState& b = session.browser;
  if (b.landmark == 0) return session.report("Click a landmark first, then press Delete.");
  const auto now = landmark_now(b, b.shown, b.landmark);
  if (!missing(now[0])) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    correct(session, b.landmark, {kNaN, kNaN, 0});
    return session.report("Landmark " + std::to_string(b.landmark) +
                          " marked missing; Delete again restores it");
  }
  // A second Delete restores the place the landmark had before it was marked.
  for (std::size_t i = b.applied; i-- > 0;) {
    const Correction& c = b.corrections[i];
    if (c.row != b.shown || c.edit.landmark != b.landmark || !missing(c.edit.after[0])) continue;
    if (missing(c.edit.before[0])) break;
    correct(session, b.landmark, c.edit.before);
    return session.report("Landmark " + std::to_string(b.landmark) + " restored");
  }
  session.report("Landmark " + std::to_string(b.landmark) +
                 " is missing in the file itself: there is no place to restore.");
}

void browser_click(Session& session) {
  BrowserState& b = session.browser;
  const auto axes = session.graphics.find_by_tag("BrowserPhoto");
  if (axes.empty() || b.shown >= b.specimens.images.size()) return;
  const Value point = session.graphics.get(axes.front(), "CurrentPoint");
  const double px = point.matrix()(0, 0), py = point.matrix()(0, 1);
  const auto l = session.graphics.limits_of(axes.front());
  // The nearest landmark within a fortieth of the view's width.
  const double reach = (l[1] - l[0]) / 40;
  double nearest = reach * reach;
  std::size_t found = 0;
  const auto xy = b.specimens.coordinates.row(b.shown);
  for (std::size_t p = 0; p + 1 < xy.size(); p += 2) {
    if (missing(xy[p]) || missing(xy[p + 1])) continue;
    const double d = (xy[p] - px) * (xy[p] - px) + (xy[p + 1] - py) * (xy[p + 1] - py);
    if (d <= nearest) {
      nearest = d;
      found = p / 2 + 1;
    }
  }
  if (found == 0) return;
  b.landmark = found;
  draw_shown(session);
}

void browser_drag(Session& session) {
  BrowserState& b = session.browser;
  const auto line = session.graphics.gcbo();
  const auto axes = session.graphics.find_by_tag("BrowserPhoto");
  if (!line || axes.empty() || b.shown >= b.specimens.images.size()) return;
  const Value number = session.graphics.get(*line, "UserData");
  const std::size_t k = session.handler.sample.landmarks();
  if (!number.is_double() || number.numel() != 1 || number.scalar() < 1 ||
      number.scalar() > static_cast<double>(k)) {
    return;
  }
  const auto landmark = static_cast<std::size_t>(number.scalar());
  const Value point = session.graphics.get(axes.front(), "CurrentPoint");
  correct(session, landmark, {point.matrix()(0, 0), point.matrix()(0, 1), 0});
  session.report("Landmark " + std::to_string(landmark) + " moved to " +
                 sprintf("%.1f", point.matrix()(0, 0)) + " " +
                 sprintf("%.1f", point.matrix()(0, 1)));
}

void browser_undo(Session& session) {
  BrowserState& b = session.browser;
  if (b.applied == 0) return session.report("No correction to undo.");
  const Correction& c = b.corrections[--b.applied];
  put_landmark(b, c.row, c.edit.landmark, c.edit.before);
  b.landmark = c.edit.landmark;
  fill_list(session);
  show_row(session, c.row);
  show_edits(session);
  session.report("Undid the correction of landmark " + std::to_string(c.edit.landmark) + " of " +
                 specimen_label(c.row, session.handler.sample.records));
}

void browser_redo(Session& session) {
  BrowserState& b = session.browser;
  if (b.applied == b.corrections.size()) return session.report("No correction to redo.");
  const Correction& c = b.corrections[b.applied++];
  put_landmark(b, c.row, c.edit.landmark, c.edit.after);
  b.landmark = c.edit.landmark;
  fill_list(session);
  show_row(session, c.row);
  show_edits(session);
  session.report("Made the correction of landmark " + std::to_string(c.edit.landmark) + " again");
}

void browser_sort(Session& session) {
  BrowserState& b = session.browser;
  b.sorted = !b.sorted;
  if (b.sorted && session.analyses.order.empty()) screen_sample(session);
  fill_list(session);
  set_tagged(session, "BrowserSort", "Value", Value(b.sorted ? 1.0 : 0.0));
}

void browser_protocol(Session& session) {
  BrowserState& b = session.browser;
  b.protocol = !b.protocol;
  set_tagged(session, "BrowserProtocol", "Value", Value(b.protocol ? 1.0 : 0.0));
  if (b.protocol && session.handler.tlengths.empty() && session.handler.tangles.empty()) {
    session.report("Load pairs or triples to draw them on the photos.");
  }
  draw_shown(session);
}

void browser_folder(Session& session) {
  auto folder = session.platform.get_folder("Folder of the specimen photos");
  if (!folder) return;
  session.platform.store_setting(folder_key(session), *folder);
  BrowserState& b = session.browser;
  // The corrections stay: only where photos are looked for changes.
  const Matrix corrected = b.specimens.coordinates;
  read_specimens(session);
  b.specimens.coordinates = corrected;
  fill_list(session);
  draw_shown(session);
  std::size_t found = 0;
  for (const auto& image : b.specimens.images) found += image.has_value();
  session.report(std::to_string(found) + " of " +
                 count_of(session.handler.sample.specimens(), "photo") + " found");
}

void browser_save(Session& session) {
  BrowserState& b = session.browser;
  if (b.applied == 0) return session.report("No correction to save.");
  const std::vector<SpecimenRecord>& records = session.handler.sample.records;
  // One file at a time: the corrections of each file the sample was read from.
  std::vector<std::string> files;
  for (std::size_t i = 0; i < b.applied; ++i) {
    const std::string& file = records[b.corrections[i].row].file();
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
  }
  std::vector<std::string> written;
  // Saved before without taking any correction back since: the file written
  // then takes only the corrections made after, and its log only theirs.
  const bool onwards = b.saved <= b.applied;
  for (const std::string& file : files) {
    const FileChoice from = split_path(file);
    const auto dot = from.name.rfind('.');
    const std::string stem = dot == std::string::npos ? from.name : from.name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? ".tps" : from.name.substr(dot);
    const auto before = b.saved_to.find(file);
    const FileChoice last = before == b.saved_to.end()
                                ? FileChoice{stem + "-corrected" + extension, from.folder}
                                : split_path(before->second);
    auto choice =
        session.platform.put_file("*.tps;*.TPS", "Save corrected TPS", last.name, last.folder);
    if (!choice) break;
    const bool again = onwards && before != b.saved_to.end() && choice->path() == before->second;
    const std::string original = again ? before->second : file;
    std::vector<LandmarkEdit> edits;
    for (std::size_t i = again ? b.saved : 0; i < b.applied; ++i) {
      if (records[b.corrections[i].row].file() == file) edits.push_back(b.corrections[i].edit);
    }
    std::string fallback = "NA";
    const bool marks_missing = std::any_of(
        edits.begin(), edits.end(), [](const LandmarkEdit& e) { return std::isnan(e.after[0]); });
    FileText text;
    std::string reason;
    if (!read_whole_file(original, text, reason)) {
      raise("Error on file open: \"" + original + "\" (" + reason + ")");
    }
    if (marks_missing && !tps_missing_mark(text.view(), session.handler.reading)) {
      auto asked = session.platform.ask_text(
          "Missing landmarks",
          "The file has no mark of its own for a missing landmark. Write its coordinates as NA "
          "(read with File > Missing landmarks) or as a negative number such as -1 (read with "
          "that Missing-value code):",
          "NA");
      if (!asked) break;
      fallback = *asked;
    }
    save_corrected_tps(original, choice->path(), edits, session.handler.reading, fallback,
                       now_text());
    b.saved_to[file] = choice->path();
    written.push_back(choice->name);
  }
  if (written.size() == files.size()) b.saved = b.applied;
  show_edits(session);
  if (written.empty()) return;
  std::string names;
  for (const std::string& name : written) names += (names.empty() ? "" : ", ") + name;
  session.report("Saved " + count_of(b.applied, "correction") + " to " + names +
                 "; open it to measure the corrected sample");
}

}  // namespace dg::actions
