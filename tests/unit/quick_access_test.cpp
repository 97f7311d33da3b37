#include "app/quick_access.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "resources/maker_sites.h"

namespace {

using tellurix::Command;
using tellurix::LaunchPlan;
using tellurix::QuickAccessLaunch;
using tellurix::QuickAccessSettings;
using tellurix::ShowState;

struct Expected {
  Command command;
  const char* why;
  std::string commandLine;
  ShowState show;
};

void CheckAll(const QuickAccessSettings& settings, const Expected* begin, const Expected* end) {
  for (const Expected* e = begin; e != end; ++e) {
    SCOPED_TRACE(e->why);
    const std::optional<LaunchPlan> plan = QuickAccessLaunch(e->command, settings);
    ASSERT_TRUE(plan.has_value());
    EXPECT_EQ(plan->commandLine, e->commandLine);
    EXPECT_EQ(plan->show, e->show);
  }
}

TEST(QuickAccessShowStates, AreTheWindowsShowValues) {
  EXPECT_EQ(static_cast<int>(ShowState::Hide), 0);
  EXPECT_EQ(static_cast<int>(ShowState::Normal), 1);
  EXPECT_EQ(static_cast<int>(ShowState::Minimized), 2);
}

// Every command for each spelling of the port that matters; the port reaches
// only the three local addresses, and only exactly "80" leaves it out.
TEST(QuickAccessCommands, EveryCommandLineForEachSpellingOfThePort) {
  struct Port {
    const char* listen;
    const char* address;  // "explorer.exe http://localhost" and what follows the host
  };
  const Port ports[] = {
      {"80", "explorer.exe http://localhost"},
      {"8080", "explorer.exe http://localhost:8080"},
      {"080", "explorer.exe http://localhost:080"},
      {"", "explorer.exe http://localhost:"},
  };
  for (const Port& port : ports) {
    SCOPED_TRACE(std::string("Listen \"") + port.listen + "\"");
    const QuickAccessSettings settings{"D:\\stack", port.listen, "D:\\stack\\www"};
    const std::string address = port.address;
    const Expected expected[] = {
        {Command::EditPhpIni, "phpini", "notepad.exe D:\\stack\\PHP5\\php.ini", ShowState::Normal},
        {Command::EditHttpdConf, "httpdconf", "notepad.exe D:\\stack\\Apache2\\conf\\httpd.conf",
         ShowState::Normal},
        {Command::EditMySQLIni, "mysqlini", "notepad.exe D:\\stack\\MySQL\\my.ini", ShowState::Normal},
        {Command::EditPhpMyAdminInc, "phpmyadmininc",
         "notepad.exe D:\\stack\\www\\phpMyAdmin\\libraries\\config.default.php", ShowState::Normal},
        {Command::OpenWwwRoot, "wwwroot", "explorer.exe D:\\stack\\www", ShowState::Normal},
        {Command::OpenMySQLData, "mysqldata", "explorer.exe D:\\stack\\MySQL\\data", ShowState::Normal},
        {Command::OpenApacheLog, "apachelog", "explorer.exe D:\\stack\\Apache2\\logs", ShowState::Normal},
        {Command::MySQLConsole, "mysqlconsole", "D:\\stack\\mysql\\bin\\mysql.exe -uroot -p", ShowState::Normal},
        {Command::ServiceControl, "servicecontrol", "cmd /c services.msc", ShowState::Hide},
        {Command::HomePage, "homepage", address, ShowState::Minimized},
        {Command::PhpMyAdmin, "phpmyadmin", address + "/phpMyAdmin", ShowState::Minimized},
        {Command::PhpInfo, "phpinfo", address + "/phpinfo.php", ShowState::Minimized},
        {Command::Update, "update", std::string("explorer.exe http://") + sites::kMainSiteHost + "/tellurix/",
         ShowState::Minimized},
    };
    CheckAll(settings, std::begin(expected), std::end(expected));
  }
}

// The local addresses for the spellings of the port that matter: only exactly
// "80" leaves the port out.
TEST(QuickAccessLocalAddress, PortFromTheProfileAsItIs) {
  struct PortCase {
    const char* listen;
    Command command;
    const char* commandLine;
  };
  const PortCase cases[] = {
      {"80", Command::HomePage, "explorer.exe http://localhost"},
      {"80", Command::PhpMyAdmin, "explorer.exe http://localhost/phpMyAdmin"},
      {"80", Command::PhpInfo, "explorer.exe http://localhost/phpinfo.php"},
      {"8080", Command::HomePage, "explorer.exe http://localhost:8080"},
      {"8080", Command::PhpMyAdmin, "explorer.exe http://localhost:8080/phpMyAdmin"},
      {"8080", Command::PhpInfo, "explorer.exe http://localhost:8080/phpinfo.php"},
      {"080", Command::HomePage, "explorer.exe http://localhost:080"},
      {"080", Command::PhpMyAdmin, "explorer.exe http://localhost:080/phpMyAdmin"},
      {"080", Command::PhpInfo, "explorer.exe http://localhost:080/phpinfo.php"},
      {"", Command::HomePage, "explorer.exe http://localhost:"},
      {"", Command::PhpMyAdmin, "explorer.exe http://localhost:/phpMyAdmin"},
      {"", Command::PhpInfo, "explorer.exe http://localhost:/phpinfo.php"},
      {" 80", Command::HomePage, "explorer.exe http://localhost: 80"},
      {"80 ", Command::HomePage, "explorer.exe http://localhost:80 "},
  };
  for (const PortCase& c : cases) {
    SCOPED_TRACE(std::string("Listen \"") + c.listen + "\"");
    const QuickAccessSettings settings{"D:\\stack", c.listen, "D:\\stack\\www"};
    const std::optional<LaunchPlan> plan = QuickAccessLaunch(c.command, settings);
    ASSERT_TRUE(plan.has_value());
    EXPECT_EQ(plan->commandLine, c.commandLine);
    EXPECT_EQ(plan->show, ShowState::Minimized);
  }
}

TEST(QuickAccessCommands, PathsWithSpacesAreQuoted) {
  const QuickAccessSettings settings{"C:\\Program Files\\Tellurix", "80", "D:\\My Site"};
  const Expected expected[] = {
      {Command::EditPhpIni, "phpini", "notepad.exe \"C:\\Program Files\\Tellurix\\PHP5\\php.ini\"",
       ShowState::Normal},
      {Command::EditHttpdConf, "httpdconf", "notepad.exe \"C:\\Program Files\\Tellurix\\Apache2\\conf\\httpd.conf\"",
       ShowState::Normal},
      {Command::EditMySQLIni, "mysqlini", "notepad.exe \"C:\\Program Files\\Tellurix\\MySQL\\my.ini\"",
       ShowState::Normal},
      {Command::EditPhpMyAdminInc, "phpmyadmininc",
       "notepad.exe \"D:\\My Site\\phpMyAdmin\\libraries\\config.default.php\"", ShowState::Normal},
      {Command::OpenWwwRoot, "wwwroot", "explorer.exe \"D:\\My Site\"", ShowState::Normal},
      {Command::OpenMySQLData, "mysqldata", "explorer.exe \"C:\\Program Files\\Tellurix\\MySQL\\data\"",
       ShowState::Normal},
      {Command::OpenApacheLog, "apachelog", "explorer.exe \"C:\\Program Files\\Tellurix\\Apache2\\logs\"",
       ShowState::Normal},
      {Command::MySQLConsole, "mysqlconsole", "\"C:\\Program Files\\Tellurix\\mysql\\bin\\mysql.exe\" -uroot -p",
       ShowState::Normal},
      {Command::ServiceControl, "servicecontrol", "cmd /c services.msc", ShowState::Hide},
      {Command::HomePage, "homepage", "explorer.exe http://localhost", ShowState::Minimized},
      {Command::PhpMyAdmin, "phpmyadmin", "explorer.exe http://localhost/phpMyAdmin", ShowState::Minimized},
      {Command::PhpInfo, "phpinfo", "explorer.exe http://localhost/phpinfo.php", ShowState::Minimized},
  };
  CheckAll(settings, std::begin(expected), std::end(expected));
}

TEST(QuickAccessCommands, FolderWithASpaceAndATrailingBackslash) {
  // The backslash before the closing quote is doubled, or it would escape it.
  const QuickAccessSettings settings{"D:\\stack", "80", "D:\\My Site\\"};
  EXPECT_EQ(QuickAccessLaunch(Command::OpenWwwRoot, settings)->commandLine, "explorer.exe \"D:\\My Site\\\\\"");
  EXPECT_EQ(QuickAccessLaunch(Command::EditPhpMyAdminInc, settings)->commandLine,
            "notepad.exe \"D:\\My Site\\\\phpMyAdmin\\libraries\\config.default.php\"");
}

TEST(QuickAccessCommands, EmptyDocumentRootIsUsedAsItIs) {
  const QuickAccessSettings settings{"D:\\stack", "80", ""};
  EXPECT_EQ(QuickAccessLaunch(Command::OpenWwwRoot, settings)->commandLine, "explorer.exe ");
  EXPECT_EQ(QuickAccessLaunch(Command::EditPhpMyAdminInc, settings)->commandLine,
            "notepad.exe \\phpMyAdmin\\libraries\\config.default.php");
  EXPECT_EQ(tellurix::PhpInfoPagePath(""), "\\phpinfo.php");
}

TEST(QuickAccessCommands, OtherCommandsHaveNoCommandLine) {
  const QuickAccessSettings settings{"D:\\stack", "80", "D:\\stack\\www"};
  for (Command command : {Command::StartApache, Command::StopApache, Command::RestartApache, Command::StartMySQL,
                          Command::StopMySQL, Command::RestartMySQL, Command::ShowFileMenu, Command::HideMe,
                          Command::ShowMe, Command::Quit, Command::PhpSettings, Command::ApacheSettings,
                          Command::MySQLSettings, Command::SiteManager, Command::About}) {
    SCOPED_TRACE(static_cast<int>(command));
    EXPECT_EQ(QuickAccessLaunch(command, settings), std::nullopt);
  }
}

struct QuoteCase {
  const char* path;
  const char* quoted;
};

TEST(QuotedPath, QuotesOnlyPathsWithSpaces) {
  const QuoteCase cases[] = {
      {"D:\\stack\\PHP5\\php.ini", "D:\\stack\\PHP5\\php.ini"},
      {"D:\\stack\\", "D:\\stack\\"},
      {"", ""},
      {"D:\\网站\\www", "D:\\网站\\www"},
      {"C:\\Program Files\\php.ini", "\"C:\\Program Files\\php.ini\""},
      {" ", "\" \""},
      {"D:\\My Site\\", "\"D:\\My Site\\\\\""},
      {"D:\\My Site\\\\", "\"D:\\My Site\\\\\\\\\""},
      {"D:\\My\\ Site", "\"D:\\My\\ Site\""},
      {"\\\\server\\my share", "\"\\\\server\\my share\""},
  };
  for (const QuoteCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(tellurix::QuotedPath(c.path), c.quoted);
  }
}

TEST(PhpInfoPage, ExactlyOneLineOf22Bytes) {
  EXPECT_EQ(tellurix::kPhpInfoPage.size(), 22u);
  EXPECT_EQ(std::string(tellurix::kPhpInfoPage), std::string("<?   phpinfo();   ?>\r\n"));
  EXPECT_EQ(tellurix::PhpInfoPagePath("D:\\stack\\www"), "D:\\stack\\www\\phpinfo.php");
  EXPECT_EQ(tellurix::PhpInfoPagePath("D:\\My Site"), "D:\\My Site\\phpinfo.php");
}

}  // namespace
