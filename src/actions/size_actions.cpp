// The Analyses menu's variables: the groups of the specimens, the summary of
// the variables, the three size corrections saved as tables, and the
// principal components in a panel beside the main window (a scatter of two
// components coloured by group, the specimen under the pointer named, a
// click selecting the nearest one here, in the sample plot and in the
// specimen photos).
#include <algorithm>
#include <cmath>
#include <limits>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "guisupport/cla.hpp"
#include "input/sample_survey.hpp"
#include "pipeline/measurements.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

constexpr const char* kPcaTag = "PcaPanel";
// How near the pointer must come to a point to name it, in pixels.
constexpr double kPointRadius = 8;

// The study of the sample as it is now: the lists that fit it, its
// distances computed as they are read, its groups.
Study window_study(const Session& session) {
  const HandlerState& h = session.handler;
  const std::size_t k = h.sample.landmarks();
  CheckedList pairs =
      fits(h.tlengths, 2, k) ? checked_list(h.tlengths, 2, k) : CheckedList{Matrix(), 2, {}};
  CheckedList triples =
      fits(h.tangles, 3, k) ? checked_list(h.tangles, 3, k) : CheckedList{Matrix(), 3, {}};
  RowSource rows = distance_rows(h.sample, pairs.landmarks);
  const auto& groups = session.analyses.groups;
  return {h.sample, std::move(pairs), std::move(triples), std::move(rows),
          groups ? &*groups : nullptr};
}

bool has_pairs(const Session& session) {
  const HandlerState& h = session.handler;
  return fits(h.tlengths, 2, h.sample.landmarks());
}

std::vector<std::size_t> group_sizes(const SpecimenGroups& groups) {
  std::vector<std::size_t> sizes(groups.names.size());
  for (const std::size_t g : groups.of) ++sizes[g];
  return sizes;
}

// "3 groups: A (40), B (41), C (39)", at most twelve named.
std::string groups_line(const SpecimenGroups& groups) {
  constexpr std::size_t kNamed = 12;
  const std::vector<std::size_t> sizes = group_sizes(groups);
  std::string text = count_of(groups.names.size(), "group") + ":";
  for (std::size_t g = 0; g < groups.names.size() && g < kNamed; ++g) {
    text += (g ? ", " : " ") + groups.names[g] + " (" + std::to_string(sizes[g]) + ")";
  }
  if (groups.names.size() > kNamed) {
    text += " and " + std::to_string(groups.names.size() - kNamed) + " more";
  }
  return text;
}

// The colours of the groups in the scatter, with their names for the legend.
struct GroupColour {
  std::array<double, 3> rgb;
  const char* name;
};
constexpr GroupColour kColours[] = {
    {{0.00, 0.45, 0.74}, "blue"},   {{0.85, 0.33, 0.10}, "orange"}, {{0.47, 0.67, 0.19}, "green"},
    {{0.49, 0.18, 0.56}, "purple"}, {{0.93, 0.69, 0.13}, "yellow"}, {{0.30, 0.75, 0.93}, "cyan"},
    {{0.64, 0.08, 0.18}, "red"},    {{0.50, 0.50, 0.50}, "grey"},
};
constexpr std::size_t kColourCount = std::size(kColours);
// Past the colours, the markers change: each group keeps a look of its own.
constexpr const char* kMarkers[] = {"o", "s", "^", "d"};

std::string marker_of(std::size_t group) {
  return kMarkers[(group / kColourCount) % std::size(kMarkers)];
}

std::string look_of(std::size_t group) {
  const std::size_t round = group / kColourCount;
  std::string look = kColours[group % kColourCount].name;
  static const char* const kShapes[] = {"", " squares", " triangles", " diamonds"};
  if (round > 0) look += kShapes[round % std::size(kShapes)];
  return look;
}

