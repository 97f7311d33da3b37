// The real TellurixAdmin.exe under Wine: startup, status monitor, service
// commands, tray icon and menus, driven through window messages.
#include <gtest/gtest.h>

#include <thread>

#include "harness.h"
#include "resources/ids.h"

namespace e2e {
namespace {

constexpr wchar_t kApache[] = L"Apache2";
constexpr wchar_t kMySQL[] = L"MySQL";
constexpr COLORREF kGreen = RGB(0, 192, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

// A status or progress line: the exact text, then the time of day right after it.
::testing::AssertionResult IsLine(const std::string& line, const std::string& text) {
  if (!StartsWith(line, text)) return ::testing::AssertionFailure() << "'" << line << "' does not start with '" << text << "'";
  if (SecondsOfLine(line) < 0 || line[text.size()] == ' ')
    return ::testing::AssertionFailure() << "'" << line << "' has no time right after the text";
  return ::testing::AssertionSuccess();
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& line : lines)
    if (StartsWith(line, prefix)) found.push_back(line);
  return found;
}

void SetService(const wchar_t* name, bool running) {
  if (running) {
    ASSERT_TRUE(Services::Start(name)) << Narrow(name);
  } else {
    ASSERT_TRUE(Services::Stop(name)) << Narrow(name);
  }
}

class PanelTest : public ::testing::Test {
 protected:
  void StartPanel(bool apacheUp, bool mySQLUp) {
    SetService(kApache, apacheUp);
    SetService(kMySQL, mySQLUp);
    panel_ = std::make_unique<Panel>(directory_.exe());
    ASSERT_TRUE(panel_->started()) << "no main window appeared";
    ASSERT_TRUE(panel_->WaitForLines(2));
  }
  // Waits for a line with this text after the first `after` lines.
  bool WaitForLine(const std::string& text, std::size_t after = 0, std::chrono::milliseconds timeout = 15s) {
    return WaitUntil(
        [&] {
          auto lines = panel_->Lines();
          for (std::size_t i = after; i < lines.size(); ++i)
            if (StartsWith(lines[i], text)) return true;
          return false;
        },
        timeout);
  }
  void TearDown() override {
    panel_.reset();
    Services::Stop(kApache);
    Services::Stop(kMySQL);
  }

  ProgramDirectory directory_;
  std::unique_ptr<Panel> panel_;
};

// --- Startup -------------------------------------------------------------

struct StartupCase {
  bool apacheUp, mySQLUp;
};
void PrintTo(const StartupCase& c, std::ostream* os) {
  *os << (c.apacheUp ? "Apache up" : "Apache down") << ", " << (c.mySQLUp ? "MySQL up" : "MySQL down");
}

class StartupTable : public PanelTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupTable, ReportsBothServersOnceAndMatchesTheMonitor) {
  const auto [apacheUp, mySQLUp] = GetParam();
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  StartPanel(apacheUp, mySQLUp);
  GetLocalTime(&after);

  EXPECT_FALSE(panel_->Visible()) << "the panel starts in the tray";
  EXPECT_NE(TrayIconWindow(), nullptr);
  auto lines = panel_->Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(IsLine(lines[0], apacheUp ? "Apache已经启动...    " : "Apache已经停止...    "));
  EXPECT_TRUE(IsLine(lines[1], mySQLUp ? "MySQL已经启动...    " : "MySQL已经停止...    "));
  // The time is the user's time format, the same as this process formats it.
  EXPECT_TRUE(StampedBetween(lines[0], before, after)) << lines[0];

  EXPECT_EQ(panel_->Enabled(ids::starta), !apacheUp);
  EXPECT_EQ(panel_->Enabled(ids::stopa), apacheUp);
  EXPECT_EQ(panel_->Enabled(ids::startm), !mySQLUp);
  EXPECT_EQ(panel_->Enabled(ids::stopm), mySQLUp);
  EXPECT_TRUE(panel_->Enabled(ids::restaraCom));
  EXPECT_TRUE(panel_->Enabled(ids::restartmCom));
  EXPECT_EQ(panel_->Text(ids::la), apacheUp ? "●" : "■");
  EXPECT_EQ(panel_->Text(ids::lm), mySQLUp ? "●" : "■");
  EXPECT_EQ(panel_->Tooltip(ids::la), apacheUp ? "Apache运行" : "Apache停止");
  EXPECT_EQ(panel_->Tooltip(ids::lm), mySQLUp ? "MySQL运行" : "MySQL停止");

