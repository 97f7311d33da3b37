// The main window of the real TellurixAdmin.exe under Wine: startup, status
// monitor, service commands through real `net`, tray icon, menus and the
// quick-access entries.
#include <memory>
#include <tuple>

#include "harness.h"

namespace e2e {
namespace {

constexpr wchar_t kApache[] = L"Apache2", kMySQL[] = L"MySQL";
using Started = ProgramDirectory::Started;

// Starts a panel while the servers are in these states and checks its startup.
std::unique_ptr<Panel> StartWith(const ProgramDirectory& home, bool apacheUp, bool mySQLUp) {
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  auto panel = std::make_unique<Panel>(home.exe());
  GetLocalTime(&after);
  EXPECT_TRUE(panel->started());
  if (!panel->started()) return panel;
  EXPECT_EQ(panel->Lines().size(), 2u);
  EXPECT_EQ(panel->WaitForLine(apacheUp ? text::kApacheStarted : text::kApacheStopped, 0, 0ms), 0);
  EXPECT_EQ(panel->WaitForLine(mySQLUp ? text::kMySQLStarted : text::kMySQLStopped, 1, 0ms), 1);
  EXPECT_TRUE(StampedBetween(panel->Lines()[0], before, after)) << panel->Lines()[0];
  EXPECT_FALSE(panel->Visible()) << "the panel starts in the tray";
  EXPECT_EQ(TrayIconCount(), 1);
  return panel;
}

// What the main window shows of both servers; it must be on screen for the colours.
void ExpectShows(const Panel& panel, bool apacheUp, bool mySQLUp) {
  for (bool apache : {true, false}) {
    const bool up = apache ? apacheUp : mySQLUp;
    const int start = apache ? ids::starta : ids::startm, stop = apache ? ids::stopa : ids::stopm;
    const int mark = apache ? ids::la : ids::lm;
    const char* tip = apache ? (up ? text::kApacheRunningTip : text::kApacheStoppedTip)
                             : (up ? text::kMySQLRunningTip : text::kMySQLStoppedTip);
    SCOPED_TRACE(tip);
    EXPECT_TRUE(WaitUntil([&] { return panel.Enabled(start) == !up && panel.Enabled(stop) == up; }));
    EXPECT_EQ(Read(panel.window(), mark), up ? text::kRunningMark : text::kStoppedMark);
    EXPECT_EQ(panel.Tooltip(mark), tip);
    const COLORREF colour = up ? RGB(0, 192, 0) : RGB(255, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return ShowsColour(GetDlgItem(panel.window(), mark), colour); }, 3s));
  }
}

