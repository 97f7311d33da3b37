// The data rescue's Windows system (servers/data_rescue_win32.cpp) under Wine,
// with the stand-in in place of the MySQL programs: a program's standard
// handles as files, its argument vector joined so that it reads it back, the
// time limit and the cancel (the server at its named pipe is the panel flow's).
#include "harness.h"
#include "servers/data_rescue.h"

#include <atomic>
#include <thread>

namespace e2e {
namespace {

using namespace tellurix;

class RescueWin32 : public ::testing::Test {
 protected:
  RescueWin32() : home_(L"rescue") { system_ = MakeWin32RescueSystem(cancel_, nullptr); }

  // mysqldump.exe as the stand-in's recorder, following `script` (exit code and
  // delay; standard output; standard error).
  std::string Tool(const std::string& script) {
    home_.StandIn(L"MySQL\\bin\\mysqldump.exe");
    home_.Put(L"MySQL\\bin\\mysqldump.txt", script);
    return Narrow(home_ / L"MySQL\\bin\\mysqldump.exe");
  }

  ProgramDirectory home_;
  std::atomic<bool> cancel_{false};
  std::unique_ptr<RescueSystem> system_;
};

TEST_F(RescueWin32, AProgramsHandlesAreFilesAndItsArgumentsComeBackWhole) {
  const std::string dump = Tool("3 0\r\n-- MariaDB dump\r\nmysqldump: Error 1034: Index for table 'orders' is corrupt\r\n");
  const std::string output = Narrow(home_ / L"救出 1\\shop.orders.sql");
  ASSERT_TRUE(system_->MakeFolder(Narrow(home_ / L"救出 1")));
  const ToolRun run = system_->Run({{dump, "--where=1=1 ORDER BY `id` DESC", "shop", ""}, {}, output, kQueryLimit});
  EXPECT_EQ(run.outcome, ToolRun::Outcome::Exited);
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.errors, "mysqldump: Error 1034: Index for table 'orders' is corrupt\r\n");
  EXPECT_EQ(ReadBytes(Widen(output)), "-- MariaDB dump\r\n");
  const auto recorded = home_.Recorded();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_NE(recorded[0].second.find("\"--where=1=1 ORDER BY `id` DESC\" shop \"\""), std::string::npos)
      << recorded[0].second;

  // Captured output, and input from a file.
  const std::string input = Narrow(home_ / L"救出 1\\mysql.sql");
  ASSERT_TRUE(system_->WriteTextFile(input, "SELECT 1;\n"));
  const ToolRun captured = system_->Run({{dump}, input, {}, kQueryLimit});
  EXPECT_EQ(captured.output, "-- MariaDB dump\r\n");
  std::string read;
  EXPECT_TRUE(system_->ReadFile(input, [&read](std::string_view piece) { read += piece; }));
  EXPECT_EQ(read, "SELECT 1;\n");
  // Right after the program that read it: Wine signals a process before it has
  // closed the handles it inherited, as a virus scanner holds a new file on Windows.
  EXPECT_TRUE(system_->Rename(input, input + ".前段")) << GetLastError();
  EXPECT_FALSE(system_->Exists(input));
  EXPECT_TRUE(system_->RemoveFile(input + ".前段"));

  EXPECT_EQ(system_->Run({{Narrow(home_ / L"missing.exe")}, {}, {}, kQueryLimit}).outcome,
            ToolRun::Outcome::CannotStart);
}

TEST_F(RescueWin32, TheTimeLimitAndTheCancelEndAProgram) {
  const std::string slow = Tool("0 20000\r\n\r\n\r\n");
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(system_->Run({{slow}, {}, {}, std::chrono::seconds(1)}).outcome, ToolRun::Outcome::TimedOut);
  std::thread canceller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    cancel_ = true;
  });
  EXPECT_EQ(system_->Run({{slow}, {}, {}, kQueryLimit}).outcome, ToolRun::Outcome::Cancelled);
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
  EXPECT_TRUE(system_->Cancelled());
}

}  // namespace
}  // namespace e2e
