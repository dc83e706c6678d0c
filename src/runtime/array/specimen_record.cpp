#include "runtime/array/specimen_record.hpp"

namespace dg {

std::string_view SpecimenRecord::field(Field f) const {
  if (!text_ || size_[f] == 0) return {};
  return std::string_view(text_->values).substr(begin_[f], size_[f]);
}

const std::string& SpecimenRecord::file() const {
  static const std::string none;
  return text_ ? text_->file : none;
}

void SpecimenRecord::set(Field f, std::string& values, std::string_view value) {
  // Offsets are 32 bits wide; values beyond 4 GiB of them are not kept.
  if (size_[f] != 0 || value.empty() || values.size() + value.size() > UINT32_MAX) return;
  begin_[f] = static_cast<std::uint32_t>(values.size());
  size_[f] = static_cast<std::uint32_t>(value.size());
  values += value;
}

std::string SpecimenRecord::name() const {
  if (!id().empty()) return std::string(id());
  if (!image().empty()) return std::string(image());
  return std::to_string(number);
}

}  // namespace dg
