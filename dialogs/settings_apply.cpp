#include "dialogs/settings_apply.h"

#include "core/directive_rewriter.h"
#include "core/profile_store.h"
#include "resources/texts.h"

namespace tellurix {

ApplyOutcome ApplyChanges(const std::string& profilePath, std::string_view profileSection,
                          const std::vector<FieldChange>& changes) {
  ApplyOutcome outcome;
  for (const FieldChange& change : changes) {
    if (auto stored = WriteIniValue(profilePath, profileSection, change.profileKey, change.value); !stored) {
      outcome.failure = stored.error();
      return outcome;
    }
    outcome.written = true;
    for (const StackWrite& write : change.writes) {
      if (write.kind == StackWrite::Kind::IniEntry) {
        if (auto done = WriteIniValue(write.file, write.section, write.key, write.value); !done) {
          outcome.failure = done.error();
          return outcome;
        }
        continue;
      }
      auto replaced = ReplaceConfigDirective(write.file, write.key, write.value);
      if (!replaced) {
        outcome.failure = replaced.error();
        return outcome;
      }
      if (*replaced == 0) outcome.missingDirectives.push_back(write.key);
    }
  }
  return outcome;
}

Conclusion Conclude(const ApplyOutcome& outcome, std::string_view successMessage) {
  if (outcome.failure) return {CannotWriteMessage(*outcome.failure), false};
  if (!outcome.missingDirectives.empty()) {
    std::string names;
    for (const std::string& name : outcome.missingDirectives) names += (names.empty() ? "" : "、") + name;
    return {std::string(text::kDirectivesMissingBefore) + names + text::kDirectivesMissingAfter, true};
  }
  if (outcome.written) return {std::string(successMessage), true};
  return {std::nullopt, true};
}

std::string CannotWriteMessage(const Error& error) {
  std::string_view reason = text::kWriteFailedOther;
  switch (error.kind) {
    case ErrorKind::NotFound: reason = text::kWriteFailedNotFound; break;
    case ErrorKind::AccessDenied: reason = text::kWriteFailedAccessDenied; break;
    case ErrorKind::DiskFull: reason = text::kWriteFailedDiskFull; break;
    case ErrorKind::BadEncoding: reason = text::kWriteFailedEncoding; break;
    case ErrorKind::InvalidArgument: reason = text::kWriteFailedInvalid; break;
    case ErrorKind::Other: break;
  }
  std::string message = std::string(text::kWriteFailedBefore) + error.path + text::kWriteFailedMiddle +
                        std::string(reason) + text::kWriteFailedAfter;
  if (!error.keptAt.empty()) message += text::kWriteKeptAtBefore + error.keptAt + text::kWriteKeptAtAfter;
  return message;
}

std::string StackPath(std::string_view programDirectory, std::string_view relative) {
  std::string path = std::string(programDirectory) + std::string(relative);
  if (kPathSeparator != '\\') {
    for (char& c : path) {
      if (c == '\\') c = kPathSeparator;
    }
  }
  return path;
}

}  // namespace tellurix
