// What a sample knows about each specimen besides its coordinates: the values
// of its TPS keywords, where it was read from and its number in that file.
// Values are kept as the file's bytes (trimmed of blanks and the line end),
// so a Latin-1 or UTF-8 name is never changed. The plain-matrix loader fills
// only the file, the line and the number.
//
// A sample holds one record per specimen, up to millions, so a record is
// small and allocates nothing of its own: the records of one file share one
// text holding the file's name and all their values (one text for each part
// of a file read on several threads).
#pragma once

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
  bool has(Field f) const { return (packed_ >> (kSizeBits + f) & 1) != 0; }
  const std::string& file() const;

  // While a file is read: appends `value` to `values`, the text its records
  // will share, unless the field has a value already (a later line of the
  // same keyword does not replace it).
  void set(Field f, std::string& values, std::string_view value);
  // The bytes a value of `size` bytes takes in the shared text: a first pass
  // over a file adds them up to reserve the text at once.
  static std::size_t stored_bytes(std::size_t size) {
    std::size_t length = 1;
    while (size >> (7 * length) != 0) ++length;
    return size == 0 ? 0 : 1 + length + size;
  }
  // Once the file is read: the shared text, `values` now inside it.
  void attach(std::shared_ptr<const RecordText> text) { text_ = std::move(text); }

  std::size_t line = 0;    // line of its LM= keyword (of its row, for a matrix)
  std::size_t number = 0;  // 1-based number of the specimen in its file

  // How messages and tables know the specimen: its ID, else its IMAGE, else
  // its number in the file.
  std::string name() const;

 private:
  // The record's values lie one after another in the shared text from
  // begin_ on, each as its field's number, its length (seven bits a byte,
  // lowest first, the last byte below 0x80) and its bytes. packed_ holds the
  // length of them all in its low bits and a bit for each field present
  // above them: a sample of millions of records keeps each one small.
  static constexpr unsigned kSizeBits = 27;
  static constexpr std::uint32_t kSizeMask = (std::uint32_t{1} << kSizeBits) - 1;
  std::uint32_t bytes() const { return packed_ & kSizeMask; }

  std::shared_ptr<const RecordText> text_;
  std::uint32_t begin_ = 0;
  std::uint32_t packed_ = 0;
};

}  // namespace dg
