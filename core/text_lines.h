// Splitting a file's bytes into lines without losing a byte: each line keeps
// its own line break (CR LF, LF, a lone CR, or none at the end of the file).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tellurix {

struct TextLine {
  std::string_view text;  // without the line break
  std::string_view brk;   // "\r\n", "\n", "\r" or empty
};

std::vector<TextLine> SplitLines(std::string_view bytes);

// The line break a writer uses for new lines: LF for a file that uses LF
// throughout, CR LF for every other file (an empty one included).
std::string_view PreferredBreak(std::string_view bytes);

// The text without the spaces, tabs and line breaks around it.
std::string_view TrimBlanks(std::string_view text);
// The value without one pair of matching quotes ("..." or '...') around it.
std::string_view Unquoted(std::string_view value);

// ASCII letters compared without case; every other byte exactly, so the bytes of
// a UTF-8 character are never folded.
inline char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view head);
// Where `needle` first occurs in `text`; npos when it does not.
size_t FindNoCase(std::string_view text, std::string_view needle);

// The UTF-8 byte-order mark, if the bytes start with it.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
bool StartsWithUtf8Bom(std::string_view bytes);
// UTF-16 files (either byte order) are not text in the ANSI code page.
bool LooksLikeUtf16(std::string_view bytes);

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or 0.
size_t Utf8SequenceLength(std::string_view bytes);
// Whether the bytes are well-formed UTF-8 as Windows decodes it: no overlong
// forms, no surrogates, nothing above U+10FFFF (plain ASCII is).
bool IsUtf8(std::string_view bytes);

// The pattern with each "{}" replaced by the next of `values`, in order.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values);

// The first `count` characters of UTF-8 text, followed by "…" when there were more.
std::string CutAfterCharacters(std::string_view text, size_t count);

}  // namespace tellurix
