// When a server will not start, through real `net` and the service manager: a
// missing service installed by the stack's own installer, a failed start with
// the port held, and a broken httpd.conf that keeps a running Apache running.
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
  EXPECT_GT(panel.Lines()[failed].size(), std::string("Apache启动失败：...    ").size()) << "says what net printed";
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
  std::vector<std::string> texts;
  for (const auto& line : panel.Lines()) texts.push_back(line.substr(0, line.rfind("    ") + 4));
  EXPECT_EQ(std::vector<std::string>(texts.begin() + stopping, texts.end()),
            (std::vector<std::string>{text::kApacheStopping, text::kApacheStopped, text::kApacheStarting,
                                      text::kApacheStarted}));
}

}  // namespace
}  // namespace e2e
