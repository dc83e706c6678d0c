// Windows of text beside the figures: a report or help text (read-only,
// fixed-width lines or wrapped prose) with a Close button, the session's
// Messages (following new ones, with Copy), and the modal question for one
// line of text.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dg {

class TextWindow {
 public:
  // `copy`, when given, adds a Copy button that runs it.
  TextWindow(HWND owner, std::string_view title, std::string_view text, bool fixed_width,
             HFONT font, std::function<void()> copy = {});
  ~TextWindow();
  TextWindow(const TextWindow&) = delete;
  TextWindow& operator=(const TextWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool open() const { return hwnd_ && IsWindow(hwnd_); }
  void show();
  // Adds a line at the end and scrolls to it.
  void append_line(std::string_view line);

  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  void layout();
  HWND hwnd_ = nullptr;
  HWND view_ = nullptr;
  HWND close_ = nullptr;
  HWND copy_button_ = nullptr;
  HFONT fixed_ = nullptr;
  std::function<void()> copy_;
};

// A modal window asking for one line of text; nothing when cancelled.
std::optional<std::string> ask_line(HWND owner, std::string_view title, std::string_view prompt,
                                    std::string_view initial, HFONT font);

// Puts a text on the clipboard as Unicode text.
void copy_text(HWND owner, std::string_view text);

}  // namespace dg
