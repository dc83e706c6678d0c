#include "input/file_kind.hpp"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <vector>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"

namespace dg {
namespace {

// The head of a file is enough to tell its kind.
constexpr std::size_t kLookAt = std::size_t{1} << 20;

bool starts_with_letters(std::string_view text, std::string_view lower_word) {
  if (text.size() < lower_word.size()) return false;
  for (std::size_t i = 0; i < lower_word.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != lower_word[i]) return false;
  }
  return true;
}

// The fields of a line of numbers, or 0 when its first field is no number.
std::size_t number_columns(std::string_view line) {
  std::size_t columns = 0;
  std::size_t i = 0;
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; };
  while (i < line.size()) {
    while (i < line.size() && space(line[i])) ++i;
    if (i == line.size()) break;
    std::size_t end = i;
    while (end < line.size() && !space(line[end])) ++end;
    if (columns == 0) {
      double value = 0;
      const char* first = line.data() + i + (line[i] == '+' ? 1 : 0);
      auto [ptr, ec] = std::from_chars(first, line.data() + end, value);
      if (ec != std::errc() || ptr != line.data() + end) return 0;
    }
    ++columns;
    i = end;
  }
  return columns;
}

}  // namespace

FileKind file_kind(std::string_view name, std::string_view head) {
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && name.size() - dot == 4 &&
      starts_with_letters(name.substr(dot), ".tps")) {
    return FileKind::Tps;
  }
  const std::string quoted = "\"" + std::string(name) + "\"";
  while (!head.empty()) {
    const std::size_t end = head.find('\n');
    std::string_view line = head.substr(0, end);
    head = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) continue;
    line.remove_prefix(start);
    if (starts_with_letters(line, "lm=")) return FileKind::Tps;
    switch (const std::size_t columns = number_columns(line)) {
      case 0:
        continue;
      case 3:
        return FileKind::Pairs;
      case 4:
        return FileKind::Triples;
      default:
        if (columns >= 5) return FileKind::Matrix;
        raise(quoted + " is neither a TPS file nor a list: its first line of numbers has " +
              std::to_string(columns) + (columns == 1 ? " column" : " columns") +
              ", where a pair list has 3, a triple list 4 and a landmark matrix 5 or more.");
    }
  }
  raise(quoted +
        " has no LM= line and no line of numbers: it is neither a TPS file, a list nor a "
        "landmark matrix.");
}

FileKind file_kind_of(const std::string& path) {
  const std::string name = path.substr(last_separator(path) + 1);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file_path(path), error)) {
    raise("The file \"" + path + "\" does not exist or is not a regular file.");
  }
  std::ifstream in(file_path(path), std::ios::binary);
  std::vector<char> head(kLookAt);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  if (in.bad() || (!in && !in.eof())) raise("The file \"" + path + "\" cannot be read.");
  return file_kind(name, std::string_view(head.data(), static_cast<std::size_t>(in.gcount())));
}

}  // namespace dg
