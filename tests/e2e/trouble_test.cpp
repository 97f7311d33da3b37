// When a server will not start, through real `net` and the service manager: a
// missing service installed by the stack's own installer; a disabled service, a
// service of another folder and a taken port, each fixed or left as it was by
// one question; a broken httpd.conf that keeps a running Apache running; and
// what the servers' own error logs and exit codes say.
#include <winsock2.h>

#include "harness.h"

#include <algorithm>

namespace e2e {
namespace {

// What Wine's `net` prints when the service's program ends before it runs.
const std::string kNetTimedOut = "正在启动服务 Apache2。 服务请求超时。";
const std::string kMySQLNetTimedOut = "正在启动服务 MySQL。 服务请求超时。";

TEST(Trouble, MissingServiceIsInstalledAndThenStarted) {
  ServiceRegistration mysql(L"MySQL");
  ASSERT_FALSE(mysql.program().empty());
  ASSERT_TRUE(mysql.Delete());
  ProgramDirectory home(L"安装 install");
  home.StandIn(L"MySQL\\bin\\mysqld-nt.exe");
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  const std::string missing = "服务MySQL尚未安装...    ";
  // A stop has nothing to offer; no `net` runs.
  panel.Choose(ids::mstop);
  const int stopLine = panel.WaitForLine(missing);
  ASSERT_GE(stopLine, 0);
  EXPECT_TRUE(panel.NoMessage());
  panel.Choose(ids::startm);
  ASSERT_GE(panel.WaitForLine(missing, stopLine + 1), 0);
  EXPECT_EQ(panel.Answer(IDOK), "MySQL服务尚未安装，是否现在安装？");
  const int installed = panel.WaitForLine("已安装服务MySQL...    ");
  ASSERT_GE(installed, 0);
  EXPECT_EQ(panel.WaitForLine(text::kMySQLStarting, installed), installed + 1);
  EXPECT_GT(panel.WaitForLine(text::kMySQLStarted, installed), installed);
  EXPECT_EQ(panel.WaitForLineStarting("MySQL启动失败"), -1);
}

// A listener of another program on the port, as long as it exists.
class PortHolder {
 public:
  explicit PortHolder(unsigned short port) {
    WSADATA winsock;
    started_ = WSAStartup(MAKEWORD(2, 2), &winsock) == 0;
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    holds_ = bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && listen(socket_, 1) == 0;
  }
  ~PortHolder() {
    closesocket(socket_);
    if (started_) WSACleanup();
  }
  bool holds() const { return holds_; }

 private:
  bool started_ = false, holds_ = false;
  SOCKET socket_ = INVALID_SOCKET;
};

TEST(Trouble, ApacheFixesAreOneQuestionAwayAndABrokenHttpdConfStopsTheRestart) {
  ProgramDirectory home(L"修复 fix");
  ServiceRegistration apache(L"Apache2");  // still the bench's program, of another folder
  const std::string good = Edited(SourceFile("demo/stack/Apache2/conf/httpd.conf"), {{"\nListen 80", "\nListen 8097"}});
  home.Put(L"Tellurix.ini", "[Apache]\r\nListen=8097\r\n");
  home.Put(L"Apache2\\conf\\httpd.conf", good);
  home.Put(L"Apache2\\conf\\vhosts.conf", "<VirtualHost *:8097>\r\n    ServerName a.example\r\n</VirtualHost>\r\n");
  home.StandIn(L"Apache2\\bin\\httpd.exe");
  home.StandIn(L"explorer.exe");
  ASSERT_TRUE(apache.SetStartType(SERVICE_DISABLED));
  PortHolder holder(8097);
  ASSERT_TRUE(holder.holds());
  const Snapshot profile = Take(home / L"Tellurix.ini"), conf = Take(home / L"Apache2\\conf\\httpd.conf");
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());

