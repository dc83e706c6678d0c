// The state of one running program: its platform, the graphics tree, the table
// of functions callable by name, and the action handler's four values. Tests
// make a fresh session each; the apps make one for the process.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "actions/function_table.hpp"
#include "input/tps_scan.hpp"
#include "morpho/procrustes_outliers.hpp"
#include "output/corrected_tps.hpp"
#include "output/table.hpp"
#include "pipeline/digitising.hpp"
#include "pipeline/groups.hpp"
#include "pipeline/replicates.hpp"
#include "pipeline/sample.hpp"
#include "pipeline/size_variables.hpp"
#include "pipeline/specimen_photos.hpp"
#include "protocol/protocol_design.hpp"
#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"
#include "runtime/graphics/callback_text.hpp"
#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/platform.hpp"

namespace dg {

class BackgroundWork;

// What the action handler keeps between actions; all empty at start.
struct HandlerState {
  // The loaded sample (none while it is empty): coordinates, dimension,
  // sizes, records, the consensus of a superimposed sample.
  Sample sample;
  Matrix tlengths;  // pair list: columns 2 and 3 hold landmark numbers
  Matrix tangles;   // triple list: columns 2, 3 and 4 hold arm end, vertex, arm end
  Matrix traddata;  // traditional dataset: one distance per pair, then the size column
  // How the sample's files were read, which the specimen browser reads them
  // again with.
  TpsOptions reading;
  // Whether any distance dataset was written since the distances were
  // calculated: work that is lost unsaved otherwise, which Quit, Clear and
  // every load that drops the distances ask about first.
  bool distances_saved = false;
  // The files the lists came from, by name as the length box shows them.
  std::string pairs_name;
  std::string triples_name;
  // The paths of the files the lists were loaded from (empty for a list the
  // program made), which no save may replace.
  std::string pairs_file;
  std::string triples_file;
};

// The protocol designer: the pair and triple lists the user builds on the mean
// shape, and what its panel keeps between actions.
struct DesignerState {
  ProtocolDesign design;
  // The list the row edits (delete, move) work on: the one last selected.
  ProtocolDesign::List active = ProtocolDesign::List::pairs;
  // The landmark highlighted under the pointer; 0 for none.
  std::size_t hover = 0;
  // The sample's mean shape, and the mean over the sample of each row's
  // distance or angle by its landmarks; both emptied when the sample changes.
  Matrix mean_shape;
  std::map<std::vector<std::size_t>, double> means;
  void sample_changed() {
    mean_shape = Matrix();
    means.clear();
  }
};

// A specimen left out of the sample from the outlier panel, as the manifest
// of an export lists it.
struct LeftOut {
  SpecimenRecord record;
  std::string reason;
};

// The Sample menu's analyses of the sample as it is now; all emptied when
// another sample is loaded or the sample is cleared.
struct SampleAnalyses {
  // The outlier screen, on the converged superimposition (kept for the
  // drawings), and its rows by distance, the largest first; empty until the
  // panel opens.
  Sample converged;
  OutlierScreen screen;
  std::vector<std::size_t> order;
  // The specimens left out so far, and for undo the sample before each.
  std::vector<LeftOut> left_out;
  std::vector<Sample> before;
  // The last measurement error, which its saves write and its drawing shows.
  std::optional<MeasurementError> error;
  // The groups of the specimens (the Analyses menu's Groups...), which the
  // summary, the allometric slopes, the PCA's colours and the CSV tables use.
  std::optional<SpecimenGroups> groups;
  void sample_changed() { *this = SampleAnalyses(); }
};

// The principal components panel: what it shows (kept while the sample
// changes, so the panel shows the new one alike) and the fit it draws.
struct PcaState {
  std::string dataset = "lengths";
  bool correlation = false;
  std::size_t x = 0, y = 1;  // the components on the axes, 0-based
  // The fit of the sample as it is now; none after a sample change until
  // the panel fits it again.
  std::optional<Variables> variables;
  Pca pca;
  std::optional<std::size_t> selected;  // the sample row selected
  std::optional<std::size_t> pointed;   // the row named under the pointer
  void sample_changed() {
    variables.reset();
    selected.reset();
    pointed.reset();
  }
};

// One correction made in the specimen browser: the sample row it was made
// on and the landmark's coordinates as the file holds them, before and after.
struct Correction {
  std::size_t row = 0;
  LandmarkEdit edit;
};

// The specimen browser's window: each specimen as digitised, with the
// corrections made so far, and what the window shows.
struct BrowserState {
  // The sample's specimens as their files hold them (pixels, y up), with
  // the corrections applied, and their photos.
  DigitisedSpecimens specimens;
  std::vector<std::size_t> order;  // the list's rows: sample rows
  std::size_t shown = 0;           // the sample row shown
  std::size_t landmark = 0;        // the landmark clicked last (1-based), 0 for none
  // Every correction in order; the first `applied` are in `specimens`, the
  // rest were taken back and can be made again. `saved`: how many of them a
  // saved file holds (all are lost unsaved otherwise).
  std::vector<Correction> corrections;
  std::size_t applied = 0;
  std::size_t saved = 0;
  // Where the corrections of each file were saved last, by the file's path.
  std::map<std::string, std::string> saved_to;
  bool sorted = false;    // the list by outlier distance
  bool protocol = false;  // the pairs and triples drawn on the photo
  std::string images;     // the folder of photos the user named
  void sample_changed() { *this = BrowserState(); }
  bool unsaved() const { return applied != saved; }
};

// The digitiser's window: the session of photos being digitised and what
// the window is doing.
struct DigitiserState {
  DigitisingSession work;
  std::size_t photo = 0;  // the photo shown
  // The loaded sample's mean shape when it has k landmarks in 2-D: the
  // guide fitted to the landmarks placed so far.
  std::vector<double> guide;
  // A ruler being measured: its first end, once clicked.
  bool measuring = false;
  std::optional<std::array<double, 2>> ruler_start;
  // The scale measured last and its unit, carried to photos without one.
  std::optional<double> scale;
  std::string unit;
  bool carry = false;
};

// What the plot shows, so a turned 3-D view can be drawn again as it was.
enum class Picture { sample, pairs, triples, specimens };

// A callback text as it was resolved: the call it makes and, for a call of
// an action ("distangler('dahand','<word>')"), the action's place in the
// handler's table.
struct ResolvedCallback {
  CallbackCall call;
  std::optional<std::size_t> action;
};

// A styling command of the Plot menu as it was called: the command, the
// axes and its number.
using StylingCommand = void (*)(Graphics&, Handle, double);
struct Styling {
  StylingCommand command;
  Handle axes;
  double value;
};

class Session {
 public:
  Session(Platform& platform, TreeObserver& observer);
  // A platform that serves both, as the Qt and the headless ones do.
  template <class Both>
  explicit Session(Both& both)
      : Session(static_cast<Platform&>(both), static_cast<TreeObserver&>(both)) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Platform& platform;
  Graphics graphics;
  FunctionTable functions;
  HandlerState handler;
  // Whether actions draw; calls by name from the command line draw too.
  bool draws = true;
  // How the TPS load actions read files: curves and missing values, as the
  // batch tool's options or the window's File menu set them.
  TpsOptions tps_options;
  // Whether TPS loads superimpose until converged (the File menu's
  // Converged superimposition, the batch tool's --converge).
  bool converge = false;
  // How the save actions write datasets: plain text as always, or a CSV or
  // TSV table with a header and the specimens' IDs.
  TableFormat table_format = TableFormat::Plain;
  // Whether the drawings of the sample and of its mean number the landmarks
  // of the mean shape (the window's Plot menu); kept across loads and "Clear".
  bool landmark_numbers = false;
  DesignerState designer;
  // The frame a 3-D sample is viewed in: the principal axes of its mean shape
  // as rows, the largest first; the axes' View turns it.
  std::array<double, 9> view_frame{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Picture picture = Picture::sample;
  // The rows drawn over the consensus by the Sample menu's analyses.
  std::vector<std::size_t> drawn_rows;
  SampleAnalyses analyses;
  PcaState pca;
  BrowserState browser;
  DigitiserState digitiser;
  // The styling commands called since the plot was last cleared, in order:
  // a picture drawn anew (a protocol plot, a turned view, the designer's)
  // is given them again, so it keeps the look the user chose.
  // A call repeating the last one's command on the same axes is folded into
  // it (increments added, settings replaced), so the list stays short.
  std::vector<Styling> styling;
  void remember_styling(const Styling& call);
  // The callback texts met so far, each parsed and resolved once (those of a
  // window's layout when it opens): a click does not read its text again.
  std::unordered_map<std::string, ResolvedCallback> callbacks;
  // The load running off the event loop, if any (load_files): a second load,
  // Clear and Exit cancel it, and it then changes nothing.
  BackgroundWork* loading = nullptr;

  // Writes text to the console as given.
  void print(std::string_view text) { platform.console(text); }
  // Writes a warning line to the console and shows it as a warning; the
  // session keeps it for the manifest of an export.
  void warn(std::string_view text);
  std::vector<std::string> warnings;
  // Writes an error's message to the console as a line and shows it as an error.
  void fail(std::string_view text);
  // Shows an action's result in the status line; the console is left alone.
  void report(std::string_view text) { platform.message(MessageKind::Info, text); }
};

}  // namespace dg
