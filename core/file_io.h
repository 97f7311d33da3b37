// Whole-file reads and writes. A write never leaves a half-written file: the new
// content goes to a temporary file in the same folder, which then replaces the
// old one (keeping its attributes). A read-only file is refused, not replaced.
#pragma once

#include <string>
#include <string_view>

#include "core/result.h"

namespace tellurix {

// Paths are UTF-8.
Result<std::string> ReadFileBytes(const std::string& path);
Result<Done> WriteFileAtomically(const std::string& path, std::string_view bytes);

// Whether the path names an existing folder.
bool IsFolder(const std::string& path);

// The folder that holds the running program, without a trailing separator
// (UTF-8). The stack's files are found below it.
std::string ProgramDirectory();

}  // namespace tellurix
