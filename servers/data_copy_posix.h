// The copy's file system on POSIX systems, for the native tests: real files,
// streamed through a buffer of a fixed size (one for each copy, so that
// several can run at once), the mode bits standing for the attributes
// (a file without write permission is the read-only file).
#pragma once

#include <cstddef>

#include "servers/data_copy.h"

namespace tellurix {

class PosixCopyFileSystem : public CopyFileSystem {
 public:
  // `chunk`: the bytes read and written at a time, one progress call each.
  explicit PosixCopyFileSystem(std::size_t chunk = 256 * 1024) : chunk_(chunk) {}
  char Separator() const override { return '/'; }
  std::optional<Failure> List(const std::string& folder, std::vector<Item>& items) override;
  std::optional<Failure> MakeFolder(const std::string& path) override;
  Copied CopyFile(const std::string& from, const std::string& to, const FileProgress& progress,
                  const std::atomic<bool>& cancel, Failure& failure) override;
  std::optional<Failure> RemoveFile(const std::string& path) override;
  std::optional<Failure> RemoveFolder(const std::string& path) override;

 private:
  std::size_t chunk_;
};

}  // namespace tellurix
