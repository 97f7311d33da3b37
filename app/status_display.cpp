#include "app/status_display.h"

#include <commctrl.h>

#include "resources/ids.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

int IndexOf(Server server) { return server == Server::Apache ? 0 : 1; }

void SetEnabled(HWND control, bool enabled) {
  if ((IsWindowEnabled(control) != FALSE) != enabled) EnableWindow(control, enabled);
}

}  // namespace

void StatusDisplay::Create(HWND window) {
  window_ = window;
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
  for (Server server : kServers) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, TraitsOf(server).mark));
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void StatusDisplay::Show(Server server, const ServerDisplay& display, HMENU fileMenu, HMENU filezMenu) {
  const ServerTraits& traits = TraitsOf(server);
  SetEnabled(GetDlgItem(window_, traits.stopButton), display.stopEnabled);
  SetEnabled(GetDlgItem(window_, traits.startButton), display.startEnabled);

  HWND mark = GetDlgItem(window_, traits.mark);
  const int index = IndexOf(server);
  const std::wstring caption = Widen(display.mark);
  wchar_t current[8] = {};
  GetWindowTextW(mark, current, 8);
  if (caption != current) SetWindowTextW(mark, caption.c_str());
  if (colour_[index] != display.colour) {
    colour_[index] = display.colour;
    InvalidateRect(mark, nullptr, TRUE);
  }
  const std::wstring tip = Widen(display.tooltip);
  if (tip != tip_[index]) {
    tip_[index] = tip;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(mark);
    tool.lpszText = tip_[index].data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  // The menus are the panel's own: they change only when the state does.
  const int menuState = (display.startEnabled ? 1 : 0) | (display.stopEnabled ? 2 : 0);
  if (menuState_[index] == menuState) return;
  menuState_[index] = menuState;
  for (HMENU menu : {fileMenu, filezMenu}) {
    for (int i = 0; i < 2; ++i) {
      EnableMenuItem(menu, traits.startEntries[i], MF_BYCOMMAND | (display.startEnabled ? MF_ENABLED : MF_GRAYED));
      EnableMenuItem(menu, traits.stopEntries[i], MF_BYCOMMAND | (display.stopEnabled ? MF_ENABLED : MF_GRAYED));
    }
  }
}

bool StatusDisplay::MarkColour(HWND control, COLORREF* colour) const {
  for (Server server : kServers) {
    if (GetDlgItem(window_, TraitsOf(server).mark) == control) {
      *colour = colour_[IndexOf(server)];
      return true;
    }
  }
  return false;
}

}  // namespace tellurix
