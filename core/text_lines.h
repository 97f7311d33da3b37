// Splitting a file's bytes into lines without losing a byte: each line keeps
// its own line break (CR LF, LF, a lone CR, or none at the end of the file).
#pragma once

#include <string_view>
#include <vector>

namespace tellurix {

struct TextLine {
  std::string_view text;   // without the line break
  std::string_view brk;    // "\r\n", "\n", "\r" or empty
};

std::vector<TextLine> SplitLines(std::string_view bytes);

// The line break a writer uses for new lines: LF for a file that uses LF
// throughout, CR LF for every other file (an empty one included).
std::string_view PreferredBreak(std::string_view bytes);

// The text without the spaces, tabs and line breaks around it.
std::string_view TrimBlanks(std::string_view text);

// The UTF-8 byte-order mark, if the bytes start with it.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
bool StartsWithUtf8Bom(std::string_view bytes);
// UTF-16 files (either byte order) are not text in the ANSI code page.
bool LooksLikeUtf16(std::string_view bytes);

// Whether the bytes are well-formed UTF-8 as Windows decodes it: no overlong
// forms, no surrogates, nothing above U+10FFFF. Plain ASCII is UTF-8.
bool IsUtf8(std::string_view bytes);

}  // namespace tellurix
