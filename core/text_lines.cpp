#include "core/text_lines.h"

namespace tellurix {

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

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace tellurix
