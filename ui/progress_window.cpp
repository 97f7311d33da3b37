#include "ui/progress_window.h"

#include <commctrl.h>

#include "ui/layout.h"
#include "ui/win32_controls.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

constexpr wchar_t kClass[] = L"TellurixProgress";
// The client area and its controls at 96 DPI.
constexpr int kWidth = 380, kHeight = 104;
constexpr Rect kLine{12, 12, 356, 20}, kBar{12, 38, 356, 18}, kButton{284, 68, 84, 26};

HWND Child(HWND parent, const wchar_t* windowClass, const std::wstring& caption, DWORD style, const Rect& place,
           int id, int dpi, HFONT font) {
  HWND child = CreateWindowExW(0, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style,
                               ScaleForDpi(place.left, dpi), ScaleForDpi(place.top, dpi),
                               ScaleForDpi(place.width, dpi), ScaleForDpi(place.height, dpi), parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (child && font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

bool Registered(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  return registered;
}

}  // namespace

bool ProgressWindow::Open(HWND owner, std::string_view caption, std::string_view line, std::string_view cancel,
                          std::function<void()> onCancel) {
  Close();
  if (!Registered(Procedure)) return false;
  onCancel_ = std::move(onCancel);
  cancelled_ = false;
  const int dpi = ScreenDpi();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, ScaleForDpi(kWidth, dpi), ScaleForDpi(kHeight, dpi)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT over{};
  if (!owner || !IsWindowVisible(owner) || IsIconic(owner) || !GetWindowRect(owner, &over)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
  }
  window_ = CreateWindowExW(exStyle, kClass, Widen(caption).c_str(), style,
                            over.left + (over.right - over.left - width) / 2,
                            over.top + (over.bottom - over.top - height) / 2, width, height, owner, nullptr,
                            GetModuleHandleW(nullptr), this);
  if (!window_) return false;
  font_.reset(CreateMessageFont(100));
  Child(window_, L"STATIC", Widen(line), SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, kLine, kLineId, dpi, font_.get());
  HWND bar = Child(window_, PROGRESS_CLASSW, L"", 0, kBar, kBarId, dpi, nullptr);
  SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  Child(window_, L"BUTTON", Widen(cancel), BS_PUSHBUTTON | WS_TABSTOP, kButton, IDCANCEL, dpi, font_.get());
  ShowWindow(window_, SW_SHOWNORMAL);
  return true;
}

void ProgressWindow::SetPercent(unsigned percent) {
  if (window_) SendDlgItemMessageW(window_, kBarId, PBM_SETPOS, percent > 100 ? 100 : percent, 0);
}

void ProgressWindow::SetLine(std::string_view line) {
  if (window_) SetDlgItemTextW(window_, kLineId, Widen(line).c_str());
}

void ProgressWindow::Close() {
  if (!window_) return;
  HWND window = window_;
  window_ = nullptr;
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  font_.reset();
  onCancel_ = nullptr;
}

void ProgressWindow::CancelOnce() {
  if (cancelled_) return;
  cancelled_ = true;
  EnableWindow(GetDlgItem(window_, IDCANCEL), FALSE);
  if (onCancel_) onCancel_();
}

LRESULT CALLBACK ProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && self->window_ == window) {
    // Closing the window asks what the button asks; the caller closes it when the step has ended.
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
      self->CancelOnce();
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tellurix
