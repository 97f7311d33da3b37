#include "ui/launch_plan.h"

namespace tellurix {

std::string QuotedPath(std::string_view path) {
  if (path.find(' ') == std::string_view::npos) return std::string(path);
  // Backslashes before the closing quote are doubled, or the quote would be
  // taken as part of the argument.
  std::string quoted = "\"" + std::string(path);
  for (size_t i = path.size(); i > 0 && path[i - 1] == '\\'; --i) quoted += '\\';
  return quoted + "\"";
}

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) return std::string(argument);
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only before a quote; there they are doubled
    // and one more escapes the quote itself.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote as well.
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

}  // namespace tellurix