  // The flags already match the servers, so the monitor's ticks add nothing.
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(panel_->Lines().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(AllCombinations, StartupTable,
                         ::testing::Values(StartupCase{false, false}, StartupCase{true, false},
                                           StartupCase{false, true}, StartupCase{true, true}),
                         [](const auto& info) {
                           return std::string(info.param.apacheUp ? "ApacheUp" : "ApacheDown") +
                                  (info.param.mySQLUp ? "MySQLUp" : "MySQLDown");
                         });

TEST_F(PanelTest, ControlsHaveTheirCaptionsAndPlaces) {
  StartPanel(false, false);
  EXPECT_EQ(panel_->Text(ids::Frame1), "运行状态");
  EXPECT_EQ(panel_->Text(ids::Label1), "Apache：");
  EXPECT_EQ(panel_->Text(ids::Label2), "MySQL：");
  EXPECT_EQ(panel_->Text(ids::Apache), "Apache");
  EXPECT_EQ(panel_->Text(ids::Frame3), "MySQL");
  EXPECT_EQ(panel_->Text(ids::Frame2), "提示信息");
  EXPECT_EQ(panel_->Text(ids::restaraCom), "重启");
  EXPECT_EQ(panel_->Text(ids::zhanCom), "站点管理");
  EXPECT_EQ(panel_->Text(ids::Command1), "更多设置");
  wchar_t title[64] = {};
  GetWindowTextW(panel_->window(), title, 64);
  EXPECT_EQ(Narrow(title), "TellurixAdmin");

  // At 96 DPI the client area and the controls sit where the layout puts them.
  RECT client;
  GetClientRect(panel_->window(), &client);
  EXPECT_EQ(client.right, 337);
  EXPECT_EQ(client.bottom, 285);
  RECT list;
  GetWindowRect(GetDlgItem(panel_->window(), ids::List1), &list);
  MapWindowPoints(nullptr, panel_->window(), reinterpret_cast<POINT*>(&list), 2);
  EXPECT_EQ(list.left, 16);
  EXPECT_EQ(list.top, 112);
  EXPECT_EQ(list.right - list.left, 201);
  EXPECT_EQ(list.bottom - list.top, 148);
}

// --- Status monitor --------------------------------------------------------

TEST_F(PanelTest, FollowsAServerStartedAndStoppedBehindItsBack) {
  StartPanel(false, false);
  panel_->Choose(ids::showme);  // colours are read from the screen
  ASSERT_TRUE(WaitUntil([&] { return panel_->Visible(); }));
  EXPECT_TRUE(WaitUntil([&] { return panel_->ShowsColour(ids::la, kRed); }));

  SetService(kApache, true);
  ASSERT_TRUE(WaitForLine("Apache已经启动...    ", 2));
  auto lines = panel_->Lines();
  ASSERT_EQ(lines.size(), 3u) << "one line for one change";
  EXPECT_TRUE(IsLine(lines[2], "Apache已经启动...    "));
  EXPECT_TRUE(WaitUntil([&] { return !panel_->Enabled(ids::starta) && panel_->Enabled(ids::stopa); }));
  EXPECT_EQ(panel_->Text(ids::la), "●");
  EXPECT_EQ(panel_->Tooltip(ids::la), "Apache运行");
  EXPECT_TRUE(WaitUntil([&] { return panel_->ShowsColour(ids::la, kGreen); }));
  EXPECT_TRUE(panel_->Enabled(ids::startm)) << "MySQL is untouched";

  SetService(kApache, false);
  ASSERT_TRUE(WaitForLine("Apache已经停止...    ", 3));
  EXPECT_TRUE(WaitUntil([&] { return panel_->Enabled(ids::starta) && !panel_->Enabled(ids::stopa); }));
  EXPECT_EQ(panel_->Text(ids::la), "■");
  EXPECT_EQ(panel_->Tooltip(ids::la), "Apache停止");
  EXPECT_TRUE(WaitUntil([&] { return panel_->ShowsColour(ids::la, kRed); }));

  // Staying stopped adds nothing more.
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(panel_->Lines().size(), 4u);
}

TEST_F(PanelTest, UndoesForeignChangesOfTheStartAndStopButtonsWithinASecond) {
  StartPanel(false, true);
  EnableWindow(GetDlgItem(panel_->window(), ids::starta), FALSE);
  EnableWindow(GetDlgItem(panel_->window(), ids::stopm), FALSE);
  EXPECT_TRUE(WaitUntil([&] { return panel_->Enabled(ids::starta) && panel_->Enabled(ids::stopm); }, 3s));
}

// --- Service commands --------------------------------------------------------

TEST_F(PanelTest, StartAndStopButtonsRunNetAndTheMonitorReportsTheOutcome) {
  StartPanel(false, false);
  panel_->Click(ids::starta);
  ASSERT_TRUE(WaitForLine("Apache正在启动...    ", 2));
  EXPECT_TRUE(IsLine(panel_->Lines()[2], "Apache正在启动...    "));
  ASSERT_TRUE(WaitForLine("Apache已经启动...    ", 3)) << "net start Apache2 did not start the service";
  EXPECT_TRUE(Services::Running(kApache));

  panel_->Click(ids::stopa);
  ASSERT_TRUE(WaitForLine("Apache正在停止...    ", 4));
  ASSERT_TRUE(WaitForLine("Apache已经停止...    ", 5));
  EXPECT_FALSE(Services::Running(kApache));
}

TEST_F(PanelTest, MenuEntriesRunTheServiceCommandsOfTheirButtons) {
  StartPanel(false, false);
  panel_->Choose(ids::mstart);
  ASSERT_TRUE(WaitForLine("MySQL正在启动...    ", 2));
  ASSERT_TRUE(WaitForLine("MySQL已经启动...    ", 3));
  panel_->Choose(ids::mstop2);
  ASSERT_TRUE(WaitForLine("MySQL正在停止...    ", 4));
  ASSERT_TRUE(WaitForLine("MySQL已经停止...    ", 5));
  panel_->Choose(ids::astart2);
  ASSERT_TRUE(WaitForLine("Apache正在启动...    ", 6));
  ASSERT_TRUE(WaitForLine("Apache已经启动...    ", 7));
  panel_->Choose(ids::astop);
  ASSERT_TRUE(WaitForLine("Apache正在停止...    ", 8));
  ASSERT_TRUE(WaitForLine("Apache已经停止...    ", 9));
}

TEST_F(PanelTest, ARestartStartsFiveSecondsAfterItsStopWhileTheWindowKeepsAnswering) {
  StartPanel(true, false);
  const auto sent = std::chrono::steady_clock::now();
  panel_->Click(ids::restaraCom);
  ASSERT_TRUE(WaitForLine("Apache正在停止...    ", 2, 3s));
  // During the wait the window answers and the monitor goes on.
  ASSERT_TRUE(WaitForLine("Apache已经停止...    ", 2, 5s));
  EXPECT_TRUE(panel_->Responsive());
  ASSERT_TRUE(WaitForLine("Apache正在启动...    ", 2, 10s));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_GE(started - sent, 5s) << "the start came sooner than five seconds after the stop";
  ASSERT_TRUE(WaitForLine("Apache已经启动...    ", 2, 15s));

  auto lines = panel_->Lines();
  auto stop = LinesStartingWith(lines, "Apache正在停止...    ");
  auto start = LinesStartingWith(lines, "Apache正在启动...    ");
  ASSERT_EQ(stop.size(), 1u);
  ASSERT_EQ(start.size(), 1u);
  const int gap = SecondsOfLine(start[0]) - SecondsOfLine(stop[0]);
  EXPECT_TRUE(gap == 5 || gap == 6) << stop[0] << " / " << start[0];
}

TEST_F(PanelTest, OverlappingRestartsEachRunTheirOwnSequence) {
  StartPanel(false, false);
  panel_->Choose(ids::restartm2);
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(panel_->Responsive());
  panel_->Click(ids::restartmCom);
  ASSERT_TRUE(WaitUntil([&] { return LinesStartingWith(panel_->Lines(), "MySQL正在启动...    ").size() == 2; }, 12s));
  auto lines = panel_->Lines();
  std::vector<std::string> sequence;
  for (const auto& line : lines) {
    if (StartsWith(line, "MySQL正在停止")) sequence.push_back("stop");
    if (StartsWith(line, "MySQL正在启动")) sequence.push_back("start");
  }
  EXPECT_EQ(sequence, (std::vector<std::string>{"stop", "stop", "start", "start"}));
  EXPECT_TRUE(WaitForLine("MySQL已经启动...    ", 2));
}

TEST_F(PanelTest, ACommandThatCannotBeLaunchedIsReportedInTheList) {
  // Windows looks for "net" in the program's own folder first; a file there that
  // is no program makes the launch fail.
  HANDLE bogus = CreateFileW((directory_.path() + L"\\net.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(bogus, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(bogus, "not a program", 13, &written, nullptr);
  CloseHandle(bogus);
  StartPanel(false, false);
  panel_->Click(ids::starta);
  ASSERT_TRUE(WaitForLine("Apache正在启动...    ", 2));
  auto lines = panel_->Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(IsLine(lines[2], "无法运行命令“net start Apache2”...    "));
  EXPECT_TRUE(panel_->Responsive());
  DeleteFileW((directory_.path() + L"\\net.exe").c_str());
}

// --- Instances, window commands, tray -------------------------------------------

TEST_F(PanelTest, ASecondInstanceSaysSoAndLeavesTheFirstAlone) {
  StartPanel(true, false);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION second{};
  std::wstring commandLine = L"\"" + directory_.exe() + L"\"";
  ASSERT_TRUE(CreateProcessW(directory_.exe().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &second));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    box = FindWindowW(L"#32770", L"TellurixAdmin");
    DWORD pid = 0;
    if (box) GetWindowThreadProcessId(box, &pid);
    return box && pid == second.dwProcessId;
  }));
  wchar_t message[128] = {};
  GetDlgItemTextW(box, 0xFFFF, message, 128);
  EXPECT_EQ(Narrow(message), "您已经运行这个应用程序了！");
  EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "OK only";
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_EQ(WaitForSingleObject(second.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 2u);
  CloseHandle(second.hProcess);
  CloseHandle(second.hThread);

  EXPECT_TRUE(panel_->Responsive());
  EXPECT_EQ(panel_->Lines().size(), 2u);
  EXPECT_FALSE(panel_->Visible());
}

TEST_F(PanelTest, ShowMeHideMeAndTheCloseBoxOnlyShowAndHide) {
  StartPanel(false, false);
  panel_->Choose(ids::showme);
  ASSERT_TRUE(WaitUntil([&] { return panel_->Visible(); }));
  EXPECT_FALSE(IsIconic(panel_->window()));
  panel_->Choose(ids::hideme);
  ASSERT_TRUE(WaitUntil([&] { return !panel_->Visible(); }));
  panel_->Choose(ids::hideme);  // hiding a hidden window changes nothing
  panel_->Choose(ids::showme);
  ASSERT_TRUE(WaitUntil([&] { return panel_->Visible(); }));

  // A minimised window comes back in its normal state.
  ShowWindow(panel_->window(), SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(panel_->window()) != FALSE; }));
  panel_->Choose(ids::showme);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(panel_->window()) && panel_->Visible(); }));

  PostMessageW(panel_->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !panel_->Visible(); }));
  EXPECT_FALSE(panel_->WaitForExit(1s)) << "the close box must not end the program";
  EXPECT_NE(TrayIconWindow(), nullptr);
  // The tray icon still answers, and the monitor still runs.
  panel_->Tray(WM_LBUTTONUP);
  ASSERT_NE(panel_->WaitForPopupMenu(), nullptr);
  panel_->Key(VK_ESCAPE);
  SetService(kMySQL, true);
  EXPECT_TRUE(WaitForLine("MySQL已经启动...    ", 2));
}

