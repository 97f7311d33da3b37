// The panel's main window in this process, where Windows behaves as Wine does
// not: a shell that times out and still adds the icon, an elevated panel whose
// shell message must be let through, an administrator prompt answered No, and
// message boxes asked to come to the front. The shell, the prompt, the box and
// the message filter are played through the program's seams as Windows'
// documentation describes them; everything else is the real window under Wine.
#include "app/main_window.h"
#include "app/tray_icon.h"
#include "core/file_io.h"
#include "harness.h"
#include "ui/launcher.h"
#include "ui/system_library.h"
#include "ui/win32_text.h"

#include <optional>
#include <set>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

// The shell as "Shell_NotifyIcon function" (Remarks, and "Notifications and the
// Notification Area") describes it at logon: busy for a while, so that a call
// times out and fails, although a timed-out add is still carried out once the
// shell catches up; an add of an icon it already has fails. The icons go to
// Wine's real notification area.
struct BusyShell {
  Clock::time_point busyUntil;
  std::optional<NOTIFYICONDATAW> lateAdd;
  std::set<std::pair<HWND, UINT>> icons;
  std::vector<DWORD> calls;  // the messages, in order
  std::vector<std::wstring> balloons;
};
BusyShell g_shell;

BOOL ShellAsAtLogon(DWORD message, NOTIFYICONDATAW* data) {
  g_shell.calls.push_back(message);
  if (Clock::now() < g_shell.busyUntil) {
    if (message == NIM_ADD && !g_shell.lateAdd) g_shell.lateAdd = *data;
    return FALSE;
  }
  if (g_shell.lateAdd) {
    Shell_NotifyIconW(NIM_ADD, &*g_shell.lateAdd);
    g_shell.icons.insert({g_shell.lateAdd->hWnd, g_shell.lateAdd->uID});
    g_shell.lateAdd.reset();
  }
  const std::pair<HWND, UINT> icon{data->hWnd, data->uID};
  const bool has = g_shell.icons.count(icon) != 0;
  if (message == NIM_ADD && has) return FALSE;
  if (message == NIM_MODIFY && !has) return FALSE;
  if (message == NIM_MODIFY && (data->uFlags & NIF_INFO)) g_shell.balloons.push_back(data->szInfo);
  if (message == NIM_ADD) g_shell.icons.insert(icon);
  if (message == NIM_DELETE) g_shell.icons.erase(icon);
  return Shell_NotifyIconW(message, data);
}

// user32's message filter ("ChangeWindowMessageFilterEx function": with UIPI a
// window of higher integrity gets a registered message from a lower one only
// when it allows it). Wine has no integrity levels and its filter does nothing,
// so the calls are recorded.
struct FilterCall {
  HWND window;
  UINT message;
  DWORD action;
};
std::vector<FilterCall> g_filtered;
BOOL WINAPI RecordFilterEx(HWND window, UINT message, DWORD action, void*) {
  g_filtered.push_back({window, message, action});
  return TRUE;
}
FARPROC User32As7(const char* name) {
  if (std::string(name) != "ChangeWindowMessageFilterEx") return nullptr;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(RecordFilterEx));
}

// The boxes asked for ("MessageBox function": MB_SETFOREGROUND, MB_TOPMOST;
// "SetForegroundWindow function", Remarks: a background process may not take the
// foreground). Wine draws its boxes without the topmost style, so the flags are
// taken where the panel asks, and the boxes answered.
struct Box {
  HWND owner;
  std::string text;
  unsigned type;
};
std::vector<Box> g_boxes;
int g_answer = IDOK;
int AnswerOk(void* owner, const wchar_t* text, const wchar_t*, unsigned type) {
  g_boxes.push_back({static_cast<HWND>(owner), Narrow(text), type});
  return g_answer;
}

