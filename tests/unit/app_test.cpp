// The panel's decisions outside the settings dialogs: which command each control and menu entry runs, what the
// quick-access commands launch, the service commands and restart timing, how the status monitor finds and shows
// the servers, and the steps of the About dialog's support link.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "about/shortcut_plan.h"
#include "app/quick_access.h"
#include "servers/service_commands.h"
#include "app/status_monitor.h"
#include "core/process_probe.h"
#include "resources/ids.h"
#include "resources/maker_sites.h"
#include "resources/texts.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using namespace tellurix;

void Walk(const MenuNode& menu, std::vector<const MenuNode*>& out) {
  for (const MenuNode& node : menu.children) out.push_back(&node), Walk(node, out);
}

// Entries that differ only by a trailing number are one entry in both menus and run one command; submenus and
// separators run nothing, and no id is used twice; nor do the window's frames, labels, marks and list.
TEST(CommandFor, MenuEntriesAndButtons) {
  // Each command's entries, in the order of the Command enum (ShowFileMenu is the button's alone).
  const std::vector<std::string> names = {"astart", "astop", "restarta", "mstart", "mstop", "restartm", "", "hideme",
      "showme", "quit", "phpset", "apcheset", "mysqlset", "zhan", "about", "phpini", "httpdconf", "mysqlini",
      "phpmyadmininc", "wwwroot", "mysqldata", "apachelog", "mysqlconsole", "servicecontrol", "homepage", "phpmyadmin",
      "phpinfo", "update"};
  std::vector<const MenuNode*> nodes;
  Walk(FileMenu(), nodes);
  Walk(FilezMenu(), nodes);
  std::set<std::string> seen;
  std::set<int> used;
  for (const MenuNode* node : nodes) {
    const std::string name(node->name.substr(0, node->name.find_last_not_of("0123456789") + 1));
    const bool command = node->kind == MenuNode::Kind::Command;
    const auto at = std::find(names.begin(), names.end(), name);
    const auto expected =
        command && at != names.end() ? std::optional(static_cast<Command>(at - names.begin())) : std::nullopt;
    EXPECT_EQ(CommandFor(node->id), expected) << name;
    if (!command) continue;
    seen.insert(name);
    EXPECT_TRUE(used.insert(node->id).second) << name;
  }
  EXPECT_EQ(seen.size(), names.size() - 1);
  EXPECT_TRUE(CommandFor(ids::zhanCom) == Command::SiteManager && CommandFor(ids::Command1) == Command::ShowFileMenu);
  for (int id : {ids::Frame1, ids::Label1, ids::la, ids::Label2, ids::lm, ids::Apache, ids::Frame3, ids::Frame2,
                 ids::List1, 0, -1, 9999})
    EXPECT_FALSE(CommandFor(id).has_value()) << id;
}

// The status monitor enables the start and stop controls of the server they start and stop.
TEST(ServiceCommands, ControlsCommandsAndCommandLines) {
  const ServiceAction Start = ServiceAction::Start, Stop = ServiceAction::Stop;
  auto routes = [](int id, Service service, ServiceAction action) {
    const auto command = ServiceCommandFor(CommandFor(id).value_or(Command::Quit));
    return command && command->service == service && command->action == action;
  };
  for (const auto& [server, service] : {std::pair(Server::Apache, Service::Apache2), {Server::MySQL, Service::MySQL}}) {
    const ServerTraits& t = TraitsOf(server);
    for (int id : {t.startButton, t.startEntries[0], t.startEntries[1]}) EXPECT_TRUE(routes(id, service, Start));
    for (int id : {t.stopButton, t.stopEntries[0], t.stopEntries[1]}) EXPECT_TRUE(routes(id, service, Stop));
  }
  EXPECT_TRUE(routes(ids::restaraCom, Service::Apache2, ServiceAction::Restart));
  EXPECT_TRUE(routes(ids::restartmCom, Service::MySQL, ServiceAction::Restart));
  EXPECT_FALSE(ServiceCommandFor(Command::Quit) || ServiceCommandFor(Command::PhpInfo));
  for (const auto& [service, name] : {std::pair(Service::Apache2, "Apache2"), {Service::MySQL, "MySQL"}})
    EXPECT_EQ(StartCommandLine(service) + "|" + StopCommandLine(service), "net start "s + name + "|net stop " + name);
}

