#include "about/shortcut_plan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/quick_access.h"
#include "resources/texts.h"

namespace {

using tellurix::DesktopFilePath;
using tellurix::DesktopShortcuts;
using tellurix::LaunchPlan;
using tellurix::ShowState;

// The host of an "http://host/..." address; empty when it is not one.
std::string HostOf(const std::string& address) {
  const std::string scheme = "http://";
  if (address.compare(0, scheme.size(), scheme) != 0) return {};
  return address.substr(scheme.size(), address.find('/', scheme.size()) - scheme.size());
}

TEST(DesktopShortcuts, AreLanterraThenMossgroveToTheRootPagesWithTheQueryString) {
  const auto& shortcuts = DesktopShortcuts();
  ASSERT_EQ(shortcuts.size(), 2u);
  EXPECT_EQ(shortcuts[0].fileName, "Lanterra.lnk");
  EXPECT_EQ(shortcuts[0].target, "http://www.lanterra.example/?i");
  EXPECT_EQ(shortcuts[1].fileName, "Mossgrove.lnk");
  EXPECT_EQ(shortcuts[1].target, "http://www.mossgrove.example/?i");
}

TEST(DesktopShortcuts, SecondLeadsToTheSiteOfTheUpdatePage) {
  const std::optional<LaunchPlan> update = tellurix::QuickAccessLaunch(tellurix::Command::Update, {});
  ASSERT_TRUE(update.has_value());
  const std::string prefix = "explorer.exe ";
  ASSERT_EQ(update->commandLine.compare(0, prefix.size(), prefix), 0) << update->commandLine;
  const std::string updateHost = HostOf(update->commandLine.substr(prefix.size()));
  ASSERT_FALSE(updateHost.empty()) << update->commandLine;
  EXPECT_EQ(HostOf(DesktopShortcuts()[1].target), updateHost);
  EXPECT_NE(HostOf(DesktopShortcuts()[0].target), updateHost);
}

TEST(DesktopFilePath, AddsABackslashOnlyWhenTheFolderLacksOne) {
  const struct {
    const char* desktop;
    const char* expected;
  } table[] = {
      {"C:\\Users\\x\\Desktop", "C:\\Users\\x\\Desktop\\Lanterra.lnk"},
      {"C:\\Users\\x\\Desktop\\", "C:\\Users\\x\\Desktop\\Lanterra.lnk"},
      {"D:\\", "D:\\Lanterra.lnk"},
      {"D:", "D:\\Lanterra.lnk"},
      {"\\\\server\\share\\桌面", "\\\\server\\share\\桌面\\Lanterra.lnk"},
      // Only a backslash counts as the separator; a slash is kept as it is.
      {"C:/Users/x/Desktop/", "C:/Users/x/Desktop/\\Lanterra.lnk"},
      // Nothing else is touched: no trimming, no doubling removed further in.
      {"C:\\a\\\\b ", "C:\\a\\\\b \\Lanterra.lnk"},
  };
  for (const auto& row : table) EXPECT_EQ(DesktopFilePath(row.desktop, "Lanterra.lnk"), row.expected) << row.desktop;
}

TEST(SiteLaunch, OpensTheSecondShortcutsTargetThroughTheExplorerMinimised) {
  const LaunchPlan plan = tellurix::SiteLaunch();
  EXPECT_EQ(plan.commandLine, "explorer.exe http://www.mossgrove.example/?i");
  EXPECT_EQ(plan.commandLine, "explorer.exe " + DesktopShortcuts()[1].target);
  EXPECT_EQ(plan.show, ShowState::Minimized);
}

// Records every step asked of the platform; the step named in `failing` fails.
class FakeShell : public tellurix::ShortcutShell {
 public:
  std::string failing;  // "", "create", "read", "save1", "save2", "launch"
  std::optional<std::string> desktop = "C:\\Users\\x\\Desktop";
  std::vector<std::string> calls;

  bool CreateShell() override { return Step("create", "create"); }
  std::optional<std::string> ReadRegistry(std::string_view valueName) override {
    if (!Step("read", "read " + std::string(valueName))) return std::nullopt;
    return desktop;
  }
  bool SaveShortcut(const std::string& path, const std::string& target) override {
    ++saves_;
    return Step("save" + std::to_string(saves_), "save " + path + " -> " + target);
  }
  bool Launch(const LaunchPlan& plan) override {
    return Step("launch", "launch [" + std::to_string(static_cast<int>(plan.show)) + "] " + plan.commandLine);
  }

 private:
  bool Step(const std::string& name, const std::string& call) {
    calls.push_back(call);
    return name != failing;
  }
  int saves_ = 0;
};

// The current user's desktop folder, value "Desktop" of the shell folders key.
const std::string kRead =
    "read HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Desktop";
const std::string kSave1 = "save C:\\Users\\x\\Desktop\\Lanterra.lnk -> http://www.lanterra.example/?i";
const std::string kSave2 = "save C:\\Users\\x\\Desktop\\Mossgrove.lnk -> http://www.mossgrove.example/?i";
const std::string kLaunch = "launch [2] explorer.exe http://www.mossgrove.example/?i";

TEST(PlaceDesktopShortcuts, RunsEveryStepInOrderAndReportsNothingWhenAllSucceed) {
  FakeShell shell;
  EXPECT_EQ(tellurix::PlaceDesktopShortcuts(shell), std::nullopt);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"create", kRead, kSave1, kSave2, kLaunch}));
}

TEST(PlaceDesktopShortcuts, ADesktopEndingInABackslashGetsNoSecondOne) {
  FakeShell shell;
  shell.desktop = "C:\\Users\\x\\Desktop\\";
  EXPECT_EQ(tellurix::PlaceDesktopShortcuts(shell), std::nullopt);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"create", kRead, kSave1, kSave2, kLaunch}));
}

TEST(PlaceDesktopShortcuts, StopsAtTheFailingStepAndNamesIt) {
  const std::string notSaved1 = std::string(text::kShortcutNotSavedBefore) + "C:\\Users\\x\\Desktop\\Lanterra.lnk" +
                                text::kShortcutNotSavedAfter;
  const std::string notSaved2 = std::string(text::kShortcutNotSavedBefore) + "C:\\Users\\x\\Desktop\\Mossgrove.lnk" +
                                text::kShortcutNotSavedAfter;
  const std::string notOpened = std::string(text::kSiteNotOpenedBefore) +
                                "explorer.exe http://www.mossgrove.example/?i" + text::kSiteNotOpenedAfter;
  const struct {
    std::string failing;
    std::vector<std::string> calls;
    std::string message;
  } table[] = {
      {"create", {"create"}, text::kShortcutNoShell},
      {"read", {"create", kRead}, text::kShortcutNoDesktop},
      // A shortcut already saved stays; nothing after the failing one is made.
      {"save1", {"create", kRead, kSave1}, notSaved1},
      {"save2", {"create", kRead, kSave1, kSave2}, notSaved2},
      {"launch", {"create", kRead, kSave1, kSave2, kLaunch}, notOpened},
  };
  for (const auto& row : table) {
    FakeShell shell;
    shell.failing = row.failing;
    EXPECT_EQ(tellurix::PlaceDesktopShortcuts(shell), row.message) << row.failing;
    EXPECT_EQ(shell.calls, row.calls) << row.failing;
  }
}

TEST(PlaceDesktopShortcuts, AnEmptyDesktopValueCountsAsNoDesktop) {
  FakeShell shell;
  shell.desktop = "";
  EXPECT_EQ(tellurix::PlaceDesktopShortcuts(shell), std::string(text::kShortcutNoDesktop));
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"create", kRead}));
}

}  // namespace
