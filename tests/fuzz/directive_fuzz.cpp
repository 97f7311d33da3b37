// The directive rewriter on any bytes, under the sanitizers: nothing crashes, and the rewrite keeps the file's
// shape. The byte-order mark stays; there are as many lines as before; a line that is not the directive keeps its
// bytes and one that is becomes the new line, and the count of replaced lines is the count of those; every line
// ends in one and the same break, LF alone in a file that used LF alone; rewriting the result changes nothing.
#include <algorithm>
#include <string>

#include "core/directive_rewriter.h"
#include "tests/fuzz/fuzz_lines.h"

namespace directive = tellurix::directive;

const std::string_view kNames[] = {"Listen", "L", "ServerName", "DocumentRoot", "\xB0\x41", "Listen\xA1", "#Listen"};
const std::string_view kValues[] = {"8080", "", "\"D:/www\"", "a b", "\xFF", "Listen 80", "\t"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string file(reinterpret_cast<const char*>(data) + 2, size - 2), name(Pick(data[0], kNames));
  const std::string line = name + " " + std::string(Pick(data[1], kValues));
  const bool bom = file.compare(0, kBom.size(), kBom) == 0;
  const directive::Rewrite once = directive::Apply(file, name, line);
  CHECK((once.bytes.compare(0, kBom.size(), kBom) == 0) == bom);

  const std::string_view body = std::string_view(file).substr(bom ? kBom.size() : 0);
  const std::string_view out = std::string_view(once.bytes).substr(bom ? kBom.size() : 0);
  const auto before = Texts(body), after = Texts(out);
  CHECK(after.size() == before.size());
  int qualifying = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    const bool is = directive::Qualifies(before[i], name);
    CHECK(after[i] == (is ? std::string_view(line) : before[i]));
    qualifying += is;
  }
  CHECK(once.replaced == qualifying);

  // One break after every line: either LF throughout or CR LF throughout.
  size_t lfs = 0, crlfs = 0;
  for (size_t at = out.find('\n'); at != std::string_view::npos; at = out.find('\n', at + 1)) {
    ++lfs;
    crlfs += at > 0 && out[at - 1] == '\r';
  }
  const size_t crs = static_cast<size_t>(std::count(out.begin(), out.end(), '\r'));
  CHECK(lfs == after.size() && (crlfs == 0 || crlfs == lfs) && crs == crlfs);
  // A file that breaks its lines with LF alone keeps doing so.
  if (body.find('\n') != std::string_view::npos && body.find('\r') == std::string_view::npos) CHECK(crs == 0);

  const directive::Rewrite twice = directive::Apply(once.bytes, name, line);
  CHECK(twice.bytes == once.bytes && twice.replaced == once.replaced);
  return 0;
}
