// The state of one running program: its platform, the graphics tree, the table
// of functions callable by name, and the action handler's four values. Tests
// make a fresh session each; the apps make one for the process.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "actions/function_table.hpp"
#include "input/specimen_record.hpp"
#include "input/tps_scan.hpp"
#include "output/table.hpp"
#include "protocol/protocol_design.hpp"
#include "runtime/array/matrix.hpp"
#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/platform.hpp"

namespace dg {

// What the action handler keeps between actions; all empty at start.
struct HandlerState {
  Matrix data;      // landmark data matrix: one specimen per row, size column last
  Matrix tlengths;  // pair list: columns 2 and 3 hold landmark numbers
  Matrix tangles;   // triple list: columns 2, 3 and 4 hold arm end, vertex, arm end
  Matrix traddata;  // traditional dataset: one distance per pair, then the size column
  // Beside `data`, row for row: who each specimen is, and for specimens
  // fitted by part of their landmarks the factor back to their read size
  // (empty when every specimen is complete).
  std::vector<SpecimenRecord> records;
  std::vector<double> partial_size;
  // The consensus of a superimposed (TPS) sample, 1 x (2k+1), and the passes
  // it took; empty and 0 for a matrix taken as it is.
  Matrix consensus;
  std::size_t consensus_passes = 0;
  // Coordinates per landmark of the sample: 2 (x y), or 3 (x y z: rows hold
  // x1 y1 z1 ... xk yk zk, then the size); set by every load.
  std::size_t dimensions = 2;
  // When the session does not keep distances (the batch tool), CalcLengths
  // checks the pairs (p x 2 landmark numbers) and keeps them here instead of
  // filling `traddata`; the saves compute each row as they write it.
  std::optional<Matrix> distance_pairs;
  // Whether any distance dataset was written since the distances were
  // calculated: work that is lost unsaved otherwise, which Quit, Clear and
  // every load that drops the distances ask about first.
  bool distances_saved = false;
  // The sample's name as the data box shows it, and the files the lists came from.
  std::string name;
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

// What the plot shows, so a turned 3-D view can be drawn again as it was.
enum class Picture { sample, pairs, triples };

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
  explicit Session(Platform& platform);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Platform& platform;
  Graphics graphics;
  FunctionTable functions;
  HandlerState handler;
  // Whether actions draw. The batch tool turns drawing off unless it is asked
  // for a picture; the datasets do not depend on it.
  bool draws = true;
  // Whether CalcLengths keeps the whole distance matrix (`traddata`), as the
  // window does. The batch tool turns it off, so a large sample never holds a
  // full distance matrix beside the landmark matrix; the datasets are the same.
  bool keeps_distances = true;
  // How the TPS load actions read files: curves and missing values, as the
  // batch tool's options or the window's File menu set them.
  TpsOptions tps_options;
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
  // The styling commands called since the plot was last cleared, in order:
  // a picture drawn anew (a protocol plot, a turned view, the designer's)
  // is given them again, so it keeps the look the user chose.
  // A call repeating the last one's command on the same axes is folded into
  // it (increments added, settings replaced), so the list stays short.
  std::vector<Styling> styling;
  void remember_styling(const Styling& call);

  // Writes text to the console as given.
  void print(std::string_view text) { platform.console(text); }
  // Writes a warning line to the console and shows it as a warning.
  void warn(std::string_view text);
  // Writes an error's message to the console as a line and shows it as an error.
  void fail(std::string_view text);
  // Shows an action's result in the status line; the console is left alone.
  void report(std::string_view text) { platform.message(MessageKind::Info, text); }
};

}  // namespace dg
