// The window's own entries: a dropped file, the recent files, the plot saved
// as a file, and the Help menu.
#include <algorithm>
#include <array>
#include <filesystem>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "display/CopyBigImage.hpp"
#include "input/file_kind.hpp"
#include "input/missing_code.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/property_table.hpp"

#ifndef DISTANGLER_VERSION
#error "DISTANGLER_VERSION is set by CMake from the project's version"
#endif

namespace dg::actions {
namespace {

// The load actions a file can be given to.
constexpr std::array<Action, 5> kLoads{Action::GetTPSData, Action::GetTPSScale, Action::GetData,
                                       Action::GetLengths, Action::GetAngles};

std::string extension(const std::string& path) {
  const std::string name = split_path(path).name;
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : lower(name.substr(dot));
}

// Which load reads a file, by what it holds.
Action load_for(const std::string& path) {
  switch (file_kind_of(path)) {
    case FileKind::Tps:
      return Action::GetTPSData;
    case FileKind::Pairs:
      return Action::GetLengths;
    case FileKind::Triples:
      return Action::GetAngles;
    case FileKind::Matrix:
      break;
  }
  return Action::GetData;
}

// Runs the load `load` on a file, as if the file had been picked in its dialog.
void open_with(Session& session, Action load, const std::string& path, const TpsOptions& options) {
  switch (load) {
    case Action::GetTPSScale:
      return load_files(session, Source::TpsScale, {path}, options);
    case Action::GetData:
      return load_files(session, Source::Matrix, {path}, options);
    case Action::GetLengths:
      return load_pairs(session, path);
    case Action::GetAngles:
      return load_triples(session, path);
    default:
      return load_files(session, Source::Tps, {path}, options);
  }
}

// A recent file as remember_file stored it: "Word:path", or
// "Word;option;...:path" with the reading options of the load (see
// recent_word); an entry of no known load is a bare path.
struct RecentEntry {
  std::optional<Action> load;
  std::vector<std::string> options;
  std::string path;
};

RecentEntry parse_recent(const std::string& entry) {
  const std::size_t colon = entry.find(':');
  if (colon != std::string::npos) {
    std::vector<std::string> head;
    for (std::size_t at = 0; at <= colon;) {
      const std::size_t end = std::min(entry.find(';', at), colon);
      head.push_back(entry.substr(at, end - at));
      at = end + 1;
    }
    const auto known = action_named(head.front());
    if (known && std::find(kLoads.begin(), kLoads.end(), *known) != kLoads.end()) {
      return {*known, std::vector<std::string>(head.begin() + 1, head.end()),
              entry.substr(colon + 1)};
    }
  }
  return {{}, {}, entry};
}

// The reading options a recent sample was loaded with, over the window's others.
TpsOptions recent_options(const TpsOptions& current, const std::vector<std::string>& options) {
  TpsOptions reading = current;
  reading.curves = reading.missing = reading.negative_missing = false;
  reading.missing_code.reset();
  reading.dimensions = 2;
  for (const std::string& option : options) {
    if (option == "curves") reading.curves = true;
    if (option == "missing") reading.missing = true;
    if (option == "dimensions=3") reading.dimensions = 3;
    if (option.rfind("code=", 0) == 0) set_missing_code(reading, option.substr(5));
  }
  return reading;
}

}  // namespace

void open_dropped(Session& session) {
  auto figure = session.graphics.gcbf();
  std::string path = figure ? session.graphics.get(*figure, "DroppedFile").text() : "";
  if (path.empty()) {
    auto choice = session.platform.get_file("*.*", "Open a landmark file or list");
    if (!choice) return;
    path = choice->path();
  }
  open_file(session, path);
}

void open_file(Session& session, const std::string& path) {
  open_with(session, load_for(path), path, session.tps_options);
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
    std::string label = parse_recent(entry).path;
    // A '&' in a path is shown as itself, not as a mnemonic.
    for (std::size_t at = label.find('&'); at != std::string::npos; at = label.find('&', at + 2)) {
      label.insert(at, "&");
    }
    Handle item = g.new_uimenu(menu);
    g.set(item, "Label", Value(label));
    g.set(item, "UserData", Value(entry));
    g.set(item, "Callback", Value(callback_of(Action::OpenRecent)));
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
  const RecentEntry recent = parse_recent(entry);
  const std::string& path = recent.path;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file_path(path), error)) {
    std::vector<std::string> files = session.platform.recent_files();
    std::erase(files, entry);
    session.platform.store_recent_files(files);
    raise("The recent file \"" + path + "\" no longer exists; it is taken off the list.");
  }
  if (!recent.load) return open_file(session, path);
  // A sample opens again as it was read, the window's own options unchanged.
  open_with(session, *recent.load, path, recent_options(session.tps_options, recent.options));
}