  // The panel run for one change of a service acts only on the stack's own services,
  // and opens no window (nor meets the running panel's single-instance lock).
  EXPECT_EQ(Process(home.exe(), L"--set-service-manual Spooler").ExitCode(), 2u);
  EXPECT_EQ(Process(home.exe(), L"--set-service-manual MySQL").ExitCode(), 0u);
  EXPECT_TRUE(panel.NoMessage());

  // Declined: nothing runs, nothing changes.
  size_t from = panel.Lines().size();
  panel.Choose(ids::starta);
  EXPECT_EQ(panel.Answer(IDCANCEL), "Apache2服务已被禁用，是否改为手动启动？");
  ASSERT_GE(panel.WaitForLine("服务Apache2已被禁用...    ", from), 0);
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(apache.Now().first, DWORD(SERVICE_DISABLED));

  from = panel.Lines().size();
  panel.Choose(ids::starta);
  EXPECT_EQ(panel.Answer(IDOK), "Apache2服务已被禁用，是否改为手动启动？");
  EXPECT_EQ(panel.Answer(IDCANCEL), "是否把服务Apache2改为本目录的Apache？");
  EXPECT_EQ(panel.Answer(IDCANCEL), "端口8097已被占用，是否把Apache改用端口8080？");
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.TextsFrom(from, true),
            (std::vector<std::string>{"服务Apache2已改为手动启动...    ",
                                      "服务Apache2运行的是其他位置的程序：" + Narrow(apache.program()) + "...    ",
                                      "端口8097已被其他程序占用...    "}));
  EXPECT_EQ(apache.Now(), std::make_pair(DWORD(SERVICE_DEMAND_START), apache.program()));
  EXPECT_TRUE(Untouched(home / L"Tellurix.ini", profile));
  EXPECT_TRUE(Untouched(home / L"Apache2\\conf\\httpd.conf", conf));

  // Accepted: the stack's own Apache on a free port, and it starts.
  from = panel.Lines().size();
  panel.Choose(ids::starta);
  EXPECT_EQ(panel.Answer(IDOK), "是否把服务Apache2改为本目录的Apache？");
  EXPECT_EQ(panel.Answer(IDOK), "端口8097已被占用，是否把Apache改用端口8080？");
  ASSERT_GE(panel.WaitForLine(text::kApacheStarted, from), 0);
  EXPECT_EQ(panel.TextsFrom(from, true),
            (std::vector<std::string>{"服务Apache2运行的是其他位置的程序：" + Narrow(apache.program()) + "...    ",
                                      "已安装服务Apache2...    ", "端口8097已被其他程序占用...    ",
                                      "Apache已改用端口8080...    ",
                                      "站点管理中的虚拟主机仍使用端口8097，请一并修改...    ", text::kApacheStarting}));
  EXPECT_EQ(ReadBytes(home / L"Tellurix.ini"), "[Apache]\r\nListen=8080\r\n");
  EXPECT_EQ(ReadBytes(home / L"Apache2\\conf\\httpd.conf"), Edited(good, {{"\nListen 8097", "\nListen 8080"}}));
  EXPECT_EQ(apache.Now().second, L"\"" + (home / L"Apache2\\bin\\httpd.exe") + L"\"");
  panel.Choose(ids::homepage);
  const ProgramDirectory::Started homePage(SW_SHOWMINIMIZED, "explorer.exe http://localhost:8080");
  EXPECT_TRUE(WaitUntil([&] { return !home.Recorded().empty() && home.Recorded().back() == homePage; }));

