// The Sample menu: the outlier screen in a panel beside the main window
// (the specimens by Procrustes distance, a plot of the sorted distances with
// the threshold, the selected specimen drawn over the consensus, leaving
// specimens out and bringing them back), and the measurement error of
// replicates (a report, its tables, the replicates furthest apart drawn).
#include <algorithm>
#include <cmath>
#include <numeric>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "display/showshape.hpp"
#include "guisupport/cla.hpp"
#include "pipeline/load_sample.hpp"
#include "pipeline/measurements.hpp"
#include "pipeline/outliers.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

constexpr const char* kOutlierPanelTag = "OutlierPanel";

// The sample as it is now on its converged superimposition, made once for
// the screen and the drawings.
const Sample& converged(Session& session) {
  Sample& kept = session.analyses.converged;
  if (kept.empty() && !session.handler.sample.empty()) {
    std::vector<std::string> warnings;
    std::optional<Sample> copy;
    const Sample& view = converged_view(session.handler.sample, copy, warnings);
    kept = copy ? std::move(*copy) : view;
    for (const std::string& warning : warnings) session.warn(warning);
  }
  return kept;
}

}  // namespace

void screen_sample(Session& session) {
  SampleAnalyses& a = session.analyses;
  std::vector<std::string> warnings;
  a.screen = screen_outliers(converged(session), warnings);
  a.order.resize(a.screen.specimens.size());
  std::iota(a.order.begin(), a.order.end(), 0);
  const auto& d = a.screen.specimens;
  // The largest first; a specimen without a distance last.
  std::stable_sort(a.order.begin(), a.order.end(), [&](std::size_t x, std::size_t y) {
    return d[x].distance > d[y].distance ||
           (!std::isnan(d[x].distance) && std::isnan(d[y].distance));
  });
}

