// Errors as values: every file operation says what failed and where, and the
// caller decides what the user is told.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tellurix {

enum class ErrorKind {
  NotFound,        // the file or its folder does not exist
  AccessDenied,    // read-only, locked by another program, or not permitted
  DiskFull,
  BadEncoding,     // a text that the file's code page cannot hold, or a UTF-16 file
  InvalidArgument, // a name or value that would break the file's structure
  Other,
};

struct Error {
  ErrorKind kind = ErrorKind::Other;
  std::string path;    // the file concerned (UTF-8), empty when none
  std::string detail;  // for logs and the command-line tool, in English
  std::string keptAt{};  // where the new content was left when it could not take the file's place
};

// A value or the error that prevented it.
template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  Result(Error error) : error_(std::move(error)) {}  // NOLINT(google-explicit-constructor)
  explicit operator bool() const { return value_.has_value(); }
  const T& value() const { return *value_; }
  T& value() { return *value_; }
  const T& operator*() const { return *value_; }
  const Error& error() const { return error_; }

 private:
  std::optional<T> value_;
  Error error_;
};

struct Done {};  // the value of an operation that only succeeds or fails

}  // namespace tellurix
