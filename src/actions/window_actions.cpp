// The window's own entries: a dropped file, the recent files, the plot saved
// as a file, and the Help menu.
#include <algorithm>
#include <array>
#include <filesystem>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "input/file_kind.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/property_table.hpp"

#ifndef DISTANGLER_VERSION
#error "DISTANGLER_VERSION is set by CMake from the project's version"
#endif

namespace dg::actions {
namespace {

// The load actions a file can be given to, by their words.
constexpr std::array<std::string_view, 5> kLoads{"GetTPSData", "GetTPSScale", "GetData",
                                                 "GetLengths", "GetAngles"};

void run_load(Session& session, std::string_view word) {
  for (const ActionEntry& entry : kActions) {
    if (entry.word == word) return entry.run(session);
  }
}

std::string extension(const std::string& path) {
  const std::string name = split_path(path).name;
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : lower(name.substr(dot));
}

// Which load reads a file, by what it holds.
std::string_view load_for(const std::string& path) {
  switch (file_kind_of(path)) {
    case FileKind::Tps:
      return "GetTPSData";
    case FileKind::Pairs:
      return "GetLengths";
    case FileKind::Triples:
      return "GetAngles";
    case FileKind::Matrix:
      break;
  }
  return "GetData";
}

// Gives the file to the load's dialog and runs the load, unless the load
// could not run now: then the file must not answer some later dialog.
void open_with(Session& session, std::string_view word, const std::string& path) {
  const bool list = word == "GetLengths" || word == "GetAngles";
  if (list && no_sample(session)) return;
  session.platform.give_file(path);
  run_load(session, word);
}

}  // namespace

void open_dropped(Session& session) {
  auto choice = session.platform.get_file("*.*", "Open a landmark file or list");
  if (!choice) return;
  const std::string path = choice->path();
  open_with(session, load_for(path), path);
}

void fill_recent_menu(Session& session, Handle menu) {
  Graphics& g = session.graphics;
  const std::vector<std::string> files = session.platform.recent_files();
  // Rebuilt only when the list changed: a menu whose items change while it
  // opens would be rebuilt under the pointer.
  std::vector<std::string> shown;
  for (Handle item : g.children(menu)) {
    const Value entry = g.get(item, "UserData");
    shown.push_back(entry.is_char() ? entry.text() : std::string());
  }
  if (shown == (files.empty() ? std::vector<std::string>{""} : files)) return;
  for (Handle item : g.children(menu)) g.delete_object(item);
  for (const std::string& entry : files) {
    const std::size_t colon = entry.find(':');
    const bool worded =
        colon != std::string::npos &&
        std::find(kLoads.begin(), kLoads.end(), entry.substr(0, colon)) != kLoads.end();
    std::string label = worded ? entry.substr(colon + 1) : entry;
    // A '&' in a path is shown as itself, not as a mnemonic.
    for (std::size_t at = label.find('&'); at != std::string::npos; at = label.find('&', at + 2)) {
      label.insert(at, "&");
    }
    Handle item = g.new_uimenu(menu);
    g.set(item, "Label", Value(label));
    g.set(item, "UserData", Value(entry));
    g.set(item, "Callback", Value("distangler('dahand','OpenRecent')"));
  }
  if (files.empty()) {
    Handle item = g.new_uimenu(menu);
    g.set(item, "Label", Value("No recent files"));
    g.set(item, "Enable", Value("off"));
  }
}

void recent_files(Session& session) {
  auto menu = session.graphics.gcbo();
  if (menu && session.graphics.type(*menu) == ObjectType::UIMenu) fill_recent_menu(session, *menu);
}

void open_recent(Session& session) {
  auto item = session.graphics.gcbo();
  if (!item) return;
  const std::string entry = session.graphics.get(*item, "UserData").text();
  std::string_view word;
  std::string path = entry;
  if (const std::size_t colon = entry.find(':'); colon != std::string::npos) {
    const auto known = std::find(kLoads.begin(), kLoads.end(), entry.substr(0, colon));
    if (known != kLoads.end()) word = *known, path = entry.substr(colon + 1);
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(file_path(path), error)) {
    std::vector<std::string> files = session.platform.recent_files();
    std::erase(files, entry);
    session.platform.store_recent_files(files);
    raise("The recent file \"" + path + "\" no longer exists; it is taken off the list.");
  }
  open_with(session, word.empty() ? load_for(path) : word, path);
}

void save_plot(Session& session) {
  if (no_sample(session)) return;
  Graphics& g = session.graphics;
  const Handle figure = g.gcbf().value_or(g.gcf());
  auto choice = session.platform.put_file("*.png;*.svg;*.pdf", "Save the plot as",
                                          sample_name(session.handler) + "-plot.png",
                                          sample_folder(session.handler));
  if (!choice) return;
  const std::string ext = extension(choice->name);
  if (ext != ".png" && ext != ".svg" && ext != ".pdf") {
    raise("\"" + choice->name + "\" does not end in .png, .svg or .pdf, so the plot has no " +
          "format to be saved in.");
  }
  session.platform.save_plot(g, figure, choice->path());
  session.report("Saved the plot to " + choice->name);
}

void getting_started(Session& session) {
  // Lines of at most 72 characters: the report window does not wrap them.
  session.platform.show_report(
      "Getting started",
      "Distangler measures distances and angles between landmarks on every\n"
      "specimen of a sample and saves them as datasets, one line per specimen.\n"
      "\n"
      "1. Open a sample: Load TPS... (Ctrl+O), Load TPS with scale...\n"
      "   (Ctrl+Shift+O) or Load matrix..., or drop the file on the window.\n"
      "   A TPS sample is superimposed, then drawn.\n"
      "2. Open a protocol: Load pairs... for distances, Load triples... for\n"
      "   angles. Each row of a list is a number, then the landmark numbers\n"
      "   (n a b for a pair, n a v b for a triple with its vertex v).\n"
      "3. Calculate distances.\n"
      "4. Save: Save log distances..., Save distances... (Ctrl+S), Save\n"
      "   constrained distances..., Save angles..., or every table at once\n"
      "   as CSV with File > Export tables... (Ctrl+E).\n"
      "\n"
      "Clear forgets the sample and keeps the lists for the next one.\n"
      "\n"
      "On the plot, the mouse wheel zooms about the pointer, dragging pans,\n"
      "and a double click or the Home key shows the whole sample again.\n"
      "\n"
      "Shortcuts: Ctrl+C copies the enlarged plot, Ctrl+L numbers the\n"
      "landmarks of the mean shape, Ctrl+Q quits, F1 shows this text; Alt\n"
      "and the underlined letter presses a button. Messages (at the bottom\n"
      "right) lists every message of the session.");
}

void about(Session& session) {
  session.platform.show_report(
      "About Distangler",
      "Distangler " DISTANGLER_VERSION
      "\n"
      "Traditional morphometrics from landmark files: distances and angles between landmarks "
      "of every specimen, saved as datasets for statistics programs.");
}

}  // namespace dg::actions
