#include "actions/dahand_actions.hpp"

#include <algorithm>

#include "actions/run_callback.hpp"
#include "guisupport/cla.hpp"
#include "input/missing_code.hpp"
#include "runtime/graphics/figure_files.hpp"
#include "runtime/graphics/layout_file.hpp"

namespace dg::actions {
namespace {

bool calculated(const HandlerState& h) {
  return !h.traddata.empty();
}

}  // namespace

bool fits(const Matrix& list, std::size_t count, std::size_t landmarks) {
  return !list.empty() && !list_misfit(list, 2, count, landmarks);
}

void set_tagged(Session& session, std::string_view tag, std::string_view property,
                const Value& value) {
  auto handles = session.graphics.find_by_tag(tag);
  session.graphics.set_all(handles, property, value);
}

void enable(Session& session, std::string_view tag, bool on) {
  set_tagged(session, tag, "Enable", Value(on ? "On" : "Off"));
}

void refresh_window(Session& session) {
  const HandlerState& h = session.handler;
  const bool sample = !h.sample.empty();
  const std::size_t landmarks = h.sample.landmarks();
  const bool pairs = sample && fits(h.tlengths, 2, landmarks);
  const bool triples = sample && fits(h.tangles, 3, landmarks);
  const bool distances = calculated(h);
  // The order of work: a sample, then the lists, then the distances and
  // their saves. A new sample waits for "Clear"; a list can be replaced at
  // any time (a new pair list drops the distances); every save of the
  // distances stays open until they are dropped.
  const std::pair<std::string_view, bool> rules[] = {
      {"Load", !sample},
      {"GetPairs", sample},
      {"GetTriples", sample},
      {"Calc", pairs && !distances},
      {"Save", distances},
      {"Constrained", distances},
      {"Angles", triples},
      {"PlotPairs", pairs},
      {"PlotTriples", triples},
      {"SavePlot", sample},
      {"Export", sample},
      {"SampleAnalyses", sample},
      {"OutlierMenu", sample},
      {"PhotoMenu", sample},
      {"PcaMenu", sample},
      {"OutlierUndo", !session.analyses.before.empty()},
      {"MeasurementSaves", session.analyses.error.has_value()},
      {"SizeCorrections", pairs},
  };
  for (const auto& [tag, on] : rules) enable(session, tag, on);
  // A setting, always on; its check mark follows the session, also in a window opened anew.
  set_tagged(session, "NumbersMenu", "Checked", Value(session.landmark_numbers ? "on" : "off"));
  for (Handle menu : session.graphics.find_by_tag("RecentMenu")) fill_recent_menu(session, menu);
  refresh_designer(session);
  set_tagged(session, "OutlierMenu", "Checked", Value(outlier_panel_open(session) ? "on" : "off"));
  set_tagged(session, "PhotoMenu", "Checked", Value(browser_open(session) ? "on" : "off"));
  set_tagged(session, "PcaMenu", "Checked", Value(pca_panel_open(session) ? "on" : "off"));
  const std::string& name = h.sample.name;
  const Value title(name.empty() ? std::string("Distangler") : "Distangler - " + name);
  for (Handle box : session.graphics.find_by_tag("DataBox")) {
    if (auto figure = session.graphics.figure_of(box)) session.graphics.set(*figure, "Name", title);
  }
}

std::optional<Handle> main_figure(const Session& session) {
  for (Handle box : session.graphics.find_by_tag("DataBox")) {
    if (auto figure = session.graphics.figure_of(box)) return figure;
  }
  return std::nullopt;
}

std::optional<Handle> tagged_figure(const Session& session, std::string_view tag) {
  auto found = session.graphics.find_by_tag(tag);
  if (found.empty()) return std::nullopt;
  return found.front();
}

Handle open_panel(Session& session, std::string_view layout) {
  Graphics& g = session.graphics;
  const auto main = main_figure(session);
  const Handle figure = load_figure(g, std::string(layout));
  resolve_callbacks(session, figure);
  if (main) {
    const auto m = g.pixel_position(*main);
    const auto p = g.pixel_position(figure);
    g.set(figure, "Position", Value(Matrix{{m[0] + m[2] + 12, m[1] + m[3] - p[3], p[2], p[3]}}));
    g.set(figure, "Color", g.get(*main, "Color"));
    // Drawing goes on in the main window's axes.
    g.set(0, "CurrentFigure", Value(*main));
  }
  return figure;
}

Handle open_window(Session& session, std::string_view layout) {
  Graphics& g = session.graphics;
  const auto main = main_figure(session);
  const Handle figure = load_figure(g, std::string(layout));
  resolve_callbacks(session, figure);
  const auto screen = g.observer().screen_size();
  auto p = g.pixel_position(figure);
  // Over the main window, a little down and to the right, within the screen.
  if (main) {
    const auto m = g.pixel_position(*main);
    p[0] = m[0] + 40;
    p[1] = m[1] + m[3] - 40 - p[3];
    g.set(figure, "Color", g.get(*main, "Color"));
  }
  p[0] = std::clamp(p[0], 0.0, std::max(0.0, screen[0] - p[2]));
  p[1] = std::clamp(p[1], 0.0, std::max(0.0, screen[1] - p[3] - 60));
  g.set(figure, "Position", Value(Matrix{{p[0], p[1], p[2], p[3]}}));
  if (main) g.set(0, "CurrentFigure", Value(*main));
  return figure;
}

bool no_sample(Session& session) {
  if (!session.handler.sample.empty()) return false;
  session.report("No sample is loaded.");
  return true;
}

bool no_distances(Session& session) {
  if (no_sample(session)) return true;
  if (calculated(session.handler)) return false;
  session.report("Calculate the distances first.");
  return true;
}

std::string sample_name(const HandlerState& handler) {
  const auto& records = handler.sample.records;
  if (records.empty()) return "sample";
  std::string name = split_path(records.front().file()).name;
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
    name.erase(dot);
  }
  return name;
}

