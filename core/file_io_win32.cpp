#include <windows.h>

#include "core/file_io.h"

namespace tellurix {

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

Error FromLastError(const std::string& path) {
  const DWORD code = GetLastError();
  ErrorKind kind = ErrorKind::Other;
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_DIRECTORY: kind = ErrorKind::NotFound; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: kind = ErrorKind::AccessDenied; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: kind = ErrorKind::DiskFull; break;
    default: break;
  }
  return {kind, path, "Windows error " + std::to_string(code)};
}

// The old file's name while ReplaceFileW swaps the new content in.
constexpr wchar_t kBackupSuffix[] = L".tellurix-old";

bool OpenableForDelete(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

int SystemReplaceFile(const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup) {
  return ReplaceFileW(replaced, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
}
ReplaceFileStep replaceFileStep = SystemReplaceFile;

}  // namespace

void SetReplaceFileStepForTesting(ReplaceFileStep step) { replaceFileStep = step ? step : SystemReplaceFile; }

Result<std::string> ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FromLastError(path);
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) {
      Error error = FromLastError(path);
      CloseHandle(file);
      return error;
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return bytes;
}

constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

namespace {

// What the failed replace left under the file's name, measured against how the
// file was before the write.
TargetAfterFailedReplace TargetNow(const std::wstring& target, const WIN32_FILE_ATTRIBUTE_DATA& before) {
  WIN32_FILE_ATTRIBUTE_DATA now{};
  if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &now)) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TargetAfterFailedReplace::Missing
                                                                        : TargetAfterFailedReplace::Changed;
  }
  const bool same = !(now.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && now.nFileSizeHigh == before.nFileSizeHigh &&
                    now.nFileSizeLow == before.nFileSizeLow &&
                    CompareFileTime(&now.ftLastWriteTime, &before.ftLastWriteTime) == 0;
  return same ? TargetAfterFailedReplace::Unchanged : TargetAfterFailedReplace::Changed;
}

}  // namespace

Result<Done> WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::wstring target = Wide(path);
  WIN32_FILE_ATTRIBUTE_DATA before{};
  const bool exists = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &before) != FALSE;
  const DWORD attributes = before.dwFileAttributes;
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
    return Error{ErrorKind::AccessDenied, path, "file is read-only"};

  const size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash);
  wchar_t temp[MAX_PATH + 16];
  if (!GetTempFileNameW(folder.c_str(), L"tlx", 0, temp)) return FromLastError(path);

  HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Error error = FromLastError(path);
    DeleteFileW(temp);
    return error;
  }
  bool ok = true;
  while (ok && !bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(bytes.size() > (1u << 30) ? (1u << 30) : bytes.size());
    ok = WriteFile(file, bytes.data(), chunk, &written, nullptr) != FALSE;
    bytes.remove_prefix(written);
  }
  ok = ok && FlushFileBuffers(file);
  Error error = ok ? Error{} : FromLastError(path);
  CloseHandle(file);
  if (!ok) {
    DeleteFileW(temp);
    return error;
  }
  // A file that another program holds open without letting it be deleted cannot
  // be replaced; that is asked first, because Wine's ReplaceFileW, failing on
  // such a file, leaves an empty temporary file of its own in the folder.
  if (exists && !OpenableForDelete(target)) {
    error = FromLastError(path);
    DeleteFileW(temp);
    return error;
  }
  // The new file takes the old one's attributes (hidden, archive, ...); ReplaceFile
  // also keeps its security and creation time, but not every implementation of it
  // keeps the attributes.
  if (exists) SetFileAttributesW(temp, attributes & kKeptAttributes);
  auto moveIntoPlace = [&] {
    return MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  };
  // With a backup name every failure leaves the old file under a name the panel
  // knows: 1176 leaves both files as they were, 1177 the old one as the backup.
  // The backup is the old content, deleted once the new content is in place.
  const std::wstring backup = target + kBackupSuffix;
  if (exists ? replaceFileStep(target.c_str(), temp, backup.c_str()) : moveIntoPlace()) {
    if (exists) DeleteFileW(backup.c_str());
    return Done{};
  }
  error = FromLastError(path);
  if (!exists) {
    DeleteFileW(temp);
    return error;
  }
  switch (RecoveryAfterFailedReplace(TargetNow(target, before))) {
    case AfterFailedReplace::DeleteTemporary:
      DeleteFileW(temp);
      return error;
    case AfterFailedReplace::MoveTemporaryIntoPlace:
      if (moveIntoPlace()) {
        DeleteFileW(backup.c_str());
        return Done{};
      }
      error = FromLastError(path);
      break;
    case AfterFailedReplace::KeepTemporary: break;
  }
  error.keptAt = Utf8(temp);
  return error;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ProgramDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return Utf8(path.substr(0, path.find_last_of(L'\\')));
}

}  // namespace tellurix
