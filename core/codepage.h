// The one codec between the program's UTF-8 text and the system's ANSI code page,
// in which the stack's files and the profile are stored (936 on the target).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tellurix {

// UTF-8 to ANSI bytes; nullopt when a character has no form in the code page.
std::optional<std::string> ToAnsi(std::string_view utf8);
// ANSI bytes to UTF-8; nullopt when the bytes are not valid in the code page.
std::optional<std::string> FromAnsi(std::string_view ansi);

// What a console program printed, as UTF-8 text; bytes that are not valid in the
// code page become U+FFFD instead of failing the whole text.
std::string FromProgramOutput(std::string_view bytes);

// Whether the byte starts a two-byte character in the ANSI code page (code page
// 936: 0x81 to 0xFE; 0x80 is a character of its own).
bool IsAnsiLeadByte(unsigned char byte);

#ifndef _WIN32
// Natively the code page is a setting (default "CP936"); the Windows build uses
// the system's ANSI code page.
void SetAnsiCodePage(const std::string& iconvName);
#endif

}  // namespace tellurix