std::string sample_folder(const HandlerState& handler) {
  const auto& records = handler.sample.records;
  if (records.empty()) return {};
  return split_path(records.front().file()).folder;
}

std::string count_of(std::size_t n, std::string_view noun) {
  return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

std::vector<ReadFile> read_files(const Session& session) {
  const HandlerState& h = session.handler;
  std::vector<ReadFile> files;
  for (const SpecimenRecord& record : h.sample.records) {
    if (files.empty() || files.back().path != record.file()) {
      files.push_back({"the loaded sample", record.file()});
    }
  }
  if (!h.pairs_file.empty()) files.push_back({"the loaded pair list", h.pairs_file});
  if (!h.triples_file.empty()) files.push_back({"the loaded triple list", h.triples_file});
  for (Handle figure : session.graphics.figures()) {
    const Value layout = session.graphics.getappdata(figure, kLayoutFileData);
    if (layout.is_char()) files.push_back({"the window's layout file", layout.text()});
  }
  return files;
}

std::optional<FileChoice> ask_save(Session& session, std::string_view filter,
                                   std::string_view title, std::string_view suggested,
                                   std::string_view folder, std::string_view allowed) {
  auto choice = session.platform.put_file(filter, title, suggested, folder);
  if (!choice) return choice;
  std::vector<ReadFile> inputs = read_files(session);
  std::erase_if(inputs, [&](const ReadFile& input) { return input.path == allowed; });
  refuse_overwriting_input("The file", choice->path(), inputs);
  return choice;
}

void remember_file(Session& session, std::string_view word, const std::string& path) {
  const std::string entry = std::string(word) + ":" + path;
  std::vector<std::string> files = session.platform.recent_files();
  std::erase(files, entry);
  files.insert(files.begin(), entry);
  if (files.size() > kRecentFiles) files.resize(kRecentFiles);
  session.platform.store_recent_files(files);
}

void drop_distances(HandlerState& h) {
  h.traddata = Matrix();
  h.distances_saved = false;
}

bool keeps_unsaved_distances(Session& session, std::string_view title, std::string_view before) {
  const HandlerState& h = session.handler;
  if (!calculated(h) || h.distances_saved) return false;
  switch (session.platform.ask_unsaved(title, "The distances calculated for " + h.sample.name +
                                                  " were never saved. Save them before " +
                                                  std::string(before) + "?")) {
    case Platform::Unsaved::discard:
      return false;
    case Platform::Unsaved::save:
      save(session, Export::Lengths);
      return !session.handler.distances_saved;
    case Platform::Unsaved::cancel:
      break;
  }
  return true;
}

std::string recent_word(std::string_view word, const TpsOptions& options, bool tps) {
  std::string entry(word);
  if (options.dimensions == 3) entry += ";dimensions=3";
  if (!tps) return entry;
  if (options.curves) entry += ";curves";
  if (options.missing) entry += ";missing";
  if (const std::string code = missing_code_text(options); !code.empty()) entry += ";code=" + code;
  return entry;
}

void clear(Session& session) {
  if (keeps_unsaved_distances(session, "Clear the sample", "clearing the sample") ||
      keeps_unsaved_corrections(session, "Clear the sample", "clearing the sample")) {
    return;
  }
  cancel_load(session);
  HandlerState& h = session.handler;
  h.sample = Sample();
  // The distances belong to the sample; the lists are kept for the next one.
  drop_distances(h);
  session.designer.sample_changed();
  session.analyses.sample_changed();
  browser_sample_changed(session);
  size_sample_changed(session);
  set_tagged(session, "DataBox", "String", Value::text_cell({"No sample loaded", "", ""}));
  std::vector<std::string> kept;
  if (!h.tlengths.empty()) {
    kept.push_back(count_of(h.tlengths.rows(), "pair") + " from " + h.pairs_name + " (kept)");
  }
  if (!h.tangles.empty()) {
    kept.push_back(count_of(h.tangles.rows(), "triple") + " from " + h.triples_name + " (kept)");
  }
  if (kept.empty()) kept.push_back("No pairs or triples loaded");
  kept.resize(2);
  set_tagged(session, "LengthBox", "String", Value::text_cell({kept[0], kept[1]}));
  cla(session.graphics);
  session.styling.clear();
  set_up_view(session);
  session.report("Cleared the sample.");
}

void exit(Session& session) {
  auto figure = session.graphics.gcbf();
  if (!figure) return;
  if (keeps_unsaved_distances(session, "Quit Distangler", "quitting") ||
      keeps_unsaved_corrections(session, "Quit Distangler", "quitting")) {
    return;
  }
  cancel_load(session);
  // The panels and the photos go with the main window.
  for (const char* tag :
       {"ProtocolDesigner", "OutlierPanel", "PcaPanel", "SpecimenBrowser", "Digitiser"}) {
    for (Handle panel : session.graphics.find_by_tag(tag)) session.graphics.close(panel);
  }
  session.graphics.close(*figure);
}

}  // namespace dg::actions
