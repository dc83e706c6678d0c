#include "runtime/win32/figure_frame.hpp"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "runtime/array/error.hpp"
#include "runtime/graphics/property_table.hpp"
#include "runtime/graphics/window_rules.hpp"
#include "runtime/win32/native_text.hpp"
#include "runtime/win32/wide_text.hpp"
#include "runtime/win32/win32_platform.hpp"

namespace dg {
namespace {

constexpr wchar_t kFrameClass[] = L"DistanglerFigure";
constexpr wchar_t kCanvasClass[] = L"DistanglerCanvas";
constexpr UINT kMotionMessage = WM_APP + 2;
constexpr UINT kDropMessage = WM_APP + 3;
constexpr UINT_PTR kMessagesButton = 1;
constexpr UINT_PTR kDockClose = 2;
constexpr int kSliderSteps = 1000;
// Logical pixels of the status line, of a docked panel's title strip, and
// the room a push button needs around its label.
constexpr double kStatusHeight = 24;
constexpr double kDockTitleHeight = 22;
constexpr double kButtonPaddingX = 12;
constexpr double kButtonPaddingY = 4;

int round_int(double v) {
  return static_cast<int>(std::lround(v));
}

bool close_to(double a, double b) {
  return std::abs(a - b) < 1;
}

COLORREF colorref(const Rgb& c) {
  auto byte = [](double v) {
    return static_cast<BYTE>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return RGB(byte(c.r), byte(c.g), byte(c.b));
}

Rgb rgb_of(const Value& value) {
  const Matrix& c = value.matrix();
  return {c.data()[0], c.data()[1], c.data()[2]};
}

double number_or(const Value& value, double fallback) {
  return value.is_double() && value.numel() == 1 ? value.scalar() : fallback;
}

std::vector<std::string> lines_of(const Value& value, bool split_bars) {
  std::vector<std::string> out = value.lines();
  if (split_bars && out.size() == 1 && out[0].find('|') != std::string::npos) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
      const std::size_t bar = out[0].find('|', start);
      parts.push_back(out[0].substr(start, bar == std::string::npos ? bar : bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
    out = std::move(parts);
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines, const char* separator) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? separator : "") + lines[i];
  return out;
}

std::wstring window_text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void set_text(HWND hwnd, const std::wstring& text) {
  if (window_text(hwnd) != text) SetWindowTextW(hwnd, text.c_str());
}

std::wstring class_name(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

// Single-line edit boxes report their text when Return is pressed, as when
// they lose the focus; the window's message loop would take Return otherwise.
LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  if (msg == WM_GETDLGCODE && lparam) {
    const auto* key = reinterpret_cast<const MSG*>(lparam);
    if (key->message == WM_KEYDOWN && key->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
  }
  if (msg == WM_CHAR && (wparam == L'\r' || wparam == L'\n')) return 0;
  if (msg == WM_KEYDOWN && wparam == VK_RETURN) {
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(hwnd));
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

int text_width(HDC dc, const std::wstring& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// A line too long for `width` loses its middle to an ellipsis, where names
// of files and samples differ least from their neighbours.
std::wstring elided_in_middle(HDC dc, const std::wstring& line, int width) {
  if (text_width(dc, line) <= width) return line;
  std::size_t lo = 0, hi = line.size();
  std::wstring best = L"\u2026";
  while (lo < hi) {
    const std::size_t keep = (lo + hi + 1) / 2;
    const std::wstring shown =
        line.substr(0, keep / 2) + L"\u2026" + line.substr(line.size() - (keep - keep / 2));
    if (text_width(dc, shown) <= width) {
      best = shown;
      lo = keep;
    } else {
      hi = keep - 1;
    }
  }
  return best;
}

void register_classes() {
  static bool done = false;
  if (done) return;
  done = true;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW frame{};
  frame.cbSize = sizeof frame;
  frame.lpfnWndProc = &FigureFrame::frame_proc;
  frame.hInstance = instance;
  frame.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (!frame.hIcon) frame.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  frame.lpszClassName = kFrameClass;
  RegisterClassExW(&frame);
  WNDCLASSEXW canvas{};
  canvas.cbSize = sizeof canvas;
  canvas.style = CS_DBLCLKS;
  canvas.lpfnWndProc = &FigureFrame::canvas_proc;
  canvas.hInstance = instance;
  canvas.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  canvas.lpszClassName = kCanvasClass;
  RegisterClassExW(&canvas);
}

}  // namespace

FigureFrame::FigureFrame(Win32Platform& platform, Graphics& graphics, Handle figure)
    : platform_(platform), graphics_(&graphics), figure_(figure) {
  register_classes();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  hwnd_ = CreateWindowExW(0, kFrameClass, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                          CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, this);
  if (!hwnd_)
    raise("The window of figure " + std::to_string(static_cast<int>(figure)) +
          " could not be made: is there a display?");
  scale_ = GetDpiForWindow(hwnd_) / 96.0;
  canvas_ = CreateWindowExW(WS_EX_CONTROLPARENT, kCanvasClass, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, 0, 0, 1, 1, hwnd_,
                            nullptr, instance, this);
  status_ = CreateWindowExW(
      0, L"STATIC", L"",
      WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS | SS_CENTERIMAGE, 0,
      0, 1, 1, hwnd_, nullptr, instance, nullptr);
  messages_button_ = CreateWindowExW(
      0, L"BUTTON", L"M&essages", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 1, 1,
      hwnd_, reinterpret_cast<HMENU>(kMessagesButton), instance, nullptr);
  tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                              nullptr, instance, nullptr);
  if (tooltips_) SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 600);
  const HFONT font = platform_.ui_font(GetDpiForWindow(hwnd_));
  for (HWND child : {status_, messages_button_}) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  show_status(platform.status_line(), platform.status_kind());
}

FigureFrame::~FigureFrame() {
  undock();
  for (FigureFrame* dock : std::vector<FigureFrame*>(docks_)) dock->undock();
  for (auto& [handle, control] : controls_) {
    if (control.brush) DeleteObject(control.brush);
    if (control.font) DeleteObject(control.font);
  }
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    SetWindowLongPtrW(canvas_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (menu_) DestroyMenu(menu_);
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  if (cache_) DeleteObject(cache_);
}

void FigureFrame::detach() {
  graphics_ = nullptr;
}

bool FigureFrame::busy() const {
  return platform_.working();
}

void FigureFrame::show_status(const std::string& line, MessageKind kind) {
  std::string flat = line;
  std::replace(flat.begin(), flat.end(), '\n', ' ');
  status_text_ = flat;
  status_kind_ = kind;
  set_text(status_, widen(flat));
  if (tooltips_) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(status_);
    std::wstring tip = widen(flat);
    tool.lpszText = tip.data();
    SendMessageW(tooltips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  InvalidateRect(status_, nullptr, TRUE);
}

// ---- placement ----

void FigureFrame::layout() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int width = client.right, height = client.bottom;
  const int status = host_ ? 0 : round_int(kStatusHeight * scale_);
  const int title = host_ ? round_int(kDockTitleHeight * scale_) : 0;
  int docks = 0;
  for (FigureFrame* dock : docks_) {
    if (dock->graphics_ && dock->visible()) {
      docks += round_int(dock->graphics_->pixel_position(dock->figure_)[2] * scale_);
    }
  }
  const int canvas_width = std::max(1, width - docks);
  MoveWindow(canvas_, 0, title, canvas_width, std::max(1, height - status - title), TRUE);
  ShowWindow(status_, host_ ? SW_HIDE : SW_SHOW);
  ShowWindow(messages_button_, host_ ? SW_HIDE : SW_SHOW);
  if (!host_) {
    const int button = round_int(80 * scale_), pad = round_int(3 * scale_);
    MoveWindow(status_, round_int(6 * scale_), height - status, width - button - 3 * pad, status,
               TRUE);
    MoveWindow(messages_button_, width - button - pad, height - status + pad, button,
               status - 2 * pad, TRUE);
  }
  if (dock_title_) {
    const int close = round_int(50 * scale_);
    MoveWindow(dock_title_, round_int(4 * scale_), 0, width - close - round_int(8 * scale_), title,
               TRUE);
    MoveWindow(dock_close_, width - close - round_int(2 * scale_), round_int(1 * scale_), close,
               title - round_int(2 * scale_), TRUE);
  }
  // Docked panels share the room right of the canvas, top to bottom.
  int x = canvas_width;
  for (FigureFrame* dock : docks_) {
    if (!dock->graphics_ || !dock->visible()) continue;
    const int w = round_int(dock->graphics_->pixel_position(dock->figure_)[2] * scale_);
    MoveWindow(dock->hwnd_, x, 0, w, std::max(1, height - status), TRUE);
    x += w;
  }
}

void FigureFrame::place() {
  if (host_) return;
  const auto px = graphics_->pixel_position(figure_);
  const double screen_height = platform_.screen_size()[1];
  int docks = 0;
  for (FigureFrame* dock : docks_) {
    if (dock->graphics_ && dock->graphics_->figure(dock->figure_).visible) {
      docks += round_int(dock->graphics_->pixel_position(dock->figure_)[2] * scale_);
    }
  }
  const int width = std::max(1, round_int(px[2] * scale_)) + docks;
  const int height = std::max(1, round_int(px[3] * scale_)) + round_int(kStatusHeight * scale_);
  RECT r{0, 0, width, height};
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  AdjustWindowRectExForDpi(&r, style, GetMenu(hwnd_) != nullptr, 0, GetDpiForWindow(hwnd_));
  const int left = round_int(px[0] * scale_) + r.left;
  const int top = round_int((screen_height - px[1] - px[3]) * scale_) + r.top;
  applying_ = true;
  SetWindowPos(hwnd_, nullptr, left, top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  layout();
  applying_ = false;
}

void FigureFrame::canvas_resized() {
  if (!graphics_ || applying_ || !IsWindowVisible(canvas_)) return;
  RECT client;
  GetClientRect(canvas_, &client);
  const double w = client.right / scale_, h = client.bottom / scale_;
  // The user resized the window: the figure's children scale with it.
  platform_.guarded([&] { follow_inner_size(*graphics_, figure_, w, h); });
}

void FigureFrame::moved() {
  if (!graphics_ || applying_ || host_ || !visible()) return;
  platform_.guarded([&] {
    const auto px = graphics_->pixel_position(figure_);
    POINT origin{0, 0};
    ClientToScreen(canvas_, &origin);
    RECT client;
    GetClientRect(canvas_, &client);
    const double left = origin.x / scale_;
    const double bottom = platform_.screen_size()[1] - (origin.y + client.bottom) / scale_;
    if (close_to(left, px[0]) && close_to(bottom, px[1])) return;
    graphics_->set_pixel_position(figure_, {left, bottom, px[2], px[3]});
  });
}

std::array<double, 4> FigureFrame::margins() const {
  RECT window, client;
  GetWindowRect(hwnd_, &window);
  GetClientRect(canvas_, &client);
  POINT origin{0, 0};
  ClientToScreen(canvas_, &origin);
  return {(origin.x - window.left) / scale_, (window.right - origin.x - client.right) / scale_,
          (window.bottom - origin.y - client.bottom) / scale_, (origin.y - window.top) / scale_};
}

void FigureFrame::sync() {
  if (!graphics_) return;
  const Figure& fig = graphics_->figure(figure_);
  std::string title;
  if (!fig.number_title) {
    title = fig.name;
  } else {
    title = "Figure " + std::to_string(static_cast<int>(figure_));
    if (!fig.name.empty()) title += ": " + fig.name;
  }
  set_text(hwnd_, widen(title));
  if (dock_title_) set_text(dock_title_, widen(title));
  sync_menus();
  sync_controls();
  DragAcceptFiles(hwnd_, fig.file_drop_fcn.empty() ? FALSE : TRUE);

  FigureFrame* host = fig.docked ? platform_.dock_host(figure_) : nullptr;
  if (host != host_) {
    undock();
    if (host) dock_into(*host);
  }
  if (host_) {
    if (fig.changes != rendered_changes_) {
      dirty_ = true;
      InvalidateRect(canvas_, nullptr, FALSE);
    }
    if (fig.visible != visible()) {
      ShowWindow(hwnd_, fig.visible ? SW_SHOWNA : SW_HIDE);
      host_->place();
    }
    canvas_resized();
    return;
  }
  const auto px = graphics_->pixel_position(figure_);
  POINT origin{0, 0};
  ClientToScreen(canvas_, &origin);
  RECT client;
  GetClientRect(canvas_, &client);
  const double left = origin.x / scale_, width = client.right / scale_,
               height = client.bottom / scale_;
  const double bottom = platform_.screen_size()[1] - (origin.y + client.bottom) / scale_;
  if (!visible() || !close_to(left, px[0]) || !close_to(bottom, px[1]) || !close_to(width, px[2]) ||
      !close_to(height, px[3])) {
    place();
  }
  if (fig.changes != rendered_changes_) {
    dirty_ = true;
    InvalidateRect(canvas_, nullptr, FALSE);
  }
  if (fig.visible && !visible()) {
    ShowWindow(hwnd_, SW_SHOW);
    place();  // the bars are known once the window shows
  }
  if (!fig.visible && visible()) ShowWindow(hwnd_, SW_HIDE);
}

void FigureFrame::dock_into(FigureFrame& host) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  ShowWindow(hwnd_, SW_HIDE);
  if (menu_) {
    SetMenu(hwnd_, nullptr);
  }
  SetWindowLongPtrW(hwnd_, GWL_STYLE, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_BORDER);
  SetParent(hwnd_, host.hwnd_);
  host_ = &host;
  host.docks_.push_back(this);
  dock_title_ = CreateWindowExW(
      0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0,
      0, 1, 1, hwnd_, nullptr, instance, nullptr);
  dock_close_ =
      CreateWindowExW(0, L"BUTTON", L"Close", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 1, 1,
                      hwnd_, reinterpret_cast<HMENU>(kDockClose), instance, nullptr);
  const HFONT font = platform_.ui_font(GetDpiForWindow(hwnd_));
  for (HWND child : {dock_title_, dock_close_}) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  set_text(dock_title_, window_text(hwnd_));
  if (graphics_ && graphics_->figure(figure_).visible) ShowWindow(hwnd_, SW_SHOWNA);
  // The host grows by the panel's width; its canvas keeps its size.
  host.place();
  layout();
}

void FigureFrame::undock() {
  if (!host_) return;
  FigureFrame* host = host_;
  host_ = nullptr;
  std::erase(host->docks_, this);
  ShowWindow(hwnd_, SW_HIDE);
  if (dock_title_) DestroyWindow(dock_title_);
  if (dock_close_) DestroyWindow(dock_close_);
  dock_title_ = dock_close_ = nullptr;
  SetParent(hwnd_, nullptr);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
  menu_signature_.clear();  // the menu bar comes back at the next sync
  if (host->graphics_) host->place();
}

// ---- menus ----

void FigureFrame::sync_menus() {
  // Menus are rebuilt only when something a menu shows has changed, and
  // never while one is open (it is rebuilt when it closes).
  if (in_menu_) {
    menus_pending_ = true;
    return;
  }
  const std::string signature = menu_signature(*graphics_, figure_);
  if (signature == menu_signature_) return;
  menu_signature_ = signature;
  HMENU old = menu_;
  menu_ids_.clear();
  popups_.clear();
  std::vector<ACCEL> accels;
  menu_ = CreateMenu();
  bool any = false;
  for (Handle child : graphics_->children(figure_)) {
    if (graphics_->type(child) != ObjectType::UIMenu) continue;
    add_menu_item(menu_, child, accels);
    any = true;
  }
  if (!any) {
    DestroyMenu(menu_);
    menu_ = nullptr;
  }
  applying_ = true;
  SetMenu(hwnd_, host_ ? nullptr : menu_);
  applying_ = false;
  if (old) DestroyMenu(old);
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  accelerators_ = accels.empty()
                      ? nullptr
                      : CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
  DrawMenuBar(hwnd_);
}

void FigureFrame::add_menu_item(HMENU parent, Handle menu, std::vector<ACCEL>& accels) {
  auto text = [&](const char* property) { return graphics_->get(menu, property).text(); };
  if (!graphics_->menu(menu).visible) return;
  std::vector<Handle> items;
  for (Handle child : graphics_->children(menu)) {
    if (graphics_->type(child) == ObjectType::UIMenu) items.push_back(child);
  }
  if (lower(text("Separator")) == "on") AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
  UINT flags = lower(text("Enable")) == "off" ? MF_GRAYED : MF_ENABLED;
  std::wstring label = widen(text("Label"));
  if (!items.empty()) {
    HMENU popup = CreatePopupMenu();
    popups_[popup] = menu;
    for (Handle item : items) add_menu_item(popup, item, accels);
    AppendMenuW(parent, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), label.c_str());
    return;
  }
  const UINT id = next_id_++;
  if (next_id_ > 0x7FFF) next_id_ = 100;
  menu_ids_[id] = menu;
  const std::string accelerator = text("Accelerator");
  if (auto keys = accelerator_keys(accelerator)) {
    keys->cmd = static_cast<WORD>(id);
    accels.push_back(*keys);
    label += L"\t" + accelerator_label(accelerator);
  }
  if (lower(text("Checked")) == "on") flags |= MF_CHECKED;
  AppendMenuW(parent, flags | MF_STRING, id, label.c_str());
}

UINT FigureFrame::menu_id(Handle menu) const {
  for (const auto& [id, handle] : menu_ids_) {
    if (handle == menu) return id;
  }
  return 0;
}

// ---- controls ----

HWND FigureFrame::make_control(const std::string& kind) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex = 0;
  const wchar_t* cls = L"STATIC";
  if (kind == "pushbutton") {
    cls = L"BUTTON";
    style |= BS_PUSHBUTTON | WS_TABSTOP;
  } else if (kind == "togglebutton") {
    cls = L"BUTTON";
    style |= BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP;
  } else if (kind == "checkbox") {
    cls = L"BUTTON";
    style |= BS_AUTOCHECKBOX | WS_TABSTOP;
  } else if (kind == "radiobutton") {
    // Not exclusive: each radio button keeps its own value, as its control says.
    cls = L"BUTTON";
    style |= BS_RADIOBUTTON | WS_TABSTOP;
  } else if (kind == "edit") {
    cls = L"EDIT";
    style |= ES_AUTOHSCROLL | WS_TABSTOP;
    ex = WS_EX_CLIENTEDGE;
  } else if (kind == "edit-multiline") {
    cls = L"EDIT";
    ex = WS_EX_CLIENTEDGE;
    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP;
  } else if (kind == "listbox") {
    cls = L"LISTBOX";
    ex = WS_EX_CLIENTEDGE;
    style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
  } else if (kind == "popupmenu") {
    cls = L"COMBOBOX";
    style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
  } else if (kind == "slider") {
    cls = TRACKBAR_CLASSW;
    style |= TBS_HORZ | TBS_NOTICKS | WS_TABSTOP;
  } else if (kind == "frame") {
    style |= SS_ETCHEDFRAME;
  } else {
    style |= SS_OWNERDRAW | SS_NOTIFY;
  }
  const UINT id = next_id_++;
  if (next_id_ > 0x7FFF) next_id_ = 100;
  HWND hwnd = CreateWindowExW(ex, cls, L"", style, 0, 0, 1, 1, canvas_,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (kind == "edit") SetWindowSubclass(hwnd, edit_proc, 1, 0);
  if (kind == "slider") SendMessageW(hwnd, TBM_SETRANGE, FALSE, MAKELPARAM(0, kSliderSteps));
  return hwnd;
}

void FigureFrame::sync_controls() {
  std::map<Handle, Control> kept;
  for (Handle child : graphics_->children(figure_)) {
    if (graphics_->type(child) != ObjectType::UIControl) continue;
    Control control;
    if (auto it = controls_.find(child); it != controls_.end()) {
      control = it->second;
      controls_.erase(it);
    }
    std::string style = lower(graphics_->get(child, "Style").text());
    if (style == "edit" &&
        number_or(graphics_->get(child, "Max"), 1) - number_or(graphics_->get(child, "Min"), 0) >
            1) {
      style = "edit-multiline";
    }
    if (!control.hwnd || control.kind != style) {
      if (control.hwnd) DestroyWindow(control.hwnd);
      control.hwnd = make_control(style);
      control.kind = style;
    }
    update_control(control, child);
    kept.emplace(child, control);
  }
  for (auto& [handle, control] : controls_) {
    if (control.hwnd) DestroyWindow(control.hwnd);
    if (control.brush) DeleteObject(control.brush);
    if (control.font) DeleteObject(control.font);
  }
  controls_ = std::move(kept);
  // Tab moves down the column of controls, then to the right: the order of
  // the windows is the order of the keyboard focus.
  std::vector<std::pair<std::array<double, 2>, HWND>> order;
  for (auto& [handle, control] : controls_) {
    const auto r = graphics_->pixel_position(handle);
    order.push_back({{-(r[1] + r[3]), r[0]}, control.hwnd});
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  HWND after = HWND_TOP;
  for (const auto& [place, hwnd] : order) {
    SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = hwnd;
  }
}

void FigureFrame::update_control(Control& control, Handle handle) {
  const UIControl& object = graphics_->control(handle);
  auto get = [&](const char* name) { return graphics_->get(handle, name); };
  HWND hwnd = control.hwnd;
  const double figure_height = graphics_->pixel_position(figure_)[3];
  const auto r = graphics_->pixel_position(handle);
  int height = std::max(0, round_int(r[3] * scale_));
  if (control.kind == "popupmenu") height += round_int(200 * scale_);  // the list that drops down
  SetWindowPos(hwnd, nullptr, round_int(r[0] * scale_),
               round_int((figure_height - r[1] - r[3]) * scale_),
               std::max(0, round_int(r[2] * scale_)), height, SWP_NOZORDER | SWP_NOACTIVATE);
  const std::string enable = lower(get("Enable").text());
  EnableWindow(hwnd, enable != "off");

  if (control.brush) DeleteObject(control.brush);
  control.brush =
      object.background ? CreateSolidBrush(colorref(rgb_of(get("BackgroundColor")))) : nullptr;
  control.own_foreground = object.foreground.has_value();
  if (object.foreground) control.foreground = colorref(rgb_of(get("ForegroundColor")));
  if (control.font) DeleteObject(control.font);
  control.font = nullptr;
  HFONT font = platform_.ui_font(GetDpiForWindow(hwnd_));
  if (object.font_size) {
    LOGFONTW face{};
    GetObjectW(font, sizeof face, &face);
    face.lfHeight = -round_int(get("FontSize").scalar() * GetDpiForWindow(hwnd_) / 72.0);
    control.font = CreateFontIndirectW(&face);
    font = control.font;
  }
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  const Value string = get("String");
  const double value = number_or(get("Value"), 0);
  control.lo = number_or(get("Min"), 0);
  control.hi = number_or(get("Max"), 1);
  const std::string alignment = lower(get("HorizontalAlignment").text());
  control.align = alignment == "left" ? DT_LEFT : alignment == "right" ? DT_RIGHT : DT_CENTER;
  const std::vector<std::string> lines = lines_of(string, false);
  const std::string& kind = control.kind;
  if (kind == "text") {
    control.text = widen(joined(lines, "\n"));
    InvalidateRect(hwnd, nullptr, TRUE);
  } else if (kind == "pushbutton" || kind == "togglebutton" || kind == "checkbox" ||
             kind == "radiobutton") {
    set_text(hwnd, widen(joined(lines, "\n")));
    if (kind != "pushbutton") {
      SendMessageW(hwnd, BM_SETCHECK, value == control.hi ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (lines.size() > 1) {
      SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | BS_MULTILINE);
    }
  } else if (kind == "edit") {
    const std::wstring text = widen(lines.empty() ? "" : lines[0]);
    const bool typing = GetFocus() == hwnd && SendMessageW(hwnd, EM_GETMODIFY, 0, 0);
    if (!typing && window_text(hwnd) != text) {
      SetWindowTextW(hwnd, text.c_str());
      SendMessageW(hwnd, EM_SETMODIFY, FALSE, 0);
    }
  } else if (kind == "edit-multiline") {
    const std::wstring text = widen(joined(lines, "\r\n"));
    if (GetFocus() != hwnd && window_text(hwnd) != text) {
      SetWindowTextW(hwnd, text.c_str());
      SendMessageW(hwnd, EM_SETMODIFY, FALSE, 0);
    }
  } else if (kind == "listbox" || kind == "popupmenu") {
    const bool list = kind == "listbox";
    const UINT count_msg = list ? LB_GETCOUNT : CB_GETCOUNT;
    const UINT length_msg = list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
    const UINT text_msg = list ? LB_GETTEXT : CB_GETLBTEXT;
    const std::vector<std::string> items = lines_of(string, true);
    std::vector<std::string> current;
    const auto count = SendMessageW(hwnd, count_msg, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::wstring item(static_cast<std::size_t>(SendMessageW(hwnd, length_msg, i, 0)) + 1, L'\0');
      SendMessageW(hwnd, text_msg, i, reinterpret_cast<LPARAM>(item.data()));
      item.resize(std::wcslen(item.c_str()));
      current.push_back(narrow(item));
    }
    if (current != items) {
      SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
      SendMessageW(hwnd, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
      for (const std::string& item : items) {
        const std::wstring wide = widen(item);
        SendMessageW(hwnd, list ? LB_ADDSTRING : CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(wide.c_str()));
      }
      SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
      InvalidateRect(hwnd, nullptr, TRUE);
    }
    const int row = static_cast<int>(value) - 1;
    const bool inside = row >= 0 && row < static_cast<int>(items.size());
    // A Value outside the items shows no row in a list, the first item in a popup menu.
    SendMessageW(hwnd, list ? LB_SETCURSEL : CB_SETCURSEL, inside ? row : list ? -1 : 0, 0);
  } else if (kind == "slider") {
    const double t = control.hi > control.lo ? (value - control.lo) / (control.hi - control.lo) : 0;
    SendMessageW(hwnd, TBM_SETPOS, TRUE, std::lround(std::clamp(t, 0.0, 1.0) * kSliderSteps));
  }
  // The tooltip: the control's own, or for a text the whole of it (long
  // lines are shortened in the middle).
  if (tooltips_) {
    std::wstring tip = widen(get("TooltipString").text());
    if (tip.empty() && kind == "text") tip = control.text;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = canvas_;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    SendMessageW(tooltips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!tip.empty()) {
      tool.lpszText = tip.data();
      SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
  ShowWindow(hwnd, object.visible ? SW_SHOWNA : SW_HIDE);
}

HWND FigureFrame::control_window(Handle control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : it->second.hwnd;
}

void FigureFrame::draw_text_control(const DRAWITEMSTRUCT& item) {
  for (auto& [handle, control] : controls_) {
    if (control.hwnd != item.hwndItem) continue;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    HBRUSH ground = control.brush;
    HBRUSH figure_brush = nullptr;
    if (!ground && graphics_) {
      figure_brush = CreateSolidBrush(colorref(graphics_->figure(figure_).color));
      ground = figure_brush;
    }
    if (ground) FillRect(dc, &r, ground);
    if (figure_brush) DeleteObject(figure_brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, control.own_foreground ? control.foreground : RGB(0, 0, 0));
    if (!IsWindowEnabled(item.hwndItem)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ old =
        SelectObject(dc, control.font ? control.font : platform_.ui_font(GetDpiForWindow(hwnd_)));
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    std::size_t start = 0;
    RECT line = r;
    while (start <= control.text.size()) {
      std::size_t end = control.text.find(L'\n', start);
      if (end == std::wstring::npos) end = control.text.size();
      const std::wstring text =
          elided_in_middle(dc, control.text.substr(start, end - start), r.right - r.left);
      line.bottom = line.top + metrics.tmHeight;
      DrawTextW(dc, text.data(), static_cast<int>(text.size()), &line,
                control.align | DT_SINGLELINE | DT_NOPREFIX | DT_TOP);
      line.top = line.bottom;
      start = end + 1;
    }
    SelectObject(dc, old);
    return;
  }
}

void FigureFrame::store(Handle handle, const char* property, const Value& value) {
  if (!graphics_) return;
  platform_.guarded([&] { graphics_->set(handle, property, value); });
}

void FigureFrame::control_event(Handle handle, Control& control, UINT code) {
  const std::string kind = control.kind;
  HWND hwnd = control.hwnd;
  if (kind == "pushbutton") {
    if (code == BN_CLICKED) invoke(handle);
  } else if (kind == "togglebutton" || kind == "checkbox" || kind == "radiobutton") {
    if (code != BN_CLICKED) return;
    bool on = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (kind == "radiobutton") {
      on = !on;
      SendMessageW(hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    store(handle, "Value", Value(on ? control.hi : control.lo));
    invoke(handle);
  } else if (kind == "edit" || kind == "edit-multiline") {
    if (code != EN_KILLFOCUS || !SendMessageW(hwnd, EM_GETMODIFY, 0, 0)) return;
    SendMessageW(hwnd, EM_SETMODIFY, FALSE, 0);
    const std::string text = narrow(window_text(hwnd));
    if (kind == "edit") {
      store(handle, "String", Value(text));
    } else {
      std::vector<Value> lines;
      std::size_t start = 0;
      while (true) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.emplace_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
      }
      store(handle, "String", Value::cell_row(std::move(lines)));
    }
    invoke(handle);
  } else if (kind == "listbox") {
    if (code != LBN_SELCHANGE) return;
    const auto row = SendMessageW(hwnd, LB_GETCURSEL, 0, 0);
    if (row < 0) return;
    store(handle, "Value", Value(static_cast<double>(row + 1)));
    invoke(handle);
  } else if (kind == "popupmenu") {
    if (code != CBN_SELENDOK) return;
    const auto index = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
    if (index < 0) return;
    store(handle, "Value", Value(static_cast<double>(index + 1)));
    invoke(handle);
  }
}

void FigureFrame::command(WPARAM wparam, LPARAM lparam) {
  if (lparam == 0) {
    // A menu item or its accelerator.
    auto it = menu_ids_.find(LOWORD(wparam));
    if (it != menu_ids_.end() && !busy()) invoke(it->second);
    return;
  }
  const HWND from = reinterpret_cast<HWND>(lparam);
  if (from == messages_button_) return platform_.show_messages();
  if (from == dock_close_) {
    close_requested();
    return;
  }
  for (auto& [handle, control] : controls_) {
    if (control.hwnd != from) continue;
    const Handle h = handle;
    Control copy = control;
    if (!busy()) control_event(h, copy, HIWORD(wparam));
    return;
  }
}

void FigureFrame::invoke(Handle object) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] {
    if (graphics_->is_handle(object)) callback = graphics_->get(object, "Callback").text();
  });
  platform_.run_callback(object, callback);
}

void FigureFrame::run_figure_callback(const char* property) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] { callback = graphics_->get(figure_, property).text(); });
  platform_.run_callback(figure_, callback);
}

bool FigureFrame::close_requested() {
  if (!graphics_) return true;
  if (platform_.working()) return false;
  if (!graphics_->figure(figure_).close_request_fcn.empty()) {
    run_figure_callback("CloseRequestFcn");
    return false;
  }
  const Handle figure = figure_;
  Graphics* graphics = graphics_;
  platform_.guarded([&] { graphics->close(figure); });
  return false;
}

bool FigureFrame::figure_key(const MSG& msg) {
  if (!graphics_ || msg.message != WM_KEYDOWN || busy()) return false;
  if (graphics_->figure(figure_).key_press_fcn.empty()) return false;
  if (class_name(GetFocus()) == L"Edit") return false;  // the edit box's own keys
  const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  if (alt) return false;
  std::string key;
  switch (msg.wParam) {
    case VK_PRIOR:
      key = ctrl || shift ? "" : "pageup";
      break;
    case VK_NEXT:
      key = ctrl || shift ? "" : "pagedown";
      break;
    case VK_DELETE:
      key = ctrl || shift ? "" : "delete";
      break;
    case VK_ESCAPE:
      key = ctrl || shift ? "" : "escape";
      break;
    case 'Z':
      key = ctrl ? (shift ? "ctrl+shift+z" : "ctrl+z") : "";
      break;
    case 'Y':
      key = ctrl && !shift ? "ctrl+y" : "";
      break;
    case 'M':
      key = ctrl || shift ? "" : "m";
      break;
    default:
      break;
  }
  if (key.empty()) return false;
  std::string callback;
  platform_.guarded([&] {
    graphics_->set(figure_, "CurrentKey", Value(key));
    callback = graphics_->figure(figure_).key_press_fcn;
  });
  platform_.run_callback(figure_, callback);
  return true;
}

void FigureFrame::dropped(HDROP drop) {
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size()));
    name.resize(std::wcslen(name.c_str()));
    drops_.push_back(name);
  }
  DragFinish(drop);
  // The files are opened after the drop has ended, so the program they came
  // from is not kept waiting.
  PostMessageW(hwnd_, kDropMessage, 0, 0);
}

// ---- the canvas ----

void FigureFrame::render_if_needed() {
  RECT client;
  GetClientRect(canvas_, &client);
  const SIZE want{std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom)};
  const std::uint64_t changes = graphics_ ? graphics_->figure(figure_).changes : 0;
  if (!dirty_ && cache_ && want.cx == cache_size_.cx && want.cy == cache_size_.cy &&
      changes == rendered_changes_) {
    return;
  }
  // GDI+ draws into a bitmap with an alpha channel (which it antialiases on),
  // then the window keeps it as a bitmap of the screen's own.
  Gdiplus::Bitmap target(want.cx, want.cy, PixelFormat32bppARGB);
  if (target.GetLastStatus() != Gdiplus::Ok) return;
  {
    Gdiplus::Graphics g(&target);
    if (graphics_) {
      g.ScaleTransform(static_cast<Gdiplus::REAL>(scale_), static_cast<Gdiplus::REAL>(scale_));
      platform_.guarded([&] { paint_figure(g, *graphics_, figure_, stamps_, scale_, false); });
    } else {
      g.Clear(Gdiplus::Color(255, 240, 240, 240));
    }
  }
  HBITMAP drawn = nullptr;
  if (target.GetHBITMAP(Gdiplus::Color(255, 255, 255, 255), &drawn) != Gdiplus::Ok) return;
  if (cache_) DeleteObject(cache_);
  cache_ = drawn;
  cache_size_ = want;
  rendered_changes_ = changes;
  dirty_ = false;
  if (pan_axes_ < 0) pan_offset_ = {};  // the drawing now shows the panned view
}