  // A misspelt directive: the restart runs nothing and Apache keeps running.
  home.Put(L"Apache2\\conf\\httpd.conf", Edited(good, {{"\nListen 8097", "\nListn 8080"}}));
  const size_t before = panel.Lines().size();
  panel.Choose(ids::restaraCom);
  const std::string report = panel.Answer();
  EXPECT_EQ(report.rfind(std::string(text::kConfigBrokenMessage) + "\r\n\r\nAH00526: Syntax error on line ", 0), 0u);
  EXPECT_NE(report.find("Invalid command 'Listn'"), std::string::npos);
  const int broken =
      panel.WaitForLineStarting(std::string(text::kConfigBroken) + "AH00526: Syntax error on line ", before);
  ASSERT_EQ(broken, int(before));
  // Its two lines in one, the reason included, and the check run as the service runs.
  const size_t reportStart = report.find("AH00526"), firstEnd = report.find("\r\n", reportStart);
  const std::string joined = report.substr(reportStart, firstEnd - reportStart) + " " + report.substr(firstEnd + 2);
  ASSERT_NE(joined.find(": Invalid command 'Listn', perhaps misspelled"), std::string::npos) << joined;
  // The path Apache prints in UTF-8 reads as it is, in a folder named in Chinese.
  EXPECT_NE(joined.find(Narrow(home / L"Apache2\\bin\\..\\conf\\httpd.conf") + ":"), std::string::npos) << joined;
  std::string cut;  // after 160 characters
  for (size_t i = 0, characters = 0; i < joined.size(); ++i) {
    if ((joined[i] & 0xC0) != 0x80 && characters++ == 160) {
      cut = joined.substr(0, i) + "…";
      break;
    }
  }
  EXPECT_EQ(panel.TextsFrom(before)[0], std::string(text::kConfigBroken) + (cut.empty() ? joined : cut) + "...    ");
  // Then the cause in plain words, on the line Apache names.
  const std::string misspelt = Edited(good, {{"\nListen 8097", "\nListn 8080"}});
  const auto listn = std::count(misspelt.begin(), misspelt.begin() + misspelt.find("\nListn") + 1, '\n') + 1;
  EXPECT_EQ(panel.TextsFrom(before)[1], "httpd.conf第" + std::to_string(listn) +
                                             "行：Apache不认识指令Listn（拼写错误，或者提供它的模块没有加载）...    ");
  EXPECT_EQ(home.Recorded().back(),
            ProgramDirectory::Started(SW_HIDE, "\"" + Narrow(home / L"Apache2\\bin\\httpd.exe") + "\" -n \"Apache2\" -t"));
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.WaitForLine(text::kApacheStopping, before, 2s), -1);
  EXPECT_TRUE(SetService(L"Apache2", true)) << "still running";

  // A good file and a free port change nothing in today's lines.
  home.Put(L"Apache2\\conf\\httpd.conf", Edited(good, {{"\nListen 8097", "\nListen 8080"}}));
  panel.Choose(ids::restaraCom);
  const int stopping = panel.WaitForLine(text::kApacheStopping, before + 2);
  ASSERT_EQ(stopping, int(before) + 2);
  ASSERT_GT(panel.WaitForLine(text::kApacheStarted, stopping, 20s), stopping);
  EXPECT_EQ(panel.TextsFrom(stopping), (std::vector<std::string>{text::kApacheStopping, text::kApacheStopped,
                                                                  text::kApacheStarting, text::kApacheStarted}));
}