// Runs `draw` with the panel's plot as the current axes, then gives the
// drawing back to the main window.
template <class Draw>
void in_pca_plot(Session& session, Draw&& draw) {
  Graphics& g = session.graphics;
  const auto plot = g.find_by_tag("PcaPlot");
  if (plot.empty()) return;
  const auto figure = g.figure_of(plot.front());
  if (!figure) return;
  const auto before = g.current_figure();
  g.set(0, "CurrentFigure", Value(*figure));
  g.set(*figure, "CurrentAxes", Value(plot.front()));
  draw(g, plot.front());
  if (const auto main = main_figure(session)) {
    g.set(0, "CurrentFigure", Value(*main));
  } else if (before) {
    g.set(0, "CurrentFigure", Value(*before));
  }
}

std::size_t popup_value(const Session& session, std::string_view tag, std::size_t fallback) {
  for (Handle box : session.graphics.find_by_tag(tag)) {
    const Value v = session.graphics.get(box, "Value");
    if (v.is_double() && v.numel() == 1 && v.scalar() >= 1) {
      return static_cast<std::size_t>(v.scalar()) - 1;
    }
  }
  return fallback;
}

std::string percent(double part, double total) {
  return sprintf("%.1f%%", 100 * part / total);
}

// The components' popups: "PC1 (45.2%)", ...; each keeps its choice where
// the fit has it.
void fill_component_popups(Session& session) {
  const PcaState& p = session.pca;
  const std::size_t m = p.pca.sdev.size();
  double total = 0;
  for (const double sd : p.pca.sdev) total += sd * sd;
  std::vector<Value> names;
  for (std::size_t c = 0; c < m; ++c) {
    const double variance = p.pca.sdev[c] * p.pca.sdev[c];
    names.emplace_back("PC" + std::to_string(c + 1) + " (" + percent(variance, total) + ")");
  }
  set_tagged(session, "PcaX", "String", Value::cell_row(names));
  set_tagged(session, "PcaY", "String", Value::cell_row(std::move(names)));
  set_tagged(session, "PcaX", "Value", Value(static_cast<double>(p.x + 1)));
  set_tagged(session, "PcaY", "Value", Value(static_cast<double>(p.y + 1)));
}

// The scatter of the two components, a line of points per group, the
// selected specimen ringed.
void draw_scatter(Session& session) {
  const PcaState& p = session.pca;
  in_pca_plot(session, [&](Graphics& g, Handle axes) {
    cla(g);
    if (!p.variables) return;
    g.hold(true);
    const Matrix& scores = p.pca.scores;
    const auto* groups = session.analyses.groups ? &*session.analyses.groups : nullptr;
    const std::size_t count = groups ? groups->names.size() : 1;
    std::vector<std::vector<double>> x(count), y(count);
    for (std::size_t i = 0; i < scores.rows(); ++i) {
      const double a = scores(i, p.x), b = scores(i, p.y);
      if (!std::isfinite(a) || !std::isfinite(b)) continue;
      const std::size_t group = groups ? groups->of[i] : 0;
      x[group].push_back(a);
      y[group].push_back(b);
    }
    for (std::size_t group = 0; group < count; ++group) {
      if (x[group].empty()) continue;
      const Handle line = g.plot(axes, x[group], y[group], groups ? marker_of(group) : "o");
      const auto& rgb = groups ? kColours[group % kColourCount].rgb : std::array{0.0, 0.0, 0.0};
      g.set(line, "Color", Value(Matrix{{rgb[0], rgb[1], rgb[2]}}));
      g.set(line, "MarkerSize", Value(5.0));
      g.set(line, "Tag", Value("PcaPoints"));
    }
    if (p.selected && std::isfinite(scores(*p.selected, p.x)) &&
        std::isfinite(scores(*p.selected, p.y))) {
      const Handle ring = g.plot(axes, std::vector<double>{scores(*p.selected, p.x)},
                                 std::vector<double>{scores(*p.selected, p.y)}, "o");
      g.set(ring, "Color", Value(Matrix{{0.9, 0, 0}}));
      g.set(ring, "MarkerSize", Value(12.0));
      g.set(ring, "LineWidth", Value(2.0));
      g.set(ring, "Tag", Value("PcaSelection"));
    }
    // A margin, so no point sits on the frame.
    g.axis_auto();
    auto lim = g.axis_limits();
    const double dx = 0.05 * (lim[1] - lim[0]), dy = 0.05 * (lim[3] - lim[2]);
    if (std::isfinite(dx) && std::isfinite(dy) && dx > 0 && dy > 0) {
      g.axis_limits({lim[0] - dx, lim[1] + dx, lim[2] - dy, lim[3] + dy});
    }
  });
}

