// The directive rewriter on any bytes: nothing crashes; Qualifies follows the rule (after spaces only, the exact
// name, then a space, a tab or the end of the line); the rewrite is exactly the file with each qualifying line
// replaced, the byte-order mark kept, and every line ended as the file's lines are (LF in an LF-only file, else
// CR LF); rewriting the result changes nothing.
#include <string>

#include "core/directive_rewriter.h"
#include "tests/fuzz/fuzz_lines.h"

namespace directive = tellurix::directive;

const std::string_view kNames[] = {"Listen", "L", "ServerName", "DocumentRoot", "\xB0\x41", "Listen\xA1", "#Listen"};
const std::string_view kValues[] = {"8080", "", "\"D:/www\"", "a b", "\xFF", "Listen 80", "\t"};

bool IsDirective(std::string_view text, std::string_view name) {
  const size_t start = std::min(text.find_first_not_of(' '), text.size()), end = start + name.size();
  return text.compare(start, name.size(), name) == 0 && (end == text.size() || text[end] == ' ' || text[end] == '\t');
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string file(reinterpret_cast<const char*>(data) + 2, size - 2), name(Pick(data[0], kNames));
  const std::string line = name + " " + std::string(Pick(data[1], kValues));
  const bool bom = file.compare(0, kBom.size(), kBom) == 0;
  const std::string_view body = std::string_view(file).substr(bom ? kBom.size() : 0);
  const bool lfOnly = body.find('\n') != std::string_view::npos && body.find('\r') == std::string_view::npos;
  std::string expected(bom ? kBom : "");
  int replaced = 0;
  for (std::string_view text : Texts(body)) {
    const bool is = IsDirective(text, name);
    CHECK(directive::Qualifies(text, name) == is);
    replaced += is;
    expected.append(is ? line : std::string(text)).append(lfOnly ? "\n" : "\r\n");
  }
  const directive::Rewrite once = directive::Apply(file, name, line);
  CHECK(once.bytes == expected && once.replaced == replaced);
  const directive::Rewrite twice = directive::Apply(once.bytes, name, line);
  CHECK(twice.bytes == once.bytes && twice.replaced == once.replaced);
  return 0;
}