TEST(Trouble, ApacheSaysWhyInItsOwnWords) {
  ServiceRegistration apache(L"Apache2");
  ProgramDirectory home(L"日志 log");
  home.Put(L"Tellurix.ini", "[Apache]\r\nListen=8098\r\n");
  home.Put(L"Apache2\\conf\\httpd.conf", SourceFile("demo/stack/Apache2/conf/httpd.conf"));
  home.StandIn(L"Apache2\\bin\\httpd.exe");
  ASSERT_TRUE(apache.PointAt(home / L"Apache2\\bin\\httpd.exe"));
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  HWND list = GetDlgItem(panel.window(), ids::List1);
  panel.Choose(ids::showme);
  ASSERT_TRUE(WaitUntil([&] { return panel.Visible(); }));
  EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL) << "short lines need no scroll bar";
  panel.Choose(ids::hideme);

  // A restart of a stopped Apache did what the user wanted: no failure between its two lines.
  size_t from = panel.Lines().size();
  panel.Choose(ids::restaraCom);
  ASSERT_GE(panel.WaitForLine(text::kApacheStarted, from, 20s), 0);
  EXPECT_EQ(panel.TextsFrom(from),
            (std::vector<std::string>{text::kApacheStopping, text::kApacheStarting, text::kApacheStarted}));
  // Stopped by the user soon after: no failure.
  from = panel.Lines().size();
  panel.Choose(ids::stopa);
  ASSERT_GE(panel.WaitForLine(text::kApacheStopped, from, 20s), 0);
  Sleep(1500);
  EXPECT_EQ(panel.TextsFrom(from), (std::vector<std::string>{text::kApacheStopping, text::kApacheStopped}));

  // Windows is told Apache runs, and its child dies at once: the start failed after
  // all, and the new part of error.log (in the ANSI code page) says why.
  const std::string accept =
      "(OS 10038)在一个非套接字上尝试了一个操作。  : AH00332: winnt_accept: Asynchronous AcceptEx failed.";
  home.Put(L"Apache2\\logs\\error.log", "[Sun Dec 06 09:00:00.000001 2026] [core:error] [pid 1:tid 2] an old failure\r\n");
  home.Put(L"Apache2\\bin\\fail-after-start",
           Ansi("[Mon Dec 07 15:09:54.123456 2026] [mpm_winnt:crit] [pid 5678:tid 300] " + accept +
                "\r\n[Mon Dec 07 15:09:54.223456 2026] [mpm_winnt:crit] [pid 1234:tid 56] AH00427: Parent: child "
                "process 5678 exited with status 1 -- Aborting.\r\n"));
  from = panel.Lines().size();
  panel.Choose(ids::starta);
  const int stoppedAgain = panel.WaitForLine("Apache启动后又停止了...    ", from, 20s);
  ASSERT_GT(stoppedAgain, 0);
  const int logLine = panel.WaitForLine("Apache错误日志：" + accept + "...    ", stoppedAgain);
  ASSERT_EQ(logLine, stoppedAgain + 1);
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.TextsFrom(from, true), (std::vector<std::string>{text::kApacheStarting, "Apache启动后又停止了...    ",
                                                                    "Apache错误日志：" + accept + "...    "}));
  DeleteFileW((home / L"Apache2\\bin\\fail-after-start").c_str());

  // What Apache says before its logs are open goes to the event log, which Wine
  // does not keep: a start that fails at once is said in net's words.
  home.Put(L"Apache2\\bin\\fail-start", Ansi("(OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : "
                                              "AH00072: make_sock: could not bind to address [::]:8098\r\n"
                                              "AH00451: no listening sockets available, shutting down\r\n"
                                              "AH00015: Unable to open logs\r\n"));
  const size_t failing = panel.Lines().size();
  panel.Choose(ids::starta);
  ASSERT_GT(panel.WaitForLine("Apache启动失败：" + kNetTimedOut + "...    ", failing), 0);
  Sleep(2000);
  for (const std::string& line : panel.TextsFrom(failing)) EXPECT_NE(line.rfind("Apache报告：", 0), 0u) << line;
  DeleteFileW((home / L"Apache2\\bin\\fail-start").c_str());

  // The log line is wider than the list: shown, it scrolls sideways (lines that came
  // while it was hidden are measured then), and a double-click shows a line whole.
  panel.Choose(ids::showme);
  ASSERT_TRUE(WaitUntil([&] { return panel.Visible(); }));
  EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
  RECT inside{};
  GetClientRect(list, &inside);
  EXPECT_GT(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), inside.right);
  const LPARAM at = MAKELPARAM(
      10, (logLine - SendMessageW(list, LB_GETTOPINDEX, 0, 0)) * SendMessageW(list, LB_GETITEMHEIGHT, 0, 0) + 2);
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
    PostMessageW(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
  }
  EXPECT_EQ(panel.Answer(), panel.Lines()[logLine]);

  // httpd.exe cannot be loaded at all: that is no configuration error, and nothing runs.
  DeleteFileW((home / L"Apache2\\bin\\fail-start").c_str());
  home.Put(L"Apache2\\bin\\exit-with", "0xC0000135");
  from = panel.Lines().size();
  panel.Choose(ids::starta);
  const std::string never = "httpd.exe无法运行：缺少它需要的DLL（常见的是Visual C++运行库）...    ";
  ASSERT_GE(panel.WaitForLine(never, from), 0);
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.WaitForLine(text::kApacheStarting, from, 2s), -1);
  EXPECT_EQ(panel.TextsFrom(from, true), std::vector<std::string>{never});
}

