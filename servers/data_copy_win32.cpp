#include "servers/data_copy_win32.h"

#include "core/file_io.h"
#include "core/process_probe.h"
#include "servers/server_log.h"
#include "servers/service_system.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"

namespace tellurix {

std::string SystemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring words(buffer ? buffer : L"", length);
  if (buffer) LocalFree(buffer);
  while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ' ||
                            words.back() == L'.' || words.back() == L'\x3002')) {
    words.pop_back();
  }
  if (words.empty()) return std::to_string(code);
  return Narrow(words);
}

std::wstring ApiPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // The prefix turns off the system's own clean-up of a path: the full form first.
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed) {
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written && written < needed) wide.assign(full.c_str(), written);
  }
  if (wide.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
  return L"\\\\?\\" + wide;
}

namespace {

std::atomic<CopyFileStep> g_copyFile{nullptr};

using Failure = CopyFileSystem::Failure;

Failure Why(const std::string& path, DWORD code) { return {path, SystemErrorText(code)}; }

bool Gone(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

struct FindTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};

// What CopyFileExW's progress routine needs of the copy.
struct FileCopy {
  const CopyFileSystem::FileProgress* progress;
  const std::atomic<bool>* cancel;
};

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                            HANDLE, HANDLE, LPVOID data) {
  const auto* copy = static_cast<const FileCopy*>(data);
  if (*copy->progress) (*copy->progress)(static_cast<std::uint64_t>(transferred.QuadPart));
  // Cancelling deletes the file begun (CopyFileExW, PROGRESS_CANCEL).
  return *copy->cancel ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

}  // namespace

void SetCopyFileStepForTesting(CopyFileStep step) { g_copyFile = step; }

std::optional<Failure> Win32CopyFileSystem::List(const std::string& folder, std::vector<Item>& items) {
  items.clear();
  WIN32_FIND_DATAW found{};
  // No short names, and the entries fetched in larger batches.
  UniqueHandle<FindTraits> find(FindFirstFileExW(ApiPath(folder + "\\*").c_str(), FindExInfoBasic, &found,
                                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? std::nullopt : std::optional(Why(folder, code));
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool folderEntry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    items.push_back({Narrow(name), folderEntry, folderEntry ? 0 : size});
  } while (FindNextFileW(find.get(), &found));
  const DWORD code = GetLastError();
  if (code != ERROR_NO_MORE_FILES) return Why(folder, code);
  return std::nullopt;
}

std::optional<Failure> Win32CopyFileSystem::MakeFolder(const std::string& path) {
  if (!CreateDirectoryW(ApiPath(path).c_str(), nullptr)) return Why(path, GetLastError());
  return std::nullopt;
}

CopyFileSystem::Copied Win32CopyFileSystem::CopyFile(const std::string& from, const std::string& to,
                                                     const FileProgress& progress, const std::atomic<bool>& cancel,
                                                     Failure& failure) {
  FileCopy copy{&progress, &cancel};
  // Streamed by the system; the attributes (read-only among them) go with the file.
  const CopyFileStep step = g_copyFile.load();
  if ((step ? step : CopyFileExW)(ApiPath(from).c_str(), ApiPath(to).c_str(), CopyProgress, &copy, nullptr,
                                  COPY_FILE_FAIL_IF_EXISTS)) {
    return Copied::Done;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_REQUEST_ABORTED || cancel) return Copied::Cancelled;
  failure = Why(from, code);
  return Copied::Failed;
}

std::optional<Failure> Win32CopyFileSystem::RemoveFile(const std::string& path) {
  const std::wstring api = ApiPath(path);
  // DeleteFileW refuses a read-only file.
  SetFileAttributesW(api.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileW(api.c_str()) && !Gone(GetLastError())) return Why(path, GetLastError());
  return std::nullopt;
}

std::optional<Failure> Win32CopyFileSystem::RemoveFolder(const std::string& path) {
  const std::wstring api = ApiPath(path);
  SetFileAttributesW(api.c_str(), FILE_ATTRIBUTE_DIRECTORY);
  if (!RemoveDirectoryW(api.c_str()) && !Gone(GetLastError())) return Why(path, GetLastError());
  return std::nullopt;
}

std::vector<RunningProcess> RunningProcesses() {
  std::vector<RunningProcess> processes;
  for (NamedProcess& process : NamedProcesses(true)) processes.push_back({process.processId, std::move(process.fullPath)});
  return processes;
}

namespace {

std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

}  // namespace

DataCopyCheck CheckDataCopy(const std::string& programDirectory) {
  DataCopyCheck check;
  CopyConditions conditions;
  // No MySQL service at all is no service that writes the folder.
  conditions.service = OpenServiceError(Service::MySQL, SERVICE_QUERY_STATUS) == ERROR_SERVICE_DOES_NOT_EXIST
                           ? ServiceState::Stopped
                           : StateOf(Service::MySQL);
  conditions.processes = RunningProcesses();
  conditions.serverProgram = LongPathOf(OwnServerProgram(Service::MySQL, programDirectory));

  const std::string data = MySQLDataFolderOf(programDirectory);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  check.plan.from = data;
  check.plan.to = UntakenName(BackupFolderFor(data, {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}),
                              [](const std::string& path) {
                                return GetFileAttributesW(ApiPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
                              });
  Win32CopyFileSystem fs;
  const auto unreadable = ListTree(fs, data, check.plan.tree);
  if (!unreadable) conditions.folderBytes = check.plan.tree.bytes;
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExW(ApiPath(ParentOf(check.plan.to)).c_str(), &available, nullptr, nullptr)) {
    conditions.freeBytes = available.QuadPart;
  }
  check.refusals = CopyRefusals(conditions);
  if (unreadable) {
    check.refusals.push_back(IsFolder(data) ? UnreadableLine(*unreadable) : NoDataFolderLine(data));
  }
  return check;
}

DataCopyJob::~DataCopyJob() { CancelAndWait(); }

bool DataCopyJob::Start(HWND owner, UINT message, DataCopyPlan plan) {
  if (thread_) return false;
  owner_ = owner;
  message_ = message;
  plan_ = std::move(plan);
  cancel_ = false;
  outcome_ = CopyOutcome{};
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  return thread_ != nullptr;
}

DWORD WINAPI DataCopyJob::Run(LPVOID data) {
  auto* job = static_cast<DataCopyJob*>(data);
  Win32CopyFileSystem fs;
  job->outcome_ = CopyTree(
      fs, job->plan_.from, job->plan_.tree, job->plan_.to,
      [job](unsigned percent) { PostMessageW(job->owner_, job->message_, kProgress, static_cast<LPARAM>(percent)); },
      job->cancel_, kCopyWorkers);
  PostMessageW(job->owner_, job->message_, kEnded, 0);
  return 0;
}

std::optional<CopyOutcome> DataCopyJob::Collect() {
  if (!thread_) return std::nullopt;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  return outcome_;
}

std::optional<CopyOutcome> DataCopyJob::CancelAndWait() {
  Cancel();
  return Collect();
}

}  // namespace tellurix
