// Setting a directive in a line-oriented configuration file such as httpd.conf:
// every line that is the directive (after optional spaces, the name followed by a
// space, a tab or the end of the line) becomes the name, one space and the value.
#pragma once

#include <string>
#include <string_view>

#include "core/result.h"

namespace tellurix {

namespace directive {

struct Rewrite {
  std::string bytes;
  int replaced = 0;
};

// The rewrite of a file's bytes; `line` is the whole new line (name, one space,
// value) as it is to be written. Lines end as the file's lines do: LF throughout
// in a file that uses LF throughout, else CR LF, the last line included.
Rewrite Apply(std::string_view file, std::string_view name, std::string_view line);

// Whether one line of text is the directive `name`.
bool Qualifies(std::string_view line, std::string_view name);

}  // namespace directive

// Rewrites the file at `path` (UTF-8) and returns how many lines it replaced. The
// new line is written in UTF-8, the encoding Apache reads file names in; every
// other line keeps its bytes, and a byte-order mark stays. A file with no such
// directive is left as it is (0 lines); nothing is added. A missing or
// unreadable file is reported, never created.
Result<int> ReplaceConfigDirective(const std::string& path, std::string_view name, std::string_view value);

}  // namespace tellurix
