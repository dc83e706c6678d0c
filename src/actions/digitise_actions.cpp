// The digitiser: a new TPS file made from photos by clicking each photo's
// landmarks in order, with the next landmark's number at the pointer, the
// loaded sample's mean shape fitted to the landmarks placed so far as a
// guide, missing landmarks, a ruler for each photo's scale, and the file
// saved after every landmark so that nothing is lost.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "display/showspecimen.hpp"
#include "morpho/guide_fit.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDigitiserTag = "Digitiser";
constexpr const char* kImageFilter =
    "*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.bmp;*.JPG;*.JPEG;*.PNG;*.TIF;*.TIFF;*.BMP";

bool is_image(const fs::path& path) {
  std::string ext = path_text(path.extension());
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return ext == ".jpg" || ext == ".jpeg" || ext == ".png" || ext == ".tif" || ext == ".tiff" ||
         ext == ".bmp";
}

std::optional<Handle> photo_axes(const Session& session) {
  const auto found = session.graphics.find_by_tag("DigitisePhoto");
  if (found.empty()) return std::nullopt;
  return found.front();
}

// The landmarks a photo takes: the loaded protocol's highest landmark
// number, else the loaded sample's count.
std::size_t suggested_landmarks(const HandlerState& h) {
  double most = 0;
  for (const Matrix* list : {&h.tlengths, &h.tangles}) {
    for (std::size_t r = 0; r < list->rows(); ++r) {
      for (std::size_t c = 1; c < list->cols(); ++c) most = std::max(most, (*list)(r, c));
    }
  }
  if (most >= 1) return static_cast<std::size_t>(most);
  return h.sample.dimensions == 2 ? h.sample.landmarks() : 0;
}

DigitisedPhoto& shown(Session& session) {
  return session.digitiser.work.photos[session.digitiser.photo];
}

void save_work(Session& session) {
  write_digitising(session.digitiser.work);
}

std::string scale_text(const DigitiserState& d, const DigitisedPhoto& photo) {
  if (!photo.scale) return d.measuring ? "Click the ruler's two ends" : "No scale";
  return "SCALE=" + sprintf("%.6g", *photo.scale) + (d.unit.empty() ? "" : " " + d.unit) +
         " a pixel";
}

// The photo shown with its landmarks, the guide fitted to them and the
// next landmark highlighted; the texts around it.
void draw(Session& session) {
  DigitiserState& d = session.digitiser;
  const auto axes = photo_axes(session);
  if (!axes || d.photo >= d.work.photos.size()) return;
  Graphics& g = session.graphics;
  const DigitisedPhoto& photo = shown(session);
  const std::size_t k = d.work.landmarks;
  SpecimenPicture picture;
  for (std::size_t i = 0; i + 1 < photo.xy.size(); i += 2) {
    picture.x.push_back(photo.xy[i]);
    picture.y.push_back(photo.xy[i + 1]);
  }
  const std::string image = d.work.image_path(d.photo);
  std::error_code error;
  if (fs::is_regular_file(file_path(image), error)) {
    picture.image = image;
    picture.image_size = g.observer().image_size(image);
  }
  picture.label = photo.id;
  picture.image_name = photo.image;
  showspecimen(g, *axes, picture);
  const std::size_t next = photo.placed();
  if (!d.guide.empty() && next < k) {
    if (const auto fitted = fit_guide(d.guide, photo.xy)) {
      std::vector<double> x, y;
      for (std::size_t j = next; j < k; ++j) {
        x.push_back((*fitted)[2 * j]);
        y.push_back((*fitted)[2 * j + 1]);
      }
      const Handle rest = g.plot(*axes, x, y, "o");
      g.set(rest, "Color", Value(Matrix{{0.35, 0.35, 0.35}}));
      g.set(rest, "LineStyle", Value("none"));
      g.set(rest, "MarkerSize", Value(9.0));
      g.set(rest, "LineWidth", Value(1.5));
      g.set(rest, "Tag", Value("Guide"));
      const Handle ahead = g.plot(*axes, std::vector<double>{x[0]}, std::vector<double>{y[0]}, "o");
      g.set(ahead, "Color", Value(Matrix{{1, 0.55, 0}}));
      g.set(ahead, "MarkerSize", Value(12.0));
      g.set(ahead, "LineWidth", Value(2.0));
      g.set(ahead, "Tag", Value("Guide"));
    }
  }
  const std::size_t done = d.work.first_unfinished();
  set_tagged(
      session, "DigitiseProgress", "String",
      Value::text_cell(
          {"Photo " + std::to_string(d.photo + 1) + " of " + std::to_string(d.work.photos.size()),
           std::to_string(std::min(next, k)) + " of " + count_of(k, "landmark") + " placed",
           done == d.work.photos.size() ? std::string("Every photo is digitised")
                                        : "First unfinished: photo " + std::to_string(done + 1)}));
  set_tagged(
      session, "DigitiseShown", "String",
      Value::text_cell({photo.image + (picture.image ? "" : " (not found)"),
                        d.measuring ? std::string("Click the ruler's ends")
                        : next < k  ? "Click landmark " + std::to_string(next + 1) + " (M: missing)"
                                    : std::string("All placed: Page Down for the next "
                                                   "photo")}));
  set_tagged(session, "DigitiseScale", "String", Value(scale_text(d, photo)));
  set_tagged(session, "DigitiseCarry", "Value", Value(d.carry ? 1.0 : 0.0));
}