TEST(Trouble, MySQLMovesOffThePortItCouldNotBind) {
  ProgramDirectory home(L"绑定 bind");
  ServiceRegistration mysql(L"MySQL");
  const std::string myIni =
      "[client]\r\nport=3399\r\n\r\n[mysqld]\r\n# the server\r\nport=3399\r\nmax_connections=100\r\n";
  home.Put(L"Tellurix.ini", "[MySQL]\r\nport=3399\r\n");
  home.Put(L"MySQL\\my.ini", myIni);
  home.StandIn(L"MySQL\\bin\\mysqld-nt.exe");
  home.Put(L"MySQL\\bin\\fail-start",
           "061231 12:00:01 [ERROR] Can't start server: Bind on TCP/IP port: No error\r\n"
           "061231 12:00:01 [ERROR] Do you already have another mysqld server running on port: 3399 ?\r\n"
           "061231 12:00:01 [ERROR] Aborting\r\n");
  ASSERT_TRUE(mysql.PointAt(home / L"MySQL\\bin\\mysqld-nt.exe"));
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());

  // Another program listens on the port: no `net` runs; declined, nothing changes.
  size_t from = panel.Lines().size();
  {
    const Snapshot profile = Take(home / L"Tellurix.ini"), ini = Take(home / L"MySQL\\my.ini");
    PortHolder holder(3399);
    ASSERT_TRUE(holder.holds());
    panel.Choose(ids::startm);
    EXPECT_EQ(panel.Answer(IDCANCEL), "端口3399已被占用，是否把MySQL改用端口3307？");
    EXPECT_TRUE(panel.NoMessage());
    EXPECT_EQ(panel.WaitForLine(text::kMySQLStarting, from, 2s), -1);
    EXPECT_EQ(panel.TextsFrom(from), (std::vector<std::string>{"端口3399已被其他程序占用...    "}));
    EXPECT_TRUE(Untouched(home / L"Tellurix.ini", profile));
    EXPECT_TRUE(Untouched(home / L"MySQL\\my.ini", ini));
  }

  // The server itself says its port is taken: the same offer after the failure.
  from = panel.Lines().size();
  panel.Choose(ids::startm);
  ASSERT_GT(panel.WaitForLine("端口3399已被其他程序占用...    ", from), 0);
  DeleteFileW((home / L"MySQL\\bin\\fail-start").c_str());
  EXPECT_EQ(panel.Answer(IDOK), "端口3399已被占用，是否把MySQL改用端口3307？");
  ASSERT_GE(panel.WaitForLine(text::kMySQLStarted, from), 0);
  EXPECT_EQ(panel.TextsFrom(from, true),
            (std::vector<std::string>{text::kMySQLStarting, "MySQL启动失败：" + kMySQLNetTimedOut + "...    ",
                                      "MySQL错误日志：Can't start server: Bind on TCP/IP port: No error...    ",
                                      "端口3399已被其他程序占用...    ", "MySQL已改用端口3307...    ",
                                      "连接MySQL的程序（如phpMyAdmin）请改用端口3307...    ", text::kMySQLStarting}));
  EXPECT_EQ(ReadBytes(home / L"Tellurix.ini"), "[MySQL]\r\nport=3307\r\n");
  EXPECT_EQ(ReadBytes(home / L"MySQL\\my.ini"), Edited(myIni, {{"port=3399\r\n\r\n", "port=3307\r\n\r\n"},
                                                               {"server\r\nport=3399", "server\r\nport=3307"}}));
  from = panel.Lines().size();
  panel.Choose(ids::stopm);
  ASSERT_GE(panel.WaitForLine(text::kMySQLStopped, from, 20s), 0);

  // InnoDB's words of 5.0, without a level, and the consequence the server logs
  // as its error: the cause is the specific one.
  home.Put(L"MySQL\\bin\\fail-start",
           "InnoDB: Error: log file .\\ib_logfile0 is of different size 0 10485760 bytes\r\n"
           "InnoDB: than specified in the .cnf file 0 5242880 bytes!\r\n"
           "061231 12:00:02 [ERROR] Default storage engine (InnoDB) is not available\r\n"
           "061231 12:00:02 [ERROR] Aborting\r\n");
  from = panel.Lines().size();
  panel.Choose(ids::startm);
  const std::string sizeLine = "my.ini中的innodb_log_file_size与现有日志文件的大小不符，请改回原来的值...    ";
  ASSERT_GT(panel.WaitForLine(sizeLine, from), 0);
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.TextsFrom(from, true),
            (std::vector<std::string>{text::kMySQLStarting, "MySQL启动失败：" + kMySQLNetTimedOut + "...    ",
                                      "MySQL错误日志：Default storage engine (InnoDB) is not available...    ",
                                      sizeLine}));

  // Data files another program holds: moving the port cannot help, so nothing is
  // offered; a second MySQL is named.
  home.Put(L"MySQL\\bin\\fail-start",
           "InnoDB: Operating system error number 32 in a file operation.\r\n"
           "InnoDB: Some operating system error numbers are described at\r\n"
           "InnoDB: http://dev.mysql.com/doc/refman/5.1/en/operating-system-error-codes.html\r\n"
           "InnoDB: Error in opening .\\ibdata1\r\n"
           "101010 10:10:10 [ERROR] Plugin 'InnoDB' init function returned error.\r\n"
           "101010 10:10:10 [ERROR] Aborting\r\n");
  home.StandIn(L"other\\mysqld.exe");
  {
    Process other(home / L"other\\mysqld.exe", L"--plain 60");
    ASSERT_TRUE(other.running());
    from = panel.Lines().size();
    panel.Choose(ids::startm);
    const std::string otherLine = "另一个MySQL（mysqld.exe，PID " + std::to_string(other.processId()) +
                                  "）正在使用MySQL的数据文件，请先停止它...    ";
    ASSERT_GT(panel.WaitForLine(otherLine, from), 0) << testing::PrintToString(panel.TextsFrom(from, true));
    EXPECT_TRUE(panel.NoMessage());
    EXPECT_EQ(panel.TextsFrom(from, true),
              (std::vector<std::string>{text::kMySQLStarting, "MySQL启动失败：" + kMySQLNetTimedOut + "...    ",
                                        "MySQL错误日志：Plugin 'InnoDB' init function returned error....    ",
                                        otherLine}));
  }

  // A data folder that is not there: the server writes no log at all.
  home.Put(L"MySQL\\my.ini", ReadBytes(home / L"MySQL\\my.ini") + "datadir=nodata\r\n");
  home.Put(L"MySQL\\bin\\fail-start", "");
  from = panel.Lines().size();
  panel.Choose(ids::startm);
  const std::string noData = "MySQL的数据文件夹不存在：" + home.home() + "\\MySQL\\nodata...    ";
  ASSERT_GT(panel.WaitForLine(noData, from), 0);
  EXPECT_EQ(panel.TextsFrom(from, true),
            (std::vector<std::string>{text::kMySQLStarting, "MySQL启动失败：" + kMySQLNetTimedOut + "...    ", noData}));
}

