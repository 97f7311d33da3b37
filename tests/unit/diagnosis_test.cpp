// When a server will not start: what the service manager's answer, net's output,
// the listener table and httpd.exe -t make the panel say and do.
#include <gtest/gtest.h>

#include "core/codepage.h"
#include "servers/service_diagnosis.h"

namespace tellurix {
namespace {

using Fix = ServiceCheck::Fix;
using O = ProgramRun::Outcome;

TEST(Diagnosis, ServiceManagerAnswerDecidesWhetherNetRuns) {
  const struct {
    Service service;
    ServiceAction action;
    unsigned long error;
    bool runNet;
    const char* line;
    const char* question;
    Fix fix;
  } rows[] = {
      {Service::Apache2, ServiceAction::Start, 0, true, "", "", Fix::None},
      {Service::Apache2, ServiceAction::Start, 1072, true, "", "", Fix::None},  // net reports the rest
      {Service::Apache2, ServiceAction::Start, 1060, false, "服务Apache2尚未安装...    ",
       "Apache2服务尚未安装，是否现在安装？", Fix::Install},
      {Service::MySQL, ServiceAction::Restart, 1060, false, "服务MySQL尚未安装...    ",
       "MySQL服务尚未安装，是否现在安装？", Fix::Install},
      {Service::MySQL, ServiceAction::Stop, 1060, false, "服务MySQL尚未安装...    ", "", Fix::None},
      {Service::MySQL, ServiceAction::Stop, 5, false, "",
       "启动和停止服务需要管理员权限，是否以管理员身份重新运行TellurixAdmin？", Fix::Elevate},
  };
  for (const auto& row : rows) {
    const ServiceCheck check = CheckServiceAccess(row.service, row.action, row.error);
    EXPECT_EQ(check.runNet, row.runNet) << row.error;
    EXPECT_EQ(check.line, row.line);
    EXPECT_EQ(check.question, row.question);
    EXPECT_EQ(check.fix, row.fix);
  }
  EXPECT_EQ(NoRightsLine(Service::Apache2), "没有权限操作服务Apache2...    ");
}

TEST(Diagnosis, InstallerCommandAndItsOutcome) {
  const InstallCommand apache = InstallCommandFor(Service::Apache2, "C:\\Tellurix 1");
  EXPECT_EQ(apache.program, "C:\\Tellurix 1\\Apache2\\bin\\httpd.exe");
  EXPECT_EQ(apache.parameters, "-k install -n \"Apache2\"");
  const InstallCommand mysql = InstallCommandFor(Service::MySQL, "C:\\T");
  EXPECT_EQ(mysql.program, "C:\\T\\MySQL\\bin\\mysqld-nt.exe");
  EXPECT_EQ(mysql.parameters, "--install MySQL --defaults-file=\"C:\\T\\MySQL\\my.ini\"");
  const struct {
    ProgramRun run;
    const char* line;
  } rows[] = {
      {{O::Exited, 0, ""}, "已安装服务MySQL...    "},
      {{O::Exited, 3, ""}, "安装服务MySQL失败：退出代码 3...    "},
      {{O::TimedOut, 0, ""}, "安装服务MySQL失败：30秒内没有结束...    "},
      {{O::CannotStart, 0, ""}, "安装服务MySQL失败：无法启动程序：C:\\T\\MySQL\\bin\\mysqld-nt.exe...    "},
      // The administrator prompt answered No is no fault of the program.
      {{O::Declined, 0, ""}, "没有得到管理员权限，服务MySQL没有改动...    "},
  };
  for (const auto& row : rows) EXPECT_EQ(InstallResultLine(Service::MySQL, row.run, mysql.program), row.line);
}

TEST(Diagnosis, ReasonIsTheOutputOnOneShortLine) {
  const std::string eighty(80, 'x');
  const std::string chinese80 = [] {
    std::string s;
    for (int i = 0; i < 80; ++i) s += "服";
    return s;
  }();
  const struct {
    std::string output;
    unsigned long code;
    std::string reason;
  } rows[] = {
      {"", 2, "退出代码 2"},
      {" \r\n\t\r\n", 1, "退出代码 1"},
      {"正在启动服务 Apache2。\r\n\r\n  服务请求超时。  \r\n", 1, "正在启动服务 Apache2。 服务请求超时。"},
      {"a\nb\rc", 1, "a b c"},
      {eighty, 1, eighty},
      {eighty + "y", 1, eighty + "…"},
      {chinese80 + "务", 1, chinese80 + "…"},  // characters, not bytes
  };
  for (const auto& row : rows) EXPECT_EQ(ShapeReason(row.output, row.code), row.reason) << row.output;
  // The output itself: `net` prints in the console's code page, Apache the paths
  // of its configuration in UTF-8; each line is read as it was written.
  SetAnsiCodePage("CP936");
  const std::string net = "正在启动服务 Apache2。\r\n服务请求超时。\r\n";
  const std::string where = "AH00526: Syntax error on line 25 of D:/软件/Tellurix/Apache2/conf/httpd.conf:\r\n";
  const std::string what = "Invalid command 'Listn', perhaps misspelled\r\n";
  EXPECT_EQ(FromProgramOutput(ToAnsi(net).value()), net);
  EXPECT_EQ(FromProgramOutput(where + what), where + what);
  EXPECT_EQ(FromProgramOutput(ToAnsi(net).value() + where), net + where);
  EXPECT_EQ(NetFailedLine(Service::Apache2, ServiceAction::Start, {O::Exited, 0, "whatever"}), std::nullopt);
  EXPECT_EQ(NetFailedLine(Service::Apache2, ServiceAction::Start, {O::Exited, 2, "bad"}), "Apache启动失败：bad...    ");
  EXPECT_EQ(NetFailedLine(Service::MySQL, ServiceAction::Stop, {O::Exited, 2, ""}), "MySQL停止失败：退出代码 2...    ");
}

TEST(Diagnosis, PortComesFromTheProfileAndIsNamedWithItsOwner) {
  EXPECT_EQ(PortToCheck(Service::Apache2, ""), 80u);
  EXPECT_EQ(PortToCheck(Service::MySQL, ""), 3306u);
  EXPECT_EQ(PortToCheck(Service::Apache2, "8080"), 8080u);
  for (const char* notPlain : {"80 ", "0x50", "-80", "127.0.0.1:80", "99999", "0", "80a"}) {
    EXPECT_EQ(PortToCheck(Service::Apache2, notPlain), std::nullopt) << notPlain;
  }
  auto imageOf = [](unsigned long pid) -> std::optional<std::string> {
    EXPECT_NE(pid, 0u) << "id 0 is the idle process, never a listener's owner";
    if (pid == 4242) return std::string("nginx.exe");
    if (pid == 0) return std::string("System Idle Process");
    return std::nullopt;
  };
  const std::vector<Listener> table = {{135, 900}, {8080, 0}, {3306, 4242}, {80, 7}};
  EXPECT_EQ(PortTakenLine(3306, table, imageOf), "端口3306已被nginx.exe（PID 4242）占用...    ");
  EXPECT_EQ(PortTakenLine(8080, table, imageOf), "端口8080已被其他程序占用...    ");
  EXPECT_EQ(PortTakenLine(80, table, imageOf), "端口80已被其他程序占用...    ") << "an owner that is gone";
  EXPECT_EQ(PortTakenLine(443, table, imageOf), std::nullopt);
  EXPECT_EQ(PortTakenLine(80, {{80, 0}, {80, 4242}}, imageOf), "端口80已被nginx.exe（PID 4242）占用...    ");
  // A MySQL still stopping (PID 4242 is the service's own process) holds its own
  // port: that is no other program, and its port is no port to move.
  const PortHolders holders = HoldersOf(table, 4242);
  EXPECT_EQ(PortTakenLine(3306, holders.others, imageOf), std::nullopt);
  EXPECT_TRUE(holders.OwnHolds(3306));
  EXPECT_FALSE(holders.OwnHolds(80));
  EXPECT_EQ(HoldersOf(table, 0).others.size(), table.size()) << "no service process: every listener counts";
  // The server said the port was taken, and its taker has gone since.
  EXPECT_EQ(PortTakenLine(443, table, imageOf, true), "端口443已被其他程序占用...    ");
  EXPECT_EQ(PortTakenLine(3306, table, imageOf, true), "端口3306已被nginx.exe（PID 4242）占用...    ");

  // Nobody listens, and the port cannot be bound: forbidden (Windows reserves it) or taken unseen.
  EXPECT_EQ(PortBlockedLine(80, 10013),
            "端口80被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    ");
  EXPECT_EQ(PortBlockedLine(443, 10048), "端口443已被其他程序占用...    ");
  for (unsigned long other : {0ul, 10049ul, 10047ul}) EXPECT_EQ(PortBlockedLine(80, other), std::nullopt) << other;
  // Every Listen line of httpd.conf, as the server binds it.
  EXPECT_EQ(ApacheListens("#Listen 12.34.56.78:80\r\nListen 80\r\n  listen\t127.0.0.1:8080\n"
                          "Listen [::]:8443 https\nListen *:81\nListen [fe80::1]:82\nListenBacklog 511\n"
                          "Listen\nListen localhost:x\n"),
            (std::vector<ListenAddress>{{"", 80}, {"127.0.0.1", 8080}, {"::", 8443}, {"", 81}, {"fe80::1", 82}}));

  // Port 80 held by the Windows HTTP service, and who serves through it.
  const std::vector<Listener> http = {{80, 4}, {8080, 4242}};
  EXPECT_TRUE(HeldByHttpService(80, http));
  EXPECT_FALSE(HeldByHttpService(8080, http));
  EXPECT_EQ(PortTakenLine(80, http, imageOf), "端口80已被Windows的HTTP服务占用（System，PID 4）...    ");
  EXPECT_EQ(HttpServiceUsersLine({{"Spooler", "Print Spooler"},
                                  {"W3SVC", "World Wide Web Publishing Service"},
                                  {"ReportServer$SQL2019", "SQL Server Reporting Services (SQL2019)"},
                                  {"reportserverx", "not one"},
                                  {"ReportServer$", "no instance"},
                                  {"msdepsvc", "Web Deployment Agent Service"}}),
            "使用HTTP服务的是：World Wide Web Publishing Service（W3SVC）、SQL Server Reporting Services "
            "(SQL2019)（ReportServer$SQL2019）、Web Deployment Agent Service（msdepsvc）...    ");
  EXPECT_EQ(HttpServiceUsersLine({{"Spooler", "Print Spooler"}}), std::nullopt);
  for (const char* user : {"WAS", "PeerDistSvc", "ReportServer", "SQLServerReportingServices", "PowerBIReportServer",
                           "WMSVC"}) {
    EXPECT_TRUE(UsesHttpService(user)) << user;
  }
}

TEST(Diagnosis, AFailedNetThatReachedItsGoalIsNoFailure) {
  using S = ServiceState;
  const struct {
    ServiceAction half;
    ServiceState state;
    bool reached;
  } rows[] = {
      {ServiceAction::Stop, S::Stopped, true},   // the stop half of a restart of a stopped service
      {ServiceAction::Start, S::Running, true},  // started by someone else meanwhile
      {ServiceAction::Start, S::Stopped, false},  {ServiceAction::Start, S::Pending, false},
      {ServiceAction::Stop, S::Running, false},   {ServiceAction::Stop, S::Pending, false},
      {ServiceAction::Start, S::Unknown, false},
  };
  for (const auto& row : rows) EXPECT_EQ(NetReachedGoal(row.half, row.state), row.reached);
}

TEST(Diagnosis, AProgramThatNeverRanSaysWhy) {
  const struct {
    ProgramRun run;
    const char* line;  // nullptr: none
  } rows[] = {
      {{O::Exited, 0xC0000135, ""}, "httpd.exe无法运行：缺少它需要的DLL（常见的是Visual C++运行库）...    "},
      {{O::Exited, 0xC000007B, ""}, "httpd.exe无法运行：它或它需要的DLL与Windows的位数不符...    "},
      {{O::Exited, 1, ""}, nullptr},
      {{O::TimedOut, 0xC0000135, ""}, nullptr},
  };
  for (const auto& row : rows) {
    const auto line = UnrunnableLine(ImageName("C:\\x y\\Apache2\\bin\\httpd.exe"), row.run);
    EXPECT_EQ(line.value_or("none"), row.line ? row.line : "none") << row.run.exitCode;
  }
  // httpd.exe -t that never ran is no configuration error: its line, no message.
  const ConfigVerdict never = JudgeConfigTest({O::Exited, 0xC0000135, ""});
  EXPECT_FALSE(never.runNet);
  EXPECT_EQ(never.line, "httpd.exe无法运行：缺少它需要的DLL（常见的是Visual C++运行库）...    ");
  EXPECT_EQ(never.message, "");
  EXPECT_EQ(InstallResultLine(Service::MySQL, {O::Exited, 0xC000007B, ""}, "C:\\T\\MySQL\\bin\\mysqld-nt.exe"),
            "安装服务MySQL失败：mysqld-nt.exe无法运行：它或它需要的DLL与Windows的位数不符...    ");
  EXPECT_EQ(VersionCommandLine(Service::Apache2, "C:\\A B"), "\"C:\\A B\\Apache2\\bin\\httpd.exe\" -v");
  EXPECT_EQ(VersionCommandLine(Service::MySQL, "C:\\T"),
            "\"C:\\T\\MySQL\\bin\\mysqld-nt.exe\" --defaults-file=\"C:\\T\\MySQL\\my.ini\" --version");
}

TEST(Diagnosis, BrokenHttpdConfStopsTheCommandAnUnrunnableCheckDoesNot) {
  EXPECT_EQ(ConfigTestCommandLine("C:\\My Stack"), "\"C:\\My Stack\\Apache2\\bin\\httpd.exe\" -n \"Apache2\" -t");
  for (const ProgramRun& passes : {ProgramRun{O::Exited, 0, "Syntax OK\r\n"}, ProgramRun{O::CannotStart, 0, ""},
                                   ProgramRun{O::TimedOut, 0, "half"}}) {
    EXPECT_TRUE(JudgeConfigTest(passes).runNet);
  }
  const ConfigVerdict broken = JudgeConfigTest(
      {O::Exited, 1, "\r\nAH00526: Syntax error on line 3 of C:/s/httpd.conf:  \r\nInvalid command 'Listn'\r\n"});
  EXPECT_FALSE(broken.runNet);
  // The two lines of the report are one line of the list.
  EXPECT_EQ(broken.line,
            "Apache配置有误，没有执行：AH00526: Syntax error on line 3 of C:/s/httpd.conf: Invalid command "
            "'Listn'...    ");
  EXPECT_EQ(broken.message,
            "httpd.conf有错误，命令没有执行：\r\n\r\nAH00526: Syntax error on line 3 of C:/s/httpd.conf:  "
            "\r\nInvalid command 'Listn'");
  EXPECT_EQ(JudgeConfigTest({O::Exited, 9, ""}).line, "Apache配置有误，没有执行：退出代码 9...    ");
  EXPECT_EQ(JudgeConfigTest({O::Exited, 1, "AH00543: httpd.exe: bad user name nobody\r\nnext"}).line,
            "Apache配置有误，没有执行：AH00543: httpd.exe: bad user name nobody...    ");
  const std::string longer = "AH00526: Syntax error on line 7 of C:/" + std::string(150, 'p') + ":\n" + "Invalid";
  EXPECT_EQ(JudgeConfigTest({O::Exited, 1, longer}).line,
            "Apache配置有误，没有执行：" + longer.substr(0, 160) + "…...    ");
}

// Locked data files: another MySQL server is named by its process, never the
// service's own (which may still be ending) nor the stack's client tools.
TEST(Diagnosis, AnotherMySQLIsNamedByItsProcess) {
  const struct {
    std::vector<NamedProcess> processes;
    unsigned long own;
    std::string line;  // empty: none
  } rows[] = {
      {{{4, "System", {}}, {5120, "mysqld.exe", {}}}, 2230, "另一个MySQL（mysqld.exe，PID 5120）正在使用MySQL的数据文件，请先停止它...    "},
      {{{2230, "MYSQLD-NT.EXE", {}}, {4410, "mysqld-nt.exe", {}}}, 2230,
       "另一个MySQL（mysqld-nt.exe，PID 4410）正在使用MySQL的数据文件，请先停止它...    "},
      {{{300, "mysql.exe", {}}, {301, "mysqladmin.exe", {}}, {302, "mysqld-max-nt.exe", {}}}, 0,
       "另一个MySQL（mysqld-max-nt.exe，PID 302）正在使用MySQL的数据文件，请先停止它...    "},
      {{{77, "C:\\xampp\\mysql\\bin\\mysqld.exe", {}}}, 0, "另一个MySQL（mysqld.exe，PID 77）正在使用MySQL的数据文件，请先停止它...    "},
      {{{2230, "mysqld-nt.exe", {}}, {300, "mysql.exe", {}}, {9, "mysqldump.exe.bak", {}}}, 2230, ""},
      {{}, 0, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(OtherMySQLLine(row.processes, row.own).value_or(""), row.line) << row.processes.size();
  }
}

}  // namespace
}  // namespace tellurix
