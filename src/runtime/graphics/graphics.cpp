#include "runtime/graphics/graphics.hpp"

#include <algorithm>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {

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
    case ObjectType::Image:
      return "image";
    case ObjectType::UIControl:
      return "uicontrol";
    case ObjectType::UIMenu:
      return "uimenu";
  }
  return "object";
}

void check_line_counts(std::size_t nx, std::size_t ny) {
  if (nx != ny) {
    raise("A line needs as many x values as y values; found " + std::to_string(nx) + " and " +
          std::to_string(ny) + ".");
  }
}

Points::Points(std::span<const double> x, std::span<const double> y) {
  check_line_counts(x.size(), y.size());
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

Graphics::Graphics(TreeObserver& observer) : platform_(observer) {}

std::optional<Handle> Graphics::parent(Handle h) const {
  ObjectId p = store_.parent(store_.id_of(h));
  if (p == kNoObject) return std::nullopt;
  return store_.handle_of(p);
}

std::vector<Handle> Graphics::children(Handle h) const {
  std::vector<Handle> out;
  for (ObjectId c : store_.children(store_.id_of(h))) out.push_back(store_.handle_of(c));
  return out;
}

std::optional<Handle> Graphics::figure_of(Handle h) const {
  ObjectId id = store_.figure_of(store_.id_of(h));
  if (id == kNoObject) return std::nullopt;
  return store_.handle_of(id);
}

bool Graphics::visible(Handle h) const {
  ObjectId id = store_.id_of(h);
  if (const Object* o = store_.object(id)) return o->visible;
  auto ref = store_.point(id);
  return looks_[store_.as<Axes>(ref->axes).points.look[ref->row]].visible;
}

namespace {

template <class T>
const T& typed(const ObjectStore& store, Handle h, ObjectType type) {
  ObjectId id = store.id_of(h);
  if (store.type(id) != type) {
    raise("Handle " + num2str(h) + " is not a " + std::string(type_name(type)) + ".");
  }
  return store.as<T>(id);
}

}  // namespace

const Figure& Graphics::figure(Handle h) const {
  return typed<Figure>(store_, h, ObjectType::Figure);
}

const Axes& Graphics::axes(Handle h) const {
  return typed<Axes>(store_, h, ObjectType::Axes);
}

const UIControl& Graphics::control(Handle h) const {
  return typed<UIControl>(store_, h, ObjectType::UIControl);
}

const UIMenu& Graphics::menu(Handle h) const {
  return typed<UIMenu>(store_, h, ObjectType::UIMenu);
}

std::unique_ptr<Line> Graphics::line_of_row(ObjectId id) const {
  auto ref = store_.point(id);
  const PointRows& rows = store_.as<Axes>(ref->axes).points;
  auto line = std::make_unique<Line>();
  line->look = looks_[rows.look[ref->row]];
  line->visible = line->look.visible;
  line->tag = line->look.tag;
  line->parent = ref->axes;
  line->points = Points({&rows.x[ref->row], 1}, {&rows.y[ref->row], 1});
  return line;
}

void Graphics::store_row(ObjectId id, std::unique_ptr<Line> line) {
  if (line->points.size() != 1 || !line->user_data.is_empty()) {
    store_.promote(id, std::move(line));
    return;
  }
  auto ref = store_.point(id);
  PointRows& rows = store_.as<Axes>(ref->axes).points;
  line->look.visible = line->visible;
  line->look.tag = line->tag;
  rows.x[ref->row] = line->points.x(0);
  rows.y[ref->row] = line->points.y(0);
  rows.look[ref->row] = looks_.index(line->look);
}

Value Graphics::get(Handle h, std::string_view name) const {
  ObjectId id = store_.id_of(h);
  if (const Object* o = store_.object(id)) return property(o->type, name).get(*this, id, *o);
  const Property& p = property(ObjectType::Line, name);
  return p.get(*this, id, *line_of_row(id));
}

void Graphics::set(Handle h, std::string_view name, const Value& value) {
  ObjectId id = store_.id_of(h);
  Object* o = store_.object(id);
  ObjectType type = o ? o->type : ObjectType::Line;
  const Property& p = property(type, name);
  PropertyValue checked = check_value(type, p, value);
  if (o) {
    p.set(*this, id, *o, checked);
  } else {
    auto line = line_of_row(id);
    p.set(*this, id, *line, checked);
    store_row(id, std::move(line));
  }
  if (p.stales) touch(id);
}

void Graphics::set_all(std::span<const Handle> handles, std::string_view name, const Value& value) {
  for (Handle h : handles) set(h, name, value);
}

void Graphics::check_look(const LineLook& look) const {
  positive_number(look.marker_size, "MarkerSize");
  positive_number(look.line_width, "LineWidth");
}

void Graphics::touch(ObjectId id) {
  id = store_.figure_of(id);
  if (id == kNoObject) return;
  auto& fig = store_.as<Figure>(id);
  ++fig.changes;
  if (!fig.stale) {
    fig.stale = true;
    platform_.figure_stale(fig.number);
  }
}

bool Graphics::take_stale(Handle figure) {
  auto& fig = store_.as<Figure>(store_.id_of(figure));
  bool was = fig.stale;
  fig.stale = false;
  return was;
}

ObjectId Graphics::add(std::unique_ptr<Object> object, ObjectId parent) {
  ObjectId id = store_.add(std::move(object), parent);
  touch(id);
  return id;
}

std::vector<Handle> Graphics::figures() const {
  std::vector<Handle> out;
  for (ObjectId id : store_.children(0)) out.push_back(store_.handle_of(id));
  return out;
}

Handle Graphics::new_figure() {
  int number = 1;
  while (store_.find(number)) ++number;
  auto fig = std::make_unique<Figure>();
  fig->number = number;
  auto screen = platform_.screen_size();
  fig->pixels = {std::max(0.0, (screen[0] - 560) / 2), std::max(0.0, (screen[1] - 420) / 2), 560,
                 420};
  auto bg = platform_.default_control_background();
  fig->color = {bg[0], bg[1], bg[2]};
  ObjectId id = add(std::move(fig), 0);
  store_.as<Root>(0).current_figure = id;
  return number;
}

namespace {

ObjectId parent_of_type(const ObjectStore& store, Handle parent, const char* what,
                        std::initializer_list<ObjectType> allowed) {
  ObjectId id = store.id_of(parent);
  ObjectType t = store.type(id);
  if (std::find(allowed.begin(), allowed.end(), t) == allowed.end()) {
    raise(std::string(what) + num2str(parent) + " is a " + type_name(t) + ".");
  }
  return id;
}

}  // namespace

Handle Graphics::new_axes(Handle figure) {
  ObjectId fid =
      parent_of_type(store_, figure, "Axes can only be placed in a figure; ", {ObjectType::Figure});
  auto axes = std::make_unique<Axes>();
  const auto& px = store_.as<Figure>(fid).pixels;
  axes->pixels = {0.13 * px[2], 0.11 * px[3], 0.775 * px[2], 0.815 * px[3]};
  ObjectId id = add(std::move(axes), fid);
  store_.as<Figure>(fid).current_axes = id;
  return store_.handle_of(id);
}

Handle Graphics::new_image(Handle axes, std::string file, std::array<double, 2> xdata,
                           std::array<double, 2> ydata) {
  ObjectId aid =
      parent_of_type(store_, axes, "An image can only be placed in an axes; ", {ObjectType::Axes});
  auto image = std::make_unique<Image>();
  image->file = std::move(file);
  image->xdata = image_extent(xdata, "XData");
  image->ydata = image_extent(ydata, "YData");
  auto& bounds = store_.as<Axes>(aid).bounds;
  bounds.add(xdata[0], ydata[0]);
  bounds.add(xdata[1], ydata[1]);
  return store_.handle_of(add(std::move(image), aid));
}

Handle Graphics::new_uicontrol(Handle parent) {
  ObjectId pid = parent_of_type(store_, parent, "A control can only be placed in a figure; ",
                                {ObjectType::Figure});
  auto control = std::make_unique<UIControl>();
  control->pixels = {20, 20, 60, 20};
  return store_.handle_of(add(std::move(control), pid));
}

Handle Graphics::new_uimenu(Handle parent) {
  ObjectId pid = parent_of_type(store_, parent, "A menu can only be placed in a figure or a menu; ",
                                {ObjectType::Figure, ObjectType::UIMenu});
  return store_.handle_of(add(std::make_unique<UIMenu>(), pid));
}

std::optional<Handle> Graphics::current_figure() const {
  ObjectId id = store_.as<Root>(0).current_figure;
  if (id == kNoObject) return std::nullopt;
  return store_.handle_of(id);
}

Handle Graphics::gcf() {
  if (auto fig = current_figure()) return *fig;
  return new_figure();
}

Handle Graphics::gca() {
  Handle figure = gcf();
  ObjectId axes = store_.as<Figure>(store_.id_of(figure)).current_axes;
  if (axes == kNoObject) return new_axes(figure);
  return store_.handle_of(axes);
}

void Graphics::raise_figure(Handle figure) {
  ObjectId id = store_.id_of(figure);
  if (store_.type(id) != ObjectType::Figure) {
    raise("Handle " + num2str(figure) + " is not a figure.");
  }
  store_.as<Root>(0).current_figure = id;
  platform_.figure_raised(figure);
}

void Graphics::closed(const Figure& figure) {
  platform_.figure_closed(figure.number);
}

void Graphics::clear_axes(Handle axes_handle) {
  ObjectId id = checked_axes(axes_handle);
  store_.remove_children(id, [&](const Figure& f) { closed(f); });
  store_.as<Axes>(id).bounds.clear();
  if (!appdata_.empty()) std::erase_if(appdata_, [&](auto& e) { return !store_.live(e.first); });
  touch(id);
}

void Graphics::delete_object(Handle h) {
  ObjectId id = store_.id_of(h);
  if (id == 0) raise("The root object (handle 0) cannot be deleted.");
  ObjectId parent = store_.parent(id);
  touch(parent);
  if (store_.type(id) == ObjectType::Line || store_.type(id) == ObjectType::Image) {
    bounds_changed(id);
  }
  store_.remove(id, [&](const Figure& f) { closed(f); });
  if (!appdata_.empty()) std::erase_if(appdata_, [&](auto& e) { return !store_.live(e.first); });
  auto& root = store_.as<Root>(0);
  if (root.current_figure != kNoObject && !store_.live(root.current_figure)) {
    root.current_figure = root.children.empty() ? kNoObject : root.children.back();
  }
  if (store_.type(parent) == ObjectType::Figure) {
    auto& fig = store_.as<Figure>(parent);
    if (fig.current_axes == id) {
      fig.current_axes = kNoObject;
      for (ObjectId c : fig.children) {
        if (store_.type(c) == ObjectType::Axes) fig.current_axes = c;
      }
    }
  }
}

void Graphics::close(Handle figure) {
  if (type(figure) != ObjectType::Figure) {
    raise("Handle " + num2str(figure) + " is not a figure and cannot be closed.");
  }
  delete_object(figure);
}

Value Graphics::getappdata(Handle h, const std::string& name) const {
  auto it = appdata_.find(store_.id_of(h));
  if (it == appdata_.end()) return Value();
  for (const auto& [key, value] : it->second) {
    if (key == name) return value;
  }
  return Value();
}

void Graphics::setappdata(Handle h, const std::string& name, Value value) {
  auto& entries = appdata_[store_.id_of(h)];
  for (auto& [key, stored] : entries) {
    if (key == name) {
      stored = std::move(value);
      return;
    }
  }
  entries.emplace_back(name, std::move(value));
}

bool Graphics::isappdata(Handle h, const std::string& name) const {
  auto it = appdata_.find(store_.id_of(h));
  if (it == appdata_.end()) return false;
  return std::any_of(it->second.begin(), it->second.end(),
                     [&](const auto& entry) { return entry.first == name; });
}

}  // namespace dg