void FigureFrame::paint(HDC dc) {
  if (!(busy() && cache_)) render_if_needed();
  if (!cache_) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, cache_);
  RECT client;
  GetClientRect(canvas_, &client);
  if (client.right != cache_size_.cx || client.bottom != cache_size_.cy) {
    // A running callback changes the tree: the last drawing stands in, stretched.
    StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, cache_size_.cx, cache_size_.cy,
               SRCCOPY);
  } else {
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  }
  if (pan_offset_[0] != 0 || pan_offset_[1] != 0) {
    // While dragging, the plot box shows the drawing moved along.
    const RECT box{round_int(pan_box_.left * scale_), round_int(pan_box_.top * scale_),
                   round_int((pan_box_.left + pan_box_.width) * scale_),
                   round_int((pan_box_.top + pan_box_.height) * scale_)};
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    BitBlt(dc, round_int(pan_offset_[0] * scale_), round_int(pan_offset_[1] * scale_),
           cache_size_.cx, cache_size_.cy, memory, 0, 0, SRCCOPY);
    RestoreDC(dc, saved);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
}

void FigureFrame::repaint_now() {
  if (!visible()) return;
  InvalidateRect(canvas_, nullptr, FALSE);
  UpdateWindow(canvas_);
}

std::array<double, 2> FigureFrame::logical(LPARAM lparam) const {
  return {GET_X_LPARAM(lparam) / scale_, GET_Y_LPARAM(lparam) / scale_};
}