TEST_F(PanelTest, PutsItsIconBackWhenTheShellRestarts) {
  StartPanel(false, false);
  ASSERT_EQ(TrayIconCount(), 1);
  // What Explorer broadcasts when it starts anew.
  PostMessageW(panel_->window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(panel_->Responsive());
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(TrayIconCount(), 1);
  panel_->Tray(WM_LBUTTONUP);
  ASSERT_NE(panel_->WaitForPopupMenu(), nullptr) << "the new icon answers";
  panel_->Key(VK_ESCAPE);
}

TEST_F(PanelTest, QuitEntriesEndTheProgramAndLeaveTheServicesRunning) {
  for (int entry : {ids::quit, ids::quit3}) {
    StartPanel(true, false);
    panel_->Choose(entry);
    EXPECT_TRUE(panel_->WaitForExit(5s));
    DWORD code = 99;
    GetExitCodeProcess(panel_->process(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WaitUntil([] { return TrayIconWindow() == nullptr; }, 3s)) << "the tray icon is removed";
    EXPECT_TRUE(Services::Running(kApache)) << "quitting issues no service command";
    panel_.reset();
  }
}

TEST_F(PanelTest, TheTrayMenuOpensOnALeftButtonReleaseOnly) {
  StartPanel(false, false);
  for (UINT ignored : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MBUTTONUP}) {
    panel_->Tray(ignored);
  }
  // A real pointer move over the window, 514 pixels in, is no notification.
  PostMessageW(panel_->window(), WM_MOUSEMOVE, 0, MAKELPARAM(514, 0));
  EXPECT_EQ(panel_->WaitForPopupMenu(), nullptr);

  panel_->Tray(WM_LBUTTONUP);
  ASSERT_NE(panel_->WaitForPopupMenu(), nullptr);
  EXPECT_FALSE(panel_->Visible()) << "the menu opens while the window stays hidden";
  // From the top, going up wraps to the last entries: "Quit(退出)", then "Show Me (显示)".
  panel_->Key(VK_UP);
  panel_->Key(VK_UP);
  panel_->Key(VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return panel_->Visible(); }));
}

