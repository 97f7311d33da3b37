#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "core/file_io.h"

namespace tellurix {

namespace {

Error FromErrno(int code, const std::string& path) {
  ErrorKind kind = ErrorKind::Other;
  switch (code) {
    case ENOENT: case ENOTDIR: kind = ErrorKind::NotFound; break;
    case EACCES: case EPERM: case EROFS: case ETXTBSY: kind = ErrorKind::AccessDenied; break;
    case ENOSPC: case EDQUOT: kind = ErrorKind::DiskFull; break;
    default: break;
  }
  return {kind, path, std::strerror(code)};
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

Result<std::string> ReadFileBytes(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno, path);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof(buffer));
    if (got < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      ::close(fd);
      return FromErrno(code, path);
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return bytes;
}

Result<Done> WriteFileAtomically(const std::string& path, std::string_view bytes) {
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  // A file without write permission counts as read-only even for root, as the
  // read-only attribute does on Windows.
  if (exists && (old.st_mode & S_IWUSR) == 0) return Error{ErrorKind::AccessDenied, path, "file is read-only"};

  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string temp = folder + ".tellurix-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return FromErrno(errno, path);
  temp = name.data();
  const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~[] { mode_t m = ::umask(0); ::umask(m); return m; }());
  if (!WriteAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
    const int code = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return FromErrno(code, path);
  }
  ::close(fd);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    return FromErrno(code, path);
  }
  return Done{};
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ProgramDirectory() {
  char buffer[4096];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/'));
}

}  // namespace tellurix
