#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "actions/run_callback.hpp"
#include "morpho/formtrad2.hpp"
#include "morpho/tradangle.hpp"
#include "runtime/array/error.hpp"

namespace dg::actions {
namespace {

using List = ProtocolDesign::List;

constexpr const char* kDesignerPanelTag = "ProtocolDesigner";
constexpr const char* kHoverTag = "PickHover";
constexpr const char* kDesignedName = "the protocol designer";
// How near the pointer must come to a landmark, in pixels, to pick it.
constexpr double kPickRadius = 8;

const char* list_tag(List list) {
  return list == List::pairs ? "DesignPairs" : "DesignTriples";
}

std::optional<Handle> panel(const Session& session) {
  return tagged_figure(session, kDesignerPanelTag);
}

// The axes the sample is drawn in: the main figure's current axes.
std::optional<Handle> plot_axes(Session& session) {
  auto figure = main_figure(session);
  if (!figure) return std::nullopt;
  const Value axes = session.graphics.get(*figure, "CurrentAxes");
  if (axes.is_empty()) return std::nullopt;
  return axes.scalar();
}

// The designer follows the sample: a new landmark count ends a half-made pick.
ProtocolDesign& design_of(Session& session) {
  ProtocolDesign& design = session.designer.design;
  const std::size_t k = session.handler.sample.landmarks();
  if (design.landmarks() != k) design.set_landmarks(k);
  return design;
}

// The sample's mean shape as the plot shows it, computed once per sample and
// view: the pointer asks for it at every move.
const Matrix& mean_shape(Session& session) {
  Matrix& mean = session.designer.mean_shape;
  if (mean.empty() && !session.handler.sample.empty()) {
    mean = shown_mean(session);
  }
  return mean;
}

// Whether a stored list names the same landmarks, row by row, as the designer's.
bool same_rows(const Matrix& stored, const ProtocolDesign& design, List list) {
  const std::size_t w = ProtocolDesign::width(list);
  if (stored.rows() != design.rows(list)) return false;
  if (stored.rows() > 0 && stored.cols() != w + 1) return false;
  for (std::size_t i = 0; i < stored.rows(); ++i) {
    auto row = design.row(list, i);
    for (std::size_t c = 0; c < w; ++c) {
      if (stored(i, c + 1) != static_cast<double>(row[c])) return false;
    }
  }
  return true;
}

// Stores the designer's lists as the session's where they differ, as a load
// of them would: other pairs make the distances calculated so far stale.
void store_design(Session& session) {
  const ProtocolDesign& design = session.designer.design;
  HandlerState& h = session.handler;
  for (List list : {List::pairs, List::triples}) {
    const Matrix& stored = list == List::pairs ? h.tlengths : h.tangles;
    if (same_rows(stored, design, list)) continue;
    store_list(session, list, design.matrix(list), kDesignedName);
    if (list == List::pairs && !h.traddata.empty()) {
      drop_distances(h);
      session.warn("the distances calculated before were for other pairs; calculate them again.");
    }
  }
  if (session.draws && designer_open(session)) draw_designer(session);
}

// Runs an edit of the designer's lists; a refusal changes nothing and says why.
template <class Edit>
void edit(Session& session, Edit&& change) {
  ProtocolDesign& design = design_of(session);
  try {
    change(design);
  } catch (const RuntimeError& error) {
    return session.report(error.what());
  }
  store_design(session);
}

// Adds the pairs a generator makes and says how many were new.
void add_generated(Session& session, std::size_t (ProtocolDesign::*generate)()) {
  std::size_t added = 0;
  edit(session, [&](ProtocolDesign& design) { added = (design.*generate)(); });
  if (!session.handler.sample.empty()) session.report("Added " + count_of(added, "pair"));
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

// The mean of a row's distance (at each specimen's size, as the saves write
// it) or angle (in degrees) over the specimens that have it.
double row_mean(Session& session, List list, std::span<const std::size_t> row) {
  std::vector<std::size_t> key(row.begin(), row.end());
  auto& means = session.designer.means;
  if (auto it = means.find(key); it != means.end()) return it->second;
  const Sample& s = session.handler.sample;
  // The row's landmark numbers count from 1.
  std::vector<std::size_t> index(row.begin(), row.end());
  for (std::size_t& i : index) --i;
  const Matrix values = list == List::pairs
                            ? formtrad2(s.coordinates, s.sizes, index, s.partial_size, s.dimensions)
                            : tradangle(s.coordinates, index, s.dimensions);
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < values.rows(); ++i) {
    if (std::isfinite(values(i, 0))) sum += values(i, 0), ++n;
  }
  double mean = n ? sum / static_cast<double>(n) : std::nan("");
  if (list == List::triples) mean *= 180 / std::acos(-1.0);
  return means[key] = mean;
}

// "d3:  2 - 7   mean 0.4121", "a1:  1 - 4 - 9   mean 87.3°".
std::string row_text(Session& session, List list, std::size_t position, bool fits) {
  const ProtocolDesign& design = session.designer.design;
  auto row = design.row(list, position);
  std::string text = (list == List::pairs ? "d" : "a") + std::to_string(position + 1) + ":  ";
  for (std::size_t c = 0; c < row.size(); ++c) {
    text += (c ? " - " : "") + std::to_string(row[c]);
  }
  if (fits && !session.handler.sample.empty()) {
    text += "   mean " + number_text(row_mean(session, list, row));
    if (list == List::triples) text += "\u00b0";
  }
  return text;
}

// What the next click on the mean shape does, in two lines.
Value prompt(const ProtocolDesign& design) {
  auto lines = [](std::string first, std::string second) {
    return Value::text_cell({std::move(first), std::move(second)});
  };
  if (design.landmarks() == 0)
    return lines("Load a sample to pick landmarks", "on its mean shape.");
  if (!design.picking()) {
    return lines("Add a distance or an angle, then click", "its landmarks on the mean shape.");
  }
  const auto& picked = design.picked();
  const auto n = [&](std::size_t i) { return std::to_string(picked[i]); };
  if (design.pick_list() == List::pairs) {
    if (picked.empty()) return lines("Distance: click its first landmark.", "Esc cancels.");
    return lines("Distance from landmark " + n(0) + ":", "click its second landmark.");
  }
  if (picked.empty()) return lines("Angle: click the end of its first arm.", "Esc cancels.");
  if (picked.size() == 1) return lines("Angle from landmark " + n(0) + ":", "click its vertex.");
  return lines("Angle " + n(0) + " - " + n(1) + ":", "click the end of its second arm.");
}

// The selected row of a list: its position, or nothing.
std::optional<std::size_t> selected(Session& session, List list) {
  for (Handle box : session.graphics.find_by_tag(list_tag(list))) {
    const Value v = session.graphics.get(box, "Value");
    if (!v.is_double() || v.numel() != 1) continue;
    const double row = v.scalar();
    if (row >= 1 && row <= static_cast<double>(session.designer.design.rows(list))) {
      return static_cast<std::size_t>(row) - 1;
    }
  }
  return std::nullopt;
}

void select(Session& session, List list, std::size_t position) {
  set_tagged(session, list_tag(list), "Value", Value(static_cast<double>(position + 1)));
}

// Where each landmark of the mean shape lies in the plot, in pixels from the
// plot box's lower left corner; a landmark without a place lies nowhere near.
std::vector<PixelPoint> landmark_pixels(Session& session, Handle axes, const Matrix& mpt) {
  Graphics& g = session.graphics;
  const auto box = g.pixel_position(axes);
  const auto lim = g.shown_limits(axes, box[2], box[3]);
  const double sx = box[2] / (lim[1] - lim[0]), sy = box[3] / (lim[3] - lim[2]);
  std::vector<PixelPoint> points(mpt.cols() / 2);
  for (std::size_t p = 0; p < points.size(); ++p) {
    const double x = mpt(0, 2 * p), y = mpt(0, 2 * p + 1);
    points[p] = std::isfinite(x) && std::isfinite(y)
                    ? PixelPoint{(x - lim[0]) * sx, (y - lim[2]) * sy}
                    : PixelPoint{HUGE_VAL, HUGE_VAL};
  }
  return points;
}

// The landmark of the mean shape nearest the axes' CurrentPoint, when near enough.
std::optional<std::size_t> landmark_at_pointer(Session& session, const Matrix& mpt) {
  auto axes = plot_axes(session);
  if (!axes || mpt.empty()) return std::nullopt;
  Graphics& g = session.graphics;
  const Matrix point = g.get(*axes, "CurrentPoint").matrix();
  const auto box = g.pixel_position(*axes);
  const auto lim = g.shown_limits(*axes, box[2], box[3]);
  const double x = (point(0, 0) - lim[0]) * box[2] / (lim[1] - lim[0]);
  const double y = (point(0, 1) - lim[2]) * box[3] / (lim[3] - lim[2]);
  return nearest_landmark(landmark_pixels(session, *axes, mpt), x, y, kPickRadius);
}

void set_design_mode(Session& session, bool on) {
  auto figure = main_figure(session);
  auto axes = plot_axes(session);
  if (!figure || !axes) return;
  Graphics& g = session.graphics;
  g.set(*axes, "ButtonDownFcn", Value(on ? callback_of(Action::DesignClick) : ""));
  g.set(*figure, "WindowButtonMotionFcn", Value(on ? callback_of(Action::DesignHover) : ""));
}

}  // namespace

bool designer_open(const Session& session) {
  return panel(session).has_value();
}

void draw_designer(Session& session) {
  draw_design(session, mean_shape(session), session.designer.design.picked());
  session.designer.hover = 0;  // the drawing was made anew
}

void toggle_designer(Session& session) {
  Graphics& g = session.graphics;
  if (auto open = panel(session)) {
    design_of(session).cancel_pick();
    set_design_mode(session, false);
    for (Handle h : g.find_by_tag(kHoverTag)) g.delete_object(h);
    session.designer.hover = 0;
    g.close(*open);
    return session.report("Protocol designer closed");
  }
  // The pick prompt, the two lists with their buttons, the row edits, undo
  // and redo, loading and saving.
  open_panel(session, "ProtocolDesigner.fig");
  set_design_mode(session, true);
  if (!session.handler.sample.empty() && session.draws) draw_designer(session);
  session.report("Protocol designer opened: add distances and angles by clicking landmarks");
}

void design_pick(Session& session, List list) {
  ProtocolDesign& design = design_of(session);
  const auto outcome = list == List::pairs ? design.pick_pair() : design.pick_angle();
  if (outcome.kind == ProtocolDesign::PickOutcome::Kind::refused) {
    return session.report(outcome.message);
  }
  if (session.draws && designer_open(session)) draw_designer(session);
}

void design_click(Session& session) {
  ProtocolDesign& design = design_of(session);
  if (session.handler.sample.empty()) return;
  const auto landmark = landmark_at_pointer(session, mean_shape(session));
  // A click beside every landmark picks nothing.
  if (!landmark) return;
  const auto outcome = design.pick(*landmark);
  using Kind = ProtocolDesign::PickOutcome::Kind;
  if (outcome.kind == Kind::refused) return session.report(outcome.message);
  if (outcome.kind == Kind::waiting) {
    if (session.draws) draw_designer(session);
    return;
  }
  store_design(session);
  select(session, outcome.list, outcome.row);
  session.designer.active = outcome.list;
  auto row = design.row(outcome.list, outcome.row);
  const std::string n = std::to_string(outcome.row + 1);
  if (outcome.list == List::pairs) {
    session.report("Added distance " + n + ": landmarks " + std::to_string(row[0]) + " and " +
                   std::to_string(row[1]));
  } else {
    session.report("Added angle " + n + ": landmarks " + std::to_string(row[0]) + ", " +
                   std::to_string(row[1]) + " and " + std::to_string(row[2]) + ", vertex " +
                   std::to_string(row[1]));
  }
}

void design_hover(Session& session) {
  if (session.handler.sample.empty() || !designer_open(session)) return;
  const Matrix& mpt = mean_shape(session);
  const auto landmark = landmark_at_pointer(session, mpt).value_or(0);
  std::size_t& hover = session.designer.hover;
  if (landmark == hover) return;  // nothing to redraw
  Graphics& g = session.graphics;
  for (Handle h : g.find_by_tag(kHoverTag)) g.delete_object(h);
  hover = landmark;
  if (landmark == 0) return;
  g.hold(true);
  const Handle ring = g.plot(std::vector<double>{mpt(0, 2 * (landmark - 1))},
                             std::vector<double>{mpt(0, 2 * (landmark - 1) + 1)}, "o");
  g.set(ring, "Color", Value(Matrix{{1, 0.5, 0}}));
  g.set(ring, "MarkerSize", Value(16.0));
  g.set(ring, "LineWidth", Value(2.0));
  g.set(ring, "Tag", Value(kHoverTag));
}

void design_cancel(Session& session) {
  ProtocolDesign& design = design_of(session);
  if (!design.picking()) return;
  design.cancel_pick();
  if (session.draws && designer_open(session)) draw_designer(session);
  session.report("Pick cancelled");
}

void design_all_pairs(Session& session) {
  add_generated(session, &ProtocolDesign::add_all_pairs);
}

void design_chain(Session& session) {
  add_generated(session, &ProtocolDesign::add_chain);
}

void design_clear(Session& session) {
  const List list = session.designer.active;
  edit(session, [&](ProtocolDesign& design) { design.clear(list); });
}

void design_select(Session& session, List list) {
  session.designer.active = list;
}

void design_delete(Session& session) {
  const List list = session.designer.active;
  const auto row = selected(session, list);
  if (!row) return session.report("Select a row to delete first.");
  edit(session, [&](ProtocolDesign& design) { design.delete_row(list, *row); });
  const std::size_t left = session.designer.design.rows(list);
  if (left > 0) select(session, list, std::min(*row, left - 1));
}

void design_move(Session& session, int step) {
  const List list = session.designer.active;
  const auto row = selected(session, list);
  if (!row) return session.report("Select a row to move first.");
  const std::size_t rows = session.designer.design.rows(list);
  if ((step < 0 && *row == 0) || (step > 0 && *row + 1 >= rows)) return;
  const std::size_t to = step < 0 ? *row - 1 : *row + 1;
  edit(session, [&](ProtocolDesign& design) { design.move_row(list, *row, to); });
  select(session, list, to);
}

void design_undo(Session& session) {
  edit(session, [](ProtocolDesign& design) { design.undo(); });
}

void design_redo(Session& session) {
  edit(session, [](ProtocolDesign& design) { design.redo(); });
}

void design_save(Session& session, List list) {
  const ProtocolDesign& design = design_of(session);
  const char* noun = list == List::pairs ? "pair" : "triple";
  if (design.rows(list) == 0) {
    return session.report(std::string("There are no ") + noun + "s to save.");
  }
  // A list saved over the file it was loaded from updates it; no other input is replaced.
  const HandlerState& h = session.handler;
  auto choice = ask_save(session, "*.txt",
                         list == List::pairs ? "Save the pair list" : "Save the triple list",
                         sample_name(h) + (list == List::pairs ? "_pairs.txt" : "_triples.txt"),
                         sample_folder(h), list == List::pairs ? h.pairs_file : h.triples_file);
  if (!choice) return;
  design.save(list, choice->path());
  session.report("Saved " + count_of(design.rows(list), noun) + " to " + choice->path());
}

void design_loaded(Session& session, List list, const Matrix& loaded, std::string_view name) {
  design_of(session).replace(list, loaded, name);
}

void refresh_designer(Session& session) {
  ProtocolDesign& design = design_of(session);
  Graphics& g = session.graphics;
  const std::pair<std::string_view, bool> rules[] = {
      {"DesignCancel", design.picking()},
      {"DesignUndo", design.can_undo()},
      {"DesignRedo", design.can_redo()},
  };
  for (const auto& [tag, on] : rules) enable(session, tag, on);
  if (!designer_open(session)) {
    set_tagged(session, "DesignerMenu", "Checked", Value("off"));
    return;
  }
  set_tagged(session, "DesignerMenu", "Checked", Value("on"));
  const bool sample = design.landmarks() > 0;
  enable(session, "DesignNeedsSample", sample);
  enable(session, "DesignSavePairs", design.rows(List::pairs) > 0);
  enable(session, "DesignSaveTriples", design.rows(List::triples) > 0);
  enable(session, "DesignRow", selected(session, session.designer.active).has_value());
  enable(session, "DesignClearList", design.rows(session.designer.active) > 0);
  set_tagged(session, "DesignPrompt", "String", prompt(design));
  for (List list : {List::pairs, List::triples}) {
    const auto misfit = design.misfit(list);
    std::vector<Value> rows;
    for (std::size_t i = 0; i < design.rows(list); ++i) {
      rows.emplace_back(row_text(session, list, i, !misfit));
    }
    if (misfit) rows.emplace_back("Does not fit the sample: " + *misfit);
    const Value items = Value::cell_row(std::move(rows));
    for (Handle box : g.find_by_tag(list_tag(list))) g.set(box, "String", items);
  }
}

}  // namespace dg::actions
