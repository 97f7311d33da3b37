#include "core/text_lines.h"

namespace tellurix {

size_t Utf8SequenceLength(std::string_view bytes) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::vector<TextLine> SplitLines(std::string_view bytes) {
  std::vector<TextLine> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back({bytes.substr(start), {}});
      break;
    }
    size_t breakLength = 1;
    if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') breakLength = 2;
    lines.push_back({bytes.substr(start, end - start), bytes.substr(end, breakLength)});
    start = end + breakLength;
  }
  return lines;
}

std::string_view PreferredBreak(std::string_view bytes) {
  const bool hasLf = bytes.find('\n') != std::string_view::npos;
  const bool hasCr = bytes.find('\r') != std::string_view::npos;
  return hasLf && !hasCr ? "\n" : "\r\n";
}

bool StartsWithUtf8Bom(std::string_view bytes) { return bytes.substr(0, 3) == kUtf8Bom; }

bool LooksLikeUtf16(std::string_view bytes) {
  return bytes.size() >= 2 &&
         ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

bool IsUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t length = Utf8SequenceLength(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

bool StartsWithNoCase(std::string_view text, std::string_view head) {
  if (text.size() < head.size()) return false;
  for (size_t i = 0; i < head.size(); ++i) {
    if (FoldAscii(text[i]) != FoldAscii(head[i])) return false;
  }
  return true;
}

size_t FindNoCase(std::string_view text, std::string_view needle) {
  for (size_t at = 0; at + needle.size() <= text.size(); ++at) {
    if (StartsWithNoCase(text.substr(at), needle)) return at;
  }
  return std::string_view::npos;
}

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string filled;
  auto value = values.begin();
  for (size_t at = pattern.find("{}"); at != std::string_view::npos && value != values.end(); at = pattern.find("{}")) {
    filled.append(pattern.substr(0, at)).append(*value++);
    pattern.remove_prefix(at + 2);
  }
  return filled.append(pattern);
}

std::string CutAfterCharacters(std::string_view text, size_t count) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A character is a lead byte and its continuation bytes.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters++ == count) return std::string(text.substr(0, i)) + "…";
  }
  return std::string(text);
}

}  // namespace tellurix
