#include "app/service_commands.h"

#include <gtest/gtest.h>


namespace {

using namespace std::chrono_literals;
using tellurix::Clock;
using tellurix::Command;
using tellurix::PendingRestarts;
using tellurix::Service;
using tellurix::ServiceAction;

// Exact command lines, and progress texts ending in three full stops and exactly
// four spaces (the time follows directly).
TEST(ServiceCommandTexts, CommandLinesAndProgressMessages) {
  EXPECT_EQ(tellurix::StartCommandLine(Service::Apache2), "net start Apache2");
  EXPECT_EQ(tellurix::StopCommandLine(Service::Apache2), "net stop Apache2");
  EXPECT_EQ(tellurix::StartCommandLine(Service::MySQL), "net start MySQL");
  EXPECT_EQ(tellurix::StopCommandLine(Service::MySQL), "net stop MySQL");
  EXPECT_EQ(tellurix::StartMessage(Service::Apache2), "Apache正在启动...    ");
  EXPECT_EQ(tellurix::StopMessage(Service::Apache2), "Apache正在停止...    ");
  EXPECT_EQ(tellurix::StartMessage(Service::MySQL), "MySQL正在启动...    ");
  EXPECT_EQ(tellurix::StopMessage(Service::MySQL), "MySQL正在停止...    ");
}

// The six service commands map to their service and action; other commands are none.
TEST(ServiceCommandMapping, SixServiceCommands) {
  auto is = [](Command c, Service service, ServiceAction action) {
    auto mapped = tellurix::ServiceCommandFor(c);
    return mapped && mapped->service == service && mapped->action == action;
  };
  EXPECT_TRUE(is(Command::StartApache, Service::Apache2, ServiceAction::Start));
  EXPECT_TRUE(is(Command::StopApache, Service::Apache2, ServiceAction::Stop));
  EXPECT_TRUE(is(Command::RestartApache, Service::Apache2, ServiceAction::Restart));
  EXPECT_TRUE(is(Command::StartMySQL, Service::MySQL, ServiceAction::Start));
  EXPECT_TRUE(is(Command::StopMySQL, Service::MySQL, ServiceAction::Stop));
  EXPECT_TRUE(is(Command::RestartMySQL, Service::MySQL, ServiceAction::Restart));
  for (Command c : {Command::Quit, Command::SiteManager, Command::ServiceControl, Command::PhpInfo}) {
    EXPECT_FALSE(tellurix::ServiceCommandFor(c).has_value());
  }
}

// A fixed, arbitrary moment of the monotonic clock; no real time is read.
const Clock::time_point kT0 = Clock::time_point{} + 86399s;

TEST(RestartTiming, DueAtExactlyFiveSeconds) {
  PendingRestarts restarts;
  const auto ticket = restarts.Begin(Service::MySQL, kT0);
  EXPECT_EQ(restarts.Remaining(ticket, kT0 + 5000ms), 0ms);
  EXPECT_EQ(restarts.TakeIfDue(ticket, kT0 + 5000ms), Service::MySQL);
  EXPECT_EQ(restarts.size(), 0u);
  // A restart is taken once only.
  EXPECT_FALSE(restarts.TakeIfDue(ticket, kT0 + 6s).has_value());
  EXPECT_FALSE(restarts.Remaining(ticket, kT0 + 6s).has_value());
  // A check long after the wait is still due, with nothing left to wait.
  const auto late = restarts.Begin(Service::Apache2, kT0);
  EXPECT_EQ(restarts.Remaining(late, kT0 + 1h), 0ms);
  EXPECT_EQ(restarts.TakeIfDue(late, kT0 + 1h), Service::Apache2);
}

// Not due before five seconds; the remaining wait rounds up, so a timer set for it
// never fires early.
TEST(RestartTiming, NotDueEarlyAndRemainingRoundsUp) {
  PendingRestarts restarts;
  const auto ticket = restarts.Begin(Service::Apache2, kT0);
  EXPECT_EQ(restarts.Remaining(ticket, kT0 + 4999ms), 1ms);
  EXPECT_FALSE(restarts.TakeIfDue(ticket, kT0 + 4999ms).has_value());
  EXPECT_EQ(restarts.Remaining(ticket, kT0), 5000ms);
  EXPECT_EQ(restarts.Remaining(ticket, kT0 + 1ns), 5000ms);
  EXPECT_EQ(restarts.Remaining(ticket, kT0 + 2500us), 4998ms);
  EXPECT_EQ(restarts.Remaining(ticket, kT0 + 4999999999ns), 1ms);
  EXPECT_FALSE(restarts.TakeIfDue(ticket, kT0 + 4999999999ns).has_value());
  EXPECT_EQ(restarts.size(), 1u);
}

// Two overlapping restarts each wait five seconds from their own stop.
TEST(RestartTiming, OverlappingRestartsAreIndependent) {
  PendingRestarts restarts;
  const auto first = restarts.Begin(Service::Apache2, kT0);
  const auto second = restarts.Begin(Service::Apache2, kT0 + 2s);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first != 0 && second != 0);
  EXPECT_EQ(restarts.size(), 2u);

  EXPECT_EQ(restarts.TakeIfDue(first, kT0 + 5s), Service::Apache2);
  EXPECT_EQ(restarts.Remaining(second, kT0 + 5s), 2000ms);
  EXPECT_FALSE(restarts.TakeIfDue(second, kT0 + 5s).has_value());
  EXPECT_FALSE(restarts.TakeIfDue(first, kT0 + 7s).has_value());

  EXPECT_EQ(restarts.TakeIfDue(second, kT0 + 7s), Service::Apache2);
  EXPECT_FALSE(restarts.TakeIfDue(second, kT0 + 8s).has_value());
  EXPECT_EQ(restarts.size(), 0u);
}

// Tickets that were never handed out name nothing and change nothing.
TEST(RestartTiming, UnknownTicket) {
  PendingRestarts restarts;
  const auto ticket = restarts.Begin(Service::MySQL, kT0);
  for (std::uint32_t unknown : {0u, ticket + 1, ticket + 1000}) {
    EXPECT_FALSE(restarts.Remaining(unknown, kT0 + 10s).has_value());
    EXPECT_FALSE(restarts.TakeIfDue(unknown, kT0 + 10s).has_value());
  }
  EXPECT_EQ(restarts.size(), 1u);
}

}  // namespace