TEST(Panel, StartupMonitorAndServiceCommands) {
  ProgramDirectory home(L"面板 panel");
  // The services run the stack's own programs, as after an installation.
  ServiceRegistration apache(kApache), mysql(kMySQL);
  home.StandIn(L"Apache2\\bin\\httpd.exe");
  home.StandIn(L"MySQL\\bin\\mysqld-nt.exe");
  ASSERT_TRUE(apache.PointAt(home / L"Apache2\\bin\\httpd.exe") && mysql.PointAt(home / L"MySQL\\bin\\mysqld-nt.exe"));
  ASSERT_TRUE(SetService(kApache, true) && SetService(kMySQL, false));
  auto panel = StartWith(home, true, false);
  ASSERT_TRUE(panel->started());
  panel->Choose(ids::showme);
  ASSERT_TRUE(WaitUntil([&] { return panel->Visible(); }));
  ExpectShows(*panel, true, false);
  // The monitor puts foreign changes of the buttons right within its tick.
  EnableWindow(GetDlgItem(panel->window(), ids::stopa), FALSE);
  EXPECT_TRUE(WaitUntil([&] { return panel->Enabled(ids::stopa); }, 3s));

  // Servers stopped and started behind the panel's back; Apache runs while any httpd.exe does.
  home.StandIn(L"other\\httpd.exe");
  {
    Process second(home / L"other\\httpd.exe", L"--plain 60");
    ASSERT_TRUE(second.running());
    ASSERT_TRUE(SetService(kApache, false));
    EXPECT_EQ(panel->WaitForLine(text::kApacheStopped, 2, 2500ms), -1) << "one httpd.exe still runs";
  }
  EXPECT_EQ(panel->WaitForLine(text::kApacheStopped, 2), 2);
  ASSERT_TRUE(SetService(kMySQL, true));
  EXPECT_EQ(panel->WaitForLine(text::kMySQLStarted, 3), 3);
  ExpectShows(*panel, false, true);

  // Buttons and entries of both menus run `net`; the monitor reports the outcome.
  for (auto [id, progress, outcome] : {std::tuple(ids::starta, text::kApacheStarting, text::kApacheStarted),
                                       std::tuple(ids::stopm, text::kMySQLStopping, text::kMySQLStopped),
                                       std::tuple(ids::mstart, text::kMySQLStarting, text::kMySQLStarted),
                                       std::tuple(ids::astop2, text::kApacheStopping, text::kApacheStopped)}) {
    const size_t n = panel->Lines().size();
    Press(panel->window(), id);
    EXPECT_EQ(panel->WaitForLine(progress, n), static_cast<int>(n)) << progress;
    EXPECT_EQ(panel->WaitForLine(outcome, n + 1), static_cast<int>(n + 1)) << outcome;
  }

  // Two restarts at once, from the button and from the tray menu: each starts at
  // least five seconds after its stop, and the window answers meanwhile.
  size_t n = panel->Lines().size();
  Press(panel->window(), ids::restaraCom);
  panel->Choose(ids::restartm2);
  EXPECT_GE(panel->WaitForLine(text::kMySQLStopped, n), 0);
  EXPECT_TRUE(panel->Responsive());
  for (auto [stopping, starting, started] :
       {std::tuple(text::kApacheStopping, text::kApacheStarting, text::kApacheStarted),
        std::tuple(text::kMySQLStopping, text::kMySQLStarting, text::kMySQLStarted)}) {
    const int stop = panel->WaitForLine(stopping, n), start = panel->WaitForLine(starting, n);
    ASSERT_TRUE(stop >= 0 && start >= 0) << starting;
    const auto lines = panel->Lines();
    EXPECT_GE((SecondsOf(lines[start]) - SecondsOf(lines[stop]) + 86400) % 86400, 5) << lines[stop] << lines[start];
    EXPECT_GT(panel->WaitForLine(started, n), start);
  }

  // A server that takes its time to stop, as InnoDB's shutdown does: the restart
  // starts it only once the service manager says it stopped, and the start succeeds.
  ASSERT_TRUE(mysql.PointAt(home / L"MySQL\\bin\\mysqld-nt.exe", L"--stop-delay-ms 9000"));
  ASSERT_TRUE(SetService(kMySQL, false) && SetService(kMySQL, true));
  n = panel->Lines().size();
  Press(panel->window(), ids::restartm);
  {
    const int stopped = panel->WaitForLine(text::kMySQLStopped, n, 20s);
    const int starting = panel->WaitForLine(text::kMySQLStarting, n, 20s);
    ASSERT_TRUE(stopped >= 0 && starting > stopped) << stopped << " " << starting;
    EXPECT_GT(panel->WaitForLine(text::kMySQLStarted, starting, 20s), starting);
    const auto lines = panel->Lines();
    EXPECT_GE((SecondsOf(lines[starting]) - SecondsOf(lines[n]) + 86400) % 86400, 9) << lines[n] << lines[starting];
    for (const std::string& line : lines) EXPECT_EQ(line.find(text::kStartFailed), std::string::npos) << line;
  }
  ASSERT_TRUE(mysql.PointAt(home / L"MySQL\\bin\\mysqld-nt.exe"));

  // A command that cannot be launched: Windows looks for `net` in the panel's own folder first.
  home.Put(L"net.exe", "not a program");
  n = panel->Lines().size();
  Press(panel->window(), ids::stopa);
  const std::string failed = std::string(text::kLaunchFailedBefore) + "net stop Apache2" + text::kLaunchFailedAfter;
  EXPECT_EQ(panel->WaitForLine(failed, n), static_cast<int>(n));
  EXPECT_EQ(panel->WaitForLine(text::kApacheStopping, n), static_cast<int>(n + 1));
  DeleteFileW((home / L"net.exe").c_str());

  panel->Choose(ids::quit);
  EXPECT_EQ(panel->ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }, 3s)) << "the tray icon is removed";
  // Quitting stopped no server.
  panel = StartWith(home, true, true);
  panel->Choose(ids::quit3);
  EXPECT_EQ(panel->ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }, 3s)) << "the tray icon is removed";
}

