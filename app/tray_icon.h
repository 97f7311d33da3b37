// The notification-area icon: one record, filled once, used to add the icon and
// to delete it again.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace tellurix {

class TrayIcon {
 public:
  // The icon's notifications arrive as `callbackMessage` on `window`; the icon
  // handle doubles as the icon's identifier (see TrayIconId).
  void Init(HWND window, HICON icon, UINT callbackMessage, const wchar_t* tip);

  bool Add();
  // Puts the icon back after Explorer restarted; the new shell has no icons yet.
  bool Readd();
  void Delete();  // harmless when the icon is not there
  // A balloon over the icon, without an icon of its own.
  void Balloon(const wchar_t* title, const wchar_t* text);
  bool present() const { return present_; }

  // Whether a message with this wParam came from the icon: the shell passes the
  // icon's identifier, a real pointer move passes the mouse-key flags.
  bool IsNotification(WPARAM wParam) const { return present_ && wParam == data_.uID; }

 private:
  NOTIFYICONDATAW data_{};
  bool present_ = false;
};

}  // namespace tellurix
