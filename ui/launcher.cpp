#include "ui/launcher.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "ui/win32_handles.h"
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

}  // namespace

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

std::optional<ProgramRun> RunCaptured(std::string_view commandLine, unsigned limitMs, HWND dialog) {
  using Outcome = ProgramRun::Outcome;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return ProgramRun{Outcome::CannotStart, 0, {}};
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
    return ProgramRun{Outcome::CannotStart, 0, {}};
  }
  UniqueKernelHandle thread(started.hThread);
  UniqueKernelHandle program(started.hProcess);
  // Only the program holds the writing end now, so the pipe ends when it does.
  writer.reset();
  input.reset();

  std::string output;
  auto drain = [&] {
    DWORD available = 0;
    while (PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      char chunk[1024];
      DWORD got = 0;
      if (!ReadFile(reader.get(), chunk, std::min<DWORD>(sizeof(chunk), available), &got, nullptr) || got == 0) break;
      output.append(chunk, std::min<size_t>(got, kOutputLimit - std::min(kOutputLimit, output.size())));
    }
  };

  const ULONGLONG deadline = GetTickCount64() + limitMs;
  HANDLE handle = program.get();
  for (;;) {
    drain();
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      TerminateProcess(handle, 1);
      WaitForSingleObject(handle, 5000);
      return ProgramRun{Outcome::TimedOut, 0, FromProgramOutput(output)};
    }
    // Wakes for the program's end, for any message, and every 100 ms to empty the pipe.
    const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100));
    if (MsgWaitForMultipleObjects(1, &handle, FALSE, slice, QS_ALLINPUT) == WAIT_OBJECT_0) break;
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
  drain();
  DWORD exitCode = 0;
  GetExitCodeProcess(handle, &exitCode);
  return ProgramRun{Outcome::Exited, exitCode, FromProgramOutput(output)};
}

}  // namespace tellurix