// Paths with a space are quoted (each backslash before the closing quote doubled), only exactly "80" leaves the
// port out of the local addresses, and the values are used as the profile holds them.
TEST(QuickAccessLaunch, CommandLinesAndWindowStates) {
  const QuickAccessSettings plain{"D:\\s", "80", "D:\\w"}, spaced{"C:\\P F", "8080", "D:\\M S\\\\"};
  const std::string pma = "\\phpMyAdmin\\libraries\\config.default.php", ex = "explorer.exe ", np = "notepad.exe ";
  const std::string s = "D:\\s", pf = "\"C:\\P F", web = ex + "http://localhost";
  const std::string update = ex + "http://" + sites::kMainSiteHost + "/tellurix/";
  const auto N = ShowState::Normal, M = ShowState::Minimized;
  // The command lines with the plain and with the spaced settings.
  const struct { Command command; ShowState show; std::string plain, spaced; } rows[] = {
      {Command::EditPhpIni, N, np + s + "\\PHP5\\php.ini", np + pf + "\\PHP5\\php.ini\""},
      {Command::EditHttpdConf, N, np + s + "\\Apache2\\conf\\httpd.conf", np + pf + "\\Apache2\\conf\\httpd.conf\""},
      {Command::EditMySQLIni, N, np + s + "\\MySQL\\my.ini", np + pf + "\\MySQL\\my.ini\""},
      {Command::EditPhpMyAdminInc, N, np + "D:\\w" + pma, np + "\"D:\\M S\\\\" + pma + "\""},
      {Command::OpenWwwRoot, N, ex + "D:\\w", ex + "\"D:\\M S\\\\\\\\\""},
      {Command::OpenMySQLData, N, ex + s + "\\MySQL\\data", ex + pf + "\\MySQL\\data\""},
      {Command::OpenApacheLog, N, ex + s + "\\Apache2\\logs", ex + pf + "\\Apache2\\logs\""},
      {Command::MySQLConsole, N, s + "\\mysql\\bin\\mysql.exe -uroot -p", pf + "\\mysql\\bin\\mysql.exe\" -uroot -p"},
      {Command::ServiceControl, ShowState::Hide, "cmd /c services.msc", "cmd /c services.msc"},
      {Command::HomePage, M, web, web + ":8080"}, {Command::Update, M, update, update},
      {Command::PhpInfo, M, web + "/phpinfo.php", web + ":8080/phpinfo.php"},
      {Command::PhpMyAdmin, M, web + "/phpMyAdmin", web + ":8080/phpMyAdmin"},
  };
  for (const auto& [command, show, plainLine, spacedLine] : rows) {
    for (const auto& [settings, line] : {std::pair(plain, plainLine), std::pair(spaced, spacedLine)}) {
      const LaunchPlan plan = QuickAccessLaunch(command, settings).value_or(LaunchPlan{"(none)", N});
      EXPECT_TRUE(plan.commandLine == line && plan.show == show) << line << " | " << plan.commandLine;
    }
  }
  for (const auto& [listen, command, line] : {std::tuple("080", Command::OpenWwwRoot, ex),
           {"0", Command::EditPhpMyAdminInc, np + pma}, {"080", Command::HomePage, web + ":080"},
           {" 80", Command::HomePage, web + ": 80"}, {"", Command::PhpInfo, web + ":/phpinfo.php"}})
    EXPECT_EQ(QuickAccessLaunch(command, {"D:\\s", listen, ""}).value_or(LaunchPlan{}).commandLine, line);
  EXPECT_FALSE(QuickAccessLaunch(Command::StartApache, plain) || QuickAccessLaunch(Command::About, plain));
}