// The administrator prompt, answered No: "ShellExecuteExW function" with the
// runas verb fails with ERROR_CANCELLED (1223) when the user declines the User
// Account Control prompt. Wine never asks.
struct Prompt {
  HWND owner;
  std::wstring verb, file, parameters;
};
std::vector<Prompt> g_prompts;
BOOL DeclinePrompt(SHELLEXECUTEINFOW* info) {
  g_prompts.push_back({info->hwnd, info->lpVerb, info->lpFile, info->lpParameters ? info->lpParameters : L""});
  SetLastError(ERROR_CANCELLED);
  return FALSE;
}

// Dispatches this thread's messages for a while, as the panel's loop would.
void Pump(std::chrono::milliseconds duration) {
  const auto until = Clock::now() + duration;
  while (Clock::now() < until) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

// The message list's lines from `from` on, without their times.
std::vector<std::string> LinesFrom(HWND window, int from) {
  HWND list = GetDlgItem(window, ids::List1);
  std::vector<std::string> lines;
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = from; i < count; ++i) {
    std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    line.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
    lines.push_back(Narrow(line.substr(0, line.rfind(L"    ") + 4)));
  }
  return lines;
}
int LineCount(HWND window) { return static_cast<int>(SendDlgItemMessageW(window, ids::List1, LB_GETCOUNT, 0, 0)); }