namespace {

// "3. specimen 12 (ID=x)   0.213  flagged: landmarks 4 and 5 swapped? (0.04)"
std::string outlier_row(const Session& session, std::size_t row) {
  const SpecimenDistance& d = session.analyses.screen.specimens[row];
  std::string text = (d.rank ? std::to_string(d.rank) + ". " : "") +
                     specimen_label(row, session.handler.sample.records) + "   " +
                     short_number(d.distance);
  if (d.incomplete) text += " (present landmarks)";
  if (d.flagged) text += "  flagged";
  if (d.swap_first != 0) {
    text += ": landmarks " + std::to_string(d.swap_first) + " and " +
            std::to_string(d.swap_second) + " swapped? (" + short_number(d.distance_after_swap) +
            ")";
  }
  if (d.mirrored) text += ": mirrored?";
  return text;
}

// Runs `draw` with the panel's plot as the current axes, then gives the
// drawing back to the main window.
template <class Draw>
void in_panel_plot(Session& session, Draw&& draw) {
  Graphics& g = session.graphics;
  const auto plot = g.find_by_tag("OutlierPlot");
  const auto main = main_figure(session);
  if (plot.empty() || !main) return;
  const auto figure = g.figure_of(plot.front());
  if (!figure) return;
  g.set(0, "CurrentFigure", Value(*figure));
  g.set(*figure, "CurrentAxes", Value(plot.front()));
  draw(g);
  g.set(0, "CurrentFigure", Value(*main));
}

// The sorted distances as points (flagged ones red), the threshold dashed,
// and the selected specimen ringed.
void plot_distances(Session& session, std::optional<std::size_t> selected) {
  const SampleAnalyses& a = session.analyses;
  in_panel_plot(session, [&](Graphics& g) {
    cla(g);
    g.hold(true);
    std::vector<double> x[2], y[2];
    for (std::size_t r = 0; r < a.order.size(); ++r) {
      const SpecimenDistance& d = a.screen.specimens[a.order[r]];
      if (std::isnan(d.distance)) continue;
      x[d.flagged].push_back(static_cast<double>(r + 1));
      y[d.flagged].push_back(d.distance);
    }
    if (!x[0].empty()) g.plot(x[0], y[0], "k.");
    if (!x[1].empty()) g.plot(x[1], y[1], "ro");
    const double end = static_cast<double>(a.order.size()) + 0.5;
    if (std::isfinite(a.screen.threshold)) {
      g.plot(std::vector<double>{0.5, end},
             std::vector<double>{a.screen.threshold, a.screen.threshold}, "r--");
    }
    if (selected) {
      const auto at = std::find(a.order.begin(), a.order.end(), *selected) - a.order.begin();
      const Handle ring = g.plot(std::vector<double>{static_cast<double>(at + 1)},
                                 std::vector<double>{a.screen.specimens[*selected].distance}, "bo");
      g.set(ring, "MarkerSize", Value(10.0));
    }
    g.axis_auto();
  });
}

std::optional<std::size_t> selected_row(Session& session) {
  for (Handle box : session.graphics.find_by_tag("OutlierList")) {
    const Value v = session.graphics.get(box, "Value");
    if (!v.is_double() || v.numel() != 1) continue;
    const double at = v.scalar();
    if (at >= 1 && at <= static_cast<double>(session.analyses.order.size())) {
      return session.analyses.order[static_cast<std::size_t>(at) - 1];
    }
  }
  return std::nullopt;
}

void fill_panel(Session& session) {
  const SampleAnalyses& a = session.analyses;
  const OutlierScreen& s = a.screen;
  // Short lines: the box shortens a long one in its middle.
  set_tagged(session, "OutlierRule", "String",
             Value::text_cell(
                 {std::to_string(s.flagged) + " of " + std::to_string(s.specimens.size()) +
                      " above Q3 + 1.5 IQR = " + short_number(s.threshold),
                  "(Q1 " + short_number(s.q1) + ", Q3 " + short_number(s.q3) +
                      "), converged superimposition",
                  a.left_out.empty() ? std::string()
                                     : count_of(a.left_out.size(), "specimen") + " left out"}));
  std::vector<Value> rows;
  for (const std::size_t row : a.order) rows.emplace_back(outlier_row(session, row));
  set_tagged(session, "OutlierList", "String", Value::cell_row(std::move(rows)));
  set_tagged(session, "OutlierList", "Value", Value(0.0));
  set_tagged(session, "OutlierSelected", "String", Value(""));
  plot_distances(session, std::nullopt);
}

// Draws the consensus (black) and the rows of `sample` (red), with a line
// from each consensus landmark to each row's, and numbers the landmarks.
void draw_over_consensus(Session& session, const Sample& sample,
                         const std::vector<std::size_t>& rows) {
  Graphics& g = session.graphics;
  session.picture = Picture::specimens;
  session.drawn_rows = rows;
  const Matrix mean = shown_sample(session, sample.consensus);
  cla(g);
  showshape(g, mean, mean.cols() / 2, "ko");
  g.hold(true);
  for (const std::size_t row : rows) {
    Matrix one(1, sample.coordinates.cols());
    const auto from = sample.coordinates.row(row);
    std::copy(from.begin(), from.end(), one.row(0).begin());
    const Matrix shown = shown_sample(session, one);
    showshape(g, shown, shown.cols() / 2, "rx");
    for (std::size_t p = 0; p < shown.cols() / 2; ++p) {
      g.plot(std::vector<double>{mean(0, 2 * p), shown(0, 2 * p)},
             std::vector<double>{mean(0, 2 * p + 1), shown(0, 2 * p + 1)}, "r-");
    }
  }
  for (std::size_t p = 0; p < mean.cols() / 2; ++p) {
    const Handle text = g.text(mean(0, 2 * p), mean(0, 2 * p + 1), "  " + std::to_string(p + 1));
    g.set(text, "Color", Value(Matrix{{0, 0, 0.55}}));
  }
  g.axis_auto();
  g.axis_equal();
  restyle(session);
}

// The sample becomes `next`, as a load would make it: the distances are
// dropped, the boxes and the plot show it, the screen is made again.
void replace_sample(Session& session, Sample next) {
  HandlerState& h = session.handler;
  h.sample = std::move(next);
  session.analyses.converged = Sample();
  session.analyses.error.reset();
  drop_distances(h);
  session.designer.sample_changed();
  show_sample_box(session);
  browser_sample_changed(session);
  size_sample_changed(session);
  set_up_view(session);
  if (session.draws) {
    cla(session.graphics);
    draw_sample(session);
  }
  screen_sample(session);
  if (tagged_figure(session, kOutlierPanelTag)) fill_panel(session);
}

}  // namespace

bool outlier_panel_open(const Session& session) {
  return tagged_figure(session, kOutlierPanelTag).has_value();
}