// The legend: which colour each group is; the fit: how many specimens.
void fill_legend(Session& session) {
  const PcaState& p = session.pca;
  std::string fit = p.variables ? p.variables->dataset + ", " +
                                      (p.correlation ? "correlation" : "covariance") +
                                      " matrix: " + count_of(p.pca.used, "specimen") + " of " +
                                      std::to_string(p.pca.scores.rows())
                                : std::string();
  // The groups' looks, in lines short enough for the panel.
  constexpr std::size_t kLine = 60;
  std::vector<std::string> lines{fit, ""};
  if (const auto& groups = session.analyses.groups) {
    const std::vector<std::size_t> sizes = group_sizes(*groups);
    for (std::size_t g = 0; g < groups->names.size(); ++g) {
      const std::string entry =
          look_of(g) + ": " + groups->names[g] + " (" + std::to_string(sizes[g]) + ")";
      if (!lines.back().empty() && lines.back().size() + entry.size() + 2 > kLine) {
        lines.back() += ",";
        lines.emplace_back();
      }
      lines.back() += (lines.back().empty() ? "" : ", ") + entry;
    }
  } else if (p.variables) {
    lines.back() = "No groups (Analyses > Groups... colours them)";
  }
  std::vector<Value> cells(lines.begin(), lines.end());
  set_tagged(session, "PcaLegend", "String", Value::cell_row(std::move(cells)));
}

std::string selected_text(const Session& session) {
  const PcaState& p = session.pca;
  if (!p.selected || !p.variables) return "";
  const std::size_t row = *p.selected;
  return specimen_label(row, session.handler.sample.records) + ": PC" + std::to_string(p.x + 1) +
         " " + sprintf("%.4g", p.pca.scores(row, p.x)) + ", PC" + std::to_string(p.y + 1) + " " +
         sprintf("%.4g", p.pca.scores(row, p.y));
}

void fill_pca_panel(Session& session) {
  const PcaState& p = session.pca;
  const auto& names = dataset_names();
  const auto at = std::find(names.begin(), names.end(), p.dataset) - names.begin();
  set_tagged(session, "PcaDataset", "Value", Value(static_cast<double>(at + 1)));
  set_tagged(session, "PcaMatrix", "Value", Value(p.correlation ? 2.0 : 1.0));
  fill_component_popups(session);
  fill_legend(session);
  set_tagged(session, "PcaSelected", "String", Value(selected_text(session)));
  draw_scatter(session);
}

// Fits the chosen dataset; raises the pipeline's error, leaving the kept
// fit as it was.
void fit(Session& session, const std::string& dataset, bool correlation) {
  const Study study = window_study(session);
  Variables variables = study_variables(study, dataset);
  Pca pca = study_pca(variables, correlation);
  PcaState& p = session.pca;
  const bool same = p.variables && p.dataset == dataset;
  p.dataset = dataset;
  p.correlation = correlation;
  p.variables = std::move(variables);
  p.pca = std::move(pca);
  const std::size_t m = p.pca.sdev.size();
  if (p.x >= m) p.x = 0;
  if (p.y >= m) p.y = m > 1 ? 1 : 0;
  if (!same) p.pointed.reset();
}

