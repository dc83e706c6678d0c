// What a sample knows about each specimen besides its coordinates: the values
// of its TPS keywords, where it was read from and its number in that file.
// Values are kept as the file's bytes (trimmed of blanks and the line end),
// so a Latin-1 or UTF-8 name is never changed. The plain-matrix loader fills
// only the file and the number.
#pragma once

#include <cstddef>
#include <string>

namespace dg {

struct SpecimenRecord {
  std::string id;         // ID=
  std::string image;      // IMAGE=
  std::string scale;      // SCALE= as written
  std::string comment;    // COMMENT=
  std::string variables;  // VARIABLES=
  std::string file;       // the file it was read from, as given to the reader
  std::size_t line = 0;   // line of its LM= keyword (of its row, for a matrix)
  std::size_t number = 0;  // 1-based number of the specimen in its file

  // How messages and tables know the specimen: its ID, else its IMAGE, else
  // its number in the file.
  std::string name() const {
    if (!id.empty()) return id;
    if (!image.empty()) return image;
    return std::to_string(number);
  }
};

}  // namespace dg