TEST(Panel, TrayMenusWindowAndSecondInstance) {
  ProgramDirectory home(L"托盘 tray");
  ASSERT_TRUE(SetService(kApache, false) && SetService(kMySQL, true));
  // Only the exact image name counts.
  home.StandIn(L"HTTPD.EXE");
  home.StandIn(L"myhttpd.exe");
  Process upper(home / L"HTTPD.EXE", L"--plain 60"), longer(home / L"myhttpd.exe", L"--plain 60");
  ASSERT_TRUE(upper.running() && longer.running());
  auto panel = StartWith(home, false, true);
  ASSERT_TRUE(panel->started());

  {
    Panel second(home.exe());
    HWND box = FrontDialog(second.processId(), text::kAppTitle);
    EXPECT_TRUE(box && !GetDlgItem(box, IDCANCEL)) << "a message with OK only";
    EXPECT_EQ(second.Answer(), text::kAlreadyRunning);
    EXPECT_EQ(second.ExitCode(), 2u);
  }
  EXPECT_EQ(panel->Lines().size(), 2u) << "the first instance is left alone";

  // Only a left button release on the icon opens the menu; a real pointer move
  // over the window carries no icon id.
  for (UINT ignored : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MBUTTONUP})
    panel->Tray(ignored);
  PostMessageW(panel->window(), WM_MOUSEMOVE, 0, MAKELPARAM(514, 0));
  EXPECT_FALSE(WaitUntil([&] { return panel->MenuShown(); }, 1500ms));
  const auto menu = [&](size_t down, std::vector<UINT> keys) {
    keys.insert(keys.begin(), down, VK_DOWN);
    panel->Tray(WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return panel->MenuShown(); }));
    EXPECT_FALSE(panel->Visible()) << "the menu opens while the window stays hidden";
    panel->Keys(keys);
    EXPECT_TRUE(WaitUntil([&] { return !panel->MenuShown(); }));
  };
  // "MySQL 服务", eighth in filez, and its "启动", disabled while MySQL runs; then its "停止".
  const size_t n = panel->Lines().size();
  menu(8, {VK_RIGHT, VK_RETURN, VK_ESCAPE, VK_ESCAPE});
  menu(8, {VK_RIGHT, VK_DOWN, VK_RETURN});
  EXPECT_EQ(panel->WaitForLine(text::kMySQLStopping, n), static_cast<int>(n)) << "the disabled entry ran something";
  // Going up from the top wraps to the last entries, "Quit(退出)" and then "Show Me (显示)".
  menu(0, {VK_UP, VK_UP, VK_RETURN});
  EXPECT_TRUE(WaitUntil([&] { return panel->Visible(); }));

  panel->Choose(ids::hideme);
  EXPECT_TRUE(WaitUntil([&] { return !panel->Visible(); }));
  panel->Choose(ids::showme);
  EXPECT_TRUE(WaitUntil([&] { return panel->Visible(); }));
  ShowWindow(panel->window(), SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(panel->window()) != FALSE; }));
  panel->Choose(ids::showme);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(panel->window()) && panel->Visible(); })) << "restored";
  PostMessageW(panel->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !panel->Visible(); })) << "the close box only hides";

  // A shell started anew: the icon is added again, neither lost nor doubled, and answers.
  DWORD_PTR result = 0;
  const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  EXPECT_TRUE(SendMessageTimeoutW(panel->window(), taskbarCreated, 0, 0, SMTO_NORMAL, 5000, &result)) << "it hangs";
  EXPECT_EQ(TrayIconCount(), 1);
  menu(0, {VK_ESCAPE});

  // "更多设置" opens the file menu, whose last entry quits.
  Press(panel->window(), ids::Command1);
  ASSERT_TRUE(WaitUntil([&] { return panel->MenuShown(); }));
  panel->Keys({VK_UP, VK_RETURN});
  EXPECT_EQ(panel->ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }, 3s)) << "the tray icon is removed";
}

