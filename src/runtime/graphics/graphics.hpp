// The graphics object tree: the root (handle 0, the screen), figures and their
// axes, lines, texts, images, controls and menus. Graphics is the face of the
// layer; its parts each keep one job:
//   object_store    ids, handles and the tree (point rows included)
//   property_table  the properties of each type, by name in any letter case
//   palette         colours and point looks shared by index
//   placement       units and position rectangles
//   plotting        plot, text, hold, axis limits and the data bounds
//   tags            tag names and the searches by tag
//   callback_context  the running callback's object and figure
// Every change marks the owning figure stale once, and the platform repaints
// it when idle or at drawnow.
//
// Errors (an unknown handle, property or value) raise a RuntimeError naming the
// handle, the property and the value.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/array/value.hpp"
#include "runtime/graphics/callback_context.hpp"
#include "runtime/graphics/object_store.hpp"
#include "runtime/graphics/objects.hpp"
#include "runtime/graphics/palette.hpp"
#include "runtime/graphics/platform.hpp"
#include "runtime/graphics/property_table.hpp"
#include "runtime/graphics/tags.hpp"

namespace dg {

class Graphics {
 public:
  explicit Graphics(TreeObserver& observer);
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  TreeObserver& observer() { return platform_; }
  const TreeObserver& observer() const { return platform_; }

  // Handles and the tree.
  bool is_handle(Handle h) const { return store_.find(h).has_value(); }
  ObjectType type(Handle h) const { return store_.type(store_.id_of(h)); }
  std::optional<Handle> parent(Handle h) const;
  std::vector<Handle> children(Handle h) const;
  // h and every object below it, depth first, each parent before its children,
  // children in creation order.
  std::vector<Handle> findall(Handle h) const;
  // Every object with this tag, searched from the root over all open figures.
  std::vector<Handle> find_by_tag(std::string_view tag) const;
  std::optional<Handle> figure_of(Handle h) const;
  const std::string& tag_of(Handle h) const { return tags_.name(tag_index(store_.id_of(h))); }
  bool visible(Handle h) const;

  // Properties by name (any letter case), through the property tables.
  Value get(Handle h, std::string_view name) const;
  void set(Handle h, std::string_view name, const Value& value);
  // Sets the property on every handle of the list, in order.
  void set_all(std::span<const Handle> handles, std::string_view name, const Value& value);

  // Creation. New figures become current; new axes become their figure's current axes.
  Handle new_figure();
  Handle new_axes(Handle figure);
  Handle new_uicontrol(Handle parent);
  Handle new_uimenu(Handle parent);
  // An image of the file over [xdata] x [ydata] of the axes' data, added as
  // its last child; raises for a range that is not two increasing numbers.
  Handle new_image(Handle axes, std::string file, std::array<double, 2> xdata,
                   std::array<double, 2> ydata);

  // Current objects; gcf and gca create a figure or axes when none exists.
  std::optional<Handle> current_figure() const;
  Handle gcf();
  Handle gca();
  // Makes a figure current and brings it to the front.
  void raise_figure(Handle figure);

  // Drawing into the current axes.
  Handle plot(std::span<const double> x, std::span<const double> y, std::string_view style);
  // The same into the given axes, which need not be current.
  Handle plot(Handle axes, std::span<const double> x, std::span<const double> y,
              std::string_view style);
  // One single-point line per (x[i], y[i]) in the style, with the marker size,
  // added to the current axes as under hold on: the same objects as a plot
  // of each point followed by setting its MarkerSize.
  void plot_points(std::span<const double> x, std::span<const double> y, std::string_view style,
                   double marker_size);
  // Makes room for `count` more single-point lines in the current axes.
  void reserve_points(std::size_t count);
  Handle text(double x, double y, std::string_view string);
  Handle text(Handle axes, double x, double y, std::string_view string);
  void hold(bool on);
  void axis_auto();
  void axis_equal();
  void axis_limits(const std::array<double, 4>& limits);
  std::array<double, 4> axis_limits();  // the current axes' limits, computed when automatic
  std::array<double, 4> limits_of(Handle axes) const;
  // The limits the axes show in a plot box of width x height pixels: its own
  // limits and, under equal units, one range widened about its centre so that
  // a data unit is as long in x as in y. [xmin, xmax, ymin, ymax].
  std::array<double, 4> shown_limits(Handle axes, double width, double height) const;

  // Removes an axes' children (its drawing).
  void clear_axes(Handle axes);
  void close(Handle figure);
  void delete_object(Handle h);

