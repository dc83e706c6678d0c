#include "runtime/array/specimen_record.hpp"

namespace dg {

std::string_view SpecimenRecord::field(Field f) const {
  if (!text_ || !has(f)) return {};
  const std::string_view all = std::string_view(text_->values).substr(begin_, bytes());
  std::size_t at = 0;
  while (at < all.size()) {
    const auto tag = static_cast<unsigned char>(all[at++]);
    std::size_t size = 0;
    for (unsigned shift = 0;; shift += 7) {
      const auto byte = static_cast<unsigned char>(all[at++]);
      size |= static_cast<std::size_t>(byte & 0x7F) << shift;
      if (byte < 0x80) break;
    }
    if (tag == f) return all.substr(at, size);
    at += size;
  }
  return {};
}

const std::string& SpecimenRecord::file() const {
  static const std::string none;
  return text_ ? text_->file : none;
}

void SpecimenRecord::set(Field f, std::string& values, std::string_view value) {
  if (has(f) || value.empty()) return;
  char length[5];
  std::size_t length_bytes = 0;
  for (std::size_t rest = value.size();; rest >>= 7) {
    length[length_bytes++] = static_cast<char>((rest & 0x7F) | (rest >= 0x80 ? 0x80 : 0));
    if (rest < 0x80) break;
  }
  const std::size_t entry = 1 + length_bytes + value.size();
  // A record's values must end the text to grow there; one set apart from
  // them (another record's came between) moves them to its end first.
  const bool moved = bytes() != 0 && begin_ + bytes() != values.size();
  const std::size_t start = moved || bytes() == 0 ? values.size() : begin_;
  // Offsets are 32 bits wide and a record's values at most 128 MiB; values
  // beyond either are not kept.
  if (value.size() > kSizeMask || bytes() + entry > kSizeMask ||
      start + bytes() + entry > UINT32_MAX) {
    return;
  }
  if (moved) values += std::string(values, begin_, bytes());
  begin_ = static_cast<std::uint32_t>(start);
  values += static_cast<char>(f);
  values.append(length, length_bytes);
  values += value;
  packed_ = (packed_ | std::uint32_t{1} << (kSizeBits + f)) & ~kSizeMask;
  packed_ |= static_cast<std::uint32_t>(values.size() - start);
}

std::string SpecimenRecord::name() const {
  if (!id().empty()) return std::string(id());
  if (!image().empty()) return std::string(image());
  return std::to_string(number);
}

}  // namespace dg