void go_to(Session& session, std::size_t photo) {
  DigitiserState& d = session.digitiser;
  if (photo >= d.work.photos.size()) return;
  d.photo = photo;
  d.measuring = false;
  d.ruler_start.reset();
  DigitisedPhoto& p = shown(session);
  if (d.carry && d.scale && !p.scale) {
    p.scale = d.scale;
    save_work(session);
  }
  draw(session);
  // The photo after this one is decoded while this one is digitised.
  if (photo + 1 < d.work.photos.size()) {
    session.graphics.observer().prefetch_images({d.work.image_path(photo + 1)});
  }
}

void place(Session& session, double x, double y) {
  DigitisedPhoto& photo = shown(session);
  photo.xy.push_back(x);
  photo.xy.push_back(y);
  save_work(session);
  draw(session);
}

// Opens the digitiser's window on a session, at its first unfinished photo.
void open_digitiser(Session& session, DigitisingSession work) {
  if (auto open = tagged_figure(session, kDigitiserTag)) session.graphics.close(*open);
  DigitiserState& d = session.digitiser;
  d = DigitiserState();
  d.work = std::move(work);
  const Sample& s = session.handler.sample;
  if (s.dimensions == 2 && s.landmarks() == d.work.landmarks && !s.empty()) {
    const Matrix mean = s.consensus.empty() ? mean_configuration(s) : s.consensus;
    d.guide.assign(mean.row(0).begin(), mean.row(0).end());
  }
  for (const DigitisedPhoto& p : d.work.photos) {
    if (p.scale) d.scale = p.scale;
  }
  save_work(session);
  open_window(session, "Digitiser.fig");
  const std::size_t start = std::min(d.work.first_unfinished(), d.work.photos.size() - 1);
  go_to(session, start);
  session.report("Digitising " + count_of(d.work.photos.size(), "photo") + " into " +
                 split_path(d.work.path).name + ", from photo " + std::to_string(start + 1));
}

