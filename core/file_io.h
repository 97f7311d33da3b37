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

// The last step of a write replaces the file with the temporary one. When that
// fails, what is left on disk decides, not the system's error code alone: with
// ERROR_UNABLE_TO_MOVE_REPLACEMENT (1176) the old file has already been removed,
// with ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 (1177) it has been moved to another
// name, and in both the temporary file is the only copy of the content. So:
// the old file still there, unchanged: the temporary file is dropped; the old
// file gone: the temporary file is moved into place; something else under the
// file's name: the temporary file is kept, and the user is told where it is.
enum class TargetAfterFailedReplace { Unchanged, Missing, Changed };
enum class AfterFailedReplace { DeleteTemporary, MoveTemporaryIntoPlace, KeepTemporary };
AfterFailedReplace RecoveryAfterFailedReplace(TargetAfterFailedReplace target);

#ifdef _WIN32
// The replace step (ReplaceFileW), replaceable by tests that inject its
// documented failures; nullptr puts the system's back.
using ReplaceFileStep = int (*)(const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup);
void SetReplaceFileStepForTesting(ReplaceFileStep step);
#endif

// Whether the path names an existing folder.
bool IsFolder(const std::string& path);

// The folder that holds the running program, without a trailing separator
// (UTF-8). The stack's files are found below it.
std::string ProgramDirectory();

}  // namespace tellurix
