// When a server will not start, through real `net` and the service manager: a
// missing service installed by the stack's own installer, a failed start with
// the port held, a broken httpd.conf that keeps a running Apache running, and
// what the servers' own error logs and exit codes say.
#include <winsock2.h>

#include "harness.h"

namespace e2e {
namespace {

// The bench's service as registered; deleted for a test and registered again
// (stopped, with its own program) afterwards, whatever the test did.
class ServiceRegistration {
 public:
  explicit ServiceRegistration(const wchar_t* name) : name_(name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS);
    DWORD size = 0;
    QueryServiceConfigW(service, nullptr, 0, &size);
    std::vector<BYTE> config(size);
    if (QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()), size, &size)) {
      program_ = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->lpBinaryPathName;
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }
  ~ServiceRegistration() {
    Delete();
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    CloseServiceHandle(CreateServiceW(manager, name_, name_, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, program_.c_str(), nullptr, nullptr,
                                      nullptr, nullptr, nullptr));
    CloseServiceHandle(manager);
  }
  const std::wstring& program() const { return program_; }
  // The service runs `program` instead, until the registration is restored.
  bool PointAt(const std::wstring& program) const {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceW(manager, name_, SERVICE_CHANGE_CONFIG);
    const std::wstring quoted = L"\"" + program + L"\"";
    const bool changed = service && ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                                         SERVICE_NO_CHANGE, quoted.c_str(), nullptr, nullptr,
                                                         nullptr, nullptr, nullptr, nullptr);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return changed;
  }
  bool Delete() const {
    SetService(name_, false);
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceW(manager, name_, DELETE);
    const bool deleted = service && DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return deleted;
  }

 private:
  const wchar_t* name_;
  std::wstring program_;
};

// The index of the first line from `from` on that begins with `head`; -1 when none comes.
int WaitForLineStarting(const Panel& panel, const std::string& head, size_t from = 0) {
  int found = -1;
  WaitUntil([&] {
    const auto lines = panel.Lines();
    for (size_t i = from; i < lines.size() && found < 0; ++i) found = lines[i].rfind(head, 0) == 0 ? int(i) : -1;
    return found >= 0;
  });
  return found;
}

// What Wine's `net` prints when the service's program ends before it runs.
const std::string kNetTimedOut = "正在启动服务 Apache2。 服务请求超时。";
const std::string kMySQLNetTimedOut = "正在启动服务 MySQL。 服务请求超时。";

// The lines from `from` on without their times; `quiet` leaves out the status
// monitor's, which may see a failing server's program for the moment it runs.
std::vector<std::string> TextsFrom(const Panel& panel, size_t from, bool quiet = false) {
  std::vector<std::string> texts;
  const auto lines = panel.Lines();
  for (size_t i = from; i < lines.size(); ++i) {
    const std::string text = lines[i].substr(0, lines[i].rfind("    ") + 4);
    const bool monitor = text == text::kApacheStarted || text == text::kApacheStopped ||
                         text == text::kMySQLStarted || text == text::kMySQLStopped;
    if (!quiet || !monitor) texts.push_back(text);
  }
  return texts;
}

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
  EXPECT_EQ(WaitForLineStarting(panel, "MySQL启动失败"), -1);
}