TEST(Panel, QuickAccessEntriesStartTheirCommandLines) {
  ProgramDirectory home(L"快速 访问");
  const std::string h = home.home(), root = h + "\\www root";
  // Windows looks for a program in the panel's own folder first; the file system does not tell MySQL from mysql.
  for (const wchar_t* name : {L"notepad.exe", L"explorer.exe", L"cmd.exe", L"mysql\\bin\\mysql.exe"})
    home.StandIn(name);
  CreateDirectoryW((home / L"www root").c_str(), nullptr);
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  constexpr int kNormal = SW_SHOWNORMAL, kMinimized = SW_SHOWMINIMIZED;
  // Paths with spaces are quoted, as programs and as arguments; only exactly 80 is left out of addresses.
  const std::tuple<std::string, std::vector<int>, Started> table[] = {
      {"80", {ids::phpini, ids::phpini2}, {kNormal, "notepad.exe \"" + h + "\\PHP5\\php.ini\""}},
      {"80", {ids::httpdconf, ids::httpdconf2}, {kNormal, "notepad.exe \"" + h + "\\Apache2\\conf\\httpd.conf\""}},
      {"80", {ids::mysqlini, ids::mysqlini2}, {kNormal, "notepad.exe \"" + h + "\\MySQL\\my.ini\""}},
      {"80", {ids::phpmyadmininc, ids::phpmyadmininc2},
       {kNormal, "notepad.exe \"" + root + "\\phpMyAdmin\\libraries\\config.default.php\""}},
      {"80", {ids::wwwroot, ids::wwwroot2}, {kNormal, "explorer.exe \"" + root + "\""}},
      {"80", {ids::mysqldata, ids::mysqldata2}, {kNormal, "explorer.exe \"" + h + "\\MySQL\\data\""}},
      {"80", {ids::apachelog}, {kNormal, "explorer.exe \"" + h + "\\Apache2\\logs\""}},
      {"80", {ids::mysqlconsole, ids::mysqlconsole2}, {kNormal, "\"" + h + "\\mysql\\bin\\mysql.exe\" -uroot -p"}},
      {"80", {ids::servicecontrol, ids::servicecontrol2}, {SW_HIDE, "cmd /c services.msc"}},
      {"80", {ids::homepage, ids::homepage2}, {kMinimized, "explorer.exe http://localhost"}},
      {"80", {ids::phpmyadmin, ids::phpmyadmin2}, {kMinimized, "explorer.exe http://localhost/phpMyAdmin"}},
      {"80", {ids::phpinfo}, {kMinimized, "explorer.exe http://localhost/phpinfo.php"}},
      {"80", {ids::update}, {kMinimized, "explorer.exe http://" + std::string(sites::kMainSiteHost) + "/tellurix/"}},
      {"8080", {ids::homepage2}, {kMinimized, "explorer.exe http://localhost:8080"}},
      {"8080", {ids::phpmyadmin}, {kMinimized, "explorer.exe http://localhost:8080/phpMyAdmin"}},
      {"8080", {ids::phpinfo}, {kMinimized, "explorer.exe http://localhost:8080/phpinfo.php"}},
  };
  std::vector<Started> expected;
  for (const auto& [listen, entries, started] : table) {
    // Read afresh by every entry.
    home.Put(L"Tellurix.ini", Ansi("[Apache]\r\nListen=" + listen + "\r\nDocumentRoot=" + root + "\r\n"));
    for (int entry : entries) {
      expected.push_back(started);
      panel.Choose(entry);
      EXPECT_TRUE(WaitUntil([&] { return home.Recorded().size() >= expected.size(); })) << "entry " << entry;
    }
  }
  EXPECT_EQ(home.Recorded(), expected);
  EXPECT_EQ(ReadBytes(home / L"www root\\phpinfo.php"), "<?   phpinfo();   ?>\r\n");
}

}  // namespace
}  // namespace e2e
