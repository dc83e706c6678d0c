#include "runtime/win32/native_text.hpp"

#include <cctype>
#include <vector>

#include "runtime/graphics/property_table.hpp"
#include "runtime/win32/wide_text.hpp"

namespace dg {
namespace {

struct NamedKey {
  const char* name;
  WORD key;
  const char* shown;
};

constexpr NamedKey kKeys[] = {
    {"del", VK_DELETE, "Del"},
    {"delete", VK_DELETE, "Del"},
    {"esc", VK_ESCAPE, "Esc"},
    {"escape", VK_ESCAPE, "Esc"},
    {"pgup", VK_PRIOR, "PgUp"},
    {"pageup", VK_PRIOR, "PgUp"},
    {"pgdown", VK_NEXT, "PgDown"},
    {"pagedown", VK_NEXT, "PgDown"},
    {"home", VK_HOME, "Home"},
    {"end", VK_END, "End"},
    {"ins", VK_INSERT, "Ins"},
    {"insert", VK_INSERT, "Ins"},
    {"return", VK_RETURN, "Enter"},
    {"enter", VK_RETURN, "Enter"},
    {"tab", VK_TAB, "Tab"},
    {"space", VK_SPACE, "Space"},
    {"backspace", VK_BACK, "Backspace"},
    {"left", VK_LEFT, "Left"},
    {"right", VK_RIGHT, "Right"},
    {"up", VK_UP, "Up"},
    {"down", VK_DOWN, "Down"},
    {"+", VK_OEM_PLUS, "+"},
    {"=", VK_OEM_PLUS, "="},
    {"-", VK_OEM_MINUS, "-"},
    {",", VK_OEM_COMMA, ","},
    {".", VK_OEM_PERIOD, "."},
};

struct Parsed {
  ACCEL accel{};
  std::string shown;
};

std::optional<Parsed> parse(std::string_view text) {
  std::string keys(text);
  if (keys.size() == 1) keys = "Ctrl+" + keys;
  Parsed out;
  out.accel.fVirt = FVIRTKEY;
  std::string shown;
  std::size_t start = 0;
  while (true) {
    // A "+" right after a separator is the key itself ("Ctrl++").
    std::size_t plus = keys.find('+', start + 1);
    const std::string part = keys.substr(start, plus == std::string::npos ? plus : plus - start);
    const std::string name = lower(part);
    if (plus == std::string::npos) {
      WORD key = 0;
      std::string label;
      if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
        label = std::string(1, static_cast<char>(key));
      } else if (name.size() >= 2 && name[0] == 'f' &&
                 name.find_first_not_of("0123456789", 1) == std::string::npos && name.size() <= 3) {
        const int n = std::stoi(name.substr(1));
        if (n < 1 || n > 24) return std::nullopt;
        key = static_cast<WORD>(VK_F1 + n - 1);
        label = "F" + std::to_string(n);
      } else {
        for (const NamedKey& k : kKeys) {
          if (name == k.name) {
            key = k.key;
            label = k.shown;
          }
        }
      }
      if (key == 0) return std::nullopt;
      out.accel.key = key;
      out.shown = shown + label;
      return out;
    }
    if (name == "ctrl" || name == "control") {
      out.accel.fVirt |= FCONTROL;
      shown += "Ctrl+";
    } else if (name == "shift") {
      out.accel.fVirt |= FSHIFT;
      shown += "Shift+";
    } else if (name == "alt") {
      out.accel.fVirt |= FALT;
      shown += "Alt+";
    } else {
      return std::nullopt;
    }
    start = plus + 1;
    if (start >= keys.size()) return std::nullopt;
  }
}

}  // namespace

std::optional<ACCEL> accelerator_keys(std::string_view accelerator) {
  if (accelerator.empty()) return std::nullopt;
  auto parsed = parse(accelerator);
  if (!parsed) return std::nullopt;
  return parsed->accel;
}

std::wstring accelerator_label(std::string_view accelerator) {
  auto parsed = accelerator.empty() ? std::nullopt : parse(accelerator);
  return parsed ? widen(parsed->shown) : std::wstring();
}

std::wstring dialog_filter(std::string_view filter) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  while (start <= filter.size()) {
    std::size_t end = filter.find(';', start);
    if (end == std::string_view::npos) end = filter.size();
    std::string pattern(filter.substr(start, end - start));
    const auto first = pattern.find_first_not_of(" \t");
    const auto last = pattern.find_last_not_of(" \t");
    pattern = first == std::string::npos ? "" : pattern.substr(first, last - first + 1);
    if (!pattern.empty() && pattern != "*.*" && pattern != "*") patterns.push_back(pattern);
    start = end + 1;
  }
  std::wstring out;
  if (!patterns.empty()) {
    std::string shown, list;
    for (const std::string& p : patterns) {
      shown += (shown.empty() ? "" : " ") + p;
      list += (list.empty() ? "" : ";") + p;
    }
    out += widen(shown + " files");
    out.push_back(L'\0');
    out += widen(list);
    out.push_back(L'\0');
  }
  out += L"All files";
  out.push_back(L'\0');
  out += L"*.*";
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

std::string without_mnemonics(std::string_view label) {
  std::string shown;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '&' && i + 1 < label.size()) ++i;
    shown += label[i];
  }
  return shown;
}

std::vector<std::string> picked_files(const wchar_t* buffer) {
  std::vector<std::wstring> parts;
  for (const wchar_t* p = buffer; *p; p += parts.back().size() + 1) parts.emplace_back(p);
  std::vector<std::string> files;
  if (parts.size() == 1) {
    files.push_back(narrow(parts[0]));
    return files;
  }
  std::wstring folder = parts.empty() ? L"" : parts[0];
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(narrow(folder + parts[i]));
  return files;
}

}  // namespace dg
