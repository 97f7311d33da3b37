#include "ui/launcher.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "core/codepage.h"
#include "ui/system_library.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

// Enough of what a program prints for a message; the rest is read and dropped
// so that the program never blocks on a full pipe.
constexpr size_t kOutputLimit = 4096;

// CreateProcessW may write into the command line, so it gets its own copy.
std::vector<wchar_t> CommandBuffer(std::string_view commandLine) {
  const std::wstring wide = Widen(commandLine);
  std::vector<wchar_t> buffer(wide.begin(), wide.end());
  buffer.push_back(L'\0');
  return buffer;
}

// Starts the command line hidden, input empty, standard output and error into
// a pipe whose reading end is returned in `output`.
bool StartCaptured(std::string_view commandLine, UniqueKernelHandle& process, UniqueKernelHandle& output) {
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return false;
  UniqueKernelHandle reader(readEnd), writer(writeEnd);
  SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
  // An empty input: should the program ever ask for something, it reads the end
  // of the input at once instead of waiting for a user who cannot see it.
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  UniqueKernelHandle input(nul == INVALID_HANDLE_VALUE ? nullptr : nul);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input.get();
  startup.hStdOutput = writer.get();
  startup.hStdError = writer.get();
  std::vector<wchar_t> buffer = CommandBuffer(commandLine);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &started)) {
    return false;
  }
  UniqueKernelHandle thread(started.hThread);
  process.reset(started.hProcess);
  // Only the program holds the writing end now, so the pipe ends when it does.
  output = std::move(reader);
  return true;
}

void Drain(HANDLE pipe, std::string& output) {
  DWORD available = 0;
  while (pipe && PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char chunk[1024];
    DWORD got = 0;
    if (!ReadFile(pipe, chunk, std::min<DWORD>(sizeof(chunk), available), &got, nullptr) || got == 0) break;
    output.append(chunk, std::min<size_t>(got, kOutputLimit - std::min(kOutputLimit, output.size())));
  }
}

ProgramRun Ended(HANDLE process, const std::string& output) {
  DWORD exitCode = 0;
  GetExitCodeProcess(process, &exitCode);
  return ProgramRun{ProgramRun::Outcome::Exited, exitCode, FromProgramOutput(output)};
}

// The ids OwnProgram marks; the rescue's worker marks its server from its own thread.
SRWLOCK ownLock = SRWLOCK_INIT;
std::vector<unsigned long> ownPrograms;

// Waits for the process, up to `limitMs`, dispatching messages meanwhile.
std::optional<ProgramRun> Wait(HANDLE process, HANDLE pipe, unsigned limitMs, HWND dialog) {
  const OwnProgram own(GetProcessId(process));
  std::string output;
  const ULONGLONG deadline = GetTickCount64() + limitMs;
  for (;;) {
    Drain(pipe, output);
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
      return ProgramRun{ProgramRun::Outcome::TimedOut, 0, FromProgramOutput(output)};
    }
    // Wakes for the program's end, for any message, and every 100 ms to empty the pipe.
    const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100));
    if (MsgWaitForMultipleObjects(1, &process, FALSE, slice, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The main window has gone; its own loop must still see the quit.
        PostQuitMessage(static_cast<int>(message.wParam));
        return std::nullopt;
      }
      if (dialog && IsDialogMessageW(dialog, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (dialog && !IsWindow(dialog)) return std::nullopt;
  }
  Drain(pipe, output);
  return Ended(process, output);
}

}  // namespace

OwnProgram::OwnProgram(unsigned long processId) : processId_(processId) {
  AcquireSRWLockExclusive(&ownLock);
  ownPrograms.push_back(processId_);
  ReleaseSRWLockExclusive(&ownLock);
}

OwnProgram::~OwnProgram() {
  AcquireSRWLockExclusive(&ownLock);
  ownPrograms.erase(std::find(ownPrograms.begin(), ownPrograms.end(), processId_));
  ReleaseSRWLockExclusive(&ownLock);
}

std::vector<unsigned long> OwnRunningPrograms() {
  AcquireSRWLockShared(&ownLock);
  std::vector<unsigned long> ids = ownPrograms;
  ReleaseSRWLockShared(&ownLock);
  return ids;
}

bool Launch(const LaunchPlan& plan) {
  std::vector<wchar_t> buffer = CommandBuffer(plan.commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(plan.show);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  UniqueKernelHandle thread(process.hThread);
  UniqueKernelHandle owned(process.hProcess);
  return true;
}

std::unique_ptr<WatchedProgram> WatchedProgram::Start(std::string_view commandLine) {
  auto watched = std::make_unique<WatchedProgram>();
  if (!StartCaptured(commandLine, watched->process_, watched->output_)) return nullptr;
  return watched;
}

std::optional<ProgramRun> WatchedProgram::Poll() {
  Drain(output_.get(), printed_);
  if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) return std::nullopt;
  Drain(output_.get(), printed_);
  return Ended(process_.get(), printed_);
}

std::optional<ProgramRun> RunCaptured(std::string_view commandLine, unsigned limitMs, HWND dialog) {
  UniqueKernelHandle process, output;
  if (!StartCaptured(commandLine, process, output)) return ProgramRun{ProgramRun::Outcome::CannotStart, 0, {}};
  return Wait(process.get(), output.get(), limitMs, dialog);
}

namespace {

BOOL SystemShellExecute(SHELLEXECUTEINFOW* info) { return ShellExecuteExW(info); }
ShellExecuteStep shellExecute = SystemShellExecute;

}  // namespace

void SetShellExecuteStepForTesting(ShellExecuteStep step) { shellExecute = step ? step : SystemShellExecute; }

std::optional<ProgramRun> RunElevated(HWND owner, const std::string& program, const std::string& parameters,
                                      unsigned limitMs) {
  const std::wstring file = Widen(program), arguments = Widen(parameters);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_HIDE;
  EnterComApartment();  // ShellExecuteEx may hand the verb to a COM handler
  if (!shellExecute(&info) || !info.hProcess) {
    const bool declined = GetLastError() == ERROR_CANCELLED;
    return ProgramRun{declined ? ProgramRun::Outcome::Declined : ProgramRun::Outcome::CannotStart, 0, {}};
  }
  UniqueKernelHandle process(info.hProcess);
  return Wait(process.get(), nullptr, limitMs, nullptr);
}

bool StartElevated(HWND owner, const std::string& program) {
  const std::wstring file = Widen(program);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  EnterComApartment();
  return shellExecute(&info) != FALSE;
}

}  // namespace tellurix
