// The rescue of a damaged MySQL data folder through the real panel: the copy,
// the databases dumped by the stack's own server in recovery mode (the stand-in
// serves its pipe and answers the stand-in clients), the folder rebuilt from the
// dumps and MySQL started on it; MySQL's commands refused and quitting asked
// while a step runs, the progress window's cancel, and a quit that ends a step.
#include "harness.h"

#include <tlhelp32.h>

#include <algorithm>

#include "ui/progress_window.h"

namespace e2e {
namespace {

using tellurix::ProgressWindow;

// What a line says between `head` and its end ("...    ").
std::string After(const std::string& line, const std::string& head) {
  const size_t end = line.rfind(text::kLineEnd);
  return end == std::string::npos || end < head.size() ? std::string() : line.substr(head.size(), end - head.size());
}

// The panel's own progress window with this caption, shown.
HWND ProgressOf(const Panel& panel, const std::string& caption, std::chrono::milliseconds timeout = 20s) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, nullptr, Widen(caption).c_str()));) {
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          if (pid == panel.processId() && IsWindowVisible(window)) found = window;
        }
        return found != nullptr;
      },
      timeout);
  return found;
}

// The processes running this program file name (the stack's server), by any path.
int Running(const wchar_t* image) {
  int count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    count += _wcsicmp(entry.szExeFile, image) == 0 ? 1 : 0;
  }
  CloseHandle(snapshot);
  return count;
}

// The recorded command lines of the recovery server, each cut to the options
// that tell the runs apart.
std::vector<std::string> ServerRuns(const ProgramDirectory& home) {
  std::vector<std::string> runs;
  for (const auto& [show, line] : home.Recorded()) {
    if (line.find("mysqld-nt.exe") == std::string::npos) continue;
    const size_t level = line.find("--innodb_force_recovery=");
    runs.push_back(level == std::string::npos ? "none" : line.substr(level + 24, 1));
  }
  return runs;
}

// A stack whose MySQL service fails to start with InnoDB's words for a damaged
// page, its data folder laid out as the stand-in server reads it.
void DamagedStack(const ProgramDirectory& home, ServiceRegistration& mysql) {
  home.Put(L"Tellurix.ini", "[MySQL]\r\nport=3397\r\n");
  home.Put(L"MySQL\\my.ini", "[mysqld]\r\nport=3397\r\n");
  for (const wchar_t* program : {L"mysqld-nt.exe", L"mysql.exe", L"mysqldump.exe", L"mysqladmin.exe"}) {
    home.StandIn(std::wstring(L"MySQL\\bin\\") + program);
  }
  home.Put(L"MySQL\\bin\\fail-start",
           "InnoDB: Database page corruption on disk or a failed\r\n"
           "InnoDB: file read of page 7.\r\n"
           "InnoDB: You may have to recover from a backup.\r\n");
  home.Put(L"MySQL\\data\\ibdata1", "system tablespace");
  home.Put(L"MySQL\\data\\mysql\\user.frm", "root\n");
  ASSERT_TRUE(mysql.PointAt(home / L"MySQL\\bin\\mysqld-nt.exe"));
}

// The failed start, the copy offered and made; the rescue's question is then up.
// Returns the index of the copy's line.
int FailAndCopy(const ProgramDirectory& home, const Panel& panel) {
  const size_t from = panel.Lines().size();
  panel.Choose(ids::startm);
  const std::string damaged = "MySQL的数据文件可能已损坏，修复之前请先备份“" + home.home() + "\\MySQL\\data”...    ";
  EXPECT_GT(panel.WaitForLine(damaged, from), 0);
  EXPECT_EQ(panel.Answer(IDOK), text::kDataCopyQuestion);
  const int copied =
      panel.WaitForLineStarting("已把MySQL的数据文件夹复制到：" + home.home() + "\\MySQL\\data-备份-", from, 30s);
  EXPECT_GT(copied, 0) << testing::PrintToString(panel.TextsFrom(from));
  return copied;
}