Handle FigureFrame::axes_at(double x, double y, PlotBox* box) const {
  Handle found = -1;
  if (!graphics_) return found;
  for (Handle child : graphics_->children(figure_)) {
    if (graphics_->type(child) != ObjectType::Axes) continue;
    const PixelRect b = axes_pixel_box(*graphics_, figure_, child);
    if (x < b.left || x > b.right() || y < b.top || y > b.bottom()) continue;
    found = child;  // a later axes lies over an earlier one
    if (box) *box = {b.left, b.top, b.width, b.height};
  }
  return found;
}

PlotBox FigureFrame::plot_box(Handle axes) const {
  const PixelRect b = axes_pixel_box(*graphics_, figure_, axes);
  return {b.left, b.top, b.width, b.height};
}

Handle FigureFrame::current_axes() const {
  if (!graphics_) return -1;
  const Value axes = graphics_->get(figure_, "CurrentAxes");
  return axes.is_empty() ? -1 : axes.scalar();
}

void FigureFrame::click(Handle axes, double x, double y) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] {
    if (!graphics_->is_handle(axes) || graphics_->type(axes) != ObjectType::Axes) return;
    const auto p = data_point(*graphics_, axes, plot_box(axes), x, y);
    graphics_->set(axes, "CurrentPoint", Value(Matrix{{p[0], p[1]}}));
    callback = graphics_->axes(axes).button_down_fcn;
  });
  platform_.run_callback(axes, callback);
}

