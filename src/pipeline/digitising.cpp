#include "pipeline/digitising.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <span>

#include "input/tps_lexer.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// The photo's name relative to the TPS file's folder, with "/" between
// folders; nullopt when it lies outside that folder.
std::optional<std::string> relative_name(const fs::path& folder, const std::string& image) {
  std::error_code error;
  const fs::path full = fs::weakly_canonical(file_path(image), error);
  const fs::path base = fs::weakly_canonical(folder, error);
  const fs::path relative = full.lexically_relative(base);
  if (relative.empty() || *relative.begin() == "..") return std::nullopt;
  std::string name;
  for (const char8_t c : relative.generic_u8string()) name += static_cast<char>(c);
  return name;
}

fs::path folder_of(const std::string& tps_path) {
  const fs::path parent = file_path(tps_path).parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

}  // namespace

std::size_t DigitisingSession::first_unfinished() const {
  for (std::size_t i = 0; i < photos.size(); ++i) {
    if (photos[i].placed() < landmarks) return i;
  }
  return photos.size();
}

std::string DigitisingSession::image_path(std::size_t photo) const {
  return path_text(folder_of(path) / file_path(photos[photo].image));
}

DigitisingSession new_digitising(const std::string& tps_path,
                                 const std::vector<std::string>& images, std::size_t landmarks) {
  if (landmarks == 0) raise("A digitising session needs at least one landmark a photo.");
  DigitisingSession session{tps_path, landmarks, {}};
  const fs::path folder = folder_of(tps_path);
  for (const std::string& image : images) {
    auto name = relative_name(folder, image);
    if (!name) {
      raise("The photo " + quoted(image) + " lies outside the folder of " + quoted(tps_path) +
            ", so IMAGE= cannot name it; save the TPS file beside the photos or above them.");
    }
    DigitisedPhoto photo;
    photo.image = *name;
    photo.id = path_text(file_path(image).stem());
    session.photos.push_back(std::move(photo));
  }
  return session;
}

DigitisingSession read_digitising(const std::string& tps_path, std::size_t landmarks) {
  FileText text;
  std::string reason;
  if (!read_whole_file(tps_path, text, reason)) {
    raise("Error on file open: " + quoted(tps_path) + " (" + reason + ")");
  }
  return read_digitising_text(text.view(), tps_path, landmarks);
}

DigitisingSession read_digitising_text(std::string_view text, const std::string& tps_path,
                                       std::size_t landmarks) {
  const std::string_view all = skip_byte_order_mark(text);
  const char* const begin = all.data();
  const char* const end = begin + all.size();
  DigitisingSession session{tps_path, landmarks, {}};
  std::size_t line = 1, block_line = 0, wanted = 0;
  const auto where = [&](std::size_t at) {
    return quoted(tps_path) + ", line " + std::to_string(at);
  };
  const auto close_block = [&] {
    if (session.photos.empty()) return;
    const DigitisedPhoto& photo = session.photos.back();
    if (photo.placed() < wanted) {
      raise(where(block_line) + ": LM=" + std::to_string(wanted) + " is followed by " +
            std::to_string(photo.xy.size()) + " numbers instead of " + std::to_string(2 * wanted) +
            ".");
    }
    if (photo.image.empty()) raise(where(block_line) + ": the block names no photo (IMAGE=).");
  };
  for (const char* p = begin; p != end; ++line) {
    const char* e = line_end(p, end);
    const char* eq = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(e - p)));
    const tps::Key key = eq ? tps::keyword_at(eq, begin) : tps::Key::None;
    if (tps::starts_specimen(key)) {
      close_block();
      std::size_t count = 0;
      const char* c = tps::skip_space(eq + 1, e);
      if (tps::read_count(c, e, count) == nullptr || key == tps::Key::Lm3) {
        raise(where(line) + ": a photo's block starts with LM= and its landmark count.");
      }
      session.photos.emplace_back();
      wanted = count;
      block_line = line;
      session.landmarks = std::max(session.landmarks, count);
    } else if (key == tps::Key::Image || key == tps::Key::Id || key == tps::Key::Scale) {
      if (session.photos.empty()) raise(where(line) + ": the keyword comes before the first LM=.");
      DigitisedPhoto& photo = session.photos.back();
      const std::string value(tps::value_after(eq, e));
      if (key == tps::Key::Image && photo.image.empty()) photo.image = value;
      if (key == tps::Key::Id && photo.id.empty()) photo.id = value;
      double factor = 0;
      if (key == tps::Key::Scale && parse_scale(value, factor)) photo.scale = factor;
    } else if (key == tps::Key::None && !session.photos.empty() &&
               session.photos.back().placed() < wanted) {
      DigitisedPhoto& photo = session.photos.back();
      for (const char* t = tps::skip_space(p, e); t != e; t = tps::skip_space(t, e)) {
        double value = 0;
        const char* after = tps::number_token(t, e, value);
        if (after == nullptr && tps::na_token(t, e)) {
          after = t + 2;
          value = std::numeric_limits<double>::quiet_NaN();
        }
        if (after == nullptr) {
          raise(where(line) + ": \"" + std::string(t, line_end(t, e) - t) + "\" is no coordinate.");
        }
        if (photo.placed() < wanted) photo.xy.push_back(value);
        t = after;
      }
    }
    p = past_line_end(e, end);
  }
  close_block();
  if (session.photos.empty()) raise(quoted(tps_path) + " holds no photo's block (LM=).");
  // A landmark is missing as a whole: NA in one coordinate marks both.
  for (DigitisedPhoto& photo : session.photos) {
    for (std::size_t i = 0; i + 1 < photo.xy.size(); i += 2) {
      if (std::isnan(photo.xy[i]) || std::isnan(photo.xy[i + 1])) {
        photo.xy[i] = photo.xy[i + 1] = std::numeric_limits<double>::quiet_NaN();
      }
    }
  }
  return session;
}

std::string digitising_text(const DigitisingSession& session) {
  std::string text;
  for (const DigitisedPhoto& photo : session.photos) {
    text += "LM=" + std::to_string(photo.placed()) + "\n";
    for (std::size_t i = 0; i + 1 < photo.xy.size(); i += 2) {
      text += std::isnan(photo.xy[i])
                  ? std::string("NA NA")
                  : sprintf("%.5f", photo.xy[i]) + " " + sprintf("%.5f", photo.xy[i + 1]);
      text += "\n";
    }
    text += "IMAGE=" + photo.image + "\n";
    text += "ID=" + photo.id + "\n";
    if (photo.scale) text += "SCALE=" + sprintf("%.9g", *photo.scale) + "\n";
  }
  return text;
}

void write_digitising(const DigitisingSession& session) {
  AtomicFile file(session.path);
  file.write(digitising_text(session));
  file.commit();
}

double ruler_scale(double length, double x0, double y0, double x1, double y1) {
  if (!(length > 0) || !std::isfinite(length)) {
    raise("A ruler's length must be a positive number; " + num2str(length) + " is not.");
  }
  const double dx = x1 - x0, dy = y1 - y0;
  const double pixels = std::sqrt(dx * dx + dy * dy);
  if (!(pixels > 0)) raise("The ruler's two ends are the same point; click both ends.");
  return length / pixels;
}

}  // namespace dg