// Each restart waits five seconds from its own stop on the monotonic clock; the first stop lies just before a day's
// end of the clock's count, so that a wait across it is covered. The remaining wait rounds up, so a timer set for
// it never fires early. After five seconds a restart starts only a stopped service (a start of one still stopping
// fails) and gives up 120 s after its stop; it ends once, and unknown tickets name nothing.
TEST(PendingRestarts, FiveSecondsThenUntilStoppedEachOverlappingAndOnce) {
  const Clock::time_point t0 = Clock::time_point{} + 86399s;
  PendingRestarts restarts;
  const std::uint32_t first = restarts.Begin(Service::Apache2, t0), second = restarts.Begin(Service::MySQL, t0 + 2s);
  const std::uint32_t third = restarts.Begin(Service::MySQL, t0);
  EXPECT_TRUE(first != second && first != 0 && second != 0 && third != first && third != second);
  using S = RestartStep;
  // Ticket, time after t0, stopped, the wait left (-1: unknown ticket), the step, restarts left pending.
  const std::tuple<std::uint32_t, std::chrono::nanoseconds, bool, int, std::optional<S>, size_t> steps[] = {
      {first, 0ns, true, 5000, S::Wait, 3},
      {first, 1ns, true, 5000, S::Wait, 3},
      {first, 2500us, true, 4998, S::Wait, 3},
      {first, 5s - 1ns, true, 1, S::Wait, 3},
      {first, 5s, false, 0, S::Wait, 3},  // still stopping
      {first, 20s, true, 0, S::Start, 2},
      {first, 20s, true, -1, {}, 2},
      {second, 5s, true, 2000, S::Wait, 2},
      {0, 1h, true, -1, {}, 2},
      {second + 100, 1h, true, -1, {}, 2},
      {third, 120s - 1ns, false, 0, S::Wait, 2},
      {third, 120s, false, 0, S::GiveUp, 1},
      {third, 121s, true, -1, {}, 1},
      {second, 7s, true, 0, S::Start, 0},
  };
  for (const auto& [ticket, after, stopped, left, step, pending] : steps) {
    const auto remaining = restarts.Remaining(ticket, t0 + after);
    EXPECT_EQ(remaining ? remaining->count() : -1, left) << ticket << " at " << after.count();
    EXPECT_EQ(restarts.ServiceOf(ticket).has_value(), left >= 0);
    EXPECT_EQ(restarts.Next(ticket, t0 + after, stopped), step) << ticket << " at " << after.count();
    EXPECT_EQ(restarts.size(), pending);
  }
  // Asked again as often as the service's own wait hint suggests, within one and ten seconds.
  const std::pair<unsigned long, int> polls[] = {{0, 1000}, {2000, 1000}, {30000, 3000}, {600000, 10000}};
  for (const auto& [hint, ms] : polls) EXPECT_EQ(RestartPollInterval(hint).count(), ms) << hint;
}