TEST_F(PanelTest, MoreSettingsOpensTheFileMenuWhoseLastEntryQuits) {
  StartPanel(false, false);
  panel_->Click(ids::Command1);
  ASSERT_NE(panel_->WaitForPopupMenu(), nullptr);
  panel_->Key(VK_UP);
  panel_->Key(VK_RETURN);
  EXPECT_TRUE(panel_->WaitForExit(5s));
}

TEST_F(PanelTest, DisabledServiceEntriesOfTheTrayMenuRunNothing) {
  StartPanel(true, false);
  const std::size_t before = panel_->Lines().size();
  // filez: down to "Apache 服务", into it, and choose its first entry "启动",
  // which is disabled while Apache runs.
  panel_->Tray(WM_LBUTTONUP);
  ASSERT_NE(panel_->WaitForPopupMenu(), nullptr);
  for (int i = 0; i < 9; ++i) panel_->Key(VK_DOWN);
  panel_->Key(VK_RIGHT);
  panel_->Key(VK_RETURN);
  std::this_thread::sleep_for(1500ms);
  panel_->Key(VK_ESCAPE);
  panel_->Key(VK_ESCAPE);
  EXPECT_EQ(panel_->Lines().size(), before) << "a disabled entry runs nothing";

  // Its "停止" is enabled and runs the stop command.
  panel_->Tray(WM_LBUTTONUP);
  ASSERT_NE(panel_->WaitForPopupMenu(), nullptr);
  for (int i = 0; i < 9; ++i) panel_->Key(VK_DOWN);
  panel_->Key(VK_RIGHT);
  panel_->Key(VK_DOWN);
  panel_->Key(VK_RETURN);
  EXPECT_TRUE(WaitForLine("Apache正在停止...    ", before));
}