void save_plot(Session& session) {
  if (no_sample(session)) return;
  Graphics& g = session.graphics;
  const std::vector<std::string> formats = session.platform.plot_formats();
  std::string filter, listed;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    filter += (i ? ";*" : "*") + formats[i];
    listed += (i == 0 ? "" : i + 1 == formats.size() ? " or " : ", ") + formats[i];
  }
  auto choice = ask_save(session, filter, "Save the plot as",
                         sample_name(session.handler) + "-plot" + formats.front(),
                         sample_folder(session.handler));
  if (!choice) return;
  const std::string ext = extension(choice->name);
  if (std::find(formats.begin(), formats.end(), ext) == formats.end()) {
    raise("\"" + choice->name + "\" does not end in " + listed +
          ", so the plot has no format to be saved in.");
  }
  // The current figure's plot, framed as the plot copy is: the axes with
  // their tick labels, not the room of the window's controls.
  with_enlarged_plot(g,
                     [&](Handle figure) { session.platform.save_plot(g, figure, choice->path()); });
  session.report("Saved the plot to " + choice->name);
}

void getting_started(Session& session) {
  // Paragraphs of one line each, wrapped by the window that shows them.
  session.platform.show_report(
      "Getting started",
      "Distangler measures distances and angles between landmarks on every specimen of a "
      "sample and saves them as datasets, one line per specimen, for statistics programs. The "
      "buttons on the left follow the order of work, top to bottom; each step's result shows "
      "in the status line at the bottom, and a button is enabled only when its step can run.\n"
      "\n"
      "1. Open a sample: Load TPS... (Ctrl+O), Load TPS with scale... (Ctrl+Shift+O: each "
      "specimen multiplied by its SCALE= factor) or Load matrix... (a plain matrix, one specimen "
      "a line, taken as it is), or drop the file on the window. Several files picked together "
      "are read in order as one sample. A TPS sample is superimposed (centred, scaled to unit "
      "centroid size, rotated onto its consensus), then drawn.\n"
      "2. Open a protocol: Load pairs... for distances, Load triples... for angles, or drop the "
      "list on the window. Each row of a list is a number, then the landmark numbers (n a b for "
      "a pair, n a v b for a triple with its vertex v). A new list replaces the old one.\n"
      "3. Calculate distances.\n"
      "4. Save: Save log distances..., Save distances... (Ctrl+S), Save constrained "
      "distances..., Save angles... and Save angles in degrees..., or every table at once as "
      "CSV with File > Export tables... (Ctrl+E). No save replaces the sample, a list or the "
      "window's layout file.\n"
      "\n"
      "Plot pairs on mean and Plot triples on mean draw the protocol on the mean shape. Clear "
      "forgets the sample and keeps the lists for the next one. Clear, Quit and any load that "
      "would drop calculated distances never saved ask first whether to save them.\n"
      "\n"
      "The File menu repeats the loads, reopens the files opened lately (Open recent, with the "
      "reading options they were opened with), saves the plot as PNG, SVG or PDF (Save plot "
      "as...), and sets how TPS files are read: Curves as landmarks appends each specimen's "
      "CURVES= points after its landmarks; Missing landmarks keeps specimens with NA or nan "
      "coordinates; Missing-value code... names a number (or \"negative\") that stands for a "
      "missing coordinate. Check file... reports what a load of one or more files would find "
      "(landmark counts, missing values and codes, curves, SCALE= and ID= lines, size outliers, "
      "line ends and encoding) without loading them.\n"
      "\n"
      "Load 3-D TPS... reads x y z landmarks (a file with LM3= keywords loads as 3-D from any "
      "load). The sample is shown in the plane of its mean shape's two largest principal axes; "
      "drag on the plot to turn it, Home or a double click turns it back. The datasets measure "
      "the true 3-D distances and angles.\n"
      "\n"
      "Analyses > Outlying specimens docks a panel that ranks the specimens by their "
      "Procrustes distance to the consensus and flags those above Q3 + 1.5 IQR; selecting one "
      "draws it over the consensus, Leave out removes it from the sample (Undo leave-out brings "
      "it back). Analyses > Measurement error... reports the repeatability of every distance, "
      "angle and of the shape over replicate digitisations (several files of the same "
      "specimens, or an ID pattern), and saves its tables.\n"
      "\n"
      "Analyses > Groups... names each specimen's group (its file, an id: or image: pattern, or "
      "a CSV file of ID and group); the summary, the allometric slopes, the tables and the "
      "principal components then go by group. Summary of the variables... reports n, mean, sd, "
      "CV, range and missing count of every variable by group and offers to save the table. "
      "The three size corrections of the distances (allometric normalisation, log-shape ratios, "
      "Burnaby's correction) are saved as CSV tables. Principal components docks a panel "
      "plotting two components of any dataset, coloured by group; the pointer names a "
      "specimen, a click selects it in the sample plot and the specimen photos.\n"
      "\n"
      "Analyses > Specimen photos lists the specimens beside each one's photo (IMAGE=, looked "
      "for beside the TPS file and in the Photo folder... named), its landmarks as the file "
      "holds them; Page Up and Page Down step through them. Drag a landmark to move it, click "
      "one and press Delete to mark it missing (Delete again restores it), Ctrl+Z undoes; Save "
      "corrected TPS... writes a copy in which only the corrected coordinates differ, with a "
      "log of the corrections beside it.\n"
      "\n"
      "File > New TPS from images... digitises photos: click each photo's landmarks in order "
      "(M marks the next one missing, Page Down goes to the next photo), with the loaded "
      "sample's mean shape as a guide; Measure a ruler... sets the photo's SCALE=. The TPS file "
      "is saved after every landmark, and Resume digitising a TPS file... goes on where the "
      "work stopped.\n"
      "\n"
      "Plot > Protocol designer (Ctrl+D) docks a panel beside the mean shape: Add distance and "
      "click two landmarks, Add angle and click three (arm end, vertex, arm end); All pairs and "
      "Chain add pairs at once; rows can be deleted and moved, every change undone (Ctrl+Z) and "
      "redone (Ctrl+Shift+Z); Esc drops a half-made pick. Save pairs... and Save triples... "
      "write the lists for later.\n"
      "\n"
      "On the plot, the mouse wheel zooms about the pointer, dragging pans (or turns a 3-D "
      "view), and a double click or the Home key shows the whole sample again. The Plot menu "
      "fills, empties, enlarges or blackens the markers and thickens or thins the lines; "
      "Show landmark numbers (Ctrl+L) numbers the mean shape's landmarks; Copy enlarged plot "
      "(Ctrl+C) puts the plot on the clipboard.\n"
      "\n"
      "Ctrl+Q quits and F1 shows this text; Alt and the underlined letter presses a button, "
      "Tab moves down the column. Messages (at the bottom right) lists every message of the "
      "session with its time.",
      Platform::Text::prose);
}

void about(Session& session) {
  session.platform.show_report(
      "About Distangler",
      "Distangler " DISTANGLER_VERSION
      "\n"
      "Traditional morphometrics from landmark files: distances and angles between landmarks "
      "of every specimen, saved as datasets for statistics programs.",
      Platform::Text::prose);
}

}  // namespace dg::actions
