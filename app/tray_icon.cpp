#include "app/tray_icon.h"

#include <cwchar>

#include "app/tray_policy.h"

namespace tellurix {

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
  present_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
  return present_;
}

bool TrayIcon::Readd() {
  if (Add()) return true;
  // A shell that refuses the icon because it still has it keeps showing it.
  // (Deleting and adding again would race with the shell's own removal.)
  present_ = Shell_NotifyIconW(NIM_MODIFY, &data_) != FALSE;
  return present_;
}

void TrayIcon::Balloon(const wchar_t* title, const wchar_t* text) {
  if (!present_) return;
  NOTIFYICONDATAW balloon = data_;
  balloon.uFlags = NIF_INFO;
  wcsncpy(balloon.szInfo, text, sizeof(balloon.szInfo) / sizeof(balloon.szInfo[0]) - 1);
  wcsncpy(balloon.szInfoTitle, title, sizeof(balloon.szInfoTitle) / sizeof(balloon.szInfoTitle[0]) - 1);
  balloon.dwInfoFlags = NIIF_NONE;
  Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

void TrayIcon::Delete() {
  if (!present_) return;
  Shell_NotifyIconW(NIM_DELETE, &data_);
  present_ = false;
}

}  // namespace tellurix
