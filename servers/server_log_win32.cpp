#include <windows.h>

#include "servers/server_log.h"

#include "core/file_io.h"
#include "core/profile_store.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"

namespace tellurix {

std::optional<std::uint64_t> LogSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

namespace {

// The most recently written *.err of the folder; empty when there is none.
std::string NewestErrFile(const std::string& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(Widen(folder + "\\*.err").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::wstring newest;
  FILETIME newestTime{};
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (newest.empty() || CompareFileTime(&found.ftLastWriteTime, &newestTime) > 0)) {
      newest = found.cFileName;
      newestTime = found.ftLastWriteTime;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return newest.empty() ? std::string() : folder + "\\" + Narrow(newest);
}

}  // namespace

std::string ErrorLogOf(Service service) {
  const std::string home = ProgramDirectory();
  if (service == Service::Apache2) {
    const Result<std::string> conf = ReadFileBytes(home + "\\Apache2\\conf\\httpd.conf");
    return ApacheErrorLog(home, conf ? LogText(*conf, false) : std::string()).value_or(std::string());
  }
  const std::string myIni = home + "\\MySQL\\my.ini";
  const std::string data = MySQLDataFolderOf(home);
  for (const char* key : {"log-error", "log_error"}) {
    const auto value = ReadIniValue(myIni, "mysqld", key);
    if (value && *value) {
      if (auto path = MySQLConfiguredErrorLog(data, **value)) return *path;
    }
  }
  // The host name as the server reads it, not the upper-case NetBIOS name.
  wchar_t host[256] = {};
  DWORD length = 256;
  const std::string named = MySQLDefaultErrorLog(
      data, GetComputerNameExW(ComputerNameDnsHostname, host, &length) ? Narrow(host) : std::string());
  if (LogSize(named)) return named;
  const std::string newest = NewestErrFile(data);
  return newest.empty() ? named : newest;
}

std::string MySQLDataFolderOf(const std::string& programDirectory) {
  const auto datadir = ReadIniValue(programDirectory + "\\MySQL\\my.ini", "mysqld", "datadir");
  return MySQLDataFolder(programDirectory, datadir && *datadir ? **datadir : std::string());
}

std::string NewLogText(const std::string& path, std::optional<std::uint64_t> size) {
  const std::optional<std::uint64_t> now = path.empty() ? std::nullopt : LogSize(path);
  if (!now) return {};
  const LogSpan span = NewLogSpan(size, *now);
  if (span.length == 0) return {};
  // The server may still hold its log open for writing.
  HANDLE opened = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  UniqueKernelHandle file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
  LARGE_INTEGER offset{};
  offset.QuadPart = static_cast<LONGLONG>(span.offset);
  if (!file || !SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN)) return {};
  std::string bytes(static_cast<size_t>(span.length), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return {};
  bytes.resize(got);
  return LogText(bytes, span.cut);
}

}  // namespace tellurix
