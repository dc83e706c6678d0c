#include "runtime/win32/text_window.hpp"

#include <cstring>
#include <string>

#include "runtime/win32/wide_text.hpp"

namespace dg {
namespace {

constexpr wchar_t kTextClass[] = L"DistanglerText";
constexpr wchar_t kAskClass[] = L"DistanglerAsk";
constexpr UINT_PTR kClose = IDCANCEL;
constexpr UINT_PTR kCopy = 10;

// Line ends as an edit control shows them.
std::wstring with_crlf(std::string_view text) {
  std::wstring wide = widen(text), out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) out += L'\r';
    out += wide[i];
  }
  return out;
}

int scaled(HWND hwnd, int pixels) {
  return MulDiv(pixels, static_cast<int>(GetDpiForWindow(hwnd)), 96);
}

void register_class(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

struct Ask {
  HWND edit = nullptr;
  bool done = false;
  std::optional<std::string> answer;
};

LRESULT CALLBACK ask_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* ask = reinterpret_cast<Ask*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  } else if (ask && msg == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    if (LOWORD(wparam) == IDOK) {
      std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(ask->edit)) + 1, L'\0');
      text.resize(static_cast<std::size_t>(
          GetWindowTextW(ask->edit, text.data(), static_cast<int>(text.size()))));
      ask->answer = narrow(text);
    }
    ask->done = true;
    return 0;
  } else if (ask && msg == WM_CLOSE) {
    ask->done = true;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace

TextWindow::TextWindow(HWND owner, std::string_view title, std::string_view text, bool fixed_width,
                       HFONT font, std::function<void()> copy)
    : copy_(std::move(copy)) {
  register_class(kTextClass, &TextWindow::proc);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  hwnd_ = CreateWindowExW(0, kTextClass, widen(title).c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, 720, 480, owner, nullptr, instance, this);
  if (!hwnd_) return;
  const int w = scaled(hwnd_, copy_ ? 640 : 720), h = scaled(hwnd_, copy_ ? 320 : 480);
  SetWindowPos(hwnd_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
  DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
  if (fixed_width) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  view_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, 0, 0, 1, 1, hwnd_, nullptr,
                          instance, nullptr);
  SendMessageW(view_, EM_SETLIMITTEXT, 0, 0);
  if (fixed_width) {
    LOGFONTW face{};
    face.lfHeight = -MulDiv(9, static_cast<int>(GetDpiForWindow(hwnd_)), 72);
    face.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpyW(face.lfFaceName, L"Consolas");
    fixed_ = CreateFontIndirectW(&face);
  }
  SendMessageW(view_, WM_SETFONT, reinterpret_cast<WPARAM>(fixed_ ? fixed_ : font), FALSE);
  SetWindowTextW(view_, with_crlf(text).c_str());
  close_ =
      CreateWindowExW(0, L"BUTTON", L"Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                      0, 0, 1, 1, hwnd_, reinterpret_cast<HMENU>(kClose), instance, nullptr);
  SendMessageW(close_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (copy_) {
    copy_button_ = CreateWindowExW(0, L"BUTTON", L"&Copy", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
                                   1, 1, hwnd_, reinterpret_cast<HMENU>(kCopy), instance, nullptr);
    SendMessageW(copy_button_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  layout();
}

TextWindow::~TextWindow() {
  if (open()) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (fixed_) DeleteObject(fixed_);
}

void TextWindow::show() {
  if (!open()) return;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void TextWindow::append_line(std::string_view line) {
  if (!open()) return;
  const int end = GetWindowTextLengthW(view_);
  SendMessageW(view_, EM_SETSEL, end, end);
  const std::wstring text = (end ? L"\r\n" : L"") + with_crlf(line);
  SendMessageW(view_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void TextWindow::layout() {
  RECT r;
  GetClientRect(hwnd_, &r);
  const int pad = scaled(hwnd_, 8), bw = scaled(hwnd_, 88), bh = scaled(hwnd_, 26);
  MoveWindow(view_, pad, pad, r.right - 2 * pad, r.bottom - 3 * pad - bh, TRUE);
  MoveWindow(close_, r.right - pad - bw, r.bottom - pad - bh, bw, bh, TRUE);
  if (copy_button_)
    MoveWindow(copy_button_, r.right - 2 * (pad + bw), r.bottom - pad - bh, bw, bh, TRUE);
}

LRESULT CALLBACK TextWindow::proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  }
  auto* window = reinterpret_cast<TextWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window && window->view_) {
    switch (msg) {
      case WM_SIZE:
        window->layout();
        return 0;
      case WM_COMMAND:
        if (LOWORD(wparam) == kClose) {
          ShowWindow(hwnd, SW_HIDE);
          return 0;
        }
        if (LOWORD(wparam) == kCopy && window->copy_) {
          window->copy_();
          return 0;
        }
        break;
      case WM_CLOSE:
        ShowWindow(hwnd, SW_HIDE);  // kept for the session: the platform owns it
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

std::optional<std::string> ask_line(HWND owner, std::string_view title, std::string_view prompt,
                                    std::string_view initial, HFONT font) {
  register_class(kAskClass, ask_proc);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  Ask ask;
  HWND hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME, kAskClass, widen(title).c_str(),
                              WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 420,
                              150, owner, nullptr, instance, &ask);
  if (!hwnd) return std::nullopt;
  auto s = [&](int v) { return scaled(hwnd, v); };
  RECT frame{0, 0, s(440), s(118)};
  AdjustWindowRectExForDpi(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME,
                           GetDpiForWindow(hwnd));
  RECT around{};
  GetWindowRect(owner ? owner : GetDesktopWindow(), &around);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  SetWindowPos(hwnd, nullptr, (around.left + around.right - w) / 2,
               (around.top + around.bottom - h) / 2, w, h, SWP_NOZORDER);
  HWND label =
      CreateWindowExW(0, L"STATIC", widen(prompt).c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                      s(12), s(10), s(416), s(36), hwnd, nullptr, instance, nullptr);
  ask.edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", widen(initial).c_str(),
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, s(12), s(48),
                             s(416), s(24), hwnd, nullptr, instance, nullptr);
  HWND ok = CreateWindowExW(0, L"BUTTON", L"OK",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, s(252), s(84),
                            s(84), s(26), hwnd, reinterpret_cast<HMENU>(IDOK), instance, nullptr);
  HWND cancel =
      CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP, s(344), s(84),
                      s(84), s(26), hwnd, reinterpret_cast<HMENU>(IDCANCEL), instance, nullptr);
  for (HWND child : {label, ask.edit, ok, cancel}) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(hwnd, SW_SHOW);
  SetFocus(ask.edit);
  SendMessageW(ask.edit, EM_SETSEL, 0, -1);
  MSG msg;
  while (!ask.done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner) EnableWindow(owner, TRUE);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  DestroyWindow(hwnd);
  if (owner) SetForegroundWindow(owner);
  return ask.answer;
}

void copy_text(HWND owner, std::string_view text) {
  const std::wstring wide = with_crlf(text);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  if (!memory) return;
  std::memcpy(GlobalLock(memory), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  if (!OpenClipboard(owner)) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  CloseClipboard();
}

}  // namespace dg