void FigureFrame::pointer_moved(double x, double y, bool left) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] {
    callback = graphics_->figure(figure_).motion_fcn;
    if (callback.empty()) return;
    Handle axes = left ? motion_axes_ : axes_at(x, y);
    if (axes < 0 || !graphics_->is_handle(axes) || graphics_->type(axes) != ObjectType::Axes ||
        graphics_->figure_of(axes) != figure_) {
      axes = current_axes();
    }
    motion_axes_ = axes;
    if (axes < 0) return;
    const PlotBox box = plot_box(axes);
    const auto p =
        left ? point_beyond(*graphics_, axes, box) : data_point(*graphics_, axes, box, x, y);
    graphics_->set(axes, "CurrentPoint", Value(Matrix{{p[0], p[1]}}));
  });
  platform_.run_callback(figure_, callback);
}

void FigureFrame::reset_view(Handle axes) {
  if (!graphics_ || axes < 0) return;
  std::string turned;
  platform_.guarded([&] { turned = reset_axes(*graphics_, axes); });
  platform_.run_callback(axes, turned);
}

void FigureFrame::mouse_down(LPARAM lparam) {
  const auto [x, y] = logical(lparam);
  PlotBox box;
  const Handle axes = busy() ? -1 : axes_at(x, y, &box);
  if (axes < 0) return;
  SetFocus(canvas_);
  drag_line_ = -1;
  platform_.guarded([&] {
    if (graphics_->is_handle(axes) && !graphics_->axes(axes).point_drag_fcn.empty()) {
      drag_line_ = landmark_at(*graphics_, axes, box, x, y);
    }
  });
  pan_axes_ = axes;
  pan_box_ = box;
  pan_start_ = {x, y};
  pan_offset_ = {};
  pan_dragging_ = false;
  SetCapture(canvas_);
}

