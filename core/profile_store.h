// Reading and writing single keys of INI files (the control panel's own
// Tellurix.ini, and the stack's php.ini and my.ini) by the rules of the Windows
// profile functions, but on bytes: a write changes the one line it writes and
// leaves every other byte of the file as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"

namespace tellurix {

// The rules on a file's bytes, without I/O. Names and values are bytes in the
// file's encoding.
namespace ini {

// The value of the first `key` in the first section `section` (names compared
// without regard to ASCII letter case); blanks around it and one pair of
// matching quotes are removed. nullopt when there is no such key.
std::optional<std::string> Lookup(std::string_view file, std::string_view section, std::string_view key);

// The file with `key` set to `value` in `section`: the key's line replaced, or a
// line added after the section's last key, or the section appended.
std::string Assign(std::string_view file, std::string_view section, std::string_view key, std::string_view value);

// Why a name or value cannot be written without breaking the file's structure;
// nullopt when it can.
std::optional<std::string> CheckArguments(std::string_view section, std::string_view key, std::string_view value);

}  // namespace ini

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// A file argument made absolute: used unchanged when it is absolute (its second
// and third characters are ":\", or natively it starts with "/"), else joined
// to the program directory with a separator, and every doubled separator made
// single (one pass from the left), so that a program directory at a drive root
// and an argument that starts with a separator come out right.
std::string ResolveProfilePath(std::string_view programDirectory, std::string_view file,
                               char separator = kPathSeparator);

// Reads and writes by full path, names and values in UTF-8. A missing file,
// section or key reads as nullopt.
Result<std::optional<std::string>> ReadIniValue(const std::string& path, std::string_view section, std::string_view key);
Result<Done> WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value);

// The program's two procedures, with `file` resolved against ProgramDirectory().
// GetIniValue gives `fallback` for a missing file, section or key and for a
// file it cannot read, and drops the value's leading spaces.
std::string GetIniValue(std::string_view section, std::string_view key, std::string_view fallback,
                        std::string_view file);
Result<Done> SetIniValue(std::string_view section, std::string_view key, std::string_view value,
                         std::string_view file);

}  // namespace tellurix
