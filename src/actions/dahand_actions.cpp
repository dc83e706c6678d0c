#include "actions/dahand_actions.hpp"

#include <algorithm>

#include "guisupport/cla.hpp"
#include "morpho/landmark_count.hpp"

namespace dg::actions {
namespace {

bool calculated(const HandlerState& h) {
  return !h.traddata.empty() || h.distance_pairs.has_value();
}

bool fits(const Matrix& list, std::size_t count, std::size_t landmarks) {
  return !list.empty() && !list_misfit(list, 2, count, landmarks);
}

}  // namespace

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
  const bool sample = !h.data.empty();
  const std::size_t landmarks = landmark_count(h.data.cols(), h.dimensions);
  const bool pairs = sample && fits(h.tlengths, 2, landmarks);
  const bool triples = sample && fits(h.tangles, 3, landmarks);
  const bool distances = calculated(h);
  // The order of work: a sample, then a list, then the distances and their
  // saves. A new sample waits for "Clear"; a pair list is loaded once per
  // sample and calculation; the log distances come before "Save distances".
  const std::pair<std::string_view, bool> rules[] = {
      {"Load", !sample},
      {"GetPairs", sample && !distances && !h.pairs_loaded},
      {"GetTriples", sample},
      {"Calc", pairs && !distances},
      {"Save", distances && !h.saves_closed},
      {"Constrained", distances},
      {"Angles", triples},
      {"PlotPairs", sample},
      {"PlotTriples", sample},
      {"SavePlot", sample},
      {"Export", sample},
  };
  for (const auto& [tag, on] : rules) enable(session, tag, on);
  // A setting, always on; its check mark follows the session, also in a window opened anew.
  set_tagged(session, "NumbersMenu", "Checked", Value(session.landmark_numbers ? "on" : "off"));
  for (Handle menu : session.graphics.find_by_tag("RecentMenu")) fill_recent_menu(session, menu);
  refresh_designer(session);
  const Value title(h.name.empty() ? std::string("Distangler") : "Distangler - " + h.name);
  for (Handle box : session.graphics.find_by_tag("DataBox")) {
    if (auto figure = session.graphics.figure_of(box)) session.graphics.set(*figure, "Name", title);
  }
}

bool no_sample(Session& session) {
  if (!session.handler.data.empty()) return false;
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
  if (handler.records.empty()) return "sample";
  std::string name = split_path(handler.records.front().file()).name;
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
    name.erase(dot);
  }
  return name;
}

std::string sample_folder(const HandlerState& handler) {
  if (handler.records.empty()) return {};
  return split_path(handler.records.front().file()).folder;
}

std::string count_of(std::size_t n, std::string_view noun) {
  return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

void remember_file(Session& session, std::string_view word, const std::string& path) {
  const std::string entry = std::string(word) + ":" + path;
  std::vector<std::string> files = session.platform.recent_files();
  std::erase(files, entry);
  files.insert(files.begin(), entry);
  if (files.size() > kRecentFiles) files.resize(kRecentFiles);
  session.platform.store_recent_files(files);
}

void clear(Session& session) {
  HandlerState& h = session.handler;
  h.data = Matrix();
  h.records.clear();
  h.partial_size.clear();
  h.consensus = Matrix();
  h.consensus_passes = 0;
  // The distances belong to the sample; the lists are kept for the next one.
  h.traddata = Matrix();
  h.distance_pairs.reset();
  h.pairs_loaded = h.distances_saved = h.saves_closed = false;
  h.name.clear();
  session.designer.sample_changed();
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
  set_up_view(session);
  session.report("Cleared the sample.");
}

void exit(Session& session) {
  auto figure = session.graphics.gcbf();
  if (!figure) return;
  const HandlerState& h = session.handler;
  if (calculated(h) && !h.distances_saved &&
      !session.platform.confirm("Quit Distangler", "The distances calculated for " + h.name +
                                                       " were never saved. Quit anyway?")) {
    return;
  }
  // The protocol designer's panel goes with the window it is docked to.
  for (Handle panel : session.graphics.find_by_tag("ProtocolDesigner")) {
    session.graphics.close(panel);
  }
  session.graphics.close(*figure);
}

}  // namespace dg::actions
