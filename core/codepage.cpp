#include "core/codepage.h"

#include "core/text_lines.h"

namespace tellurix {

EncodeFlags EncodeFlagsFor(unsigned codePage) {
  constexpr unsigned long kNoBestFitChars = 0x400, kErrInvalidChars = 0x80;
  // UTF-8 and GB18030 hold every character: only invalid input can fail them.
  if (codePage == 65001 || codePage == 54936) return {kErrInvalidChars, false};
  // UTF-7, the ISO-2022 and ISCII families and the symbol code page take no flags.
  const bool noFlags = codePage == 65000 || codePage == 42 || (codePage >= 50220 && codePage <= 50229) ||
                       codePage == 52936 || (codePage >= 57002 && codePage <= 57011);
  if (noFlags) return {0, false};
  return {kNoBestFitChars, true};
}

std::string FromProgramOutput(std::string_view bytes) {
  std::string text;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const std::string_view line = bytes.substr(0, end == std::string_view::npos ? bytes.size() : end + 1);
    bool ascii = true;
    for (unsigned char byte : line) ascii = ascii && byte < 0x80;
    text += !ascii && IsUtf8(line) ? std::string(line) : FromConsoleCodePage(line);
    bytes.remove_prefix(line.size());
  }
  return text;
}

}  // namespace tellurix
