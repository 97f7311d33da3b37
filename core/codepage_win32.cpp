#include <windows.h>

#include "core/codepage.h"

namespace tellurix {

namespace {

std::optional<std::wstring> Decode(UINT codePage, std::string_view bytes, DWORD flags = MB_ERR_INVALID_CHARS) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  int length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length);
  return wide;
}

// Invalid bytes fail the decoding, except in the code pages that take no flags
// (UTF-7, the stateful ones), where asking for that fails every call.
DWORD DecodeFlagsFor(UINT codePage) { return EncodeFlagsFor(codePage).flags != 0 ? MB_ERR_INVALID_CHARS : 0; }

std::optional<std::string> Encode(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const EncodeFlags flags = EncodeFlagsFor(codePage);
  BOOL lossy = FALSE;
  BOOL* lossFlag = flags.reportsLoss ? &lossy : nullptr;
  int length = WideCharToMultiByte(codePage, flags.flags, wide.data(), size, nullptr, 0, nullptr, lossFlag);
  if (length == 0 || lossy) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags.flags, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE; }

std::optional<std::string> ToCodePage(std::string_view utf8, unsigned codePage) {
  auto wide = Decode(CP_UTF8, utf8);
  if (!wide) return std::nullopt;
  return Encode(codePage, *wide);
}

std::optional<std::string> FromCodePage(std::string_view bytes, unsigned codePage) {
  auto wide = Decode(codePage, bytes, DecodeFlagsFor(codePage));
  if (!wide) return std::nullopt;
  return Encode(CP_UTF8, *wide);
}

// CP_ACP would hide which code page is in use, and with it which flags are valid:
// the system's ANSI code page may be UTF-8 itself.
std::optional<std::string> ToAnsi(std::string_view utf8) { return ToCodePage(utf8, GetACP()); }
std::optional<std::string> FromAnsi(std::string_view ansi) { return FromCodePage(ansi, GetACP()); }

std::string FromConsoleCodePage(std::string_view bytes) {
  return Encode(CP_UTF8, Decode(GetOEMCP(), bytes, 0).value_or(std::wstring())).value_or(std::string());
}

}  // namespace tellurix