void toggle_outlier_panel(Session& session) {
  if (auto open = tagged_figure(session, kOutlierPanelTag)) {
    session.graphics.close(*open);
    return session.report("Outlier screen closed");
  }
  if (no_sample(session)) return;
  if (session.handler.sample.consensus.empty()) {
    return session.report(
        "The outlier screen needs a superimposed (TPS) sample; a matrix is taken as it is.");
  }
  screen_sample(session);
  open_panel(session, "OutlierPanel.fig");
  fill_panel(session);
  const OutlierScreen& s = session.analyses.screen;
  session.report("Outlier screen: " + std::to_string(s.flagged) + " of " +
                 count_of(s.specimens.size(), "specimen") + " flagged");
}

void outlier_select(Session& session) {
  const auto row = selected_row(session);
  if (!row) return;
  set_tagged(
      session, "OutlierSelected", "String",
      Value::text_cell({outlier_row(session, *row), "drawn (red) over the consensus (black)"}));
  plot_distances(session, row);
  if (session.draws) draw_over_consensus(session, converged(session), {*row});
}

void outlier_leave_out(Session& session) {
  const auto row = selected_row(session);
  if (!row) return session.report("Select a specimen to leave out first.");
  const Sample& s = session.handler.sample;
  if (s.specimens() < 3) {
    return session.report("The sample keeps at least two specimens; none is left out.");
  }
  if (keeps_unsaved_distances(session, "Leave a specimen out", "leaving a specimen out") ||
      keeps_unsaved_corrections(session, "Leave a specimen out", "leaving a specimen out")) {
    return;
  }
  std::vector<std::string> warnings;
  Sample next = without_specimens(s, {*row}, warnings);
  for (const std::string& warning : warnings) session.warn(warning);
  SampleAnalyses& a = session.analyses;
  const SpecimenDistance& d = a.screen.specimens[*row];
  const std::string label = specimen_label(*row, s.records);
  a.left_out.push_back(
      {s.records[*row], "outlier screen: Procrustes distance " + short_number(d.distance) +
                            (d.flagged ? " above the threshold " : ", threshold ") +
                            short_number(a.screen.threshold)});
  a.before.push_back(s);
  replace_sample(session, std::move(next));
  session.report("Left " + label + " out; " +
                 count_of(session.handler.sample.specimens(), "specimen") + " superimposed again");
}

void outlier_undo(Session& session) {
  SampleAnalyses& a = session.analyses;
  if (a.before.empty()) return session.report("No specimen was left out.");
  if (keeps_unsaved_distances(session, "Undo the leave-out", "bringing the specimen back") ||
      keeps_unsaved_corrections(session, "Undo the leave-out", "bringing the specimen back")) {
    return;
  }
  Sample previous = std::move(a.before.back());
  a.before.pop_back();
  const LeftOut back = a.left_out.back();
  a.left_out.pop_back();
  replace_sample(session, std::move(previous));
  session.report("Brought back " + back.record.name() + " of " + back.record.file());
}

void outlier_export(Session& session) {
  const SampleAnalyses& a = session.analyses;
  if (a.order.empty()) return session.report("Open the outlier screen first.");
  const HandlerState& h = session.handler;
  auto choice = ask_save(session, "*.csv", "Save the outlier table",
                         sample_name(h) + "-outliers.csv", sample_folder(h));
  if (!choice) return;
  const auto* groups = a.groups ? &*a.groups : nullptr;
  const Written written = write_outliers(a.converged, a.screen, choice->path(), TableFormat::Csv,
                                         Digest::none, group_column(groups));
  session.report("Saved " + count_of(written.rows, "row") + " to " + choice->name);
}