// The dataset a panel opens on: the distances when the pairs fit, else the
// angles.
std::optional<std::string> first_dataset(const Session& session) {
  if (has_pairs(session)) return std::string("lengths");
  const HandlerState& h = session.handler;
  if (fits(h.tangles, 3, h.sample.landmarks())) return std::string("angles");
  return std::nullopt;
}

// The specimen whose point lies nearest the axes' CurrentPoint, in pixels;
// within `radius` of it when one is given.
std::optional<std::size_t> point_at_pointer(Session& session, double radius) {
  const PcaState& p = session.pca;
  const auto plot = session.graphics.find_by_tag("PcaPlot");
  if (!p.variables || plot.empty()) return std::nullopt;
  Graphics& g = session.graphics;
  const Matrix point = g.get(plot.front(), "CurrentPoint").matrix();
  if (point.rows() < 1 || point.cols() < 2) return std::nullopt;
  const auto box = g.pixel_position(plot.front());
  const auto lim = g.shown_limits(plot.front(), box[2], box[3]);
  if (!(lim[1] > lim[0]) || !(lim[3] > lim[2])) return std::nullopt;
  const double sx = box[2] / (lim[1] - lim[0]), sy = box[3] / (lim[3] - lim[2]);
  std::optional<std::size_t> nearest;
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < p.pca.scores.rows(); ++i) {
    const double dx = (p.pca.scores(i, p.x) - point(0, 0)) * sx;
    const double dy = (p.pca.scores(i, p.y) - point(0, 1)) * sy;
    const double d = std::hypot(dx, dy);
    if (std::isfinite(d) && d < best) best = d, nearest = i;
  }
  if (radius > 0 && best > radius) return std::nullopt;
  return nearest;
}

void select_specimen(Session& session, std::size_t row) {
  session.pca.selected = row;
  set_tagged(session, "PcaSelected", "String", Value(selected_text(session)));
  draw_scatter(session);
  draw_selected_specimen(session, row);
  browser_show(session, row);
}

// A new fit of an open panel after the sample, its lists or its groups
// changed; an error is shown in the panel, whose plot is then empty.
void refit_open_panel(Session& session) {
  if (!tagged_figure(session, kPcaTag)) return;
  PcaState& p = session.pca;
  p.sample_changed();
  try {
    fit(session, p.dataset, p.correlation);
  } catch (const RuntimeError& error) {
    p.variables.reset();
    fill_pca_panel(session);
    set_tagged(session, "PcaLegend", "String", Value(std::string(error.what())));
    return;
  }
  fill_pca_panel(session);
}

enum class SizeCorrection { allometric, log_shape_ratios, burnaby };

}  // namespace

void ask_groups(Session& session) {
  if (no_sample(session)) return;
  const Sample& s = session.handler.sample;
  SampleAnalyses& a = session.analyses;
  bool several_files = false;
  for (const SpecimenRecord& r : s.records) several_files |= r.file() != s.records.front().file();
  const std::string initial = a.groups        ? a.groups->rule
                              : several_files ? "file"
                                              : "id:^([A-Za-z]+)";
  auto rule = session.platform.ask_text(
      "Groups",
      "Which group each specimen belongs to: \"file\" (the file it was read from), id:PATTERN or "
      "image:PATTERN (the pattern's first group names the group), or the name of a CSV file of "
      "specimen ID and group. Empty for no groups:",
      initial);
  if (!rule) return;
  if (rule->empty()) {
    a.groups.reset();
    refit_open_panel(session);
    return session.report("No groups");
  }
  SpecimenGroups groups = sample_groups(s, *rule);
  a.groups = std::move(groups);
  refit_open_panel(session);
  session.report(groups_line(*a.groups));
}

