#include "runtime/win32/win32_platform.hpp"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "runtime/array/background.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/progress.hpp"
#include "runtime/graphics/window_rules.hpp"
#include "runtime/win32/figure_frame.hpp"
#include "runtime/win32/figure_pictures.hpp"
#include "runtime/win32/native_text.hpp"
#include "runtime/win32/text_window.hpp"
#include "runtime/win32/wide_text.hpp"

namespace dg {
namespace {

constexpr wchar_t kPostOffice[] = L"DistanglerPostOffice";
constexpr wchar_t kSettingsKey[] = L"Software\\Distangler\\Distangler";

const char* kind_name(MessageKind kind) {
  static const char* const kinds[] = {"Info", "Warning", "Error"};
  return kinds[static_cast<int>(kind)];
}

std::wstring registry_string(HKEY root, const std::wstring& key, const std::wstring& name,
                             DWORD type) {
  DWORD size = 0;
  if (RegGetValueW(root, key.c_str(), name.c_str(),
                   type == REG_MULTI_SZ ? RRF_RT_REG_MULTI_SZ : RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(root, key.c_str(), name.c_str(),
                   type == REG_MULTI_SZ ? RRF_RT_REG_MULTI_SZ : RRF_RT_REG_SZ, nullptr,
                   value.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  value.resize(size / sizeof(wchar_t));
  if (type == REG_SZ) {
    while (!value.empty() && value.back() == L'\0') value.pop_back();
  }
  return value;
}

void store_registry(const std::wstring& key, const std::wstring& name, DWORD type,
                    const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    raise("The setting \"" + narrow(name) + "\" could not be kept: the registry refused it.");
  }
  const LONG status =
      RegSetValueExW(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) {
    raise("The setting \"" + narrow(name) + "\" could not be kept: the registry refused it.");
  }
}

}  // namespace

Win32Platform::Win32Platform() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32Platform::post_office;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kPostOffice;
  RegisterClassExW(&wc);
  post_office_ = CreateWindowExW(0, kPostOffice, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, this);
  if (post_office_) {
    SetWindowLongPtrW(post_office_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
}

Win32Platform::~Win32Platform() {
  messages_window_.reset();
  reports_.clear();
  for (auto& [figure, window] : windows_) window->undock();
  windows_.clear();
  closing_.clear();
  if (post_office_) DestroyWindow(post_office_);
  for (auto& [dpi, font] : fonts_) DeleteObject(font);
}

LRESULT CALLBACK Win32Platform::post_office(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && msg == kFlushMessage) {
    self->flush();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void Win32Platform::attach(Graphics& graphics) {
  graphics_ = &graphics;
  for (Handle figure : graphics.figures()) pending_.insert(figure);
  if (!pending_.empty()) schedule();
}

HFONT Win32Platform::ui_font(UINT dpi) {
  auto it = fonts_.find(dpi);
  if (it != fonts_.end()) return it->second;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  return fonts_.emplace(dpi, font).first->second;
}

void Win32Platform::guarded(const std::function<void()>& body) noexcept {
  run_guarded(*this, body);
}

void Win32Platform::run_callback(Handle object, const std::string& callback) {
  if (callback.empty()) return;
  if (working_++ == waiting_) {
    callback_warnings_ = 0;
    work_start_ = last_events_ = std::chrono::steady_clock::now();
  }
  {
    ProgressScope steps(&Win32Platform::progress_step, this);
    guarded([&] {
      if (!runner_) raise("No callback runner is set, so \"" + callback + "\" did not run.");
      runner_(object, callback);
    });
  }
  if (--working_ > waiting_) return;
  if (busy_cursor_) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    busy_cursor_ = false;
  }
  // Canvases that showed their last drawing while the callback ran catch up now.
  for (auto& [figure, window] : windows_) InvalidateRect(window->canvas(), nullptr, FALSE);
  if (!closing_.empty()) schedule();
}

void Win32Platform::progress_step(void* context) {
  auto& self = *static_cast<Win32Platform*>(context);
  const auto now = std::chrono::steady_clock::now();
  if (now - self.last_events_ < std::chrono::milliseconds(50)) return;
  self.last_events_ = now;
  if (now - self.work_start_ >= std::chrono::milliseconds(300) && !self.busy_cursor_) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    self.busy_cursor_ = true;
  }
  self.pump(false);
}

void Win32Platform::pump(bool user_input) {
  MSG msg;
  const UINT kinds =
      user_input ? PM_REMOVE : PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
  while (PeekMessageW(&msg, nullptr, 0, 0, kinds)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (user_input && translate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Accelerators, the figure's keys, the keyboard focus moving with Tab and
// Return pressing the focused button: false when the message is left for
// the window it was sent to.
bool Win32Platform::translate(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND top = GetAncestor(msg.hwnd, GA_ROOT);
  for (auto& [figure, window] : windows_) {
    const bool mine = window->hwnd() == top || (window->host() && window->host()->hwnd() == top &&
                                                IsChild(window->hwnd(), msg.hwnd));
    if (!mine || (window->host() == nullptr && window->hwnd() != top)) continue;
    if (window->accelerators() && !window->host() &&
        TranslateAcceleratorW(window->hwnd(), window->accelerators(), &msg)) {
      return true;
    }
    if (window->figure_key(msg)) return true;
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
    wchar_t name[16] = {};
    GetClassNameW(msg.hwnd, name, 16);
    if (lstrcmpiW(name, L"Button") == 0 &&
        (GetWindowLongPtrW(msg.hwnd, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) {
      SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
      return true;
    }
  }
  return top && IsDialogMessageW(top, &msg);
}

void Win32Platform::wait_live(BackgroundWork& work, std::string_view status) {
  if (work.finished()) return;
  if (busy_cursor_) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    busy_cursor_ = false;
  }
  ++waiting_;
  const auto start = std::chrono::steady_clock::now();
  std::string shown;
  bool quitting = false;
  while (!work.finished() && !quitting) {
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
    std::string line = live_status(status, taken.count(), work.cancelled());
    if (line != shown) {
      shown = std::move(line);
      for (auto& [figure, window] : windows_) window->show_status(shown, MessageKind::Info);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 15, QS_ALLINPUT);
    MSG msg;
    while (!work.finished() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The program ends: the work is not wanted, and the quit is left for
        // the message loop that ends it.
        work.cancel(BackgroundWork::Reason::superseded);
        PostQuitMessage(static_cast<int>(msg.wParam));
        quitting = true;
        break;
      }
      if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        work.cancel(BackgroundWork::Reason::user);
        continue;
      }
      if (translate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  --waiting_;
  // The status line goes back to the last message until the work's own.
  for (auto& [figure, window] : windows_) window->show_status(status_, status_kind_);
}

int Win32Platform::exec() {
  flush();
  if (!graphics_ || only_docked_left()) return 0;
  looping_ = true;
  MSG msg;
  int status = 0;
  while (looping_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      status = got == 0 ? static_cast<int>(msg.wParam) : 1;
      break;
    }
    if (translate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  looping_ = false;
  return status;
}

void Win32Platform::schedule() {
  if (scheduled_) return;
  scheduled_ = true;
  if (post_office_) PostMessageW(post_office_, kFlushMessage, 0, 0);
}

void Win32Platform::flush() {
  scheduled_ = false;
  // Windows of closed figures go once no callback that may use them runs.
  if (working_ == 0) closing_.clear();
  std::set<Handle> figures;
  figures.swap(pending_);
  for (bool docked : {false, true}) {
    for (Handle figure : figures) {
      if (graphics_ && graphics_->is_handle(figure) &&
          graphics_->type(figure) == ObjectType::Figure &&
          graphics_->figure(figure).docked == docked) {
        sync_now(figure);
      }
    }
  }
}

void Win32Platform::sync_now(Handle figure) {
  if (!graphics_ || !graphics_->is_handle(figure) ||
      graphics_->type(figure) != ObjectType::Figure) {
    return;
  }
  graphics_->take_stale(figure);
  FigureFrame* window = find(figure);
  guarded([&] {
    if (!window) {
      auto made = std::make_unique<FigureFrame>(*this, *graphics_, figure);
      window = made.get();
      windows_[figure] = std::move(made);
    }
    window->sync();
  });
}

bool Win32Platform::only_docked_left() const {
  return dg::only_docked_left(*graphics_);
}

FigureFrame* Win32Platform::dock_host(Handle docked) const {
  if (!graphics_) return nullptr;
  const std::optional<Handle> first = dock_host_figure(*graphics_, docked);
  return first ? find(*first) : nullptr;
}

FigureFrame* Win32Platform::find(Handle figure) const {
  auto it = windows_.find(figure);
  return it == windows_.end() ? nullptr : it->second.get();
}

HWND Win32Platform::window_of(Handle figure) {
  flush();
  FigureFrame* window = find(figure);
  return window ? window->hwnd() : nullptr;
}

void Win32Platform::figure_stale(Handle figure) {
  pending_.insert(figure);
  schedule();
}

void Win32Platform::figure_closed(Handle figure) {
  pending_.erase(figure);
  auto it = windows_.find(figure);
  if (it != windows_.end()) {
    std::unique_ptr<FigureFrame> window = std::move(it->second);
    windows_.erase(it);
    bool moved = false;
    for (auto& [docked, other] : windows_) {
      if (other->host() != window.get()) continue;
      other->undock();
      pending_.insert(docked);
      moved = true;
    }
    if (moved) schedule();
    window->detach();
    window->undock();
    ShowWindow(window->hwnd(), SW_HIDE);
    // The window may be running the callback that closed it: it goes later.
    closing_.push_back(std::move(window));
    schedule();
  }
  if (looping_ && graphics_ && only_docked_left()) looping_ = false;
  if (!looping_ && post_office_) PostMessageW(post_office_, WM_NULL, 0, 0);
}

void Win32Platform::figure_raised(Handle figure) {
  if (FigureFrame* window = find(figure); window && window->visible() && !window->host()) {
    SetForegroundWindow(window->hwnd());
    BringWindowToTop(window->hwnd());
  }
}

std::optional<std::array<double, 2>> Win32Platform::image_size(const std::string& path) const {
  Gdiplus::Image image(widen(path).c_str());
  if (image.GetLastStatus() != Gdiplus::Ok || image.GetWidth() == 0) return std::nullopt;
  double w = image.GetWidth(), h = image.GetHeight();
  constexpr PROPID kOrientation = 0x0112;
  const UINT size = image.GetPropertyItemSize(kOrientation);
  if (size >= sizeof(Gdiplus::PropertyItem)) {
    std::vector<unsigned char> buffer(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (image.GetPropertyItem(kOrientation, size, item) == Gdiplus::Ok && item->value &&
        *static_cast<const unsigned short*>(item->value) >= 5) {
      std::swap(w, h);  // a picture turned by a quarter
    }
  }
  return std::array<double, 2>{w, h};
}

HWND Win32Platform::dialog_owner() const {
  if (!graphics_) return nullptr;
  auto current = graphics_->current_figure();
  FigureFrame* window = current ? find(*current) : nullptr;
  if (window && window->host()) window = window->host();
  return window && window->visible() ? window->hwnd() : nullptr;
}

// Shows the system's open or save dialog; the names it gave (empty when
// cancelled), as its buffer holds them.
std::vector<wchar_t> Win32Platform::common_dialog(Pick pick, std::string_view filter,
                                                  std::string_view title, const std::wstring& start,
                                                  const std::wstring& suggested) {
  const std::wstring filters = dialog_filter(filter), caption = widen(title);
  std::vector<wchar_t> buffer(pick == Pick::several ? 1 << 20 : 32768, L'\0');
  std::copy_n(suggested.begin(), std::min(suggested.size(), buffer.size() - 1), buffer.begin());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog_owner();
  ofn.lpstrFilter = filters.c_str();
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = caption.c_str();
  ofn.lpstrInitialDir = start.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (pick == Pick::save) ofn.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (pick != Pick::save) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (pick == Pick::several) ofn.Flags |= OFN_ALLOWMULTISELECT;
  const BOOL picked = pick == Pick::save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!picked) {
    if (const DWORD error = CommDlgExtendedError()) {
      raise("The file dialog could not open (error " + std::to_string(error) + ").");
    }
    return {};
  }
  return buffer;
}

std::optional<FileChoice> Win32Platform::dialog(bool save, std::string_view filter,
                                                std::string_view title, std::string_view suggested,
                                                std::string_view folder) {
  if (auto answer = scripted_.file()) return *answer;
  flush();
  std::wstring start = start_folder();
  if (!folder.empty() && GetFileAttributesW(widen(folder).c_str()) != INVALID_FILE_ATTRIBUTES) {
    start = widen(folder);
  }
  const std::vector<wchar_t> buffer =
      common_dialog(save ? Pick::save : Pick::one, filter, title, start, widen(suggested));
  if (buffer.empty()) return std::nullopt;
  FileChoice choice = split_path(narrow(buffer.data()));
  if (!save) last_folder_ = widen(choice.folder);
  return choice;
}

// The folder of the last file an open dialog gave, else the current one
// (never the system's memory of another session's folder).
std::wstring Win32Platform::start_folder() const {
  if (!last_folder_.empty()) return last_folder_;
  std::wstring current(MAX_PATH * 4, L'\0');
  current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));
  return current;
}

std::optional<FileChoice> Win32Platform::get_file(std::string_view filter, std::string_view title) {
  return dialog(false, filter, title);
}

std::optional<FileChoice> Win32Platform::put_file(std::string_view filter, std::string_view title,
                                                  std::string_view suggested,
                                                  std::string_view folder) {
  return dialog(true, filter, title, suggested, folder);
}

std::vector<FileChoice> Win32Platform::get_files(std::string_view filter, std::string_view title) {
  std::vector<FileChoice> choices;
  if (scripted_.has_file()) {
    if (auto one = dialog(false, filter, title)) choices.push_back(std::move(*one));
    return choices;
  }
  flush();
  const std::vector<wchar_t> buffer = common_dialog(Pick::several, filter, title, start_folder());
  if (buffer.empty()) return choices;
  for (const std::string& path : picked_files(buffer.data())) choices.push_back(split_path(path));
  if (!choices.empty()) last_folder_ = widen(choices.front().folder);
  return choices;
}

std::optional<std::string> Win32Platform::get_folder(std::string_view title) {
  if (auto answer = scripted_.folder('\\')) return *answer;
  flush();
  const std::wstring caption = widen(title);
  BROWSEINFOW info{};
  info.hwndOwner = dialog_owner();
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  std::optional<std::string> folder;
  if (list) {
    wchar_t path[MAX_PATH * 4] = {};
    if (SHGetPathFromIDListEx(list, path, static_cast<DWORD>(std::size(path)), 0)) {
      std::wstring wide = path;
      if (!wide.empty() && wide.back() != L'\\') wide += L'\\';
      folder = narrow(wide);
    }
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return folder;
}

std::optional<std::string> Win32Platform::ask_text(std::string_view title, std::string_view prompt,
                                                   std::string_view initial) {
  if (auto answer = scripted_.text()) return *answer;
  flush();
  HWND owner = dialog_owner();
  return ask_line(owner, title, prompt, initial,
                  ui_font(owner ? GetDpiForWindow(owner) : GetDpiForSystem()));
}

void Win32Platform::show_report(std::string_view title, std::string_view text, Text kind) {
  std::erase_if(reports_, [](const auto& report) { return !IsWindowVisible(report->hwnd()); });
  auto report = std::make_unique<TextWindow>(dialog_owner(), title, text, kind == Text::report,
                                             ui_font(GetDpiForSystem()));
  report->show();
  reports_.push_back(std::move(report));
}

Platform::Unsaved Win32Platform::ask_unsaved(std::string_view title, std::string_view question) {
  if (auto answer = scripted_.unsaved()) return *answer;
  flush();
  // The buttons say what they do where the system has task dialogs.
  using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  const std::wstring caption = widen(title), text = widen(question);
  if (HMODULE controls = GetModuleHandleW(L"comctl32.dll")) {
    if (auto task = reinterpret_cast<TaskDialogIndirectFn>(
            reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")))) {
      const TASKDIALOG_BUTTON buttons[] = {{IDYES, L"&Save"}, {IDNO, L"&Discard"}};
      TASKDIALOGCONFIG config{};
      config.cbSize = sizeof config;
      config.hwndParent = dialog_owner();
      config.pszWindowTitle = caption.c_str();
      config.pszContent = text.c_str();
      config.pButtons = buttons;
      config.cButtons = 2;
      config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
      config.nDefaultButton = IDYES;
      int pressed = IDCANCEL;
      if (SUCCEEDED(task(&config, &pressed, nullptr, nullptr))) {
        return pressed == IDYES  ? Unsaved::save
               : pressed == IDNO ? Unsaved::discard
                                 : Unsaved::cancel;
      }
    }
  }
  const std::wstring asked = text + L"\n\nYes saves it first, No discards it.";
  switch (MessageBoxW(dialog_owner(), asked.c_str(), caption.c_str(),
                      MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      return Unsaved::save;
    case IDNO:
      return Unsaved::discard;
    default:
      return Unsaved::cancel;
  }
}

void Win32Platform::message(MessageKind kind, std::string_view text) {
  LoggedMessage logged{{}, kind, std::string(text)};
  GetLocalTime(&logged.time);
  messages_.push_back(logged);
  const StatusLine status = dg::status_line(kind, text, working_ > 0, callback_warnings_);
  status_ = status.text;
  status_kind_ = status.kind;
  if (messages_window_) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", logged.time.wHour, logged.time.wMinute,
                  logged.time.wSecond);
    messages_window_->append_line(std::string(stamp) + "  " + kind_name(kind) + "  " + logged.text);
  }
  for (auto& [figure, window] : windows_) window->show_status(status_, status_kind_);
}

std::string Win32Platform::messages_text() const {
  std::string out;
  for (const LoggedMessage& m : messages_) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", m.time.wHour, m.time.wMinute,
                  m.time.wSecond);
    if (!out.empty()) out += '\n';
    out += std::string(stamp) + "  " + kind_name(m.kind) + "  " + m.text;
  }
  return out;
}

void Win32Platform::show_messages() {
  if (!messages_window_ || !messages_window_->open()) {
    messages_window_ = std::make_unique<TextWindow>(
        nullptr, "Messages", messages_text(), true, ui_font(GetDpiForSystem()), [this] {
          copy_text(messages_window_ ? messages_window_->hwnd() : nullptr, messages_text());
        });
  }
  messages_window_->show();
}

std::vector<std::string> Win32Platform::recent_files() const {
  std::vector<std::string> files;
  const std::wstring list =
      registry_string(HKEY_CURRENT_USER, kSettingsKey, L"recentFiles", REG_MULTI_SZ);
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t end = list.find(L'\0', start);
    const std::wstring file = list.substr(start, end == std::wstring::npos ? end : end - start);
    if (file.empty()) break;
    files.push_back(narrow(file));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return files;
}

void Win32Platform::store_recent_files(const std::vector<std::string>& files) {
  std::wstring list;
  for (const std::string& file : files) {
    list += widen(file);
    list.push_back(L'\0');
  }
  store_registry(kSettingsKey, L"recentFiles", REG_MULTI_SZ, list);
}

std::string Win32Platform::setting(std::string_view key) const {
  return narrow(registry_string(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\kept",
                                widen(key), REG_SZ));
}

void Win32Platform::store_setting(std::string_view key, std::string_view value) {
  store_registry(std::wstring(kSettingsKey) + L"\\kept", widen(key), REG_SZ, widen(value));
}

void Win32Platform::save_plot(Graphics& graphics, Handle figure, const std::string& path) {
  write_plot_file(graphics, figure, path);
}

std::vector<std::string> Win32Platform::plot_formats() const {
  return win32_plot_formats();
}

void Win32Platform::print_figure(Graphics& graphics, Handle figure,
                                 const std::vector<std::string>& options) {
  check_print_options(options);
  copy_figure_to_clipboard(graphics, figure, dialog_owner());
}

std::array<double, 2> Win32Platform::screen_size() const {
  const double scale = GetDpiForSystem() / 96.0;
  return {GetSystemMetrics(SM_CXSCREEN) / scale, GetSystemMetrics(SM_CYSCREEN) / scale};
}

std::array<double, 2> Win32Platform::character_size() const {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, const_cast<Win32Platform*>(this)->ui_font(GetDpiForSystem()));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const double scale = GetDpiForSystem() / 96.0;
  if (metrics.tmHeight == 0) return {7, 16};
  return {metrics.tmAveCharWidth / scale, metrics.tmHeight / scale};
}

std::array<double, 3> Win32Platform::default_control_background() const {
  const COLORREF c = GetSysColor(COLOR_BTNFACE);
  return {GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0};
}

std::array<double, 4> Win32Platform::frame_margins() const {
  FigureFrame* window = nullptr;
  if (graphics_) {
    if (auto current = graphics_->current_figure()) window = find(*current);
  }
  if (window && window->host()) window = nullptr;
  for (auto& [figure, w] : windows_) {
    if (!w->host() && (!window || !window->visible())) window = w.get();
  }
  if (window && window->visible()) return window->margins();
  // Before any window shows, the status line is the one part known for sure.
  return {0, 0, 24, 0};
}

void Win32Platform::drawnow(Graphics&) {
  flush();
  for (auto& [figure, window] : windows_) window->repaint_now();
  pump(false);
  flush();
}

void Win32Platform::console(std::string_view text) {
  std::cout << text << std::flush;
  keep_console_text(console_, text);
}

}  // namespace dg
