#include "ui/win32_text.h"

#include <windows.h>

#include "resources/texts.h"

namespace tellurix {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                   nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr,
                      nullptr);
  return utf8;
}

std::string LocalTimeText() {
  wchar_t buffer[64] = {};
  if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 64) == 0) return {};
  return Narrow(buffer);
}

void ShowMessage(void* owner, std::string_view message) {
  MessageBoxW(static_cast<HWND>(owner), Widen(message).c_str(), Widen(text::kAppTitle).c_str(), MB_OK);
}

}  // namespace tellurix