void Choose(HWND window, int id) { SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

TEST(WindowsBehaviour, TrayPromptsAndBoxesAsWindowsTreatsThem) {
  tellurix::SetShellNotifyStepForTesting(ShellAsAtLogon);
  tellurix::SetUser32LookupForTesting(User32As7);
  tellurix::SetMessageBoxStepForTesting(AnswerOk);
  tellurix::SetShellExecuteStepForTesting(DeclinePrompt);
  const int iconsBefore = TrayIconCount();

  // At logon the shell is busy for two seconds: the first add and its modify
  // time out, the add is carried out late, and the retry takes the icon over.
  g_shell.busyUntil = Clock::now() + 2s;
  tellurix::MainWindow panel;
  ASSERT_TRUE(panel.Create(GetModuleHandleW(nullptr), nullptr));
  const HWND window = panel.hwnd();
  Pump(3500ms);
  ASSERT_GE(g_shell.calls.size(), 4u);
  EXPECT_EQ(g_shell.calls.front(), DWORD(NIM_ADD));
  EXPECT_EQ(std::vector<DWORD>(g_shell.calls.end() - 2, g_shell.calls.end()),
            (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}))
      << "a refused add of an icon the shell has is taken over with a modify";
  EXPECT_EQ(TrayIconCount(), iconsBefore + 1);
  // The first success ends the retries: no more calls, and the window stays hidden
  // past the five seconds after which a panel without an icon shows itself.
  const size_t callsAfterSuccess = g_shell.calls.size();
  Pump(3s);
  EXPECT_EQ(g_shell.calls.size(), callsAfterSuccess);
  EXPECT_FALSE(IsWindowVisible(window));

  // Elevated, the panel lets the shell's TaskbarCreated through (Windows 7's way).
  const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  ASSERT_EQ(g_filtered.size(), 1u);
  EXPECT_EQ(g_filtered[0].window, window);
  EXPECT_EQ(g_filtered[0].message, taskbarCreated);
  EXPECT_EQ(g_filtered[0].action, 1u) << "MSGFLT_ALLOW";
  // Explorer restarted: the new shell has no icons, and the broadcast brings it back.
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = window;
  icon.uID = tellurix::TrayIconId(static_cast<std::uintptr_t>(
      SendMessageW(window, WM_GETICON, ICON_SMALL, 0)));
  ASSERT_TRUE(ShellAsAtLogon(NIM_DELETE, &icon));
  ASSERT_TRUE(WaitUntil([&] { return TrayIconCount() == iconsBefore; }, 5s));
  SendMessageW(window, taskbarCreated, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconCount() == iconsBefore + 1; }, 5s));

  // The administrator prompt of the install answered No: said as declined, no
  // `net`, and its lines in one balloon while the window is hidden. The prompt
  // and the question belong to the main window and come to the front.
  const unsigned question = MB_OKCANCEL | MB_SETFOREGROUND | MB_TOPMOST;
  const std::string home = tellurix::ProgramDirectory();
  {
    ServiceRegistration mysql(L"MySQL");
    ASSERT_TRUE(mysql.Delete());
    const int from = LineCount(window);
    g_shell.balloons.clear();
    Choose(window, ids::startm);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "MySQL服务尚未安装，是否现在安装？");
    EXPECT_EQ(g_boxes[0].owner, window);
    EXPECT_EQ(g_boxes[0].type, question);
    ASSERT_EQ(g_prompts.size(), 1u);
    EXPECT_EQ(g_prompts[0].owner, window);
    EXPECT_EQ(g_prompts[0].verb, L"runas");
    EXPECT_EQ(Narrow(g_prompts[0].file), home + "\\MySQL\\bin\\mysqld-nt.exe");
    EXPECT_EQ(LinesFrom(window, from),
              (std::vector<std::string>{"服务MySQL尚未安装...    ", "没有得到管理员权限，服务MySQL没有改动...    "}));
    EXPECT_EQ(g_shell.balloons,
              (std::vector<std::wstring>{L"服务MySQL尚未安装\n没有得到管理员权限，服务MySQL没有改动"}));
  }
  // A disabled service, its change declined at the prompt: it stays disabled.
  {
    ServiceRegistration mysql(L"MySQL");
    ASSERT_TRUE(mysql.SetStartType(SERVICE_DISABLED));
    const int from = LineCount(window);
    g_shell.balloons.clear();
    Choose(window, ids::startm);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[1].text, "MySQL服务已被禁用，是否改为手动启动？");
    EXPECT_EQ(g_boxes[1].type, question);
    ASSERT_EQ(g_prompts.size(), 2u);
    EXPECT_EQ(g_prompts[1].owner, window);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(g_prompts[1].file, self);
    EXPECT_EQ(g_prompts[1].parameters, L"--set-service-manual MySQL");
    EXPECT_EQ(LinesFrom(window, from), (std::vector<std::string>{"没有得到管理员权限，服务MySQL没有改动...    "}));
    EXPECT_EQ(g_shell.balloons, (std::vector<std::wstring>{L"没有得到管理员权限，服务MySQL没有改动"}));
    EXPECT_EQ(mysql.Now().first, DWORD(SERVICE_DISABLED));
  }
  // A box with OK only comes to the front too: a line shown whole.
  const int last = LineCount(window) - 1;
  SendDlgItemMessageW(window, ids::List1, LB_SETCURSEL, last, 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(ids::List1, LBN_DBLCLK), 0);
  ASSERT_EQ(g_boxes.size(), 3u);
  EXPECT_EQ(g_boxes[2].type, unsigned(MB_OK | MB_SETFOREGROUND | MB_TOPMOST));
  EXPECT_EQ(g_boxes[2].owner, window);
  EXPECT_EQ(g_boxes[2].text.rfind("没有得到管理员权限，服务MySQL没有改动...    ", 0), 0u);

  // A DLL of Windows that will not load: the command that needs it says so and
  // stops, and the panel goes on (the port checks load Winsock on first use).
  tellurix::SetLibraryLoaderForTesting([](const wchar_t* name) -> HMODULE {
    return _wcsicmp(name, L"ws2_32.dll") == 0 ? nullptr : LoadLibraryW(name);
  });
  g_answer = IDCANCEL;  // the bench's MySQL is another folder's: left as it is
  const int from = LineCount(window);
  Choose(window, ids::startm);
  const std::vector<std::string> lines = LinesFrom(window, from);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "无法加载Windows的系统文件：ws2_32.dll...    ");
  tellurix::SetLibraryLoaderForTesting(nullptr);

  DestroyWindow(window);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconCount() == iconsBefore; }, 5s));
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the window's quit is not the test's
  tellurix::SetShellNotifyStepForTesting(nullptr);
  tellurix::SetUser32LookupForTesting(nullptr);
  tellurix::SetMessageBoxStepForTesting(nullptr);
  tellurix::SetShellExecuteStepForTesting(nullptr);
}

}  // namespace
}  // namespace e2e