// Starts on photos picked one way or another: asks k and the TPS file; a
// TPS file that exists already is resumed with the photos it lacks added.
void start(Session& session, const std::vector<std::string>& images) {
  if (images.empty()) return;
  const std::size_t suggested = suggested_landmarks(session.handler);
  auto answer = session.platform.ask_text("New TPS from images", "Landmarks on each photo:",
                                          suggested ? std::to_string(suggested) : std::string());
  if (!answer) return;
  char* end = nullptr;
  const double k = std::strtod(answer->c_str(), &end);
  if (end == answer->c_str() || *end != '\0' || !(k >= 1) || k != std::floor(k) || k > 100000) {
    raise("The number of landmarks must be a whole number from 1; \"" + *answer + "\" is not.");
  }
  const FileChoice first = split_path(images.front());
  std::string folder_name = path_text(file_path(first.folder).parent_path().filename());
  if (folder_name.empty()) folder_name = "landmarks";
  auto choice = session.platform.put_file("*.tps;*.TPS", "Save the new TPS file",
                                          folder_name + ".tps", first.folder);
  if (!choice) return;
  const std::string path = choice->path();
  DigitisingSession work = new_digitising(path, images, static_cast<std::size_t>(k));
  std::error_code error;
  if (fs::is_regular_file(file_path(path), error)) {
    DigitisingSession kept = read_digitising(path, work.landmarks);
    for (DigitisedPhoto& photo : work.photos) {
      const bool known =
          std::any_of(kept.photos.begin(), kept.photos.end(),
                      [&](const DigitisedPhoto& p) { return p.image == photo.image; });
      if (!known) kept.photos.push_back(std::move(photo));
    }
    work = std::move(kept);
  }
  open_digitiser(session, std::move(work));
}

}  // namespace

bool digitiser_open(const Session& session) {
  return tagged_figure(session, kDigitiserTag).has_value();
}

void new_tps_from_images(Session& session) {
  std::vector<std::string> images;
  for (const FileChoice& f : session.platform.get_files(kImageFilter, "Photos to digitise")) {
    images.push_back(f.path());
  }
  start(session, images);
}

void new_tps_from_folder(Session& session) {
  auto folder = session.platform.get_folder("Folder of the photos to digitise");
  if (!folder) return;
  std::vector<std::string> images;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(file_path(*folder), error)) {
    if (entry.is_regular_file(error) && is_image(entry.path())) {
      images.push_back(path_text(entry.path()));
    }
  }
  std::sort(images.begin(), images.end());
  if (images.empty()) {
    return session.report("No JPEG, PNG, TIFF or BMP photo in " + *folder);
  }
  start(session, images);
}

void resume_digitising(Session& session) {
  auto choice = session.platform.get_file("*.tps;*.TPS", "Resume digitising a TPS file");
  if (!choice) return;
  open_digitiser(session, read_digitising(choice->path()));
}

void digitise_click(Session& session) {
  DigitiserState& d = session.digitiser;
  const auto axes = photo_axes(session);
  if (!axes || d.photo >= d.work.photos.size()) return;
  const Matrix point = session.graphics.get(*axes, "CurrentPoint").matrix();
  const double x = point(0, 0), y = point(0, 1);
  if (d.measuring) {
    if (!d.ruler_start) {
      d.ruler_start = std::array<double, 2>{x, y};
      return session.report("Now click the ruler's other end");
    }
    const auto from = *d.ruler_start;
    d.measuring = false;
    d.ruler_start.reset();
    auto answer = session.platform.ask_text(
        "Ruler", "The ruler's length and unit:", d.unit.empty() ? "10 mm" : "10 " + d.unit);
    if (!answer) return draw(session);
    char* end = nullptr;
    const double length = std::strtod(answer->c_str(), &end);
    if (end == answer->c_str()) {
      draw(session);
      raise("The ruler's length comes first, then its unit; \"" + *answer + "\" has no length.");
    }
    std::string unit(end);
    unit.erase(0, unit.find_first_not_of(" \t"));
    unit.erase(unit.find_last_not_of(" \t") + 1);
    const double scale = ruler_scale(length, from[0], from[1], x, y);
    d.scale = scale;
    d.unit = unit;
    shown(session).scale = scale;
    save_work(session);
    draw(session);
    return session.report("SCALE=" + sprintf("%.6g", scale) + (unit.empty() ? "" : " " + unit) +
                          " a pixel on " + shown(session).id);
  }
  if (shown(session).placed() >= d.work.landmarks) {
    return session.report("Every landmark of this photo is placed; Page Down for the next photo.");
  }
  place(session, x, y);
}

