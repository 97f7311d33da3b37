// The quick-access entries of both menus under Wine: stand-in recorders named
// notepad.exe, explorer.exe, cmd.exe and mysql.exe sit in the ProgramDirectory,
// where Windows looks first, and record each command line they are started with.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "harness.h"
#include "resources/ids.h"

namespace e2e {
namespace {

struct Started {
  int show;
  std::string commandLine;
  bool operator==(const Started& other) const { return show == other.show && commandLine == other.commandLine; }
};
std::ostream& operator<<(std::ostream& os, const Started& s) { return os << "[" << s.show << "] " << s.commandLine; }

class QuickAccess : public ::testing::Test {
 protected:
  // A ProgramDirectory whose name holds a space and Chinese characters.
  QuickAccess() : directory_(L"快速 访问") {}

  void SetUp() override {
    const std::wstring home = directory_.path();
    const std::wstring recorder = RecorderPath();
    for (const wchar_t* name : {L"notepad.exe", L"explorer.exe", L"cmd.exe"})
      ASSERT_TRUE(CopyFileW(recorder.c_str(), (home + L"\\" + name).c_str(), FALSE));
    CreateDirectoryW((home + L"\\mysql").c_str(), nullptr);
    CreateDirectoryW((home + L"\\mysql\\bin").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(recorder.c_str(), (home + L"\\mysql\\bin\\mysql.exe").c_str(), FALSE));
    root_ = home + L"\\www root";
    CreateDirectoryW(root_.c_str(), nullptr);
    record_ = home + L"\\recorded.txt";
    SetEnvironmentVariableW(L"TELLURIX_RECORD", record_.c_str());  // inherited by the panel
  }
  void TearDown() override {
    panel_.reset();
    SetEnvironmentVariableW(L"TELLURIX_RECORD", nullptr);
  }

  static std::wstring RecorderPath() {
    std::wstring path = PathFromEnvironment("TELLURIX_EXE");
    return path.substr(0, path.rfind(L'\\')) + L"\\recorder.exe";
  }

  // Tellurix.ini with the given [Apache] lines, stored in the ANSI code page as
  // the panel's own profile is.
  void Profile(const std::string& apacheLines) {
    const std::wstring wide = Widen("[Apache]\r\n" + apacheLines);
    std::string ansi(wide.size() * 2 + 1, '\0');
    ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                                                        static_cast<int>(ansi.size()), nullptr, nullptr)));
    ASSERT_TRUE(WriteBytes(directory_.path() + L"\\Tellurix.ini", ansi));
  }
  void StartPanel() {
    panel_ = std::make_unique<Panel>(directory_.exe());
    ASSERT_TRUE(panel_->started());
    ASSERT_TRUE(panel_->WaitForLines(2));
  }

  std::vector<Started> Recorded() const {
    std::vector<Started> starts;
    std::istringstream lines(ReadBytes(record_));
    for (std::string line; std::getline(lines, line);) {
      const size_t bar = line.find('|');
      if (bar != std::string::npos) starts.push_back({std::stoi(line.substr(0, bar)), line.substr(bar + 1)});
    }
    return starts;
  }
  // Chooses the entry and waits for the one start it makes.
  Started Run(int entry) {
    const size_t before = Recorded().size();
    panel_->Choose(entry);
    if (!WaitUntil([&] { return Recorded().size() > before; }, 10s)) return {-2, "<nothing started>"};
    std::this_thread::sleep_for(200ms);
    auto starts = Recorded();
    if (starts.size() != before + 1) return {-3, "<more than one start>"};
    return starts.back();
  }

  std::string Home() const { return Narrow(directory_.path()); }
  std::string Root() const { return Narrow(root_); }

  ProgramDirectory directory_;
  std::wstring root_, record_;
  std::unique_ptr<Panel> panel_;
};

constexpr int kNormal = SW_SHOWNORMAL, kMinimized = SW_SHOWMINIMIZED, kHidden = SW_HIDE;

