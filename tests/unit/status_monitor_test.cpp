#include "app/status_monitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/ids.h"

namespace {

using tellurix::MonitorTick;
using tellurix::Server;
using tellurix::StatusUpdate;
using tellurix::TraitsOf;

constexpr std::uint32_t kGreen = 0x00C000;  // RGB(0, 192, 0) as a platform colour
constexpr std::uint32_t kRed = 0x0000FF;    // RGB(255, 0, 0) as a platform colour

// The lines one look at a server logs, in order.
std::vector<std::string> Lines(const StatusUpdate& u) {
  std::vector<std::string> lines;
  if (!u.lineBefore.empty()) lines.emplace_back(u.lineBefore);
  if (!u.lineAfter.empty()) lines.emplace_back(u.lineAfter);
  return lines;
}

// Apache is probed first; each server drives its own mark, buttons and the start
// and stop entries of both menus.
TEST(StatusVocabulary, ServersAndTheirControls) {
  EXPECT_EQ(tellurix::kServers[0], Server::Apache);
  EXPECT_EQ(tellurix::kServers[1], Server::MySQL);
  const auto& a = TraitsOf(Server::Apache);
  EXPECT_EQ(a.imageName, "httpd.exe");
  EXPECT_EQ(std::vector<int>({a.mark, a.startButton, a.stopButton, a.startEntries[0], a.startEntries[1],
                              a.stopEntries[0], a.stopEntries[1]}),
            std::vector<int>({ids::la, ids::starta, ids::stopa, ids::astart, ids::astart2, ids::astop,
                              ids::astop2}));
  const auto& m = TraitsOf(Server::MySQL);
  EXPECT_EQ(m.imageName, "mysqld-nt.exe");
  EXPECT_EQ(std::vector<int>({m.mark, m.startButton, m.stopButton, m.startEntries[0], m.startEntries[1],
                              m.stopEntries[0], m.stopEntries[1]}),
            std::vector<int>({ids::lm, ids::startm, ids::stopm, ids::mstart, ids::mstart2, ids::mstop,
                              ids::mstop2}));
}

struct TickCase {
  const char* why;
  Server server;
  int count;
  bool reportedBefore;
  const char* lineBefore;  // logged before the display changes
  const char* lineAfter;   // logged after the display changes
  bool runningAfter;
};

void PrintTo(const TickCase& c, std::ostream* os) { *os << c.why; }

class MonitorStateTable : public ::testing::TestWithParam<TickCase> {};

TEST_P(MonitorStateTable, LineFlagAndDisplay) {
  const TickCase& c = GetParam();
  const StatusUpdate u = MonitorTick(c.server, c.count, c.reportedBefore);
  EXPECT_EQ(u.lineBefore, c.lineBefore);
  EXPECT_EQ(u.lineAfter, c.lineAfter);
  EXPECT_EQ(u.running, c.runningAfter);
  const bool apache = c.server == Server::Apache;
  if (c.runningAfter) {
    EXPECT_EQ(u.display.mark, "●");
    EXPECT_EQ(u.display.colour, kGreen);
    EXPECT_EQ(u.display.tooltip, apache ? "Apache运行" : "MySQL运行");
  } else {
    EXPECT_EQ(u.display.mark, "■");
    EXPECT_EQ(u.display.colour, kRed);
    EXPECT_EQ(u.display.tooltip, apache ? "Apache停止" : "MySQL停止");
  }
  // Start controls are enabled exactly while the server is stopped, stop controls the reverse.
  EXPECT_EQ(u.display.startEnabled, !c.runningAfter);
  EXPECT_EQ(u.display.stopEnabled, c.runningAfter);
}

INSTANTIATE_TEST_SUITE_P(
    StatusMonitor, MonitorStateTable,
    ::testing::Values(
        // Gone down: the line comes before the display turns red.
        TickCase{"apache_went_down", Server::Apache, 0, true, "Apache已经停止...    ", "", false},
        // Still down: nothing is logged again.
        TickCase{"apache_stays_down", Server::Apache, 0, false, "", "", false},
        // Came up: the line comes after the display turns green.
        TickCase{"apache_came_up", Server::Apache, 1, false, "", "Apache已经启动...    ", true},
        TickCase{"apache_stays_up", Server::Apache, 1, true, "", "", true},
        // Several processes with the image name count as running.
        TickCase{"two_httpd_processes", Server::Apache, 2, false, "", "Apache已经启动...    ", true},
        // Any count below 1 counts as stopped.
        TickCase{"negative_count", Server::Apache, -1, true, "Apache已经停止...    ", "", false},
        TickCase{"mysql_went_down", Server::MySQL, 0, true, "MySQL已经停止...    ", "", false},
        TickCase{"mysql_stays_down", Server::MySQL, 0, false, "", "", false},
        TickCase{"mysql_came_up", Server::MySQL, 1, false, "", "MySQL已经启动...    ", true},
        TickCase{"mysql_stays_up", Server::MySQL, 3, true, "", "", true}),
    [](const ::testing::TestParamInfo<TickCase>& info) { return std::string(info.param.why); });

// The startup probe logs exactly one line per server, whether it runs or not, and
// leaves the display as the monitor keeps it.
TEST(StartupProbeLogging, AlwaysLogsExactlyOneLine) {
  struct Case {
    Server server;
    int count;
    const char* line;
  } cases[] = {{Server::Apache, 1, "Apache已经启动...    "}, {Server::Apache, 0, "Apache已经停止...    "},
               {Server::MySQL, 2, "MySQL已经启动...    "}, {Server::MySQL, 0, "MySQL已经停止...    "}};
  for (const Case& c : cases) {
    const StatusUpdate u = tellurix::StartupProbe(c.server, c.count);
    EXPECT_EQ(Lines(u), std::vector<std::string>{c.line});
    EXPECT_EQ(u.running, c.count >= 1);
    EXPECT_EQ(u.display.mark, c.count >= 1 ? "●" : "■");
    EXPECT_EQ(u.display.colour, c.count >= 1 ? kGreen : kRed);
    EXPECT_EQ(u.display.startEnabled, c.count < 1);
    EXPECT_EQ(u.display.stopEnabled, c.count >= 1);
    // The flag now matches the server, so the first tick logs nothing.
    EXPECT_TRUE(Lines(MonitorTick(c.server, c.count, u.running)).empty());
  }
}

}  // namespace
