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

namespace {

int SystemMessageBox(void* owner, const wchar_t* text, const wchar_t* caption, unsigned type) {
  return MessageBoxW(static_cast<HWND>(owner), text, caption, type);
}
MessageBoxStep messageBox = SystemMessageBox;

int Box(void* owner, std::string_view text, unsigned buttons) {
  return messageBox(owner, Widen(text).c_str(), Widen(text::kAppTitle).c_str(),
                    buttons | MB_SETFOREGROUND | MB_TOPMOST);
}

}  // namespace

void SetMessageBoxStepForTesting(MessageBoxStep step) { messageBox = step ? step : SystemMessageBox; }

void ShowMessage(void* owner, std::string_view message) { Box(owner, message, MB_OK); }

bool AskOkCancel(void* owner, std::string_view question) { return Box(owner, question, MB_OKCANCEL) == IDOK; }

}  // namespace tellurix