void FigureFrame::mouse_move(WPARAM wparam, LPARAM lparam) {
  const auto [x, y] = logical(lparam);
  if (pan_axes_ < 0) {
    if (!(wparam & MK_LBUTTON) && graphics_ && !graphics_->figure(figure_).motion_fcn.empty() &&
        !busy()) {
      if (!tracking_leave_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, canvas_, 0};
        TrackMouseEvent(&track);
        tracking_leave_ = true;
      }
      motion_point_ = {x, y};
      motion_left_ = false;
      if (!motion_pending_) {
        motion_pending_ = true;
        PostMessageW(canvas_, kMotionMessage, 0, 0);
      }
    }
    return;
  }
  if (!pan_dragging_ && std::hypot(x - pan_start_[0], y - pan_start_[1]) > kClickSlop) {
    pan_dragging_ = true;
    turn_from_ = pan_start_;
    SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
  }
  if (!pan_dragging_ || !graphics_) return;
  if (drag_line_ >= 0) {
    if (busy()) return;
    platform_.guarded([&] {
      if (graphics_->is_handle(drag_line_)) {
        move_landmark(*graphics_, drag_line_, pan_axes_, plot_box(pan_axes_), x, y);
      }
    });
    return;
  }
  if (turns(*graphics_, pan_axes_)) {
    const double dx = x - turn_from_[0], dy = y - turn_from_[1];
    turn_from_ = {x, y};
    if (busy()) return;
    std::string callback;
    platform_.guarded([&] { callback = turn_axes(*graphics_, pan_axes_, dx, dy); });
    platform_.run_callback(pan_axes_, callback);
    return;
  }
  pan_offset_ = {x - pan_start_[0], y - pan_start_[1]};
  InvalidateRect(canvas_, nullptr, FALSE);
}

