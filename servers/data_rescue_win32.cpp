// The system under the data rescue on Windows. It runs on a worker thread the
// panel starts and never touches a window; a cancel ends the program it waits for.
#include <windows.h>
#include <ntsecapi.h>

#include <vector>

#include "core/file_io.h"
#include "servers/data_rescue.h"

#include "ui/launcher.h"
#include "ui/launch_plan.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

constexpr DWORD kSlice = 100;  // how often a wait looks at the cancel flag, in ms

DWORD Milliseconds(std::chrono::seconds limit) { return static_cast<DWORD>(limit.count()) * 1000; }

// CreateFileW fails with INVALID_HANDLE_VALUE, which the owner must not keep.
UniqueKernelHandle Owned(HANDLE file) {
  return UniqueKernelHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

std::wstring CommandLineText(const CommandLine& command) {
  std::string line;
  for (const std::string& argument : command) line += (line.empty() ? "" : " ") + QuoteArgument(argument);
  return Widen(line);
}

// Inheritable, but only the handles named in the list given to CreateProcessW
// reach the child, not every inheritable handle the panel holds.
SECURITY_ATTRIBUTES Inheritable() { return {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

UniqueKernelHandle OpenInput(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = Inheritable();
  const std::wstring name = path.empty() ? std::wstring(L"NUL") : Widen(path);
  return Owned(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A server's log is appended to, and shared for writing: a server started again
// right after it ended finds its predecessor's handle still open for a moment
// (Wine signals a process before it has closed the handles it inherited).
UniqueKernelHandle OpenOutput(const std::string& path, bool append) {
  SECURITY_ATTRIBUTES inherit = Inheritable();
  const DWORD share = append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  return Owned(CreateFileW(Widen(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, share, &inherit,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A file in the temporary folder for what a program prints, gone once closed.
// The child writes through the inherited handle, which shares the file position
// with ours: after it has ended, ours is rewound and read.
UniqueKernelHandle OpenCapture() {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"tlx", 0, name) == 0) return {};
  SECURITY_ATTRIBUTES inherit = Inheritable();
  return Owned(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string ReadCapture(const UniqueKernelHandle& file) {
  std::string bytes;
  if (!file) return bytes;
  SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
  std::vector<char> buffer(64 * 1024);
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
    bytes.append(buffer.data(), read);
  }
  return bytes;
}

struct Started {
  UniqueKernelHandle process, thread;
};

// Starts the command without a window, the three handles as its standard input,
// output and error; suspended when asked (to be put into a job first).
Started Spawn(const CommandLine& command, HANDLE input, HANDLE output, HANDLE errors, bool suspended) {
  Started started;
  std::vector<HANDLE> inherited{input, output};
  if (errors != output) inherited.push_back(errors);  // the list must not name a handle twice
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return started;
  if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = errors;
    startup.lpAttributeList = attributes;
    std::wstring line = CommandLineText(command);
    PROCESS_INFORMATION info{};
    const DWORD flags = CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | (suspended ? CREATE_SUSPENDED : 0);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup.StartupInfo,
                       &info)) {
      started.process.reset(info.hProcess);
      started.thread.reset(info.hThread);
    }
  }
  DeleteProcThreadAttributeList(attributes);
  return started;
}

// A file a program has just written is often still open for a moment after it
// ended: a virus scanner reads it, and Wine signals the process before it has
// closed the handles it inherited. A rename or delete refused for sharing is
// tried again for a few seconds.
template <typename Step>
bool WhileShared(const Step& step) {
  for (int attempt = 0;; ++attempt) {
    if (step()) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 30) return false;
    Sleep(kSlice);
  }
}

class Win32RescueSystem : public RescueSystem {
 public:
  Win32RescueSystem(const std::atomic<bool>& cancel, std::function<void(const std::string&)> progress)
      : cancel_(cancel), progress_(std::move(progress)) {
    // The server goes into a job that ends it when the panel ends: a server that
    // checks no passwords must not outlive the panel that alone knows its pipe.
    job_.reset(CreateJobObjectW(nullptr, nullptr));
    if (job_) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
  }
  ~Win32RescueSystem() override { EndServer(); }

  ToolRun Run(const ToolRequest& request) override {
    ToolRun run;
    UniqueKernelHandle input = OpenInput(request.inputFile), errors = OpenCapture();
    UniqueKernelHandle output = request.outputFile.empty() ? OpenCapture() : OpenOutput(request.outputFile, false);
    Started started;
    if (input && output && errors) {
      started = Spawn(request.command, input.get(), output.get(), errors.get(), false);
    }
    if (!started.process) {
      run.outcome = ToolRun::Outcome::CannotStart;
      return run;
    }
    const ULONGLONG deadline = GetTickCount64() + Milliseconds(request.limit);
    while (WaitForSingleObject(started.process.get(), kSlice) == WAIT_TIMEOUT) {
      const bool cancelled = request.cancellable && cancel_.load();
      if (cancelled || GetTickCount64() >= deadline) {
        TerminateProcess(started.process.get(), 1);
        WaitForSingleObject(started.process.get(), INFINITE);
        run.outcome = cancelled ? ToolRun::Outcome::Cancelled : ToolRun::Outcome::TimedOut;
        break;
      }
    }
    DWORD code = 0;
    GetExitCodeProcess(started.process.get(), &code);
    run.exitCode = static_cast<int>(code);
    run.errors = ReadCapture(errors);
    if (request.outputFile.empty()) run.output = ReadCapture(output);
    return run;
  }

  bool StartServer(const CommandLine& command, const std::string& logFile) override {
    EndServer();
    UniqueKernelHandle input = OpenInput({}), log = OpenOutput(logFile, true);
    if (!input || !log) return false;
    Started started = Spawn(command, input.get(), log.get(), log.get(), true);
    if (!started.process) return false;
    if (job_) AssignProcessToJobObject(job_.get(), started.process.get());  // refused inside another job: runs on
    // The recovery server is the panel's own, not MySQL running: the status
    // monitor leaves it out.
    own_ = std::make_unique<OwnProgram>(GetProcessId(started.process.get()));
    ResumeThread(started.thread.get());
    server_ = std::move(started.process);
    return true;
  }

  // WaitNamedPipeW returns at once while the pipe does not exist yet
  // (ERROR_FILE_NOT_FOUND), and fails with ERROR_SEM_TIMEOUT when it exists but
  // every instance is busy: the server is up then too.
  Wait WaitUntilAccepting(const std::string& endpoint, std::chrono::seconds limit) override {
    const std::wstring pipe = L"\\\\.\\pipe\\" + Widen(endpoint);
    const ULONGLONG deadline = GetTickCount64() + Milliseconds(limit);
    while (true) {
      if (cancel_.load()) return Wait::Cancelled;
      if (!ServerRunning()) return Wait::Ended;
      if (WaitNamedPipeW(pipe.c_str(), kSlice) || GetLastError() == ERROR_SEM_TIMEOUT) return Wait::Accepting;
      if (GetTickCount64() >= deadline) return Wait::TimedOut;
      Sleep(kSlice);
    }
  }

  bool ServerRunning() override {
    return server_ && WaitForSingleObject(server_.get(), 0) == WAIT_TIMEOUT;
  }

  bool WaitForServerEnd(std::chrono::seconds limit) override {
    return !server_ || WaitForSingleObject(server_.get(), Milliseconds(limit)) != WAIT_TIMEOUT;
  }

  void EndServer() override {
    if (!server_) return;
    if (WaitForSingleObject(server_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(server_.get(), 1);
      WaitForSingleObject(server_.get(), 10000);
    }
    server_.reset();
    own_.reset();
  }

  bool MakeFolder(const std::string& path) override { return CreateDirectoryW(Widen(path).c_str(), nullptr) != 0; }

  bool WriteTextFile(const std::string& path, const std::string& content) override {
    return static_cast<bool>(WriteFileAtomically(path, content));
  }

  bool Rename(const std::string& from, const std::string& to) override {
    const std::wstring source = Widen(from), target = Widen(to);
    return WhileShared([&] { return MoveFileExW(source.c_str(), target.c_str(), 0) != 0; });
  }

  bool RemoveFile(const std::string& path) override {
    const std::wstring file = Widen(path);
    return WhileShared([&] { return DeleteFileW(file.c_str()) != 0; });
  }

  bool Exists(const std::string& path) override {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool ReadFile(const std::string& path, const std::function<void(std::string_view)>& piece) override {
    UniqueKernelHandle file = Owned(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    std::vector<char> buffer(64 * 1024);
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
      piece(std::string_view(buffer.data(), read));
    }
    return true;
  }

  LocalTime Now() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  }

  bool Cancelled() override { return cancel_.load(); }

  void Progress(const std::string& line) override {
    if (progress_) progress_(line);
  }

 private:
  const std::atomic<bool>& cancel_;
  std::function<void(const std::string&)> progress_;
  UniqueKernelHandle job_, server_;
  std::unique_ptr<OwnProgram> own_;
};

}  // namespace

std::unique_ptr<RescueSystem> MakeWin32RescueSystem(const std::atomic<bool>& cancel,
                                                    std::function<void(const std::string&)> progress) {
  return std::make_unique<Win32RescueSystem>(cancel, std::move(progress));
}

std::string NewRescuePipeName() {
  std::array<std::uint8_t, 16> random{};
  // RtlGenRandom (advapi32's SystemFunction036) is the generator rand_s uses.
  if (!RtlGenRandom(random.data(), static_cast<ULONG>(random.size()))) return {};
  return RescuePipeName(random);
}

}  // namespace tellurix
