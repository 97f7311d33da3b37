#include "core/directive_rewriter.h"

#include "core/file_io.h"
#include "core/text_lines.h"

namespace tellurix {

namespace directive {

bool Qualifies(std::string_view line, std::string_view name) {
  // Only spaces may stand before the name; a tab or "#" keeps the line as it is.
  const size_t start = line.find_first_not_of(' ');
  if (start == std::string_view::npos || line.substr(start, name.size()) != name) return false;
  // The name must end there: "ListenBacklog" is another directive than "Listen".
  const size_t after = start + name.size();
  return after == line.size() || line[after] == ' ' || line[after] == '\t';
}

Rewrite Apply(std::string_view file, std::string_view name, std::string_view line) {
  const std::string_view bom = StartsWithUtf8Bom(file) ? kUtf8Bom : std::string_view();
  const std::string_view body = file.substr(bom.size());
  const std::string_view lineBreak = PreferredBreak(body);
  Rewrite rewrite;
  rewrite.bytes.reserve(file.size() + line.size() + 16);
  rewrite.bytes.append(bom);
  for (const TextLine& current : SplitLines(body)) {
    if (Qualifies(current.text, name)) {
      rewrite.bytes.append(line);
      ++rewrite.replaced;
    } else {
      rewrite.bytes.append(current.text);
    }
    rewrite.bytes.append(lineBreak);
  }
  return rewrite;
}

}  // namespace directive

Result<int> ReplaceConfigDirective(const std::string& path, std::string_view name, std::string_view value) {
  auto hasBreak = [](std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; };
  if (name.empty() || name.find_first_of(" \t") != std::string_view::npos || hasBreak(name) || hasBreak(value))
    return Error{ErrorKind::InvalidArgument, path, "directive name or value is not a single line"};
  // Apache on Windows takes every file name in its configuration as UTF-8 and
  // hands it to the wide functions: a folder written in the ANSI code page names
  // a folder that does not exist. So the new line is UTF-8, whatever the file's
  // other lines are written in; they keep their bytes.
  if (!IsUtf8(name) || !IsUtf8(value))
    return Error{ErrorKind::BadEncoding, path, "directive name or value is not UTF-8"};
  auto bytes = ReadFileBytes(path);
  if (!bytes) return bytes.error();
  if (LooksLikeUtf16(*bytes)) return Error{ErrorKind::BadEncoding, path, "UTF-16 files are not supported"};

  directive::Rewrite rewrite = directive::Apply(*bytes, name, std::string(name) + " " + std::string(value));
  // With nothing to replace the file stays exactly as it was.
  if (rewrite.replaced == 0) return 0;
  if (auto written = WriteFileAtomically(path, rewrite.bytes); !written) return written.error();
  return rewrite.replaced;
}

}  // namespace tellurix