TEST(RescuePanel, ADamagedFolderIsCopiedRescuedAndRebuiltAndMySQLStartsOnIt) {
  ProgramDirectory home(L"救出 rescue");
  ServiceRegistration mysql(L"MySQL");
  DamagedStack(home, mysql);
  home.Put(L"MySQL\\data\\shop\\items.ibd", "pear\nfig\n");
  home.Put(L"MySQL\\data\\shop\\orders.frm", "");
  home.Put(L"MySQL\\data\\shop\\orders.ibd", "DAMAGED\nfirst\nsecond\n--\nfourth\nfifth\nsixth\n");
  home.Put(L"MySQL\\data\\blog\\posts.frm", "hello\n");
  home.Put(L"MySQL\\data\\blog\\comments.ibd", "CRASH\nnice\n");
  home.Put(L"MySQL\\data\\recovery-needs", "2");
  // InnoDB's recovery of a big log takes a while: the steps can be seen running.
  home.Put(L"MySQL\\data\\start-ms", "2500");
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  const std::string data = home.home() + "\\MySQL\\data";

  const size_t from = panel.Lines().size();
  ASSERT_GT(FailAndCopy(home, panel), 0);
  // Whatever the folder, the server now would start: the rebuild's `net start` shows it.
  DeleteFileW((home / L"MySQL\\bin\\fail-start").c_str());
  EXPECT_EQ(panel.Answer(IDOK), text::kRescueQuestion);
  HWND progress = ProgressOf(panel, text::kRescueCaption);
  ASSERT_TRUE(progress);
  const std::string second = "正在以恢复模式2（innodb_force_recovery=2）启动MySQL…";
  EXPECT_TRUE(WaitUntil([&] { return Read(progress, ProgressWindow::kLineId) == second; }))
      << Read(progress, ProgressWindow::kLineId);

  // Meanwhile MySQL's commands are refused, and quitting is asked first.
  size_t at = panel.Lines().size();
  panel.Choose(ids::startm);
  EXPECT_GE(panel.WaitForLine("MySQL数据救援正在进行，请等它结束...    ", at), 0);
  panel.Choose(ids::quit);
  EXPECT_EQ(panel.Answer(IDCANCEL), text::kRescueQuitQuestion);
  EXPECT_TRUE(panel.running());
  EXPECT_TRUE(IsWindow(progress));
  // So is saving MySQL's settings: my.ini stays as it is.
  {
    const Snapshot ini = Take(home / L"MySQL\\my.ini");
    HWND settings = panel.Open(ids::mysqlset, text::kMySQLCaption);
    ASSERT_NE(settings, nullptr);
    Press(settings, ids::fmysql::Command1);
    EXPECT_EQ(panel.Answer(), text::kRescueBusy);
    Press(settings, ids::fmysql::Command2);
    EXPECT_TRUE(WaitUntil([&] { return Closed(settings); }));
    EXPECT_TRUE(Untouched(home / L"MySQL\\my.ini", ini));
  }

  const std::string savedHead = "救出了3个数据库、4张表，保存在：" + home.home() + "\\MySQL\\救出-";
  const int saved = panel.WaitForLineStarting(savedHead, from, 90s);
  ASSERT_GT(saved, 0) << testing::PrintToString(panel.TextsFrom(from)) << testing::PrintToString(ServerRuns(home));
  const std::string folder = After(panel.Lines()[saved], "救出了3个数据库、4张表，保存在：");
  EXPECT_EQ(panel.TextsFrom(saved), (std::vector<std::string>{"救出了3个数据库、4张表，保存在：" + folder + "...    ",
                                                               "只救出了部分数据的表：shop.orders（5行）...    ",
                                                               "没有救出的表：blog.comments...    "}));
  EXPECT_TRUE(Closed(progress));
  // The recovery server ran for seconds, and it is not MySQL running.
  for (const std::string& line : panel.TextsFrom(from)) EXPECT_NE(line, text::kMySQLStarted);
  EXPECT_EQ(Running(L"mysqld-nt.exe"), 0);

  // What was saved, in files the rebuild and a user can load.
  const std::wstring rescue = Widen(folder);
  std::vector<std::wstring> files = FilesIn(rescue);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::wstring>{L"blog.posts.sql", L"blog.sql", L"mysql.sql", L"mysqld-恢复模式1.txt",
                                              L"mysqld-恢复模式2.txt", L"shop.items.sql", L"shop.orders.前段.sql",
                                              L"shop.orders.后段.sql", L"shop.sql", L"说明.txt"}));
  const std::string front = ReadBytes(rescue + L"\\shop.orders.前段.sql");
  EXPECT_NE(front.find("INSERT INTO `orders` VALUES (2,'second');\n"), std::string::npos) << front;
  const std::string back = ReadBytes(rescue + L"\\shop.orders.后段.sql");
  EXPECT_NE(back.find("INSERT IGNORE INTO `orders` VALUES (6,'sixth');\n"
                      "INSERT IGNORE INTO `orders` VALUES (5,'fifth');\n"
                      "INSERT IGNORE INTO `orders` VALUES (4,'fourth');\n"),
            std::string::npos)
      << back;
  EXPECT_NE(ReadBytes(rescue + L"\\mysql.sql").find("INSERT INTO `user` VALUES (1,'root');"), std::string::npos);
  const std::string notes = ReadBytes(rescue + L"\\说明.txt");
  EXPECT_EQ(notes.rfind("\xEF\xBB\xBFMySQL数据救出说明\r\n", 0), 0u) << notes;
  for (const std::string& line : std::vector<std::string>{
           "数据文件夹：" + data, "MySQL在恢复模式2（innodb_force_recovery=2）下导出了这些数据。",
           std::string("救出了3个数据库、4张表，保存在：") + folder, std::string("没有救出的表：blog.comments"),
           std::string("shop.orders.前段.sql：表shop.orders损坏处之前的数据，2行"),
           std::string("shop.orders.后段.sql：表shop.orders损坏处之后的数据（从主键的另一端读出），3行"),
           std::string("blog.comments：mysqldump: Couldn't execute 'show create table `comments`': Lost connection to "
                       "MySQL server during query (2013)"),
           std::string(
               "shop.orders：mysqldump: Error 1034: Incorrect key file for table 'orders'; try to repair it when "
               "dumping table `orders` at row: 2")}) {
    EXPECT_NE(notes.find("\r\n" + line + "\r\n"), std::string::npos) << line << "\n" << notes;
  }
  const std::string level1 = ReadBytes(rescue + L"\\mysqld-恢复模式1.txt");
  EXPECT_NE(level1.find("InnoDB: Database page corruption on disk or a failed"), std::string::npos) << level1;
  const std::string level2 = ReadBytes(rescue + L"\\mysqld-恢复模式2.txt");
  EXPECT_NE(level2.find("ready for connections"), std::string::npos) << level2;
  EXPECT_NE(level2.find("Shutdown complete"), std::string::npos) << level2;
  // Level 1 could not start; level 2 served, and was started again each time a
  // read of a crashing table ended it.
  EXPECT_EQ(ServerRuns(home), (std::vector<std::string>{"1", "2", "2", "2"}));
  // The server checks no passwords: it is reached through its pipe only.
  for (const auto& [show, line] : home.Recorded()) {
    if (line.find("mysqld-nt.exe") != std::string::npos) {
      EXPECT_NE(line.find("--skip-networking"), std::string::npos) << line;
    } else {
      EXPECT_NE(line.find("--protocol=pipe"), std::string::npos) << line;
    }
  }

  // The rebuild: the damaged folder kept under a new name, a new one loaded
  // (the accounts first), MySQL started on it.
  at = panel.Lines().size();
  EXPECT_EQ(panel.Answer(IDOK, 20s), text::kRebuildQuestion);
  const std::string doneHead = "已用救出的数据重建了MySQL的数据文件夹。原来的数据文件夹改名为：" + data + "-损坏-";
  const int done = panel.WaitForLineStarting(doneHead, at, 60s);
  ASSERT_GT(done, 0) << testing::PrintToString(panel.TextsFrom(at));
  const std::string renamed = data + "-损坏-" + After(panel.Lines()[done], doneHead);
  ASSERT_GT(panel.WaitForLine(text::kMySQLStarted, done, 30s), done) << testing::PrintToString(panel.TextsFrom(at));
  EXPECT_EQ(panel.TextsFrom(done),
            (std::vector<std::string>{doneHead + After(panel.Lines()[done], doneHead) + "...    ", text::kMySQLStarting,
                                      text::kMySQLStarted}));
  EXPECT_EQ(ReadBytes(Widen(renamed) + L"\\shop\\orders.ibd"), "DAMAGED\nfirst\nsecond\n--\nfourth\nfifth\nsixth\n");
  std::string loaded;
  for (const auto& [file, database] :
       std::vector<std::pair<std::wstring, std::string>>{{L"mysql.sql", "(none)"},
                                                         {L"blog.sql", "(none)"},
                                                         {L"blog.posts.sql", "blog"},
                                                         {L"shop.sql", "(none)"},
                                                         {L"shop.items.sql", "shop"},
                                                         {L"shop.orders.前段.sql", "shop"},
                                                         {L"shop.orders.后段.sql", "shop"}}) {
    loaded += "-- " + database + "\n" + ReadBytes(rescue + L"\\" + file);
  }
  EXPECT_EQ(ReadBytes(home / L"MySQL\\data\\loaded.sql"), loaded);
  EXPECT_EQ(GetFileAttributesW((home / L"MySQL\\data\\mysql").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ServerRuns(home), (std::vector<std::string>{"1", "2", "2", "2", "none"}));
  EXPECT_NE(ReadBytes(rescue + L"\\mysqld-重建.txt").find("Shutdown complete"), std::string::npos);
  EXPECT_TRUE(panel.NoMessage());
  panel.Choose(ids::mstop);
  EXPECT_GE(panel.WaitForLine(text::kMySQLStopped, done, 20s), 0);
}