void compute_measurement_error(Session& session) {
  HandlerState& h = session.handler;
  if (no_sample(session)) return;
  SampleAnalyses& a = session.analyses;
  bool several_files = false;
  for (const SpecimenRecord& r : h.sample.records) {
    several_files |= r.file() != h.sample.records.front().file();
  }
  const std::string initial = a.error         ? a.error->groups.rule
                              : several_files ? "files"
                                              : "id:^(.*)_r[0-9]+$";
  auto rule = session.platform.ask_text(
      "Measurement error",
      "Which rows are replicates of one specimen: \"files\" (each loaded file a session, rows "
      "matched by ID=, else IMAGE=), or id:PATTERN or image:PATTERN (the pattern's first "
      "group names the specimen):",
      initial);
  if (!rule) return;
  const std::size_t k = h.sample.landmarks();
  const CheckedList pairs =
      fits(h.tlengths, 2, k) ? checked_list(h.tlengths, 2, k) : CheckedList{Matrix(), 2, {}};
  const CheckedList triples =
      fits(h.tangles, 3, k) ? checked_list(h.tangles, 3, k) : CheckedList{Matrix(), 3, {}};
  const Study study{h.sample, pairs, triples, distance_rows(h.sample, pairs.landmarks)};
  std::vector<std::string> warnings;
  a.error = dg::measurement_error(study, replicate_groups(h.sample, *rule), warnings);
  for (const std::string& warning : warnings) session.warn(warning);

  std::string text;
  for (const std::string& line : measurement_error_report(h.sample, *a.error)) text += line + "\n";
  // The table's main columns, the names padded to one width.
  const auto padded = [](std::string name) {
    name.resize(std::max<std::size_t>(name.size(), 16), ' ');
    return name;
  };
  text += "\n" + padded("variable") + "  repeatability  95% interval        %ME\n";
  for (std::size_t v = 0; v < a.error->anova.size(); ++v) {
    const OneWayAnova& row = a.error->anova[v];
    text += padded(v < a.error->variables.size() ? a.error->variables[v] : "shape") + "  " +
            sprintf("%13.4f", row.repeatability) + "  [" + sprintf("%7.4f", row.ci_lower) + ", " +
            sprintf("%7.4f", row.ci_upper) + "]  " + sprintf("%7.2f", row.percent_me) + "\n";
  }
  session.platform.show_report("Measurement error", text);
  session.report("Measurement error of " + count_of(a.error->groups.names.size(), "specimen") +
                 " with replicates");
}

void save_measurement_error(Session& session) {
  const SampleAnalyses& a = session.analyses;
  if (!a.error) return session.report("Compute the measurement error first.");
  const HandlerState& h = session.handler;
  auto choice = ask_save(session, "*.csv", "Save the repeatability table",
                         sample_name(h) + "-repeatability.csv", sample_folder(h));
  if (!choice) return;
  const std::string path = choice->path();
  const std::string distances = path.substr(0, path.size() - choice->name.size()) + sample_name(h) +
                                "-replicate-distances.csv";
  if (distances == path) {
    return session.report(
        "The replicate-distance table is saved beside the repeatability table as " +
        split_path(distances).name + "; choose another name for the latter.");
  }
  refuse_overwriting_input("The replicate-distance table", distances, read_files(session));
  write_repeatability(*a.error, path, TableFormat::Csv);
  std::string line = "Saved " + choice->name;
  if (!a.error->distances.empty()) {
    write_replicate_distances(*a.error, distances, TableFormat::Csv);
    line += " and " + split_path(distances).name;
  }
  session.report(line);
}

void show_replicates(Session& session) {
  const SampleAnalyses& a = session.analyses;
  if (!a.error || a.error->distances.empty()) {
    return session.report("Compute the measurement error of a TPS sample first.");
  }
  const MeasurementError& e = *a.error;
  for (std::size_t g = 0; g < e.distances.size(); ++g) {
    if (e.distances[g].rank != 1) continue;
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < e.groups.of.size(); ++i) {
      if (e.groups.of[i] == g) rows.push_back(i);
    }
    if (session.draws) draw_over_consensus(session, converged(session), rows);
    return session.report("The replicates of " + e.groups.names[g] +
                          " lie furthest apart: Procrustes distance " +
                          short_number(e.distances[g].distance));
  }
}

void draw_selected_specimen(Session& session, std::size_t row) {
  if (!session.draws || row >= session.handler.sample.specimens()) return;
  if (!session.handler.sample.consensus.empty()) {
    return draw_over_consensus(session, converged(session), {row});
  }
  // A matrix has no consensus: the specimen is drawn over the sample.
  const Sample& s = session.handler.sample;
  Graphics& g = session.graphics;
  cla(g);
  draw_sample(session);
  Matrix one(1, s.coordinates.cols());
  const auto from = s.coordinates.row(row);
  std::copy(from.begin(), from.end(), one.row(0).begin());
  const Matrix shown = shown_sample(session, one);
  g.hold(true);
  showshape(g, shown, shown.cols() / 2, "rx");
}

void draw_specimens_again(Session& session) {
  draw_over_consensus(session, converged(session), session.drawn_rows);
}

}  // namespace dg::actions
