// The graphics object tree: the root (handle 0, the screen), figures and their
// axes, lines, texts, controls and menus. Handles are doubles: a figure's is its
// number, any other object's is its slot plus one half, and handles are never
// reused (apart from figure numbers, as users expect). Property names match
// without regard to case. Every change marks the owning figure stale once, and
// the platform repaints it when idle or at drawnow.
//
// Errors (an unknown handle, property or value) raise a RuntimeError naming the
// handle, the property and the value.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/array/value.hpp"
#include "runtime/graphics/objects.hpp"
#include "runtime/graphics/platform.hpp"

namespace dg {

class Graphics {
 public:
  explicit Graphics(Platform& platform);
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  Platform& platform() { return platform_; }

  // Handles and the tree.
  bool is_handle(Handle h) const;
  ObjectType type(Handle h) const;
  std::optional<Handle> parent(Handle h) const;
  std::vector<Handle> children(Handle h) const;
  // h and every object below it, depth first, each parent before its children,
  // children in creation order.
  std::vector<Handle> findall(Handle h) const;
  // Every object with this tag, searched from the root over all open figures.
  std::vector<Handle> find_by_tag(std::string_view tag) const;
  std::optional<Handle> figure_of(Handle h) const;

  // Properties by name (any letter case).
  Value get(Handle h, std::string_view name) const;
  void set(Handle h, std::string_view name, const Value& value);
  // Sets the property on every handle of the list, in order.
  void set_all(std::span<const Handle> handles, std::string_view name, const Value& value);

  // Creation. New figures become current; new axes become their figure's current axes.
  Handle new_figure();
  Handle new_axes(Handle figure);
  Handle new_uicontrol(Handle parent);
  Handle new_uimenu(Handle parent);

  // Current objects; gcf and gca create a figure or axes when none exists.
  std::optional<Handle> current_figure() const;
  Handle gcf();
  Handle gca();
  // Makes a figure current and brings it to the front.
  void raise_figure(Handle figure);

  // Drawing into the current axes.
  Handle plot(std::span<const double> x, std::span<const double> y, std::string_view style);
  Handle text(double x, double y, std::string_view string);
  void hold(bool on);
  void axis_auto();
  void axis_equal();
  void axis_limits(const std::array<double, 4>& limits);
  std::array<double, 4> axis_limits();  // the current axes' limits, computed when automatic
  std::array<double, 4> limits_of(Handle axes) const;

  // Removes an axes' children (its drawing).
  void clear_axes(Handle axes);
  void close(Handle figure);
  void delete_object(Handle h);

  // Application data stored on an object by name; absent names read as empty.
  Value getappdata(Handle h, const std::string& name) const;
  void setappdata(Handle h, const std::string& name, Value value);
  bool isappdata(Handle h, const std::string& name) const;

  // The running callback's object and figure; empty outside a callback.
  class CallbackScope {
   public:
    CallbackScope(Graphics& graphics, Handle object);
    ~CallbackScope();
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

   private:
    Graphics& graphics_;
  };
  std::optional<Handle> gcbo() const;
  std::optional<Handle> gcbf() const;

  // Typed access for painters and fast paths.
  const Object& object(Handle h) const { return *objects_[id_of(h)]; }
  const Rgb& palette_color(std::uint32_t index) const { return palette_[index]; }
  ColorSpec color_spec(std::uint32_t index) const;
  std::uint32_t color_index(const ColorSpec& color);
  std::vector<Handle> figures() const;
  Handle handle_of(ObjectId id) const;
  ObjectId id_of(Handle h) const;  // raises for an invalid handle
  const std::string& tag_name(std::uint32_t tag) const { return tag_names_[tag]; }
  bool take_stale(Handle figure);  // true when the figure was stale; clears the mark

  // Pixel rectangle of an object relative to its figure (figures: on the screen).
  std::array<double, 4> pixel_position(Handle h) const;
  void set_pixel_position(Handle h, const std::array<double, 4>& pixels);

 private:
  template <class T>
  T& as(ObjectId id) const;
  ObjectId add(std::unique_ptr<Object> object, ObjectId parent);
  void touch(ObjectId id);
  void remove_subtree(ObjectId id);
  std::uint32_t intern_tag(std::string_view tag);
  Value get_common(ObjectId id, const Object& object, const std::string& key, bool& found) const;
  Value get_placed(const Placed& object, const std::string& key, bool& found) const;
  bool set_common(ObjectId id, Object& object, const std::string& key, const Value& value);
  bool set_placed(ObjectId id, Placed& object, const std::string& key, const Value& value);
  Value get_line(const Line& line, const std::string& key, bool& found) const;
  bool set_line(Line& line, const std::string& key, const Value& value);
  std::array<double, 2> parent_pixel_size(const Object& object) const;
  std::array<double, 4> to_units(const Placed& object, std::array<double, 4> pixels,
                                 Units units) const;
  std::array<double, 4> from_units(const Placed& object, std::array<double, 4> values,
                                   Units units) const;
  std::array<double, 4> auto_limits(const Axes& axes) const;
  Axes& current_axes_object();

  Platform& platform_;
  std::vector<std::unique_ptr<Object>> objects_;  // slot 0 is the root; slots are never reused
  std::map<int, ObjectId> figure_numbers_;
  std::vector<std::string> tag_names_{""};
  std::unordered_map<std::string, std::uint32_t> tag_ids_;
  std::vector<Rgb> palette_;  // indices 0 and 1 stand for "none" and "auto"
  std::map<std::array<double, 3>, std::uint32_t> palette_ids_;
  std::unordered_map<ObjectId, std::vector<std::pair<std::string, Value>>> appdata_;
  std::vector<std::pair<ObjectId, ObjectId>> callbacks_;  // running callbacks: object, figure
};

// Lower-cases an ASCII property name.
std::string lower(std::string_view text);

}  // namespace dg