TEST_F(QuickAccess, EveryEntryOfBothMenusStartsItsCommandLine) {
  Profile("Listen=80\r\nDocumentRoot=" + Root() + "\r\n");
  StartPanel();
  const std::string home = Home(), root = Root();
  // Paths with spaces are quoted, as programs and as arguments.
  const struct {
    std::vector<int> entries;
    Started expected;
  } table[] = {
      {{ids::phpini, ids::phpini2}, {kNormal, "notepad.exe \"" + home + "\\PHP5\\php.ini\""}},
      {{ids::httpdconf, ids::httpdconf2}, {kNormal, "notepad.exe \"" + home + "\\Apache2\\conf\\httpd.conf\""}},
      {{ids::mysqlini, ids::mysqlini2}, {kNormal, "notepad.exe \"" + home + "\\MySQL\\my.ini\""}},
      {{ids::phpmyadmininc, ids::phpmyadmininc2},
       {kNormal, "notepad.exe \"" + root + "\\phpMyAdmin\\libraries\\config.default.php\""}},
      {{ids::wwwroot, ids::wwwroot2}, {kNormal, "explorer.exe \"" + root + "\""}},
      {{ids::mysqldata, ids::mysqldata2}, {kNormal, "explorer.exe \"" + home + "\\MySQL\\data\""}},
      {{ids::apachelog}, {kNormal, "explorer.exe \"" + home + "\\Apache2\\logs\""}},
      {{ids::mysqlconsole, ids::mysqlconsole2}, {kNormal, "\"" + home + "\\mysql\\bin\\mysql.exe\" -uroot -p"}},
      {{ids::servicecontrol, ids::servicecontrol2}, {kHidden, "cmd /c services.msc"}},
      {{ids::homepage, ids::homepage2}, {kMinimized, "explorer.exe http://localhost"}},
      {{ids::phpmyadmin, ids::phpmyadmin2}, {kMinimized, "explorer.exe http://localhost/phpMyAdmin"}},
      {{ids::phpinfo}, {kMinimized, "explorer.exe http://localhost/phpinfo.php"}},
      {{ids::update}, {kMinimized, "explorer.exe http://www.mossgrove.example/tellurix/"}},
  };
  for (const auto& row : table) {
    for (int entry : row.entries) EXPECT_EQ(Run(entry), row.expected) << "entry " << entry;
  }
}

TEST_F(QuickAccess, LocalAddressesCarryThePortUnlessItIsExactly80) {
  const struct {
    std::string profileLine;
    std::string address;
  } table[] = {
      {"Listen=8080\r\n", "http://localhost:8080"},
      {"Listen=080\r\n", "http://localhost:080"},  // "080" is not "80"
      {"Listen = 80\r\n", "http://localhost"},     // blanks around the value are not part of it
      {"", "http://localhost:"},                   // no Listen key: nothing after the colon
  };
  for (const auto& row : table) {
    Profile(row.profileLine + "DocumentRoot=" + Root() + "\r\n");
    StartPanel();
    EXPECT_EQ(Run(ids::homepage2), (Started{kMinimized, "explorer.exe " + row.address})) << row.profileLine;
    EXPECT_EQ(Run(ids::phpmyadmin), (Started{kMinimized, "explorer.exe " + row.address + "/phpMyAdmin"}));
    EXPECT_EQ(Run(ids::phpinfo), (Started{kMinimized, "explorer.exe " + row.address + "/phpinfo.php"}));
    panel_.reset();
  }
}

TEST_F(QuickAccess, PhpInfoLeavesOneTwentyTwoBytePageHoweverOftenItRuns) {
  Profile("Listen=8080\r\nDocumentRoot=" + Root() + "\r\n");
  StartPanel();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Run(ids::phpinfo).commandLine, "explorer.exe http://localhost:8080/phpinfo.php");
  EXPECT_EQ(ReadBytes(root_ + L"\\phpinfo.php"), std::string("<?   phpinfo();   ?>\r\n"));
}

TEST_F(QuickAccess, PhpInfoWithoutAWebRootSaysSoAndStartsNothing) {
  const struct {
    std::string profile;
    std::string message;
  } table[] = {
      {"Listen=80\r\n", "尚未设置网站根目录，请先在“Apache 设置”中设置。"},
      {"Listen=80\r\nDocumentRoot=" + Root() + "\\gone\r\n",
       "网站根目录不存在，请先在“Apache 设置”中设置：" + Root() + "\\gone"},
  };
  for (const auto& row : table) {
    Profile(row.profile);
    StartPanel();
    panel_->Choose(ids::phpinfo);
    HWND box = WaitForMessageBox(panel_->processId());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), row.message);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(Recorded().empty()) << "no browser for a page that was not written";
    EXPECT_FALSE(Exists(L"\\phpinfo.php"));
    EXPECT_TRUE(panel_->Responsive());
    panel_.reset();
  }
}

TEST_F(QuickAccess, AProgramThatCannotStartIsNamedInAMessage) {
  Profile("Listen=80\r\n");
  DeleteFileW((directory_.path() + L"\\mysql\\bin\\mysql.exe").c_str());
  StartPanel();
  panel_->Choose(ids::mysqlconsole2);
  HWND box = WaitForMessageBox(panel_->processId());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "无法启动程序：\"" + Home() + "\\mysql\\bin\\mysql.exe\" -uroot -p");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(panel_->Responsive());
}

}  // namespace
}  // namespace e2e
