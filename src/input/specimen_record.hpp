// What a sample knows about each specimen besides its coordinates: the values
// of its TPS keywords, where it was read from and its number in that file.
// Values are kept as the file's bytes (trimmed of blanks and the line end),
// so a Latin-1 or UTF-8 name is never changed. The plain-matrix loader fills
// only the file, the line and the number.
//
// A sample holds one record per specimen, up to millions, so a record is
// small: the values share one string and the records of one file share its
// name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dg {

class SpecimenRecord {
 public:
  enum Field : std::uint8_t { Id, Image, Scale, Comment, Variables };

  std::string_view id() const { return field(Id); }                // ID=
  std::string_view image() const { return field(Image); }          // IMAGE=
  std::string_view scale() const { return field(Scale); }          // SCALE= as written
  std::string_view comment() const { return field(Comment); }      // COMMENT=
  std::string_view variables() const { return field(Variables); }  // VARIABLES=
  std::string_view field(Field f) const {
    return std::string_view(text_).substr(begin_[f], size_[f]);
  }
  // Sets a value that is still empty; a later line of the same keyword does
  // not replace it.
  void set(Field f, std::string_view value) {
    if (size_[f] != 0 || value.empty()) return;
    begin_[f] = static_cast<std::uint32_t>(text_.size());
    size_[f] = static_cast<std::uint32_t>(value.size());
    text_ += value;
  }

  // The file it was read from, as given to the reader.
  const std::string& file() const;
  void set_file(std::shared_ptr<const std::string> file) { file_ = std::move(file); }

  std::size_t line = 0;    // line of its LM= keyword (of its row, for a matrix)
  std::size_t number = 0;  // 1-based number of the specimen in its file

  // How messages and tables know the specimen: its ID, else its IMAGE, else
  // its number in the file.
  std::string name() const {
    if (!id().empty()) return std::string(id());
    if (!image().empty()) return std::string(image());
    return std::to_string(number);
  }

 private:
  std::string text_;  // the values one after another, in the order they were set
  std::array<std::uint32_t, 5> begin_{};
  std::array<std::uint32_t, 5> size_{};
  std::shared_ptr<const std::string> file_;
};

}  // namespace dg