void show_summary(Session& session) {
  if (no_sample(session)) return;
  const HandlerState& h = session.handler;
  const Study study = window_study(session);
  const std::vector<SummaryRow> rows = study_summary(study);
  std::size_t name_width = 8, group_width = 5;
  for (const SummaryRow& row : rows) {
    name_width = std::max(name_width, row.variable.size());
    group_width = std::max(group_width, row.group_name.size());
  }
  const auto padded = [](std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
  };
  std::string text = h.sample.name + ": " + count_of(h.sample.specimens(), "specimen") +
                     (session.analyses.groups ? ", " + groups_line(*session.analyses.groups)
                                              : std::string(", no groups")) +
                     "\n\n" + padded("variable", name_width) + "  " + padded("group", group_width) +
                     "       n        mean          sd     cv%         min         max  missing\n";
  for (const SummaryRow& row : rows) {
    const ColumnSummary& s = row.summary;
    text += padded(row.variable, name_width) + "  " + padded(row.group_name, group_width) + "  " +
            sprintf("%6.0f", static_cast<double>(s.n)) + "  " + sprintf("%10.4g", s.mean) + "  " +
            sprintf("%10.4g", s.sd) + "  " + sprintf("%6.2f", s.cv_percent) + "  " +
            sprintf("%10.4g", s.min) + "  " + sprintf("%10.4g", s.max) + "  " +
            sprintf("%7.0f", static_cast<double>(s.missing)) + "\n";
  }
  session.platform.show_report("Summary of the variables", text);
  auto choice = ask_save(session, "*.csv", "Save the summary table",
                         sample_name(h) + "-summary.csv", sample_folder(h));
  if (!choice) return session.report("Summary of " + count_of(rows.size(), "row"));
  const Written written = write_summary(study, choice->path(), TableFormat::Csv);
  session.report("Saved the summary's " + count_of(written.rows, "row") + " to " + choice->name);
}

namespace {

void save_correction(Session& session, SizeCorrection which) {
  if (no_sample(session)) return;
  if (!has_pairs(session)) {
    return session.report("The size corrections are of the distances: load a pair list first.");
  }
  struct Kind {
    const char* dataset;
    const char* title;
    const char* suffix;
  };
  static constexpr Kind kKinds[] = {
      {"allometric", "Save the allometric normalisation", "-allometric.csv"},
      {"log-shape-ratios", "Save the log-shape ratios", "-log-shape-ratios.csv"},
      {"burnaby", "Save Burnaby's correction", "-burnaby.csv"}};
  const Kind& kind = kKinds[static_cast<int>(which)];
  const HandlerState& h = session.handler;
  const Study study = window_study(session);
  const Variables variables = study_variables(study, kind.dataset);
  auto choice =
      ask_save(session, "*.csv", kind.title, sample_name(h) + kind.suffix, sample_folder(h));
  if (!choice) return;
  const std::string path = choice->path();
  std::string slopes;
  if (which == SizeCorrection::allometric) {
    slopes = path.substr(0, path.size() - choice->name.size()) + sample_name(h) +
             "-allometric-slopes.csv";
    if (slopes == path) {
      return session.report("The slopes are saved beside the dataset as " +
                            split_path(slopes).name + "; choose another name for the dataset.");
    }
    refuse_overwriting_input("The slopes table", slopes, read_files(session));
  }
  std::vector<std::string> warnings;
  const Written written = write_variables(study, variables, path, TableFormat::Csv, warnings);
  for (const std::string& warning : warnings) session.warn(warning);
  std::string line = "Saved " + count_of(written.rows, "row") + " to " + choice->name;
  if (!slopes.empty()) {
    write_slopes(variables, slopes, TableFormat::Csv);
    line += " and the slopes to " + split_path(slopes).name;
  }
  if (!variables.note.empty()) {
    session.platform.show_report("Burnaby's correction", variables.note + "\n");
  }
  session.report(line);
}

}  // namespace

void save_allometric(Session& session) {
  save_correction(session, SizeCorrection::allometric);
}
void save_log_shape_ratios(Session& session) {
  save_correction(session, SizeCorrection::log_shape_ratios);
}
void save_burnaby(Session& session) {
  save_correction(session, SizeCorrection::burnaby);
}

