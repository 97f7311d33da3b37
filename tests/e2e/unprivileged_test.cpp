// A panel on a system that does not let its servers' ports be used: run by
// unprivileged.sh in a Wine session that may not bind ports below 1024, where
// binding port 80 or 443 fails with WSAEACCES (10013) as on a Windows whose
// reserved port ranges (Hyper-V, WSL, Docker) cover them. Nobody listens there,
// so only binding the port as the server would tells, before `net` runs.
#include "harness.h"

namespace e2e {
namespace {

const std::string kForbidden80 = "端口80被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    ";

TEST(Unprivileged, AForbiddenPortIsSaidBeforeNet) {
  ServiceRegistration apache(L"Apache2");
  ProgramDirectory home(L"保留 reserved");
  const std::string conf = SourceFile("demo/stack/Apache2/conf/httpd.conf");
  home.Put(L"Tellurix.ini", "[Apache]\r\nListen=80\r\n");
  home.Put(L"Apache2\\conf\\httpd.conf", conf);
  home.StandIn(L"Apache2\\bin\\httpd.exe");
  ASSERT_TRUE(apache.PointAt(home / L"Apache2\\bin\\httpd.exe"));
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());

  // The server's own port: said, and moved only if the user agrees; declined, nothing runs or changes.
  const Snapshot profile = Take(home / L"Tellurix.ini"), before = Take(home / L"Apache2\\conf\\httpd.conf");
  size_t from = panel.Lines().size();
  panel.Choose(ids::starta);
  EXPECT_EQ(panel.Answer(IDCANCEL), "端口80被系统禁止使用，是否把Apache改用端口8080？");
  ASSERT_GE(panel.WaitForLine(kForbidden80, from), 0);
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.WaitForLine(text::kApacheStarting, from, 2s), -1);
  EXPECT_EQ(panel.Lines().size(), from + 1);
  EXPECT_TRUE(Untouched(home / L"Tellurix.ini", profile));
  EXPECT_TRUE(Untouched(home / L"Apache2\\conf\\httpd.conf", before));

  // Another Listen line on a forbidden port: said, nothing offered, nothing runs.
  home.Put(L"Tellurix.ini", "[Apache]\r\nListen=8091\r\n");
  home.Put(L"Apache2\\conf\\httpd.conf", Edited(conf, {{"\nListen 80\r", "\nListen 8091\r\nListen 127.0.0.1:443\r"}}));
  from = panel.Lines().size();
  panel.Choose(ids::starta);
  const std::string forbidden443 =
      "端口443被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    ";
  ASSERT_GE(panel.WaitForLine(forbidden443, from), 0);
  EXPECT_TRUE(panel.NoMessage());
  EXPECT_EQ(panel.WaitForLine(text::kApacheStarting, from, 2s), -1);

  // Accepted on the server's own port: it moves to 8080 and starts.
  home.Put(L"Tellurix.ini", "[Apache]\r\nListen=80\r\n");
  home.Put(L"Apache2\\conf\\httpd.conf", conf);
  from = panel.Lines().size();
  panel.Choose(ids::starta);
  EXPECT_EQ(panel.Answer(IDOK), "端口80被系统禁止使用，是否把Apache改用端口8080？");
  ASSERT_GE(panel.WaitForLine(text::kApacheStarted, from, 20s), 0);
  EXPECT_EQ(panel.Lines()[from].substr(0, kForbidden80.size()), kForbidden80);
  EXPECT_EQ(ReadBytes(home / L"Tellurix.ini"), "[Apache]\r\nListen=8080\r\n");
  EXPECT_EQ(ReadBytes(home / L"Apache2\\conf\\httpd.conf"), Edited(conf, {{"\nListen 80\r", "\nListen 8080\r"}}));
}

}  // namespace
}  // namespace e2e