void digitise_drag(Session& session) {
  const auto line = session.graphics.gcbo();
  const auto axes = photo_axes(session);
  if (!line || !axes) return;
  const Value number = session.graphics.get(*line, "UserData");
  DigitisedPhoto& photo = shown(session);
  if (!number.is_double() || number.numel() != 1 || number.scalar() < 1 ||
      number.scalar() > static_cast<double>(photo.placed())) {
    return;
  }
  const auto at = static_cast<std::size_t>(number.scalar()) - 1;
  const Matrix point = session.graphics.get(*axes, "CurrentPoint").matrix();
  photo.xy[2 * at] = point(0, 0);
  photo.xy[2 * at + 1] = point(0, 1);
  save_work(session);
  draw(session);
}

void digitise_motion(Session& session) {
  const auto axes = photo_axes(session);
  const DigitiserState& d = session.digitiser;
  if (!axes || d.photo >= d.work.photos.size()) return;
  Graphics& g = session.graphics;
  const Matrix point = g.get(*axes, "CurrentPoint").matrix();
  const std::size_t next = d.work.photos[d.photo].placed();
  const std::string label = d.measuring               ? "  ruler"
                            : next < d.work.landmarks ? "  " + std::to_string(next + 1)
                                                      : std::string();
  for (Handle h : g.children(*axes)) {
    if (g.tag_of(h) != "NextNumber") continue;
    g.set(h, "Position", Value(Matrix{{point(0, 0), point(0, 1), 0}}));
    g.set(h, "String", Value(label));
    return;
  }
  const Handle text = g.text(*axes, point(0, 0), point(0, 1), label);
  g.set(text, "Tag", Value("NextNumber"));
  g.set(text, "Color", Value(Matrix{{0.8, 0, 0}}));
}

void digitise_key(Session& session) {
  const auto figure = tagged_figure(session, kDigitiserTag);
  if (!figure) return;
  const std::string key = session.graphics.get(*figure, "CurrentKey").text();
  if (key == "pagedown") return digitise_next(session);
  if (key == "pageup") return digitise_previous(session);
  if (key == "m") return digitise_missing(session);
  if (key == "ctrl+z") return digitise_undo(session);
  if (key == "escape" && session.digitiser.measuring) {
    session.digitiser.measuring = false;
    session.digitiser.ruler_start.reset();
    draw(session);
  }
}

void digitise_next(Session& session) {
  const DigitiserState& d = session.digitiser;
  if (d.photo + 1 >= d.work.photos.size()) {
    return session.report("This is the last photo; the file holds every landmark placed.");
  }
  go_to(session, d.photo + 1);
}

void digitise_previous(Session& session) {
  if (session.digitiser.photo == 0) return session.report("This is the first photo.");
  go_to(session, session.digitiser.photo - 1);
}

void digitise_missing(Session& session) {
  if (shown(session).placed() >= session.digitiser.work.landmarks) {
    return session.report("Every landmark of this photo is placed.");
  }
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  place(session, kNaN, kNaN);
}

void digitise_undo(Session& session) {
  DigitisedPhoto& photo = shown(session);
  if (photo.xy.empty()) return session.report("No landmark is placed on this photo.");
  photo.xy.resize(photo.xy.size() - 2);
  save_work(session);
  draw(session);
}

void digitise_ruler(Session& session) {
  session.digitiser.measuring = true;
  session.digitiser.ruler_start.reset();
  draw(session);
  session.report("Click the ruler's two ends on the photo (Esc to stop)");
}

void digitise_carry(Session& session) {
  DigitiserState& d = session.digitiser;
  d.carry = !d.carry;
  if (d.carry && d.scale && !shown(session).scale) {
    shown(session).scale = d.scale;
    save_work(session);
  }
  draw(session);
}

void digitise_close(Session& session) {
  if (auto open = tagged_figure(session, kDigitiserTag)) session.graphics.close(*open);
  const DigitiserState& d = session.digitiser;
  const std::size_t done = d.work.first_unfinished();
  session.report(done == d.work.photos.size()
                     ? "Digitised " + count_of(d.work.photos.size(), "photo") + " into " +
                           split_path(d.work.path).name + "; open it as a sample"
                     : "Saved " + split_path(d.work.path).name + "; photo " +
                           std::to_string(done + 1) + " is the first unfinished");
}

}  // namespace dg::actions
