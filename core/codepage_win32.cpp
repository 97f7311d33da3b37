#include <windows.h>

#include "core/codepage.h"

namespace tellurix {

namespace {

std::optional<std::wstring> Decode(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
  return wide;
}

std::optional<std::string> Encode(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  // UTF-8 takes no "used default char" flag; the ANSI code pages must report loss.
  BOOL* lossFlag = codePage == CP_UTF8 ? nullptr : &lossy;
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, lossFlag);
  if (length == 0 || lossy) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE; }

std::optional<std::string> ToAnsi(std::string_view utf8) {
  auto wide = Decode(CP_UTF8, utf8);
  if (!wide) return std::nullopt;
  return Encode(CP_ACP, *wide);
}

std::optional<std::string> FromAnsi(std::string_view ansi) {
  auto wide = Decode(CP_ACP, ansi);
  if (!wide) return std::nullopt;
  return Encode(CP_UTF8, *wide);
}

std::string FromProgramOutput(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
  return Encode(CP_UTF8, wide).value_or(std::string());
}

}  // namespace tellurix
