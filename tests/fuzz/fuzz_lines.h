// What both fuzz targets share: a trap for a broken invariant, names picked by the input's first bytes, and a
// file's lines without their breaks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#define CHECK(condition) ((condition) ? void() : __builtin_trap())

inline constexpr std::string_view kBom = "\xEF\xBB\xBF";

template <size_t N>
std::string_view Pick(uint8_t selector, const std::string_view (&choices)[N]) { return choices[selector % N]; }

// The lines of a file without their breaks (CR LF, LF or a lone CR); nothing after a final break.
inline std::vector<std::string_view> Texts(std::string_view bytes) {
  std::vector<std::string_view> texts;
  for (size_t i = 0; i < bytes.size();) {
    const size_t end = std::min(bytes.find_first_of("\r\n", i), bytes.size());
    texts.push_back(bytes.substr(i, end - i));
    i = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return texts;
}
