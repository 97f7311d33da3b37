#include "servers/data_copy_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace tellurix {

namespace {

CopyFileSystem::Failure Why(const std::string& path, int code) { return {path, std::strerror(code)}; }

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

std::optional<CopyFileSystem::Failure> PosixCopyFileSystem::List(const std::string& folder, std::vector<Item>& items) {
  items.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return Why(folder, errno);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat status {};
    if (::stat((folder + "/" + name).c_str(), &status) != 0) {
      const int code = errno;
      ::closedir(dir);
      return Why(folder + "/" + name, code);
    }
    const bool folderEntry = S_ISDIR(status.st_mode);
    items.push_back({name, folderEntry, folderEntry ? 0 : static_cast<std::uint64_t>(status.st_size)});
  }
  ::closedir(dir);
  return std::nullopt;
}

std::optional<CopyFileSystem::Failure> PosixCopyFileSystem::MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) return Why(path, errno);
  return std::nullopt;
}

CopyFileSystem::Copied PosixCopyFileSystem::CopyFile(const std::string& from, const std::string& to,
                                                     const FileProgress& progress, const std::atomic<bool>& cancel,
                                                     Failure& failure) {
  Descriptor source, target;
  source.fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (source.fd < 0 || ::fstat(source.fd, &status) != 0) return failure = Why(from, errno), Copied::Failed;
  target.fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (target.fd < 0) return failure = Why(to, errno), Copied::Failed;
  std::vector<char> buffer(chunk_);
  std::uint64_t copied = 0;
  for (;;) {
    if (cancel) return Copied::Cancelled;
    const ssize_t got = ::read(source.fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return failure = Why(from, errno), Copied::Failed;
    }
    if (got == 0) break;
    if (!WriteAll(target.fd, buffer.data(), static_cast<size_t>(got))) return failure = Why(to, errno), Copied::Failed;
    copied += static_cast<std::uint64_t>(got);
    if (progress) progress(copied);
  }
  // The attributes last: a read-only file is written first, then made read-only.
  if (::fchmod(target.fd, status.st_mode & 07777) != 0) return failure = Why(to, errno), Copied::Failed;
  return Copied::Done;
}

std::optional<CopyFileSystem::Failure> PosixCopyFileSystem::RemoveFile(const std::string& path) {
  // The read-only mark goes first, as a read-only file on Windows needs.
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? std::nullopt : std::optional(Why(path, errno));
  if (!(status.st_mode & S_IWUSR)) ::chmod(path.c_str(), (status.st_mode & 07777) | S_IWUSR);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Why(path, errno);
  return std::nullopt;
}

std::optional<CopyFileSystem::Failure> PosixCopyFileSystem::RemoveFolder(const std::string& path) {
  if (::rmdir(path.c_str()) != 0 && errno != ENOENT) return Why(path, errno);
  return std::nullopt;
}

}  // namespace tellurix
