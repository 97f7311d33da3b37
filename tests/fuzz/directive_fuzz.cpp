// Fuzz target for the directive rewriter on bytes (directive::Apply and
// directive::Qualifies).
//
// Input: two selector bytes for the directive's name and value, then the file's
// bytes. A selector picks from a small table, or takes the first word of a line
// of the file itself, so that the name often occurs in the file.
//
// Invariants, each a trap when broken:
//   - nothing crashes (the sanitizers watch the memory);
//   - Qualifies agrees, line by line, with the rule written out here: after
//     optional spaces only, the exact name, then a space, a tab or the end;
//   - the count of replaced lines equals the number of qualifying lines;
//   - the result is exactly: the byte-order mark if any, then every line, the
//     qualifying ones replaced by the new line, each followed by LF in a file
//     that uses LF throughout, else by CR LF;
//   - applying the same rewrite to the result gives the same bytes and the
//     same count (for names that do not start with the byte-order mark's bytes).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/directive_rewriter.h"

namespace {

namespace directive = tellurix::directive;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

#define CHECK(condition)                 \
  do {                                   \
    if (!(condition)) __builtin_trap();  \
  } while (0)

// The texts of the lines, without their breaks (CR LF, LF or a lone CR).
std::vector<std::string_view> Texts(std::string_view bytes) {
  std::vector<std::string_view> texts;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t end = i;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    texts.push_back(bytes.substr(i, end - i));
    if (end == bytes.size()) break;
    i = end + ((bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1);
  }
  return texts;
}

bool IsDirective(std::string_view text, std::string_view name) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (text.size() - i < name.size() || text.compare(i, name.size(), name) != 0) return false;
  i += name.size();
  return i == text.size() || text[i] == ' ' || text[i] == '\t';
}

const std::string_view kNames[] = {
    "Listen", "ServerName", "ServerAdmin", "DocumentRoot", "DirectoryIndex", "L", "Listen\xA1",
    "\xB0\x41", "#Listen", "<Directory", "\xEF\xBB\xBF", "x",
};
const std::string_view kValues[] = {
    "8080", "", "\"D:/www\"", "a b", "\t", "Listen 80", "#", "\xB0\x41", "\xFF", " ", "\xEF\xBB\xBF",
};

// The first word of the `index`-th line: after the leading spaces, up to the
// next space or tab.
std::string FirstWord(std::string_view file, size_t index) {
  const std::vector<std::string_view> texts = Texts(file);
  if (texts.empty()) return "x";
  std::string_view text = texts[index % texts.size()];
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return std::string(text.substr(0, text.find_first_of(" \t")));
}

// The rewrite written out from the rule, checking Qualifies line by line on the way.
struct Expected {
  std::string bytes;
  int replaced = 0;
};

Expected Rewrite(std::string_view file, std::string_view name, std::string_view line) {
  const bool bom = file.compare(0, kBom.size(), kBom) == 0;
  const std::string_view body = file.substr(bom ? kBom.size() : 0);
  const bool lfOnly = body.find('\n') != std::string_view::npos && body.find('\r') == std::string_view::npos;
  const std::string_view brk = lfOnly ? "\n" : "\r\n";
  Expected expected;
  expected.bytes.append(bom ? kBom : std::string_view());
  for (std::string_view text : Texts(body)) {
    const bool is = IsDirective(text, name);
    CHECK(directive::Qualifies(text, name) == is);
    expected.replaced += is ? 1 : 0;
    expected.bytes.append(is ? line : text);
    expected.bytes.append(brk);
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string file(reinterpret_cast<const char*>(data) + 2, size - 2);
  constexpr size_t kNameCount = sizeof(kNames) / sizeof(kNames[0]);
  constexpr size_t kValueCount = sizeof(kValues) / sizeof(kValues[0]);
  const std::string name = data[0] < kNameCount ? std::string(kNames[data[0]]) : FirstWord(file, data[0] - kNameCount);
  const std::string value =
      data[1] < kValueCount ? std::string(kValues[data[1]]) : FirstWord(file, data[1] - kValueCount);
  // The arguments that ReplaceConfigDirective accepts: a name without blanks and
  // a value on one line.
  if (name.empty() || name.find_first_of(" \t\r\n") != std::string::npos) return 0;
  if (value.find_first_of("\r\n") != std::string::npos) return 0;
  const std::string line = name + " " + value;

  const Expected expected = Rewrite(file, name, line);
  const directive::Rewrite once = directive::Apply(file, name, line);
  CHECK(once.replaced == expected.replaced);
  CHECK(once.bytes == expected.bytes);

  // A name that starts with the bytes of the byte-order mark can make a file
  // without the mark start with them (its indented first line replaced), and a
  // second pass then reads them as the mark. No directive's name starts so; the
  // repeat check leaves such names out.
  if (name.compare(0, kBom.size(), kBom) == 0) return 0;
  const directive::Rewrite twice = directive::Apply(once.bytes, name, line);
  CHECK(twice.bytes == once.bytes);
  CHECK(twice.replaced == once.replaced);
  return 0;
}
