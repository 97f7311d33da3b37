#include "ui/dialog_window.h"

#include "ui/win32_controls.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

// An empty dialog template; the controls are created in pixels afterwards.
struct EmptyTemplate {
  DLGTEMPLATE header;
  WORD menu, windowClass, title;
};

}  // namespace

void DialogWindow::ShowModal(HWND owner) {
  EmptyTemplate empty{};
  // No DS_CENTER: it centres on the owner, which may be hidden; Layout() centres
  // on the screen.
  empty.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  empty.header.cx = 10;
  empty.header.cy = 10;
  DialogBoxIndirectParamW(reinterpret_cast<HINSTANCE>(GetModuleHandleW(nullptr)), &empty.header, owner, DialogProc,
                          reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<DialogWindow*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
    self->Layout();
    self->OnInit();
    return TRUE;
  }
  auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self) return FALSE;
  switch (message) {
    // Only the close box (and Alt+F4, and Close in the system menu) closes a
    // dialog without its buttons. Escape arrives as IDCANCEL from the dialog
    // manager and as WM_CLOSE from a multi-line edit box; either would throw
    // away what the user typed, so both are ignored, as is Enter (IDOK): no
    // button of these dialogs is a default or cancel button.
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
      self->Close();
      return TRUE;
    case WM_CLOSE: return TRUE;
    case WM_SETCURSOR: return self->OnSetCursor();
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL && LOWORD(wParam) != IDOK) self->OnCommand(LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}

void DialogWindow::Layout() {
  SetWindowTextW(hwnd_, Widen(caption_).c_str());
  const int dpi = ScreenDpi();
  RECT frame = {0, 0, ScaleForDpi(width_, dpi), ScaleForDpi(height_, dpi)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  font_.reset(CreateMessageFont(100));
  CreateControls(hwnd_, controls_, dpi, font_.get(), nullptr);
}

std::string DialogWindow::Text(int id) const {
  HWND control = GetDlgItem(hwnd_, id);
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

void DialogWindow::SetText(int id, std::string_view text) { SetDlgItemTextW(hwnd_, id, Widen(text).c_str()); }

std::string DialogWindow::Selection(int id) const {
  const LRESULT index = SendDlgItemMessageW(hwnd_, id, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return {};
  const LRESULT length = SendDlgItemMessageW(hwnd_, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendDlgItemMessageW(hwnd_, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

void DialogWindow::FillList(int id, const std::vector<std::string_view>& items) {
  for (std::string_view item : items) {
    SendDlgItemMessageW(hwnd_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
  }
}

void DialogWindow::Select(int id, int index) {
  SendDlgItemMessageW(hwnd_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DialogWindow::Message(std::string_view text) const { ShowMessage(hwnd_, text); }

void DialogWindow::Close() { EndDialog(hwnd_, 0); }

bool DialogWindow::OnSetCursor() {
  if (!busy_) return false;
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
  return true;
}

}  // namespace tellurix