// The name in a process entry's field of 260 characters is what stands before the first NUL, compared whole,
// case-sensitively and untrimmed; a shorter name written over a longer one leaves a stale tail after its NUL.
TEST(ImageNameIs, ComparesTheWholeNameBeforeTheFirstNul) {
  const std::tuple<std::wstring, const char*, bool> rows[] = {
      {L"httpd.exe", "httpd.exe", true}, {L"mysqld-nt.exe", "mysqld-nt.exe", true}, {L"HTTPD.EXE", "httpd.exe", false},
      {L"Httpd.exe", "httpd.exe", false}, {L"myhttpd.exe", "httpd.exe", false}, {L"httpd", "httpd.exe", false},
      {L"mysqld.exe", "mysqld-nt.exe", false}, {L"httpd.exe ", "httpd.exe", false}, {L"abc\0d.exe"s, "abc", true},
      {L"C:\\A\\httpd.exe", "httpd.exe", false}, {L"abc\0httpd.exe"s, "httpd.exe", false}, {L"", "httpd.exe", false},
      {L"h\0tpd.exe"s, "httpd.exe", false}, {L"httpd.exe\0xyz.exe"s, "httpd.exe", true},
      {L"httpd.ex\u0165", "httpd.exe", false},  // the low byte of U+0165 is 'e'
  };
  for (const auto& [name, wanted, matches] : rows) {
    std::vector<wchar_t> field(260, L'\0');
    std::copy(name.begin(), name.end(), field.begin());
    EXPECT_EQ(ImageNameIs(field.data(), field.size(), wanted), matches) << wanted;
  }
  // A field without a NUL is taken whole and never read past its length; the wanted name ends at its own length.
  const wchar_t full[] = {L'h', L't', L't', L'p', L'd', L'.', L'e', L'x', L'e'};
  EXPECT_TRUE(ImageNameIs(full, 9, "httpd.exe") && ImageNameIs(full, 5, "httpd") && !ImageNameIs(full, 5, "httpd.exe"));
  EXPECT_TRUE(ImageNameIs(full, 9, std::string_view("httpd.exe.bak", 9)) && !ImageNameIs(full, 0, "httpd.exe"));
}

// A server that went down is logged before the display turns red, one that came up after it turns green; nothing
// is logged while the state holds. The startup probe always logs, and leaves the first tick nothing to log.
TEST(StatusMonitor, TicksAndTheStartupProbe) {
  const Server A = Server::Apache, M = Server::MySQL;
  // Server, process count, reported running before, running after, the line a tick logs: "down" before the display
  // changes, "up" after it.
  const std::tuple<Server, int, bool, bool, std::string> rows[] = {
      {A, 0, true, false, "down"}, {A, 0, false, false, ""}, {A, 1, false, true, "up"}, {A, 1, true, true, ""},
      {A, 2, false, true, "up"}, {A, -1, true, false, "down"}, {M, 0, true, false, "down"}, {M, 0, false, false, ""},
      {M, 1, false, true, "up"}, {M, 3, true, true, ""},
  };
  // What each server's lines and tooltips say: came up, went down, running, stopped.
  const std::map<Server, std::array<std::string, 4>> said = {
      {A, {"Apache已经启动...    ", "Apache已经停止...    ", "Apache运行", "Apache停止"}},
      {M, {"MySQL已经启动...    ", "MySQL已经停止...    ", "MySQL运行", "MySQL停止"}},
  };
  for (const auto& [server, count, reported, running, line] : rows) {
    SCOPED_TRACE(std::to_string(static_cast<int>(server)) + " count " + std::to_string(count));
    const auto& [cameUp, wentDown, runningTip, stoppedTip] = said.at(server);
    const StatusUpdate tick = MonitorTick(server, count, reported), probe = StartupProbe(server, count);
    EXPECT_EQ(tick.lineBefore, line == "down" ? wentDown : "");
    EXPECT_EQ(tick.lineAfter, line == "up" ? cameUp : "");
    EXPECT_EQ(std::string(probe.lineBefore) + std::string(probe.lineAfter), running ? cameUp : wentDown);
    for (const StatusUpdate& u : {tick, probe}) {
      EXPECT_EQ(u.running, running);
      EXPECT_EQ(u.display.colour, running ? kRunningColour : kStoppedColour);
      EXPECT_EQ(u.display.tooltip, running ? runningTip : stoppedTip);
      EXPECT_EQ(u.display.mark, MonitorTick(A, running, running).display.mark);
      EXPECT_TRUE(u.display.startEnabled != running && u.display.stopEnabled == running);
    }
    const StatusUpdate next = MonitorTick(server, count, probe.running);
    EXPECT_TRUE(next.lineBefore.empty() && next.lineAfter.empty());
  }
  EXPECT_NE(MonitorTick(A, 1, true).display.mark, MonitorTick(A, 0, true).display.mark);
}