  // Application data stored on an object by name; absent names read as empty.
  Value getappdata(Handle h, const std::string& name) const;
  void setappdata(Handle h, const std::string& name, Value value);
  bool isappdata(Handle h, const std::string& name) const;

  // The running callback's object and figure; empty outside a callback.
  using CallbackScope = dg::CallbackScope;
  std::optional<Handle> gcbo() const;
  std::optional<Handle> gcbf() const;
  CallbackContext& callbacks() { return callbacks_; }

  // Typed access for painters, windows and the styling commands.
  const ObjectStore& store() const { return store_; }
  ObjectId id_of(Handle h) const { return store_.id_of(h); }
  Handle handle_of(ObjectId id) const { return store_.handle_of(id); }
  const Figure& figure(Handle h) const;
  const Axes& axes(Handle h) const;
  const UIControl& control(Handle h) const;
  const UIMenu& menu(Handle h) const;
  const Palette& palette() const { return palette_; }
  Palette& palette() { return palette_; }
  const LookTable& looks() const { return looks_; }
  const TagTable& tags() const { return tags_; }
  TagTable& tags() { return tags_; }
  std::vector<Handle> figures() const;
  bool take_stale(Handle figure);  // true when the figure was stale; clears the mark

  // Restyles the line children of an object, in order: `change(LineLook&)`
  // edits a line's look and must depend on nothing but that look. A look the
  // change leaves with a width or marker size that is not a positive number
  // raises the message setting that property would, with the lines before it
  // already changed.
  template <class F>
  void restyle_line_children(Handle h, F&& change);

  // Pixel rectangle of an object relative to its figure (figures: on the screen).
  std::array<double, 4> pixel_position(Handle h) const;
  void set_pixel_position(Handle h, const std::array<double, 4>& pixels);
  // A rectangle of the object converted between pixels and units.
  std::array<double, 4> to_units(const Placed& object, std::array<double, 4> pixels,
                                 Units units) const;
  std::array<double, 4> from_units(const Placed& object, std::array<double, 4> values,
                                   Units units) const;

  // For the property tables: marks the figure of an object stale, and the
  // bounds of the axes that hold a line out of date.
  void touch(ObjectId id);
  void bounds_changed(ObjectId line);
  std::uint32_t tag_index(ObjectId id) const;

 private:
  ObjectId add(std::unique_ptr<Object> object, ObjectId parent);
  Axes& current_axes_object();
  ObjectId current_axes_id();
  ObjectId checked_axes(Handle h) const;
  void check_look(const LineLook& look) const;
  void closed(const Figure& figure);
  // A point row as a Line, and back; a row that no longer fits becomes an object.
  std::unique_ptr<Line> line_of_row(ObjectId id) const;
  void store_row(ObjectId id, std::unique_ptr<Line> line);
  std::array<double, 4> data_limits(const Axes& axes) const;

  TreeObserver& platform_;
  ObjectStore store_;
  Palette palette_;
  LookTable looks_;
  TagTable tags_;
  CallbackContext callbacks_;
  std::unordered_map<ObjectId, std::vector<std::pair<std::string, Value>>> appdata_;
};

template <class F>
void Graphics::restyle_line_children(Handle h, F&& change) {
  ObjectId id = store_.id_of(h);
  PointRows* rows = store_.type(id) == ObjectType::Axes ? &store_.as<Axes>(id).points : nullptr;
  std::vector<std::uint32_t> memo;  // old look -> new look of point rows
  constexpr std::uint32_t kUnset = PointRows::kDeadRow;
  bool any = false;
  try {
    for (ObjectId kid : store_.children(id)) {
      if (auto ref = store_.point(kid)) {
        std::uint32_t& look = rows->look[ref->row];
        if (look >= memo.size()) memo.resize(looks_.size(), kUnset);
        if (memo[look] == kUnset) {
          LineLook changed = looks_[look];
          change(changed);
          check_look(changed);
          memo[look] = looks_.index(changed);
        }
        look = memo[look];
        any = true;
      } else if (Object* o = store_.object(kid); o->type == ObjectType::Line) {
        LineLook changed = static_cast<Line*>(o)->look;
        change(changed);
        check_look(changed);
        static_cast<Line*>(o)->look = changed;
        any = true;
      }
    }
  } catch (...) {
    if (any) touch(id);
    throw;
  }
  if (any) touch(id);
}

}  // namespace dg
