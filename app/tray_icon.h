// The notification-area icon: one record, filled once, used to add the icon and
// to delete it again; and the window's permission to hear the shell restart.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace tellurix {

class TrayIcon {
 public:
  // The icon's notifications arrive as `callbackMessage` on `window`; the icon
  // handle doubles as the icon's identifier (see TrayIconId).
  void Init(HWND window, HICON icon, UINT callbackMessage, const wchar_t* tip);

  // Adds the icon; a shell that refuses the add because it has the icon already
  // (an add at logon that timed out and still went through, or the icon put back
  // after Explorer restarted) keeps showing it, so a modify that it takes makes
  // the icon ours as well. (Deleting and adding again would race with the
  // shell's own removal.)
  bool Add();
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

// Shell_NotifyIconW, replaceable by tests that play a shell as Windows' behaves
// where Wine's does not; nullptr puts the system's back.
using ShellNotifyStep = BOOL (*)(DWORD message, NOTIFYICONDATAW* data);
void SetShellNotifyStepForTesting(ShellNotifyStep step);

// Lets the shell's registered `message` (TaskbarCreated) through to `window`
// when the panel runs with more rights than Explorer: User Interface Privilege
// Isolation drops it otherwise, and the icon never comes back after Explorer
// restarts. ChangeWindowMessageFilterEx from Windows 7 on, the process-wide
// ChangeWindowMessageFilter on Vista, nothing before (no isolation there).
void AllowShellMessage(HWND window, UINT message);
// How the two functions are found in user32.dll, replaceable by tests (the
// filter does nothing under Wine); nullptr puts GetProcAddress back.
using User32Lookup = FARPROC (*)(const char* name);
void SetUser32LookupForTesting(User32Lookup lookup);

}  // namespace tellurix
