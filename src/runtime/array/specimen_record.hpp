// What a sample knows about each specimen besides its coordinates: the values
// of its TPS keywords, where it was read from and its number in that file.
// Values are kept as the file's bytes (trimmed of blanks and the line end),
// so a Latin-1 or UTF-8 name is never changed. The plain-matrix loader fills
// only the file, the line and the number.
//
// A sample holds one record per specimen, up to millions, so a record is
// small and allocates nothing of its own: the records of one file share one
// text holding the file's name and all their values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dg {

// The text the records of one file share.
struct RecordText {
  std::string file;    // the file's name, as given to the reader
  std::string values;  // every record's values, one after another
};

class SpecimenRecord {
 public:
  enum Field : std::uint8_t { Id, Image, Scale, Comment, Variables };

  std::string_view id() const { return field(Id); }                // ID=
  std::string_view image() const { return field(Image); }          // IMAGE=
  std::string_view scale() const { return field(Scale); }          // SCALE= as written
  std::string_view comment() const { return field(Comment); }      // COMMENT=
  std::string_view variables() const { return field(Variables); }  // VARIABLES=
  std::string_view field(Field f) const;
  // Whether the field has a value, also before the text is attached.
  bool has(Field f) const { return size_[f] != 0; }
  const std::string& file() const;

  // While a file is read: appends `value` to `values`, the text its records
  // will share, unless the field has a value already (a later line of the
  // same keyword does not replace it).
  void set(Field f, std::string& values, std::string_view value);
  // Once the file is read: the shared text, `values` now inside it.
  void attach(std::shared_ptr<const RecordText> text) { text_ = std::move(text); }
  // Moves its values `by` bytes on, when the values of records read apart
  // are joined into one text.
  void shift(std::uint32_t by) {
    for (std::size_t f = 0; f < size_.size(); ++f) begin_[f] += size_[f] != 0 ? by : 0;
  }

  std::size_t line = 0;    // line of its LM= keyword (of its row, for a matrix)
  std::size_t number = 0;  // 1-based number of the specimen in its file

  // How messages and tables know the specimen: its ID, else its IMAGE, else
  // its number in the file.
  std::string name() const;

 private:
  std::shared_ptr<const RecordText> text_;
  std::array<std::uint32_t, 5> begin_{};
  std::array<std::uint32_t, 5> size_{};
};

}  // namespace dg