void FigureFrame::mouse_up(LPARAM lparam) {
  if (pan_axes_ < 0) return;
  const auto [x, y] = logical(lparam);
  const Handle axes = pan_axes_;
  pan_axes_ = -1;
  ReleaseCapture();
  const bool drag = pan_dragging_ || std::hypot(x - pan_start_[0], y - pan_start_[1]) > kClickSlop;
  pan_dragging_ = false;
  if (!graphics_) return;
  if (const Handle line = std::exchange(drag_line_, -1); line >= 0 && drag) {
    pan_offset_ = {};
    if (busy()) return;
    std::string callback;
    platform_.guarded([&] {
      if (!graphics_->is_handle(line)) return;
      move_landmark(*graphics_, line, axes, plot_box(axes), x, y);
      callback = graphics_->axes(axes).point_drag_fcn;
    });
    platform_.run_callback(line, callback);
    return;
  }
  if (drag && turns(*graphics_, axes)) {
    pan_offset_ = {};
    InvalidateRect(canvas_, nullptr, FALSE);
    return;
  }
  pan_offset_ = drag ? std::array<double, 2>{x - pan_start_[0], y - pan_start_[1]}
                     : std::array<double, 2>{0, 0};
  if ((pan_offset_[0] == 0 && pan_offset_[1] == 0) || busy()) {
    pan_offset_ = {};
    InvalidateRect(canvas_, nullptr, FALSE);
    if (!drag && !busy()) click(axes, x, y);
    return;
  }
  // The moved drawing stays until the panned view is rendered.
  const auto offset = pan_offset_;
  platform_.guarded([&] { pan_axes(*graphics_, axes, plot_box(axes), offset[0], offset[1]); });
}

