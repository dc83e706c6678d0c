#include "runtime/graphics/graphics.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"
#include "runtime/graphics/style.hpp"

namespace dg {
namespace {

constexpr std::uint32_t kNoneColor = 0;
constexpr std::uint32_t kAutoColor = 1;

std::string handle_text(Handle h) {
  return num2str(h);
}

// Rounds a data range outwards to a step of 1, 2 or 5 times a power of ten.
std::array<double, 2> nice_range(double lo, double hi) {
  if (!(lo <= hi)) return {0, 1};
  if (lo == hi) return {lo - 1, hi + 1};
  double raw = (hi - lo) / 5;
  double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (double f : {1.0, 2.0, 5.0, 10.0}) {
    step = f * magnitude;
    if (step >= raw) break;
  }
  return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
}

}  // namespace

const char* type_name(ObjectType type) {
  switch (type) {
    case ObjectType::Root:
      return "root";
    case ObjectType::Figure:
      return "figure";
    case ObjectType::Axes:
      return "axes";
    case ObjectType::Line:
      return "line";
    case ObjectType::Text:
      return "text";
    case ObjectType::UIControl:
      return "uicontrol";
    case ObjectType::UIMenu:
      return "uimenu";
  }
  return "object";
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

Points::Points(std::span<const double> x, std::span<const double> y) {
  if (x.size() != y.size()) {
    raise("A line needs as many x values as y values; found " + std::to_string(x.size()) + " and " +
          std::to_string(y.size()) + ".");
  }
  n_ = static_cast<std::uint32_t>(x.size());
  if (n_ == 1) {
    xy_[0] = x[0];
    xy_[1] = y[0];
  } else if (n_ > 1) {
    heap_ = std::make_unique<double[]>(2 * n_);
    std::copy(x.begin(), x.end(), heap_.get());
    std::copy(y.begin(), y.end(), heap_.get() + n_);
  }
}

Graphics::Graphics(Platform& platform) : platform_(platform) {
  objects_.push_back(std::make_unique<Root>());
  palette_.resize(2);  // "none" and "auto"
  color_index({ColorSpec::Kind::Rgb, {0, 0, 0}});
}

template <class T>
T& Graphics::as(ObjectId id) const {
  return static_cast<T&>(*objects_[id]);
}

ObjectId Graphics::id_of(Handle h) const {
  if (h == 0) return 0;
  if (std::floor(h) == h) {
    if (h > 0 && h < 1e9) {
      auto it = figure_numbers_.find(static_cast<int>(h));
      if (it != figure_numbers_.end()) return it->second;
    }
  } else if (h > 0 && h - std::floor(h) == 0.5 && h < static_cast<double>(objects_.size())) {
    auto id = static_cast<ObjectId>(h);
    if (objects_[id] && objects_[id]->type != ObjectType::Figure) return id;
  }
  raise("Invalid handle " + handle_text(h) + ": no graphics object has this handle.");
}

Handle Graphics::handle_of(ObjectId id) const {
  const Object& o = *objects_[id];
  if (o.type == ObjectType::Root) return 0;
  if (o.type == ObjectType::Figure) return static_cast<const Figure&>(o).number;
  return static_cast<double>(id) + 0.5;
}

bool Graphics::is_handle(Handle h) const {
  try {
    id_of(h);
    return true;
  } catch (const RuntimeError&) {
    return false;
  }
}

ObjectType Graphics::type(Handle h) const {
  return objects_[id_of(h)]->type;
}

std::optional<Handle> Graphics::parent(Handle h) const {
  ObjectId p = objects_[id_of(h)]->parent;
  if (p == kNoObject) return std::nullopt;
  return handle_of(p);
}

std::vector<Handle> Graphics::children(Handle h) const {
  std::vector<Handle> out;
  for (ObjectId c : objects_[id_of(h)]->children) out.push_back(handle_of(c));
  return out;
}

std::vector<Handle> Graphics::findall(Handle h) const {
  std::vector<Handle> out;
  std::vector<ObjectId> stack{id_of(h)};
  while (!stack.empty()) {
    ObjectId id = stack.back();
    stack.pop_back();
    out.push_back(handle_of(id));
    const auto& kids = objects_[id]->children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(*it);
  }
  return out;
}

std::vector<Handle> Graphics::find_by_tag(std::string_view tag) const {
  auto it = tag_ids_.find(std::string(tag));
  std::uint32_t wanted = tag.empty() ? 0 : (it == tag_ids_.end() ? kNoObject : it->second);
  std::vector<Handle> out;
  if (wanted == kNoObject) return out;
  std::vector<ObjectId> stack{0};
  while (!stack.empty()) {
    ObjectId id = stack.back();
    stack.pop_back();
    if (objects_[id]->tag == wanted) out.push_back(handle_of(id));
    const auto& kids = objects_[id]->children;
    for (auto k = kids.rbegin(); k != kids.rend(); ++k) stack.push_back(*k);
  }
  return out;
}

std::optional<Handle> Graphics::figure_of(Handle h) const {
  ObjectId id = id_of(h);
  while (id != kNoObject && objects_[id]->type != ObjectType::Figure) id = objects_[id]->parent;
  if (id == kNoObject) return std::nullopt;
  return handle_of(id);
}

std::uint32_t Graphics::intern_tag(std::string_view tag) {
  if (tag.empty()) return 0;
  auto [it, inserted] =
      tag_ids_.emplace(std::string(tag), static_cast<std::uint32_t>(tag_names_.size()));
  if (inserted) tag_names_.emplace_back(tag);
  return it->second;
}

std::uint32_t Graphics::color_index(const ColorSpec& color) {
  if (color.kind == ColorSpec::Kind::None) return kNoneColor;
  if (color.kind == ColorSpec::Kind::Auto) return kAutoColor;
  std::array<double, 3> key{color.rgb.r, color.rgb.g, color.rgb.b};
  auto it = palette_ids_.find(key);
  if (it != palette_ids_.end()) return it->second;
  auto index = static_cast<std::uint32_t>(palette_.size());
  palette_.push_back(color.rgb);
  palette_ids_.emplace(key, index);
  return index;
}

ColorSpec Graphics::color_spec(std::uint32_t index) const {
  if (index == kNoneColor) return {ColorSpec::Kind::None, {}};
  if (index == kAutoColor) return {ColorSpec::Kind::Auto, {}};
  return {ColorSpec::Kind::Rgb, palette_[index]};
}

void Graphics::touch(ObjectId id) {
  while (id != kNoObject && objects_[id]->type != ObjectType::Figure) id = objects_[id]->parent;
  if (id == kNoObject) return;
  auto& fig = as<Figure>(id);
  if (!fig.stale) {
    fig.stale = true;
    platform_.figure_stale(fig.number);
  }
}

bool Graphics::take_stale(Handle figure) {
  auto& fig = as<Figure>(id_of(figure));
  bool was = fig.stale;
  fig.stale = false;
  return was;
}

ObjectId Graphics::add(std::unique_ptr<Object> object, ObjectId parent) {
  auto id = static_cast<ObjectId>(objects_.size());
  object->parent = parent;
  objects_.push_back(std::move(object));
  objects_[parent]->children.push_back(id);
  touch(id);
  return id;
}

std::vector<Handle> Graphics::figures() const {
  std::vector<Handle> out;
  for (ObjectId id : objects_[0]->children) out.push_back(handle_of(id));
  return out;
}

Handle Graphics::new_figure() {
  int number = 1;
  while (figure_numbers_.count(number)) ++number;
  auto fig = std::make_unique<Figure>();
  fig->number = number;
  auto screen = platform_.screen_size();
  fig->pixels = {std::max(0.0, (screen[0] - 560) / 2), std::max(0.0, (screen[1] - 420) / 2), 560,
                 420};
  auto bg = platform_.default_control_background();
  fig->color = {bg[0], bg[1], bg[2]};
  ObjectId id = add(std::move(fig), 0);
  figure_numbers_[number] = id;
  as<Root>(0).current_figure = id;
  return number;
}

Handle Graphics::new_axes(Handle figure) {
  ObjectId fid = id_of(figure);
  if (objects_[fid]->type != ObjectType::Figure) {
    raise("Axes can only be placed in a figure; " + handle_text(figure) + " is a " +
          type_name(objects_[fid]->type) + ".");
  }
  auto axes = std::make_unique<Axes>();
  auto& fig = as<Figure>(fid);
  axes->pixels = {0.13 * fig.pixels[2], 0.11 * fig.pixels[3], 0.775 * fig.pixels[2],
                  0.815 * fig.pixels[3]};
  ObjectId id = add(std::move(axes), fid);
  as<Figure>(fid).current_axes = id;
  return handle_of(id);
}

Handle Graphics::new_uicontrol(Handle parent) {
  ObjectId pid = id_of(parent);
  if (objects_[pid]->type != ObjectType::Figure) {
    raise("A control can only be placed in a figure; " + handle_text(parent) + " is a " +
          type_name(objects_[pid]->type) + ".");
  }
  auto control = std::make_unique<Widget>(ObjectType::UIControl);
  control->pixels = {20, 20, 60, 20};
  return handle_of(add(std::move(control), pid));
}

Handle Graphics::new_uimenu(Handle parent) {
  ObjectId pid = id_of(parent);
  ObjectType t = objects_[pid]->type;
  if (t != ObjectType::Figure && t != ObjectType::UIMenu) {
    raise("A menu can only be placed in a figure or a menu; " + handle_text(parent) + " is a " +
          type_name(t) + ".");
  }
  return handle_of(add(std::make_unique<Widget>(ObjectType::UIMenu), pid));
}

std::optional<Handle> Graphics::current_figure() const {
  ObjectId id = as<Root>(0).current_figure;
  if (id == kNoObject) return std::nullopt;
  return handle_of(id);
}

Handle Graphics::gcf() {
  if (auto fig = current_figure()) return *fig;
  return new_figure();
}

Handle Graphics::gca() {
  Handle figure = gcf();
  ObjectId axes = as<Figure>(id_of(figure)).current_axes;
  if (axes == kNoObject) return new_axes(figure);
  return handle_of(axes);
}

Axes& Graphics::current_axes_object() {
  return as<Axes>(id_of(gca()));
}

void Graphics::raise_figure(Handle figure) {
  ObjectId id = id_of(figure);
  if (objects_[id]->type != ObjectType::Figure) {
    raise("Handle " + handle_text(figure) + " is not a figure.");
  }
  as<Root>(0).current_figure = id;
  platform_.figure_raised(figure);
}

Handle Graphics::plot(std::span<const double> x, std::span<const double> y,
                      std::string_view style) {
  PlotStyle parsed = parse_plot_style(style);
  Handle axes = gca();
  ObjectId aid = id_of(axes);
  if (!as<Axes>(aid).hold) {
    clear_axes(axes);
    auto& a = as<Axes>(aid);
    a.xlim_auto = a.ylim_auto = true;
  }
  auto line = std::make_unique<Line>();
  line->points = Points(x, y);
  line->color = color_index({ColorSpec::Kind::Rgb, parsed.color.value_or(Rgb{0, 0, 0})});
  line->edge_color = kAutoColor;
  line->face_color = kNoneColor;
  line->style = *parsed.line_style;
  line->marker = *parsed.marker;
  return handle_of(add(std::move(line), aid));
}

Handle Graphics::text(double x, double y, std::string_view string) {
  Handle axes = gca();
  auto text = std::make_unique<Text>();
  text->x = x;
  text->y = y;
  text->string = std::string(string);
  text->color = color_index({ColorSpec::Kind::Rgb, {0, 0, 0}});
  return handle_of(add(std::move(text), id_of(axes)));
}

void Graphics::hold(bool on) {
  current_axes_object().hold = on;
  touch(id_of(gca()));
}

void Graphics::axis_auto() {
  auto& axes = current_axes_object();
  axes.xlim_auto = axes.ylim_auto = true;
  touch(id_of(gca()));
}

void Graphics::axis_equal() {
  current_axes_object().equal = true;
  touch(id_of(gca()));
}

void Graphics::axis_limits(const std::array<double, 4>& limits) {
  if (!(limits[0] < limits[1]) || !(limits[2] < limits[3])) {
    raise("Axis limits need xmin < xmax and ymin < ymax; found [" + num2str(limits[0]) + " " +
          num2str(limits[1]) + " " + num2str(limits[2]) + " " + num2str(limits[3]) + "].");
  }
  auto& axes = current_axes_object();
  axes.xlim = {limits[0], limits[1]};
  axes.ylim = {limits[2], limits[3]};
  axes.xlim_auto = axes.ylim_auto = false;
  touch(id_of(gca()));
}

std::array<double, 4> Graphics::axis_limits() {
  return limits_of(gca());
}

std::array<double, 4> Graphics::auto_limits(const Axes& axes) const {
  double inf = std::numeric_limits<double>::infinity();
  double x0 = inf, x1 = -inf, y0 = inf, y1 = -inf;
  for (ObjectId id : axes.children) {
    const Object& o = *objects_[id];
    if (o.type != ObjectType::Line || !o.visible) continue;
    const Points& p = static_cast<const Line&>(o).points;
    for (std::size_t i = 0; i < p.size(); ++i) {
      double x = p.x(i), y = p.y(i);
      if (std::isfinite(x) && std::isfinite(y)) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
  }
  auto xs = nice_range(x0, x1);
  auto ys = nice_range(y0, y1);
  return {xs[0], xs[1], ys[0], ys[1]};
}

std::array<double, 4> Graphics::limits_of(Handle axes_handle) const {
  ObjectId id = id_of(axes_handle);
  if (objects_[id]->type != ObjectType::Axes) {
    raise("Handle " + handle_text(axes_handle) + " is not an axes.");
  }
  const auto& axes = as<Axes>(id);
  std::array<double, 4> out{axes.xlim[0], axes.xlim[1], axes.ylim[0], axes.ylim[1]};
  if (axes.xlim_auto || axes.ylim_auto) {
    auto fitted = auto_limits(axes);
    if (axes.xlim_auto) out[0] = fitted[0], out[1] = fitted[1];
    if (axes.ylim_auto) out[2] = fitted[2], out[3] = fitted[3];
  }
  return out;
}

void Graphics::clear_axes(Handle axes_handle) {
  ObjectId id = id_of(axes_handle);
  if (objects_[id]->type != ObjectType::Axes) {
    raise("Handle " + handle_text(axes_handle) + " is not an axes.");
  }
  std::vector<ObjectId> kids = std::move(objects_[id]->children);
  objects_[id]->children.clear();
  for (ObjectId kid : kids) remove_subtree(kid);
  touch(id);
}

void Graphics::remove_subtree(ObjectId id) {
  for (ObjectId kid : objects_[id]->children) remove_subtree(kid);
  if (objects_[id]->type == ObjectType::Figure) {
    int number = as<Figure>(id).number;
    figure_numbers_.erase(number);
    platform_.figure_closed(number);
  }
  if (!appdata_.empty()) appdata_.erase(id);
  objects_[id].reset();
}

void Graphics::delete_object(Handle h) {
  ObjectId id = id_of(h);
  if (id == 0) raise("The root object (handle 0) cannot be deleted.");
  ObjectId parent = objects_[id]->parent;
  touch(parent);
  std::erase(objects_[parent]->children, id);
  remove_subtree(id);
  auto& root = as<Root>(0);
  if (root.current_figure == id ||
      (root.current_figure != kNoObject && !objects_[root.current_figure])) {
    root.current_figure = root.children.empty() ? kNoObject : root.children.back();
  }
  if (objects_[parent] && objects_[parent]->type == ObjectType::Figure) {
    auto& fig = as<Figure>(parent);
    if (fig.current_axes == id) {
      fig.current_axes = kNoObject;
      for (ObjectId c : fig.children) {
        if (objects_[c]->type == ObjectType::Axes) fig.current_axes = c;
      }
    }
  }
}

void Graphics::close(Handle figure) {
  if (type(figure) != ObjectType::Figure) {
    raise("Handle " + handle_text(figure) + " is not a figure and cannot be closed.");
  }
  delete_object(figure);
}

Value Graphics::getappdata(Handle h, const std::string& name) const {
  auto it = appdata_.find(id_of(h));
  if (it == appdata_.end()) return Value();
  for (const auto& [key, value] : it->second) {
    if (key == name) return value;
  }
  return Value();
}

void Graphics::setappdata(Handle h, const std::string& name, Value value) {
  auto& entries = appdata_[id_of(h)];
  for (auto& [key, stored] : entries) {
    if (key == name) {
      stored = std::move(value);
      return;
    }
  }
  entries.emplace_back(name, std::move(value));
}

bool Graphics::isappdata(Handle h, const std::string& name) const {
  auto it = appdata_.find(id_of(h));
  if (it == appdata_.end()) return false;
  return std::any_of(it->second.begin(), it->second.end(),
                     [&](const auto& entry) { return entry.first == name; });
}

Graphics::CallbackScope::CallbackScope(Graphics& graphics, Handle object) : graphics_(graphics) {
  ObjectId id = graphics.id_of(object);
  ObjectId fig = id;
  while (fig != kNoObject && graphics.objects_[fig]->type != ObjectType::Figure) {
    fig = graphics.objects_[fig]->parent;
  }
  graphics.callbacks_.emplace_back(id, fig);
}

Graphics::CallbackScope::~CallbackScope() {
  if (!graphics_.callbacks_.empty()) graphics_.callbacks_.pop_back();
}

std::optional<Handle> Graphics::gcbo() const {
  if (callbacks_.empty() || !objects_[callbacks_.back().first]) return std::nullopt;
  return handle_of(callbacks_.back().first);
}

std::optional<Handle> Graphics::gcbf() const {
  if (callbacks_.empty()) return std::nullopt;
  ObjectId fig = callbacks_.back().second;
  if (fig == kNoObject || !objects_[fig]) return std::nullopt;
  return handle_of(fig);
}

void Graphics::set_all(std::span<const Handle> handles, std::string_view name, const Value& value) {
  for (Handle h : handles) set(h, name, value);
}

}  // namespace dg