// httpd.exe -t reports a directive of vhosts.conf it does not know, in Apache
// 2.4's words: the panel names the file and line in plain words, and runs no `net`.
TEST(Trouble, ApacheNamesTheDirectiveItDoesNotKnow) {
  ServiceRegistration apache(L"Apache2");
  ProgramDirectory home(L"指令 directive");
  home.Put(L"Tellurix.ini", "[Apache]\r\nListen=8099\r\n");
  home.Put(L"Apache2\\conf\\httpd.conf", SourceFile("demo/stack/Apache2/conf/httpd.conf"));
  home.Put(L"Apache2\\conf\\vhosts.conf",
           "<VirtualHost *:8099>\r\n    DocumentRoot \"D:/www\"\r\n    Servername a.example\r\n    SeverAlias "
           "www.a.example\r\n</VirtualHost>\r\n");
  home.StandIn(L"Apache2\\bin\\httpd.exe");
  ASSERT_TRUE(apache.PointAt(home / L"Apache2\\bin\\httpd.exe"));
  std::string vhosts = Narrow(home / L"Apache2\\conf\\vhosts.conf");
  for (char& c : vhosts) c = c == '\\' ? '/' : c;
  const std::string invalid =
      "Invalid command 'SeverAlias', perhaps misspelled or defined by a module not included in the server configuration";
  home.Put(L"Apache2\\bin\\config-test-says", "AH00526: Syntax error on line 4 of " + vhosts + ":\r\n" + invalid + "\r\n");
  // A check that takes seconds, as one loading PHP's module does: the status
  // monitor ticks meanwhile, and the check's httpd.exe is not Apache running.
  home.Put(L"Apache2\\bin\\config-test-ms", "2500");
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());

  const size_t from = panel.Lines().size();
  panel.Choose(ids::starta);
  const std::string report = panel.Answer();
  EXPECT_EQ(report, std::string(text::kConfigBrokenMessage) + "\r\n\r\nAH00526: Syntax error on line 4 of " + vhosts +
                        ":\r\n" + invalid);
  const std::string unknown = "vhosts.conf第4行：Apache不认识指令SeverAlias（拼写错误，或者提供它的模块没有加载）...    ";
  ASSERT_GT(panel.WaitForLine(unknown, from), int(from));
  const std::vector<std::string> texts = panel.TextsFrom(from);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].rfind(std::string(text::kConfigBroken) + "AH00526: Syntax error on line 4 of ", 0), 0u) << texts[0];
  EXPECT_EQ(texts[1], unknown);
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.WaitForLine(text::kApacheStarting, from, 2s), -1);
  EXPECT_EQ(home.Recorded().back(),
            ProgramDirectory::Started(SW_HIDE, "\"" + Narrow(home / L"Apache2\\bin\\httpd.exe") + "\" -n \"Apache2\" -t"));
}