void FigureFrame::wheel(WPARAM wparam, LPARAM lparam) {
  POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ScreenToClient(canvas_, &at);
  const double x = at.x / scale_, y = at.y / scale_;
  const Handle axes = busy() ? -1 : axes_at(x, y);
  const double steps = GET_WHEEL_DELTA_WPARAM(wparam) / 120.0;
  if (axes < 0 || steps == 0 || !graphics_) return;
  platform_.guarded(
      [&] { zoom_axes(*graphics_, axes, plot_box(axes), x, y, std::pow(0.8, steps)); });
}

// ---- window procedures ----

LRESULT CALLBACK FigureFrame::frame_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* frame = reinterpret_cast<FigureFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!frame) return DefWindowProcW(hwnd, msg, wparam, lparam);
  if (!frame->hwnd_) frame->hwnd_ = hwnd;  // messages of the window's creation
  if (frame->hwnd_ != hwnd || !frame->canvas_) return DefWindowProcW(hwnd, msg, wparam, lparam);
  return frame->frame_message(msg, wparam, lparam);
}

LRESULT CALLBACK FigureFrame::canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* frame = reinterpret_cast<FigureFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!frame) return DefWindowProcW(hwnd, msg, wparam, lparam);
  if (!frame->canvas_) frame->canvas_ = hwnd;
  return frame->canvas_message(msg, wparam, lparam);
}

