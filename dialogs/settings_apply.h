// What the settings dialogs share once a confirmation has passed its checks:
// writing each changed value (profile first, then the stack's file), stopping at
// the first write that fails, and the message the user sees afterwards.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace tellurix {

// One write into one of the stack's files.
struct StackWrite {
  enum class Kind { Directive, IniEntry };
  Kind kind;
  std::string file;     // full path, UTF-8
  std::string section;  // IniEntry only
  std::string key;      // directive name or entry key
  std::string value;
};

// A field whose text differs from what the dialog loaded.
struct FieldChange {
  std::string profileKey;
  std::string value;
  std::vector<StackWrite> writes;  // after the profile, in this order
};

struct ApplyOutcome {
  bool written = false;                        // at least one value reached its files
  std::optional<Error> failure;                // the write that failed; nothing after it was tried
  std::vector<std::string> missingDirectives;  // changed directives that had no line in their file
};

// Writes the changes in order into the profile (section `profileSection` of the
// file at `profilePath`) and the stack's files.
ApplyOutcome ApplyChanges(const std::string& profilePath, std::string_view profileSection,
                          const std::vector<FieldChange>& changes);

// What the dialog does after applying: the message to show (if any), and whether
// it closes. A failed write keeps the dialog open so that nothing typed is lost.
struct Conclusion {
  std::optional<std::string> message;
  bool close;
};
Conclusion Conclude(const ApplyOutcome& outcome, std::string_view successMessage);

// The Chinese message for a file that could not be written.
std::string CannotWriteMessage(const Error& error);

// The stack's files below the program directory.
std::string StackPath(std::string_view programDirectory, std::string_view relative);

// The profile's file name, resolved against the program directory.
inline constexpr char kProfileFileName[] = "Tellurix.ini";

}  // namespace tellurix
