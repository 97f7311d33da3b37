#include "app/tray_icon.h"

#include <cwchar>

#include "app/tray_policy.h"
#include "ui/system_library.h"

namespace tellurix {

namespace {

BOOL SystemShellNotify(DWORD message, NOTIFYICONDATAW* data) { return Shell_NotifyIconW(message, data); }
ShellNotifyStep shellNotify = SystemShellNotify;

FARPROC SystemUser32Lookup(const char* name) { return GetProcAddress(GetModuleHandleW(L"user32.dll"), name); }
User32Lookup user32Lookup = SystemUser32Lookup;

// The filter's actions, as <winuser.h> of Windows 7 defines them.
constexpr DWORD kMsgFltAllow = 1;  // MSGFLT_ALLOW, for ChangeWindowMessageFilterEx
constexpr DWORD kMsgFltAdd = 1;    // MSGFLT_ADD, for ChangeWindowMessageFilter

}  // namespace

void SetShellNotifyStepForTesting(ShellNotifyStep step) { shellNotify = step ? step : SystemShellNotify; }
void SetUser32LookupForTesting(User32Lookup lookup) { user32Lookup = lookup ? lookup : SystemUser32Lookup; }

void TrayIcon::Init(HWND window, HICON icon, UINT callbackMessage, const wchar_t* tip) {
  data_ = {};
  data_.cbSize = sizeof(data_);
  data_.hWnd = window;
  data_.uID = TrayIconId(reinterpret_cast<std::uintptr_t>(icon));
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  wcsncpy(data_.szTip, tip, sizeof(data_.szTip) / sizeof(data_.szTip[0]) - 1);
}

bool TrayIcon::Add() {
  present_ = shellNotify(NIM_ADD, &data_) != FALSE || shellNotify(NIM_MODIFY, &data_) != FALSE;
  return present_;
}

void TrayIcon::Balloon(const wchar_t* title, const wchar_t* text) {
  if (!present_) return;
  NOTIFYICONDATAW balloon = data_;
  balloon.uFlags = NIF_INFO;
  wcsncpy(balloon.szInfo, text, sizeof(balloon.szInfo) / sizeof(balloon.szInfo[0]) - 1);
  wcsncpy(balloon.szInfoTitle, title, sizeof(balloon.szInfoTitle) / sizeof(balloon.szInfoTitle[0]) - 1);
  balloon.dwInfoFlags = NIIF_NONE;
  shellNotify(NIM_MODIFY, &balloon);
}

void TrayIcon::Delete() {
  if (!present_) return;
  shellNotify(NIM_DELETE, &data_);
  present_ = false;
}

void AllowShellMessage(HWND window, UINT message) {
  using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using Filter = BOOL(WINAPI*)(UINT, DWORD);
  if (const auto filterEx = AsFunction<FilterEx>(user32Lookup("ChangeWindowMessageFilterEx"))) {
    filterEx(window, message, kMsgFltAllow, nullptr);
  } else if (const auto filter = AsFunction<Filter>(user32Lookup("ChangeWindowMessageFilter"))) {
    filter(message, kMsgFltAdd);
  }
}

}  // namespace tellurix