// Records every step asked of the platform; the step numbered `failAt` (from 1) fails.
struct FakeShell : ShortcutShell {
  FakeShell(size_t failAt, std::string desktop) : failAt(failAt), desktop(desktop) {}
  bool Step(const std::string& call) { return calls.push_back(call), calls.size() != failAt; }
  bool CreateShell() override { return Step("create"); }
  std::optional<std::string> ReadRegistry(std::string_view name) override {
    return Step("read " + std::string(name)) ? std::optional(desktop) : std::nullopt;
  }
  bool SaveShortcut(const std::string& path, const std::string& target) override { return Step(path + ">" + target); }
  bool Launch(const LaunchPlan& plan) override { return Step(plan.commandLine + (plan.show == kMin ? " min" : "")); }
  static constexpr ShowState kMin = ShowState::Minimized;
  size_t failAt;
  std::string desktop;
  std::vector<std::string> calls;
};

// Each step that fails is named, what was done before it stays done, and no later step runs. The second shortcut
// and the page the link opens lead to the site of the update page, the first elsewhere. A backslash goes between
// the desktop and the file only when the desktop lacks one (a slash is no separator; nothing is trimmed).
TEST(DesktopShortcuts, StepsStopAtTheFailingOneAndNameIt) {
  const std::string desktop = "C:\\U\\Desktop", site = SiteLaunch().commandLine;
  const std::vector<std::string> steps = {"create", "read " + std::string(kDesktopValueName),
                                          desktop + "\\Lanterra.lnk>" + DesktopShortcuts()[0].target,
                                          desktop + "\\Mossgrove.lnk>" + DesktopShortcuts()[1].target, site + " min"};
  const std::string notSaved = text::kShortcutNotSavedBefore + desktop + "\\";
  const std::tuple<size_t, std::string, size_t, std::optional<std::string>> rows[] = {
      {0, desktop, 5, std::nullopt}, {0, desktop + "\\", 5, std::nullopt}, {1, desktop, 1, text::kShortcutNoShell},
      {2, desktop, 2, text::kShortcutNoDesktop}, {0, "", 2, text::kShortcutNoDesktop},
      {3, desktop, 3, notSaved + "Lanterra.lnk" + text::kShortcutNotSavedAfter},
      {4, desktop, 4, notSaved + "Mossgrove.lnk" + text::kShortcutNotSavedAfter},
      {5, desktop, 5, text::kSiteNotOpenedBefore + site + text::kSiteNotOpenedAfter},
  };
  for (const auto& [failAt, folder, done, message] : rows) {
    FakeShell shell(failAt, folder);
    EXPECT_EQ(PlaceDesktopShortcuts(shell), message) << failAt;
    EXPECT_EQ(shell.calls, std::vector<std::string>(steps.begin(), steps.begin() + done)) << failAt;
  }
  ASSERT_EQ(DesktopShortcuts().size(), 2u);
  const std::string update = QuickAccessLaunch(Command::Update, {}).value().commandLine;
  const std::string target = DesktopShortcuts()[1].target, host = target.substr(0, target.find('/', 7) + 1);
  EXPECT_EQ(update.compare(0, 13 + host.size(), "explorer.exe " + host), 0) << update << " " << target;
  EXPECT_NE(DesktopShortcuts()[0].target.compare(0, host.size(), host), 0);
  EXPECT_EQ(site, "explorer.exe " + target);
  for (const auto& [desktop, path] : {std::pair("C:\\U\\", "C:\\U\\a"), {"D:", "D:\\a"}, {"\\\\s\\桌", "\\\\s\\桌\\a"},
                                      {"C:/U/", "C:/U/\\a"}, {"C:\\a\\\\b ", "C:\\a\\\\b \\a"}})
    EXPECT_EQ(DesktopFilePath(desktop, "a"), path) << desktop;
}

}  // namespace
