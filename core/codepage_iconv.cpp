#include <errno.h>
#include <iconv.h>

#include "core/codepage.h"

namespace tellurix {

namespace {

std::string& CodePageName() {
  static std::string name = "CP936";
  return name;
}

std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string output(input.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* out = output.data();
  size_t outLeft = output.size();
  const size_t converted = iconv(cd, &in, &inLeft, &out, &outLeft);
  iconv_close(cd);
  if (converted == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
  output.resize(output.size() - outLeft);
  return output;
}

}  // namespace

void SetAnsiCodePage(const std::string& iconvName) { CodePageName() = iconvName; }

bool IsAnsiLeadByte(unsigned char byte) {
  // The double-byte code pages of the Chinese systems the program serves.
  const std::string& name = CodePageName();
  const bool doubleByte = name.find("936") != std::string::npos || name.find("GB") != std::string::npos;
  return doubleByte && byte >= 0x81 && byte <= 0xFE;
}

std::optional<std::string> ToAnsi(std::string_view utf8) {
  return Convert(CodePageName().c_str(), "UTF-8", utf8);
}

std::optional<std::string> FromAnsi(std::string_view ansi) {
  return Convert("UTF-8", CodePageName().c_str(), ansi);
}

std::string FromConsoleCodePage(std::string_view bytes) {
  if (auto text = FromAnsi(bytes)) return *text;
  std::string text;
  for (unsigned char byte : bytes) text += byte < 0x80 ? std::string(1, static_cast<char>(byte)) : "\xEF\xBF\xBD";
  return text;
}

}  // namespace tellurix