// --- Process probe -----------------------------------------------------------------

class StandIn {
 public:
  // Runs a copy of the stand-in server under another image name, as a plain process.
  StandIn(const std::wstring& folder, const std::wstring& imageName) : path_(folder + L"\\" + imageName) {
    // The stand-in server is built beside the panel.
    std::wstring standIn = PathFromEnvironment("TELLURIX_EXE");
    standIn = standIn.substr(0, standIn.rfind(L'\\')) + L"\\httpd.exe";
    EXPECT_TRUE(CopyFileW(standIn.c_str(), path_.c_str(), FALSE)) << Narrow(standIn);
    std::wstring commandLine = L"\"" + path_ + L"\" --plain 60";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    CreateProcessW(path_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_);
  }
  ~StandIn() {
    if (process_.hProcess) {
      TerminateProcess(process_.hProcess, 0);
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    DeleteFileW(path_.c_str());
  }
  bool running() const { return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

 private:
  std::wstring path_;
  PROCESS_INFORMATION process_{};
};

TEST_F(PanelTest, OnlyTheExactImageNameCounts) {
  StandIn upper(directory_.path(), L"HTTPD.EXE");
  StandIn longer(directory_.path(), L"myhttpd.exe");
  StandIn mysqld(directory_.path(), L"mysqld.exe");
  ASSERT_TRUE(upper.running() && longer.running() && mysqld.running());
  StartPanel(false, false);
  auto lines = panel_->Lines();
  EXPECT_TRUE(IsLine(lines[0], "Apache已经停止...    "));
  EXPECT_TRUE(IsLine(lines[1], "MySQL已经停止...    "));
}

TEST_F(PanelTest, TwoServerProcessesCountAsRunningUntilBothAreGone) {
  StartPanel(true, false);
  {
    StandIn second(directory_.path(), L"httpd.exe");
    ASSERT_TRUE(second.running());
    SetService(kApache, false);
    std::this_thread::sleep_for(2500ms);
    EXPECT_TRUE(LinesStartingWith(panel_->Lines(), "Apache已经停止").empty()) << "one httpd.exe still runs";
  }
  EXPECT_TRUE(WaitForLine("Apache已经停止...    ", 2));
}

}  // namespace
}  // namespace e2e