LRESULT FigureFrame::frame_message(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_SIZE:
      layout();
      return 0;
    case WM_MOVE:
      moved();
      return 0;
    case WM_CLOSE:
      close_requested();
      return 0;
    case WM_COMMAND:
      command(wparam, lparam);
      return 0;
    case WM_ENTERMENULOOP:
      in_menu_ = true;
      return 0;
    case WM_EXITMENULOOP:
      in_menu_ = false;
      if (std::exchange(menus_pending_, false) && graphics_) {
        platform_.guarded([&] { sync_menus(); });
      }
      return 0;
    case WM_INITMENUPOPUP: {
      // A menu's own callback runs when it opens, before its items show;
      // the items it changed are shown at once, in the open menu.
      const HMENU popup = reinterpret_cast<HMENU>(wparam);
      auto it = popups_.find(popup);
      if (it == popups_.end() || busy()) return 0;
      const Handle menu = it->second;
      invoke(menu);
      if (!graphics_) return 0;
      platform_.guarded([&] {
        if (!graphics_->is_handle(menu) || menu_signature(*graphics_, figure_) == menu_signature_)
          return;
        while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
        std::vector<ACCEL> accels;  // those of the bar stay as they are until it closes
        for (Handle item : graphics_->children(menu)) {
          if (graphics_->type(item) == ObjectType::UIMenu) add_menu_item(popup, item, accels);
        }
        menus_pending_ = true;  // the whole bar follows when the menu closes
      });
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      if (reinterpret_cast<HWND>(lparam) == status_) {
        SetTextColor(dc, status_kind_ == MessageKind::Error     ? RGB(0xc8, 0, 0)
                         : status_kind_ == MessageKind::Warning ? RGB(0x9a, 0x60, 0)
                                                                : GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_DROPFILES:
      dropped(reinterpret_cast<HDROP>(wparam));
      return 0;
    case kDropMessage: {
      std::vector<std::wstring> files = std::move(drops_);
      drops_.clear();
      for (const std::wstring& file : files) {
        if (!graphics_ || platform_.working()) break;
        platform_.guarded([&] { graphics_->set(figure_, "DroppedFile", Value(narrow(file))); });
        run_figure_callback("FileDropFcn");
        if (graphics_ && graphics_->is_handle(figure_)) {
          platform_.guarded([&] { graphics_->set(figure_, "DroppedFile", Value("")); });
        }
      }
      return 0;
    }
    case WM_MOUSEWHEEL:
      wheel(wparam, lparam);
      return 0;
    case WM_GETMINMAXINFO: {
      // The controls scale with the window: it stays large enough that each
      // button's share holds its label.
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      if (!graphics_ || host_ || !canvas_) break;
      double min_width = 0, min_height = 0;
      platform_.guarded([&] {
        const auto figure = graphics_->pixel_position(figure_);
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, platform_.ui_font(GetDpiForWindow(hwnd_)));
        for (auto& [handle, control] : controls_) {
          if (control.kind != "pushbutton" || !graphics_->control(handle).visible) continue;
          const auto r = graphics_->pixel_position(handle);
          const std::wstring label = widen(without_mnemonics(narrow(window_text(control.hwnd))));
          if (label.empty() || r[2] <= 0 || r[3] <= 0) continue;
          SIZE size{};
          GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
          const double w = size.cx / scale_ + kButtonPaddingX,
                       h = size.cy / scale_ + kButtonPaddingY;
          min_width = std::max(min_width, w * figure[2] / r[2]);
          min_height = std::max(min_height, h * figure[3] / r[3]);
        }
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
      });
      RECT r{0, 0, static_cast<LONG>(std::ceil(min_width * scale_)),
             static_cast<LONG>(std::ceil((min_height + kStatusHeight) * scale_))};
      AdjustWindowRectExForDpi(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                               GetMenu(hwnd_) != nullptr, 0, GetDpiForWindow(hwnd_));
      info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, r.right - r.left);
      info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, r.bottom - r.top);
      return 0;
    }
    case WM_DPICHANGED: {
      scale_ = HIWORD(wparam) / 96.0;
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      applying_ = true;
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      applying_ = false;
      const HFONT font = platform_.ui_font(HIWORD(wparam));
      for (HWND child : {status_, messages_button_}) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      }
      dirty_ = true;
      if (graphics_) {
        platform_.guarded([&] {
          for (auto& [handle, control] : controls_) update_control(control, handle);
        });
      }
      layout();
      InvalidateRect(canvas_, nullptr, FALSE);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wparam, lparam);
}

LRESULT FigureFrame::canvas_message(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(canvas_, &ps);
      paint(dc);
      EndPaint(canvas_, &ps);
      return 0;
    }
    case WM_SIZE:
      dirty_ = true;
      canvas_resized();
      InvalidateRect(canvas_, nullptr, FALSE);
      return 0;
    case WM_COMMAND:
      command(wparam, lparam);
      return 0;
    case WM_DRAWITEM:
      draw_text_control(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_HSCROLL: {
      const HWND from = reinterpret_cast<HWND>(lparam);
      if (LOWORD(wparam) != TB_ENDTRACK) return 0;
      for (auto& [handle, control] : controls_) {
        if (control.hwnd != from || control.kind != "slider" || busy()) continue;
        const auto position = SendMessageW(from, TBM_GETPOS, 0, 0);
        const Handle h = handle;
        const double value =
            control.lo + (control.hi - control.lo) * static_cast<double>(position) / kSliderSteps;
        if (graphics_ && number_or(graphics_->get(h, "Value"), 0) == value) return 0;
        store(h, "Value", Value(value));
        invoke(h);
        return 0;
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      const HWND from = reinterpret_cast<HWND>(lparam);
      HDC dc = reinterpret_cast<HDC>(wparam);
      for (auto& [handle, control] : controls_) {
        if (control.hwnd != from) continue;
        if (control.own_foreground) SetTextColor(dc, control.foreground);
        if (control.brush) {
          LOGBRUSH brush;
          GetObjectW(control.brush, sizeof brush, &brush);
          SetBkColor(dc, brush.lbColor);
          return reinterpret_cast<LRESULT>(control.brush);
        }
        if (msg == WM_CTLCOLORSTATIC && graphics_) {
          // Check boxes and frames stand on the figure's colour, as texts do.
          static HBRUSH ground = nullptr;
          static COLORREF ground_color = 0;
          const COLORREF color = colorref(graphics_->figure(figure_).color);
          if (!ground || ground_color != color) {
            if (ground) DeleteObject(ground);
            ground = CreateSolidBrush(color);
            ground_color = color;
          }
          SetBkColor(dc, color);
          return reinterpret_cast<LRESULT>(ground);
        }
        break;
      }
      break;
    }
    case WM_LBUTTONDOWN:
      mouse_down(lparam);
      return 0;
    case WM_MOUSEMOVE:
      mouse_move(wparam, lparam);
      return 0;
    case WM_LBUTTONUP:
      mouse_up(lparam);
      return 0;
    case WM_CAPTURECHANGED:
      if (pan_axes_ >= 0 && reinterpret_cast<HWND>(lparam) != canvas_) {
        pan_axes_ = -1;
        drag_line_ = -1;
        pan_dragging_ = false;
        pan_offset_ = {};
        InvalidateRect(canvas_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONDBLCLK: {
      const auto [x, y] = logical(lparam);
      if (!busy()) reset_view(axes_at(x, y));
      return 0;
    }
    case WM_MOUSEWHEEL:
      wheel(wparam, lparam);
      return 0;
    case WM_MOUSELEAVE:
      tracking_leave_ = false;
      if (graphics_ && !graphics_->figure(figure_).motion_fcn.empty() && pan_axes_ < 0 && !busy()) {
        motion_left_ = true;
        if (!motion_pending_) {
          motion_pending_ = true;
          PostMessageW(canvas_, kMotionMessage, 0, 0);
        }
      }
      return 0;
    case kMotionMessage:
      if (pan_axes_ >= 0) {
        motion_pending_ = false;
      } else if (busy()) {
        // A callback handles events: the latest place waits until it has ended.
        SetTimer(canvas_, 1, 50, nullptr);
      } else {
        motion_pending_ = false;
        pointer_moved(motion_point_[0], motion_point_[1], motion_left_);
      }
      return 0;
    case WM_TIMER:
      KillTimer(canvas_, 1);
      PostMessageW(canvas_, kMotionMessage, 0, 0);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_HOME && !busy() && GetKeyState(VK_CONTROL) >= 0 &&
          GetKeyState(VK_SHIFT) >= 0) {
        reset_view(current_axes());
        return 0;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    default:
      break;
  }
  return DefWindowProcW(canvas_, msg, wparam, lparam);
}

}  // namespace dg
