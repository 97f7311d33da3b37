#include "dialogs/mysql_settings_dialog.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/win32_handles.h"
#include "app/win32_text.h"
#include "core/file_io.h"
#include "core/profile_store.h"
#include "dialogs/dialog_window.h"
#include "dialogs/mysql_settings.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

namespace d = ids::fmysql;

// Enough of what mysqladmin prints for a message box; the rest is read and dropped
// so that the tool never blocks on a full pipe.
constexpr size_t kOutputLimit = 4096;

// A console program prints in the system's code page.
std::string FromAnsi(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return Narrow(wide);
}

// Runs the password tool and waits for it, up to the time limit, while the
// dialog and the main window go on answering their messages (the status
// monitor keeps ticking, the window repaints). Unlike the other launches of the
// program this one waits, so that the user is told whether the password really
// changed. The tool runs without a window: what it prints is captured through a
// pipe and shown in the message. nullopt when the program is ending meanwhile.
std::optional<PasswordToolRun> RunPasswordTool(HWND dialog, const std::string& commandLine) {
  using Outcome = PasswordToolRun::Outcome;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return PasswordToolRun{Outcome::CannotStart, 0, {}};
  UniqueKernelHandle reader(readEnd), writer(writeEnd);
  SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
  // An empty input: should the tool ever ask for something, it reads the end of
  // the input at once instead of waiting for a user who cannot see it.
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
  // CreateProcessW may write into the command line, so it gets its own copy.
  const std::wstring wide = Widen(commandLine);
  std::vector<wchar_t> buffer(wide.begin(), wide.end());
  buffer.push_back(L'\0');
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &started)) {
    return PasswordToolRun{Outcome::CannotStart, 0, {}};
  }
  UniqueKernelHandle thread(started.hThread);
  UniqueKernelHandle tool(started.hProcess);
  // Only the tool holds the writing end now, so the pipe ends when it does.
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

  const ULONGLONG deadline = GetTickCount64() + kPasswordToolTimeLimitMs;
  HANDLE toolHandle = tool.get();
  for (;;) {
    drain();
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      TerminateProcess(toolHandle, 1);
      WaitForSingleObject(toolHandle, 5000);
      return PasswordToolRun{Outcome::TimedOut, 0, FromAnsi(output)};
    }
    // Wakes for the tool's end, for any message, and every 100 ms to empty the pipe.
    const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100));
    if (MsgWaitForMultipleObjects(1, &toolHandle, FALSE, slice, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The main window has gone; its own loop must still see the quit.
        PostQuitMessage(static_cast<int>(message.wParam));
        return std::nullopt;
      }
      if (IsDialogMessageW(dialog, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (!IsWindow(dialog)) return std::nullopt;
  }
  drain();
  DWORD exitCode = 0;
  GetExitCodeProcess(toolHandle, &exitCode);
  return PasswordToolRun{Outcome::Exited, exitCode, FromAnsi(output)};
}

class MySQLSettingsDialog : public DialogWindow {
 public:
  MySQLSettingsDialog()
      : DialogWindow(text::kMySQLCaption, kMySQLClientWidth, kMySQLClientHeight, MySQLDialogControls()) {}

 private:
  void OnInit() override {
    myIni_ = MySQLIniPath(ProgramDirectory());
    loaded_ = LoadMySQLForm([](std::string_view key) { return GetIniValue("MySQL", key, "", kProfileFileName); });
    FillList(d::character, MySQLCharacterSets());
    FillList(d::engine, MySQLEngines());
    Select(d::character, CharacterSetIndex(loaded_.character));
    Select(d::engine, EngineIndex(loaded_.engine));
    SetText(d::port, loaded_.port);
    SetText(d::connections, loaded_.connections);
  }

  void OnCommand(int id) override {
    // While mysqladmin runs the dialog is disabled; a command that still
    // arrives waits for the next click.
    if (busy_) return;
    switch (id) {
      case d::Command1: OnOk(); break;
      case d::Command2: Close(); break;
      case d::Command3: OnChangePassword(); break;
      default: break;
    }
  }

  void OnOk() {
    const MySQLForm current{Text(d::port), Text(d::connections), Selection(d::engine), Selection(d::character)};
    if (auto problem = CheckMySQLForm(current)) {
      Message(*problem);
      return;
    }
    const ApplyOutcome outcome = ApplyChanges(ResolveProfilePath(ProgramDirectory(), kProfileFileName), "MySQL",
                                              MySQLChanges(loaded_, current, myIni_));
    const Conclusion conclusion = Conclude(outcome, text::kMySQLDone);
    if (conclusion.message) Message(*conclusion.message);
    if (conclusion.close) Close();
  }

  void OnChangePassword() {
    // The program's one question: OK and Cancel, no icon.
    if (MessageBoxW(hwnd(), Widen(text::kConfirmPasswordChange).c_str(), Widen(text::kAppTitle).c_str(),
                    MB_OKCANCEL) != IDOK) {
      return;
    }
    const std::string oldPassword = Text(d::oldpwd);
    const std::string newPassword = Text(d::newpwd);
    const std::string home = ProgramDirectory();

    busy_ = true;
    EnableWindow(hwnd(), FALSE);
    const std::optional<PasswordToolRun> run = RunPasswordTool(hwnd(), MySQLAdminCommandLine(home, oldPassword, newPassword));
    if (!run || !IsWindow(hwnd())) return;
    EnableWindow(hwnd(), TRUE);
    busy_ = false;

    // Only a change that mysqladmin reports as done is followed by the login
    // check; after a failure both boxes keep what was typed for another try.
    const PasswordConclusion conclusion = ConcludePasswordChange(*run, home);
    Message(conclusion.message);
    if (!conclusion.changed) return;
    const std::string client = MySQLClientCommandLine(home);
    if (!LaunchCommandLine(client, SW_SHOWNORMAL)) Message(std::string(text::kCannotStart) + client);
    SetText(d::oldpwd, "");
    SetText(d::newpwd, "");
  }

  MySQLForm loaded_;
  std::string myIni_;
  bool busy_ = false;
};

}  // namespace

void ShowMySQLSettings(HWND owner) {
  MySQLSettingsDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
