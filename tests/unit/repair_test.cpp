// The fixes offered when a server cannot start: a disabled service, a service of
// another folder, a taken port moved (with the same writes as the settings dialogs).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "servers/service_repair.h"
#include "core/profile_store.h"
#include "resources/texts.h"

namespace tellurix {
namespace {

namespace fs = std::filesystem;
using O = ProgramRun::Outcome;

TEST(Repair, ADisabledServiceIsMadeManualOrSaysWhyNot) {
  EXPECT_EQ(DisabledQuestion(Service::Apache2), "Apache2服务已被禁用，是否改为手动启动？");
  EXPECT_EQ(DisabledLine(Service::MySQL), "服务MySQL已被禁用...    ");
  const std::string self = "C:\\T\\TellurixAdmin.exe";
  const struct {
    ProgramRun run;
    const char* line;
  } rows[] = {
      {{O::Exited, 0, ""}, "服务Apache2已改为手动启动...    "},
      {{O::Exited, 1, ""}, "修改服务Apache2失败：退出代码 1...    "},
      {{O::CannotStart, 0, ""}, "修改服务Apache2失败：无法启动程序：C:\\T\\TellurixAdmin.exe...    "},
      {{O::TimedOut, 0, ""}, "修改服务Apache2失败：30秒内没有结束...    "},
      {{O::Declined, 0, ""}, "没有得到管理员权限，服务Apache2没有改动...    "},
  };
  for (const auto& row : rows) EXPECT_EQ(ServiceChangeLine(Service::Apache2, row.run, self), row.line);
  // The removal of another folder's service, declined, says the same.
  EXPECT_EQ(ChangeFailedLine(Service::MySQL, {O::Declined, 0, ""}, "C:\\other\\mysqld.exe"),
            "没有得到管理员权限，服务MySQL没有改动...    ");
}

TEST(Repair, AServiceOfAnotherFolderIsToldApartFromTheStacksOwn) {
  const struct {
    const char* commandLine;
    const char* program;
  } programs[] = {
      {"\"C:\\Old Stack\\Apache2\\bin\\httpd.exe\" -k runservice", "C:\\Old Stack\\Apache2\\bin\\httpd.exe"},
      {"C:\\Old Stack\\Apache2\\bin\\httpd.exe -k runservice", "C:\\Old Stack\\Apache2\\bin\\httpd.exe"},
      {"  C:\\T\\MySQL\\bin\\mysqld-nt.EXE --defaults-file=\"C:\\T\\MySQL\\my.ini\" MySQL",
       "C:\\T\\MySQL\\bin\\mysqld-nt.EXE"},
      {"C:\\a.exe.d\\httpd.exe", "C:\\a.exe.d\\httpd.exe"},
      {"C:\\T\\bin\\httpd -k runservice", "C:\\T\\bin\\httpd"},
  };
  for (const auto& row : programs) EXPECT_EQ(ProgramOfCommandLine(row.commandLine), row.program);

  // Short names expanded where the file system tells them.
  const auto longName = [](const std::string& path) -> std::string {
    return path == "C:\\PROGRA~1\\T\\Apache2\\bin\\httpd.exe" ? "C:\\Program Files\\T\\Apache2\\bin\\httpd.exe" : path;
  };
  const struct {
    Service service;
    const char* commandLine;
    bool foreign;
  } rows[] = {
      {Service::Apache2, "\"C:\\Program Files\\T\\Apache2\\bin\\httpd.exe\" -k runservice", false},
      {Service::Apache2, "\"c:/program files/t/APACHE2/bin/HTTPD.exe\"", false},
      {Service::Apache2, "C:\\PROGRA~1\\T\\Apache2\\bin\\httpd.exe -k runservice", false},
      {Service::Apache2, "\"C:\\Program Files\\T2\\Apache2\\bin\\httpd.exe\" -k runservice", true},
      {Service::Apache2, "\"C:\\Program Files\\T\\MySQL\\bin\\mysqld-nt.exe\"", true},
      {Service::MySQL, "\"C:\\Program Files\\T\\MySQL\\bin\\mysqld-nt.exe\" --defaults-file=x MySQL", false},
      {Service::MySQL, "\"C:\\Program Files\\T\\MySQL\\bin\\mysqld.exe\" MySQL", true},
  };
  for (const auto& row : rows) {
    const auto foreign = CheckServiceProgram(row.service, row.commandLine, "C:\\Program Files\\T", longName);
    EXPECT_EQ(foreign.has_value(), row.foreign) << row.commandLine;
  }
  const auto foreign =
      CheckServiceProgram(Service::Apache2, "\"D:\\旧 old\\Apache2\\bin\\httpd.exe\" -k runservice", "C:\\T", longName);
  ASSERT_TRUE(foreign);
  EXPECT_EQ(foreign->line, "服务Apache2运行的是其他位置的程序：D:\\旧 old\\Apache2\\bin\\httpd.exe...    ");
  EXPECT_EQ(foreign->question, "是否把服务Apache2改为本目录的Apache？");
  const InstallCommand apache = UninstallCommandFor(Service::Apache2, "C:\\T");
  EXPECT_EQ(apache.program + " " + apache.parameters, "C:\\T\\Apache2\\bin\\httpd.exe -k uninstall -n \"Apache2\"");
  const InstallCommand mysql = UninstallCommandFor(Service::MySQL, "C:\\T");
  EXPECT_EQ(mysql.program + " " + mysql.parameters, "C:\\T\\MySQL\\bin\\mysqld-nt.exe --remove MySQL");
}

TEST(Repair, TheFirstFreeCandidateIsOffered) {
  const auto bindsAllBut = [](std::vector<unsigned> refused) {
    return [refused](unsigned port) { return std::find(refused.begin(), refused.end(), port) == refused.end(); };
  };
  const std::vector<Listener> listening = {{8080, 100}, {3307, 0}, {80, 4}};
  EXPECT_EQ(FreePort(Service::Apache2, listening, bindsAllBut({})), 8081u);
  EXPECT_EQ(FreePort(Service::Apache2, listening, bindsAllBut({8081, 8000})), 8888u);  // reserved, say
  EXPECT_EQ(FreePort(Service::Apache2, listening, bindsAllBut({8081, 8000, 8888, 8090})), std::nullopt);
  EXPECT_EQ(FreePort(Service::MySQL, listening, bindsAllBut({})), 3308u);
  EXPECT_EQ(NoFreePortLine(Service::MySQL), "没有找到可用的端口，请在MySQL设置中换用其他端口...    ");
  // A port that is taken, and one the system forbids (it never shows who holds it).
  EXPECT_EQ(PortMoveQuestion(Service::Apache2, 80, 8081), "端口80已被占用，是否把Apache改用端口8081？");
  EXPECT_EQ(PortMoveQuestion(Service::Apache2, 80, 8080, true), "端口80被系统禁止使用，是否把Apache改用端口8080？");
  EXPECT_EQ(PortMoveQuestion(Service::MySQL, 3306, 3307, true), "端口3306被系统禁止使用，是否把MySQL改用端口3307？");

  const char* vhosts =
      "# <VirtualHost *:80> in a comment\r\n<VirtualHost *:8080>\r\n</VirtualHost>\r\n <virtualhost 127.0.0.1:80>\r\n";
  EXPECT_EQ(
      PortMovedLines(Service::Apache2, 80, 8081, vhosts),
      (std::vector<std::string>{"Apache已改用端口8081...    ", "站点管理中的虚拟主机仍使用端口80，请一并修改...    "}));
  EXPECT_EQ(PortMovedLines(Service::Apache2, 80, 8081, "<VirtualHost *:8080>\r\n# <VirtualHost *:80>\r\n"),
            std::vector<std::string>{"Apache已改用端口8081...    "});
  EXPECT_EQ(
      PortMovedLines(Service::MySQL, 3306, 3307, ""),
      (std::vector<std::string>{"MySQL已改用端口3307...    ", "连接MySQL的程序（如phpMyAdmin）请改用端口3307...    "}));
}

class PortMoveFiles : public ::testing::Test {
 protected:
  static void Put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  static std::string Slurp(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
  }
  void SetUp() override {
    fs::create_directories(home / "Apache2" / "conf");
    fs::create_directories(home / "MySQL");
  }
  void TearDown() override { fs::remove_all(home); }
  std::string Move(Service service, unsigned port) {
    const PortMove move = PortMoveWrites(service, home.string(), port);
    const ApplyOutcome done = ApplyChanges((home / "Tellurix.ini").string(), move.profileSection, move.changes);
    return done.failure ? CannotWriteMessage(*done.failure) : "";
  }
  fs::path home = fs::temp_directory_path() / ("tellurix-port-" + std::to_string(::getpid()));
};

TEST_F(PortMoveFiles, TheDialogsWritesProfileFirstEveryLineOfTheServer) {
  Put(home / "Tellurix.ini", "[Apache]\r\nListen=80\r\nDocumentRoot=D:\\www\r\n[MySQL]\r\nport=3306\r\n");
  Put(home / "Apache2" / "conf" / "httpd.conf", "# Listen 80\r\nListen 80\r\nListenBacklog 80\r\n");
  Put(home / "MySQL" / "my.ini", "[client]\r\nport=3306\r\n[mysql]\r\nport=3306\r\n[mysqld]\r\nport = 3306\r\n");
  EXPECT_EQ(Move(Service::Apache2, 8080), "");
  EXPECT_EQ(Move(Service::MySQL, 3307), "");
  EXPECT_EQ(Slurp(home / "Tellurix.ini"),
            "[Apache]\r\nListen=8080\r\nDocumentRoot=D:\\www\r\n[MySQL]\r\nport=3307\r\n");
  EXPECT_EQ(Slurp(home / "Apache2" / "conf" / "httpd.conf"), "# Listen 80\r\nListen 8080\r\nListenBacklog 80\r\n");
  EXPECT_EQ(Slurp(home / "MySQL" / "my.ini"),
            "[client]\r\nport=3307\r\n[mysql]\r\nport=3306\r\n[mysqld]\r\nport=3307\r\n");

  // The profile is written first; a stack file that cannot be written stops the move there.
  chmod((home / "MySQL" / "my.ini").c_str(), 0444);
  EXPECT_NE(Move(Service::MySQL, 3308).find(text::kWriteFailedAccessDenied), std::string::npos);
  EXPECT_EQ((*ReadIniValue((home / "Tellurix.ini").string(), "MySQL", "port")).value_or(""), "3308");
  EXPECT_EQ(Slurp(home / "MySQL" / "my.ini"),
            "[client]\r\nport=3307\r\n[mysql]\r\nport=3306\r\n[mysqld]\r\nport=3307\r\n");
  chmod((home / "MySQL" / "my.ini").c_str(), 0644);
}

TEST(Repair, TheElevatedToolChangesOnlyTheStacksServices) {
  const struct {
    std::vector<std::string> arguments;
    bool isTool;
    std::optional<Service> service;
  } rows[] = {
      {{}, false, std::nullopt},
      {{"--other"}, false, std::nullopt},
      {{"--set-service-manual", "Apache2"}, true, Service::Apache2},
      {{"--set-service-manual", "MySQL"}, true, Service::MySQL},
      {{"--set-service-manual", "Spooler"}, true, std::nullopt},
      {{"--set-service-manual", "apache2"}, true, std::nullopt},
      {{"--set-service-manual"}, true, std::nullopt},
      {{"--set-service-manual", "MySQL", "Apache2"}, true, std::nullopt},
  };
  for (const auto& row : rows) {
    const ServiceTool tool = ParseServiceTool(row.arguments);
    EXPECT_EQ(tool.isTool, row.isTool) << row.arguments.size();
    EXPECT_EQ(tool.service, row.service) << row.arguments.size();
  }
  EXPECT_EQ(SetManualParameters(Service::MySQL), "--set-service-manual MySQL");
}

}  // namespace
}  // namespace tellurix