// A start that fails on damaged data offers the copy first: the whole folder,
// a Chinese name, a read-only file and the error log, beside it; then the next
// step's question, declined here. Then a server that starts with a damaged page
// and says so in its log: once it has run for a while, the panel names the table
// and offers the copy, which stops MySQL first, as every stop is said.
TEST(Trouble, ADamagedDataFolderIsCopiedBeforeAnythingElse) {
  ProgramDirectory home(L"救援 rescue");
  ServiceRegistration mysql(L"MySQL");
  home.Put(L"Tellurix.ini", "[MySQL]\r\nport=3398\r\n");
  home.Put(L"MySQL\\my.ini", "[mysqld]\r\nport=3398\r\n");
  home.StandIn(L"MySQL\\bin\\mysqld-nt.exe");
  home.Put(L"MySQL\\data\\ibdata1", std::string(3 << 20, 'i'));
  home.Put(L"MySQL\\data\\ib_logfile0", "redo");
  home.Put(L"MySQL\\data\\商店\\订单.frm", "frm");
  const std::wstring accounts = home / L"MySQL\\data\\mysql\\user.MYD";
  home.Put(L"MySQL\\data\\mysql\\user.MYD", "accounts");
  ASSERT_TRUE(SetFileAttributesW(accounts.c_str(), FILE_ATTRIBUTE_READONLY));
  home.Put(L"MySQL\\bin\\fail-start",
           "InnoDB: Database page corruption on disk or a failed\r\n"
           "InnoDB: file read of page 7.\r\n"
           "InnoDB: You may have to recover from a backup.\r\n");
  ASSERT_TRUE(mysql.PointAt(home / L"MySQL\\bin\\mysqld-nt.exe"));
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());

  size_t from = panel.Lines().size();
  panel.Choose(ids::startm);
  const std::string damaged = "MySQL的数据文件可能已损坏，修复之前请先备份“" + home.home() + "\\MySQL\\data”...    ";
  ASSERT_GT(panel.WaitForLine(damaged, from), 0);
  EXPECT_EQ(panel.Answer(IDOK), text::kDataCopyQuestion);
  EXPECT_EQ(panel.Answer(IDCANCEL, 20s), text::kRescueQuestion);
  const std::vector<std::string> lines = panel.TextsFrom(from);
  const std::string done = "已把MySQL的数据文件夹复制到：";
  ASSERT_EQ(lines.back().rfind(done, 0), 0u) << lines.back();
  const std::string copy = lines.back().substr(done.size(), lines.back().find("（") - done.size());
  EXPECT_EQ(copy.rfind(home.home() + "\\MySQL\\data-备份-", 0), 0u) << copy;
  EXPECT_NE(lines.back().find("（5个文件，3.0 MB）"), std::string::npos) << lines.back();
  const std::wstring to = Widen(copy);
  for (const wchar_t* file : {L"ibdata1", L"ib_logfile0", L"商店\\订单.frm", L"mysql\\user.MYD"}) {
    EXPECT_EQ(ReadBytes(to + L"\\" + file), ReadBytes(home / (std::wstring(L"MySQL\\data\\") + file))) << Narrow(file);
  }
  EXPECT_TRUE(GetFileAttributesW((to + L"\\mysql\\user.MYD").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(panel.NoMessage());
  // The copy is the user's to keep or delete; the test's folder goes with the home.
  SetFileAttributesW((to + L"\\mysql\\user.MYD").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(accounts.c_str(), FILE_ATTRIBUTE_NORMAL);

  DeleteFileW((home / L"MySQL\\bin\\fail-start").c_str());
  home.Put(L"MySQL\\data\\shop\\orders.ibd", "pages");
  home.Put(L"MySQL\\bin\\say-at-start",
           "2026-12-07 20:11:26 0 [ERROR] InnoDB: Failed to read page 13 from file './shop/orders.ibd': Page read "
           "from tablespace is corrupted.\r\n"
           "2026-12-07 20:11:26 0 [Note] mysqld-nt.exe: ready for connections.\r\n");
  from = panel.Lines().size();
  panel.Choose(ids::startm);
  ASSERT_GT(panel.WaitForLine(text::kMySQLStarted, from), 0);
  EXPECT_EQ(panel.Answer(IDOK, 25s), text::kDataCopyQuestion);
  EXPECT_EQ(panel.Answer(IDCANCEL, 20s), text::kRescueQuestion);
  const std::vector<std::string> texts = panel.TextsFrom(from);
  ASSERT_GE(texts.size(), 5u) << testing::PrintToString(texts);
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 4),
            (std::vector<std::string>{text::kMySQLStarting, text::kMySQLStarted,
                                      "MySQL已经启动，但错误日志显示数据有损坏：shop.orders...    ",
                                      text::kMySQLStopping}));
  // The copy begins once the stop has ended (the monitor may say so just after).
  const auto copied = std::find_if(texts.begin() + 4, texts.end(), [&done](const std::string& line) {
    return line.rfind(done, 0) == 0;
  });
  ASSERT_NE(copied, texts.end()) << testing::PrintToString(texts);
  EXPECT_NE(copied->find("（6个文件，"), std::string::npos) << *copied;  // orders.ibd and the error log besides
  EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string(text::kMySQLStarted)), 1);
}

}  // namespace
}  // namespace e2e
