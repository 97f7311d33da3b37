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

// The WideCharToMultiByte flags that are valid for a code page. UTF-8 and
// GB18030 take WC_ERR_INVALID_CHARS and no "used default char" report; UTF-7
// and the stateful code pages take neither; the others take
// WC_NO_BEST_FIT_CHARS and report a character they had to replace.
struct EncodeFlags {
  unsigned long flags;
  bool reportsLoss;
};
EncodeFlags EncodeFlagsFor(unsigned codePage);

#ifdef _WIN32
// The codec in a given code page (ToAnsi and FromAnsi use the system's).
std::optional<std::string> ToCodePage(std::string_view utf8, unsigned codePage);
std::optional<std::string> FromCodePage(std::string_view bytes, unsigned codePage);
#endif

// Bytes in the console's (OEM) code page as UTF-8 text; bytes that are not valid
// there become U+FFFD instead of failing the whole text.
std::string FromConsoleCodePage(std::string_view bytes);
// What a console program printed, as UTF-8 text, line by line: a line that is
// valid UTF-8 and not plain ASCII is taken as UTF-8 (Apache prints the paths of
// its configuration so, whatever the console's code page), any other line is in
// the console's code page (as `net` and Windows' own messages are).
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