TEST(RescuePanel, TheRescueIsCancelledFromItsWindowAndEndedByAQuit) {
  ProgramDirectory home(L"取消 cancel");
  ServiceRegistration mysql(L"MySQL");
  DamagedStack(home, mysql);
  // A server that takes a minute to start: both ends come while it starts.
  home.Put(L"MySQL\\data\\start-ms", "60000");
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());

  size_t from = panel.Lines().size();
  ASSERT_GT(FailAndCopy(home, panel), 0);
  EXPECT_EQ(panel.Answer(IDOK), text::kRescueQuestion);
  HWND progress = ProgressOf(panel, text::kRescueCaption);
  ASSERT_TRUE(progress);
  EXPECT_TRUE(WaitUntil([&] { return Running(L"mysqld-nt.exe") == 1; }));
  Press(progress, IDCANCEL);
  const std::string cancelled = "救出已取消，已经导出的文件保存在：";
  const int line = panel.WaitForLineStarting(cancelled, from, 20s);
  ASSERT_GT(line, 0) << testing::PrintToString(panel.TextsFrom(from));
  const std::string folder = After(panel.Lines()[line], cancelled);
  EXPECT_EQ(folder.rfind(home.home() + "\\MySQL\\救出-", 0), 0u) << folder;
  EXPECT_TRUE(Closed(progress));
  EXPECT_EQ(Running(L"mysqld-nt.exe"), 0);
  EXPECT_TRUE(panel.NoMessage());  // nothing to rebuild from
  EXPECT_NE(ReadBytes(Widen(folder) + L"\\说明.txt").find("救出已取消"), std::string::npos);

  // Started again, the same offer; the panel quits in the middle of the rescue.
  // (The copy and the rescue folder are named to the second.)
  Sleep(1100);
  from = panel.Lines().size();
  ASSERT_GT(FailAndCopy(home, panel), 0);
  EXPECT_EQ(panel.Answer(IDOK), text::kRescueQuestion);
  ASSERT_TRUE(ProgressOf(panel, text::kRescueCaption));
  EXPECT_TRUE(WaitUntil([&] { return Running(L"mysqld-nt.exe") == 1; }));
  panel.Choose(ids::quit);
  EXPECT_EQ(panel.Answer(IDOK), text::kRescueQuitQuestion);
  EXPECT_NE(panel.ExitCode(), DWORD(STILL_ACTIVE));
  EXPECT_EQ(Running(L"mysqld-nt.exe"), 0);
  std::vector<std::wstring> rescues;
  for (const std::wstring& name : FilesIn(home / L"MySQL")) {
    if (name.rfind(L"救出-", 0) == 0) rescues.push_back(name);
  }
  ASSERT_EQ(rescues.size(), 2u);
  for (const std::wstring& name : rescues) {
    EXPECT_NE(ReadBytes(home / (L"MySQL\\" + name + L"\\说明.txt")).find("救出已取消"), std::string::npos)
        << Narrow(name);
  }
}

}  // namespace
}  // namespace e2e