bool pca_panel_open(const Session& session) {
  return tagged_figure(session, kPcaTag).has_value();
}

void toggle_pca_panel(Session& session) {
  if (auto open = tagged_figure(session, kPcaTag)) {
    session.graphics.close(*open);
    session.pca.sample_changed();
    return session.report("Principal components closed");
  }
  if (no_sample(session)) return;
  PcaState& p = session.pca;
  const auto& names = dataset_names();
  const bool distances = p.dataset != "angles" && p.dataset != "degrees";
  std::string dataset = p.dataset;
  if (std::find(names.begin(), names.end(), dataset) == names.end() ||
      (distances && !has_pairs(session))) {
    const auto first = first_dataset(session);
    if (!first) return session.report("The principal components need a pair or a triple list.");
    dataset = *first;
  }
  p.sample_changed();
  fit(session, dataset, p.correlation);
  open_panel(session, "PcaPanel.fig");
  std::vector<Value> choices;
  for (const std::string& name : names) choices.emplace_back(name);
  set_tagged(session, "PcaDataset", "String", Value::cell_row(std::move(choices)));
  fill_pca_panel(session);
  session.report("Principal components of " + count_of(p.variables->columns.size(), "variable") +
                 " (" + p.dataset + ")");
}

void pca_update(Session& session) {
  if (!pca_panel_open(session) || session.handler.sample.empty()) return;
  PcaState& p = session.pca;
  const auto& names = dataset_names();
  const std::size_t at = popup_value(session, "PcaDataset", 0);
  const std::string dataset = at < names.size() ? names[at] : p.dataset;
  const bool correlation = popup_value(session, "PcaMatrix", 0) == 1;
  if (!p.variables || dataset != p.dataset || correlation != p.correlation) {
    try {
      fit(session, dataset, correlation);
    } catch (...) {
      fill_pca_panel(session);  // the popups show the fit kept
      throw;
    }
  }
  const std::size_t m = p.pca.sdev.size();
  p.x = std::min(popup_value(session, "PcaX", p.x), m - 1);
  p.y = std::min(popup_value(session, "PcaY", p.y), m - 1);
  fill_pca_panel(session);
}

void pca_click(Session& session) {
  if (!pca_panel_open(session)) return;
  if (const auto row = point_at_pointer(session, 0)) select_specimen(session, *row);
}

void pca_hover(Session& session) {
  if (!pca_panel_open(session)) return;
  PcaState& p = session.pca;
  const auto row = point_at_pointer(session, kPointRadius);
  if (row == p.pointed) return;
  p.pointed = row;
  Graphics& g = session.graphics;
  for (Handle h : g.find_by_tag("PcaPointer")) g.delete_object(h);
  if (!row) return;
  const auto plot = g.find_by_tag("PcaPlot");
  if (plot.empty()) return;
  const Handle text = g.text(plot.front(), p.pca.scores(*row, p.x), p.pca.scores(*row, p.y),
                             "  " + session.handler.sample.records[*row].name());
  g.set(text, "Tag", Value("PcaPointer"));
}

void size_sample_changed(Session& session) {
  // Groups kept across a change that keeps the sample (a specimen left out
  // or brought back) follow their rule on it, when the rule still fits.
  auto& groups = session.analyses.groups;
  if (groups && !session.handler.sample.empty()) {
    const std::string rule = groups->rule;
    try {
      groups = sample_groups(session.handler.sample, rule);
    } catch (const RuntimeError& error) {
      groups.reset();
      session.warn(error.what() + std::string(" The groups are not set."));
    }
  } else {
    groups.reset();
  }
  session.pca.sample_changed();
  const auto open = tagged_figure(session, kPcaTag);
  if (!open) return;
  if (session.handler.sample.empty()) {
    session.graphics.close(*open);
    return;
  }
  refit_open_panel(session);
}

void size_lists_changed(Session& session) {
  refit_open_panel(session);
}

}  // namespace dg::actions