TEST(Trouble, FailedStartNamesTheTakenPortAndABrokenHttpdConfStopsTheRestart) {
  ServiceRegistration apache(L"Apache2");
  ProgramDirectory home(L"故障 trouble");
  home.Put(L"Tellurix.ini", "[Apache]\r\nListen=8099\r\n");
  home.StandIn(L"Apache2\\bin\\httpd.exe");
  const std::string good = SourceFile("demo/stack/Apache2/conf/httpd.conf");
  home.Put(L"Apache2\\conf\\httpd.conf", good);
  // The service's own program ends at once: `net start` fails.
  const std::wstring failStart = apache.program().substr(0, apache.program().rfind(L'\\') + 1) + L"fail-start";
  HANDLE marker = CreateFileW(failStart.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(marker, INVALID_HANDLE_VALUE);
  CloseHandle(marker);
  WSADATA winsock;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(8099);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener, 1), 0);

  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  panel.Choose(ids::starta);
  const int starting = panel.WaitForLine(text::kApacheStarting);
  ASSERT_GE(starting, 0);
  const int failed = WaitForLineStarting(panel, "Apache启动失败：", starting);
  ASSERT_GT(failed, starting);
  EXPECT_EQ(TextsFrom(panel, failed).front(), "Apache启动失败：" + kNetTimedOut + "...    ") << "what net printed";
  EXPECT_EQ(panel.WaitForLine("端口8099已被其他程序占用...    ", failed), failed + 1);
  closesocket(listener);
  WSACleanup();
  DeleteFileW(failStart.c_str());

  // A misspelt directive: the restart runs nothing and Apache keeps running.
  ASSERT_TRUE(SetService(L"Apache2", true));
  ASSERT_GE(panel.WaitForLine(text::kApacheStarted, failed), 0);
  home.Put(L"Apache2\\conf\\httpd.conf", Edited(good, {{"\nListen 80", "\nListn 80"}}));
  const size_t before = panel.Lines().size();
  panel.Choose(ids::restaraCom);
  const std::string report = panel.Answer();
  EXPECT_EQ(report.rfind(std::string(text::kConfigBrokenMessage) + "\r\n\r\nAH00526: Syntax error on line ", 0), 0u);
  EXPECT_NE(report.find("Invalid command 'Listn'"), std::string::npos);
  const int broken =
      WaitForLineStarting(panel, std::string(text::kConfigBroken) + "AH00526: Syntax error on line ", before);
  EXPECT_EQ(broken, int(before));
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.WaitForLine(text::kApacheStopping, before, 2s), -1);
  EXPECT_TRUE(SetService(L"Apache2", true)) << "still running";

  // A good file changes nothing in today's lines.
  home.Put(L"Apache2\\conf\\httpd.conf", good);
  panel.Choose(ids::restaraCom);
  const int stopping = panel.WaitForLine(text::kApacheStopping, before + 1);
  ASSERT_EQ(stopping, int(before) + 1);
  ASSERT_GT(panel.WaitForLine(text::kApacheStarted, stopping, 20s), stopping);
  EXPECT_EQ(TextsFrom(panel, stopping), (std::vector<std::string>{text::kApacheStopping, text::kApacheStopped,
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
  EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL) << "short lines need no scroll bar";

  // A restart of a stopped Apache did what the user wanted: no failure between its two lines.
  size_t from = panel.Lines().size();
  panel.Choose(ids::restaraCom);
  ASSERT_GE(panel.WaitForLine(text::kApacheStarted, from, 20s), 0);
  EXPECT_EQ(TextsFrom(panel, from),
            (std::vector<std::string>{text::kApacheStopping, text::kApacheStarting, text::kApacheStarted}));
  ASSERT_TRUE(SetService(L"Apache2", false));
  ASSERT_GE(panel.WaitForLine(text::kApacheStopped, from), 0);

  // A start that fails: the log's new part, written in the ANSI code page, says why.
  const std::string forbidden =
      "(OS 10013)以一种访问权限不允许的方式做了一个访问套接字的尝试。  : make_sock: could not bind to address "
      "0.0.0.0:8098";
  home.Put(L"Apache2\\logs\\error.log", "[Sun Dec 06 09:00:00 2026] [error] an old failure\r\n");
  home.Put(L"Apache2\\bin\\fail-start", Ansi("[Mon Dec 07 10:00:00 2026] [crit] " + forbidden +
                                                 "\r\n[Mon Dec 07 10:00:00 2026] [alert] no listening sockets "
                                                 "available, shutting down\r\n"));
  from = panel.Lines().size();
  panel.Choose(ids::starta);
  const int forbade = panel.WaitForLine(
      "端口8098被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    ", from);
  ASSERT_GT(forbade, 0);
  EXPECT_EQ(TextsFrom(panel, from, true),
            (std::vector<std::string>{text::kApacheStarting, "Apache启动失败：" + kNetTimedOut + "...    ",
                                      "Apache错误日志：" + forbidden + "...    ",
                                      "端口8098被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），"
                                      "请换用其他端口...    "}));

  // The log line is wider than the list: it scrolls sideways, and a double-click shows it whole.
  EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
  RECT inside{};
  GetClientRect(list, &inside);
  EXPECT_GT(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), inside.right);
  const int logLine = forbade - 1;
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
  EXPECT_EQ(TextsFrom(panel, from, true), std::vector<std::string>{never});
}

TEST(Trouble, MySQLNamesThePortItCouldNotBind) {
  ServiceRegistration mysql(L"MySQL");
  ProgramDirectory home(L"绑定 bind");
  home.Put(L"Tellurix.ini", "[MySQL]\r\nport=3399\r\n");
  home.StandIn(L"MySQL\\bin\\mysqld-nt.exe");
  home.Put(L"MySQL\\bin\\fail-start",
           "101207 10:00:01 [ERROR] Can't start server: Bind on TCP/IP port: No such file or directory\r\n"
           "101207 10:00:01 [ERROR] Do you already have another mysqld server running on port: 3399 ?\r\n"
           "101207 10:00:01 [ERROR] Aborting\r\n");
  ASSERT_TRUE(mysql.PointAt(home / L"MySQL\\bin\\mysqld-nt.exe"));
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  const size_t from = panel.Lines().size();
  panel.Choose(ids::startm);
  ASSERT_GT(panel.WaitForLine("端口3399已被其他程序占用...    ", from), 0);
  EXPECT_EQ(TextsFrom(panel, from, true),
            (std::vector<std::string>{text::kMySQLStarting, "MySQL启动失败：" + kMySQLNetTimedOut + "...    ",
                                      "MySQL错误日志：Can't start server: Bind on TCP/IP port: No such file or "
                                      "directory...    ",
                                      "端口3399已被其他程序占用...    "}));
}

}  // namespace
}  // namespace e2e
