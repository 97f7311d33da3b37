// The rescue and the rebuild against a real server (MariaDB from Debian's
// mariadb-server): a data folder with three databases, one InnoDB page of a
// 2000-row table overwritten, the folder copied, then the very flow and command
// lines the panel runs on Windows, with a Unix socket where Windows has the
// pipe. Everything lives in a private folder under /tmp: its own my.ini (the
// server reads no other option file), its own socket, no network; the system's
// server is never touched. Exit code 77 (skipped) when the server is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "servers/data_copy.h"
#include "servers/data_copy_posix.h"
#include "servers/data_rescue.h"
#include "servers/server_log.h"
#include "tests/rescue/posix_rescue_system.h"

namespace tellurix {
namespace {

namespace fs = std::filesystem;

const char kServer[] = "/usr/sbin/mariadbd";
const char kInstaller[] = "/usr/bin/mariadb-install-db";
const char kDump[] = "/usr/bin/mariadb-dump";
const char kClient[] = "/usr/bin/mariadb";
const char kAdmin[] = "/usr/bin/mariadb-admin";
constexpr int kOrders = 2000;
constexpr size_t kPage = 16384;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Every file of a folder, by its path inside it, with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string inside = fs::relative(entry.path(), folder).string();
    files[inside] = entry.is_directory() ? std::string("<folder>") : ReadAll(entry.path());
  }
  return files;
}

// The ids of the orders an INSERT line a row holds.
std::set<int> OrderIds(const std::string& dump) {
  std::set<int> ids;
  static const std::regex row(R"(^INSERT (?:IGNORE )?INTO `orders` VALUES \((\d+),)");
  std::istringstream lines(dump);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, row)) ids.insert(std::stoi(match[1]));
  }
  return ids;
}

class RealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tlx-rescue-XXXXXX";  // short: a socket's path has room for 107 bytes
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    data_ = root_ / "data";
    ini_ = root_ / "my.ini";
    socket_ = (root_ / "test.sock").string();
    // The recovery server reads the service's my.ini; here the test's. mariadbd
    // refuses to run as root unless told to.
    std::string ini = "[mysqld]\ndatadir=" + data_.string() + "\npid-file=" + (root_ / "mysqld.pid").string() +
                      "\ninnodb_buffer_pool_size=16M\ninnodb_log_file_size=10M\n";
    if (geteuid() == 0) ini += "user=root\n";
    WriteAll(ini_, ini);
  }

  void TearDown() override {
    system_.EndServer();
    if (std::getenv("TELLURIX_KEEP_RESCUE") == nullptr) fs::remove_all(root_);
  }

  CommandLine Installer() const {
    CommandLine installer{kInstaller, "--defaults-file=" + ini_.string()};
    if (geteuid() == 0) installer.push_back("--user=root");
    return installer;
  }

  RescueSetup Setup() const {
    RescueSetup setup;
    setup.programs = {kServer, kDump, kClient, kAdmin, Installer()};
    setup.transport = UnixSocketTransport((root_ / "rescue.sock").string());
    setup.myIni = ini_.string();
    setup.dataFolder = data_.string();
    setup.copyFolder = (root_ / "copy").string();
    setup.rescueParent = root_.string();
    setup.separator = '/';
    return setup;
  }

  // The test's own server, with its grant tables, on its own socket.
  void StartPlainServer(const std::string& log) {
    ASSERT_TRUE(system_.StartServer({kServer, "--defaults-file=" + ini_.string(), "--skip-networking",
                                     "--socket=" + socket_},
                                    (root_ / log).string()));
    ASSERT_EQ(system_.WaitUntilAccepting(socket_, std::chrono::seconds(60)), RescueSystem::Wait::Accepting)
        << ReadAll(root_ / log);
  }

  void StopPlainServer() {
    const ToolRun run = system_.Run({{kAdmin, "--no-defaults", "--socket=" + socket_, "--user=webuser",
                                      "--password=Secret-123", "shutdown"}, {}, {}, kQueryLimit});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_TRUE(system_.WaitForServerEnd(std::chrono::seconds(60)));
  }

  // The client as `user`, the statements from a file: its batch output.
  ToolRun Sql(const std::string& user, const std::string& password, const std::string& statements) {
    const fs::path file = root_ / "statements.sql";
    WriteAll(file, statements);
    CommandLine command{kClient, "--no-defaults", "--socket=" + socket_, "--user=" + user, "--batch"};
    if (!password.empty()) command.push_back("--password=" + password);
    return system_.Run({command, file.string(), {}, std::chrono::seconds(60)});
  }

  // Overwrites bytes inside an index page in the middle of the table's file; its
  // first pages (the header and the root of the index) stay whole.
  void DamageMiddlePage(const fs::path& ibd) {
    std::string bytes = ReadAll(ibd);
    const size_t pages = bytes.size() / kPage;
    ASSERT_GE(pages, 10u) << "the table is too small to have a page in the middle";
    const size_t page = pages / 2;
    const auto type = static_cast<unsigned>(static_cast<unsigned char>(bytes[page * kPage + 24]) << 8 |
                                            static_cast<unsigned char>(bytes[page * kPage + 25]));
    ASSERT_EQ(type, 17855u) << "page " << page << " is no index page (FIL_PAGE_INDEX)";
    std::fill_n(bytes.begin() + static_cast<long>(page * kPage + 4000), 2000, '\xAA');
    WriteAll(ibd, bytes);
  }

  fs::path root_, data_, ini_;
  std::string socket_;
  PosixRescueSystem system_;
};

// What the tables held before the damage, as the client prints them.
const char kHealthyTables[] =
    "SELECT * FROM shop.customers ORDER BY id; SELECT * FROM shop.visits ORDER BY at;"
    "SELECT * FROM blog.posts ORDER BY id; SELECT * FROM blog.comments ORDER BY id;"
    "SELECT * FROM crm.contacts ORDER BY email;";

TEST_F(RealServer, RescuesADamagedFolderAndRebuildsItWithTheOldAccounts) {
  // A data folder made by the server's own installer, filled by its own client.
  const ToolRun installed = system_.Run({[this] {
    CommandLine command = Installer();
    command.push_back("--datadir=" + data_.string());
    return command;
  }(), {}, {}, std::chrono::seconds(120)});
  ASSERT_EQ(installed.exitCode, 0) << installed.errors;
  ASSERT_NO_FATAL_FAILURE(StartPlainServer("fill.txt"));
  std::string fill =
      "CREATE USER 'webuser'@'localhost' IDENTIFIED BY 'Secret-123';"
      "GRANT ALL ON *.* TO 'webuser'@'localhost';"
      "CREATE DATABASE shop CHARACTER SET utf8mb4;"
      "CREATE TABLE shop.orders (id INT PRIMARY KEY, customer VARCHAR(40), note VARCHAR(200)) ENGINE=InnoDB;"
      "CREATE TABLE shop.customers (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40)) ENGINE=InnoDB;"
      "INSERT INTO shop.customers (name) VALUES ('张三'), ('李四'), ('王五');"
      "CREATE TABLE shop.visits (at DATETIME, page VARCHAR(100)) ENGINE=MyISAM;"
      "INSERT INTO shop.visits VALUES ('2026-01-01 10:00:00', '/index.php'), ('2026-01-02 11:00:00', '/cart.php');"
      "CREATE DATABASE blog CHARACTER SET gbk;"
      "CREATE TABLE blog.posts (id INT PRIMARY KEY, title VARCHAR(80)) ENGINE=MyISAM;"
      "INSERT INTO blog.posts VALUES (1, '第一篇'), (2, 'It''s a \\\\ test; (really)');"
      "CREATE TABLE blog.comments (id INT PRIMARY KEY, post INT, body TEXT) ENGINE=InnoDB;"
      "INSERT INTO blog.comments VALUES (1, 1, '好文章'), (2, 1, 'line1\\nline2');"
      "CREATE DATABASE crm;"
      "CREATE TABLE crm.contacts (email VARCHAR(80) PRIMARY KEY, name VARCHAR(40)) ENGINE=InnoDB;"
      "INSERT INTO crm.contacts VALUES ('a@example.com', 'A'), ('b@example.com', 'B');"
      "INSERT INTO shop.orders VALUES ";
  for (int id = 1; id <= kOrders; ++id) {
    std::string note;
    for (int i = 0; i < 12; ++i) note += "note " + std::to_string(id) + " ";
    fill += (id > 1 ? "," : "") + std::string("(") + std::to_string(id) + ",'customer-" + std::to_string(id % 97) +
            "','" + note + "')";
  }
  const ToolRun filled = Sql("root", "", fill + ";");
  ASSERT_EQ(filled.exitCode, 0) << filled.errors;
  const ToolRun healthyBefore = Sql("webuser", "Secret-123", kHealthyTables);
  ASSERT_EQ(healthyBefore.exitCode, 0) << healthyBefore.errors;
  const ToolRun ordersBefore = Sql("webuser", "Secret-123", "SELECT * FROM shop.orders ORDER BY id;");
  ASSERT_EQ(ordersBefore.exitCode, 0) << ordersBefore.errors;
  ASSERT_NO_FATAL_FAILURE(StopPlainServer());

  ASSERT_NO_FATAL_FAILURE(DamageMiddlePage(data_ / "shop" / "orders.ibd"));

  // A start on the damaged folder succeeds, and its log offers the rescue: the
  // page is read as the server loads what its clean shutdown noted in use.
  ASSERT_NO_FATAL_FAILURE(StartPlainServer("damaged-start.txt"));
  EXPECT_EQ(DamageAfterStartLine(ReadAll(root_ / "damaged-start.txt")),
            "MySQL已经启动，但错误日志显示数据有损坏：shop.orders...    ")
      << ReadAll(root_ / "damaged-start.txt");
  ASSERT_NO_FATAL_FAILURE(StopPlainServer());

  // The copy, as the panel makes it before anything else.
  const std::map<std::string, std::string> before = Snapshot(data_);
  {
    PosixCopyFileSystem files;
    Tree tree;
    ASSERT_EQ(ListTree(files, data_.string(), tree), std::nullopt);
    const std::atomic<bool> cancel{false};
    const CopyOutcome copied = CopyTree(files, data_.string(), tree, (root_ / "copy").string(), [](unsigned) {}, cancel);
    ASSERT_EQ(copied.end, CopyOutcome::End::Copied) << copied.failedPath << ": " << copied.reason;
  }

  // The rescue, as the panel runs it.
  const RescueSetup setup = Setup();
  const RescueReport rescue = RunRescue(system_, setup);

  EXPECT_EQ(rescue.level, 1) << "the damage keeps no server from starting in the lowest recovery level";
  EXPECT_FALSE(rescue.cancelled);
  for (const CommandLine& command : system_.servers) {
    EXPECT_EQ(command.at(1), "--defaults-file=" + ini_.string());
    EXPECT_NE(std::find(command.begin(), command.end(), "--skip-networking"), command.end());
  }
  const std::vector<std::string> whole{"mysql", "blog", "crm", "test"};
  EXPECT_EQ(rescue.wholeDatabases, whole) << "shown: mysql first, sys and the schemas of the server itself left out";
  EXPECT_TRUE(rescue.lost.empty());
  EXPECT_TRUE(rescue.lostDatabases.empty());
  ASSERT_EQ(rescue.partial.size(), 1u);
  EXPECT_EQ(rescue.partial[0].database + "." + rescue.partial[0].table, "shop.orders");

  const fs::path folder = rescue.folder;
  const std::set<int> front = OrderIds(ReadAll(folder / "shop.orders.前段.sql"));
  const std::set<int> back = OrderIds(ReadAll(folder / "shop.orders.后段.sql"));
  ASSERT_FALSE(front.empty());
  ASSERT_FALSE(back.empty());
  // The front part is the rows up to the damage, the back part the rows after it.
  EXPECT_EQ(*front.begin(), 1);
  EXPECT_EQ(static_cast<int>(front.size()), *front.rbegin()) << "no gap before the damage";
  EXPECT_EQ(*back.rbegin(), kOrders);
  EXPECT_EQ(static_cast<int>(back.size()), kOrders - *back.begin() + 1) << "no gap after the damage";
  EXPECT_LT(*front.rbegin(), *back.begin());
  const size_t saved = front.size() + back.size();
  EXPECT_LT(saved, static_cast<size_t>(kOrders)) << "the damaged page's own rows cannot come back";
  EXPECT_GT(saved, static_cast<size_t>(kOrders) * 8 / 10);
  EXPECT_EQ(rescue.partial[0].rows, saved);
  std::cout << "Rows saved of the damaged table: " << front.size() << " before the damage, " << back.size()
            << " after it, " << saved << " of " << kOrders << "\n";

  // The healthy tables of the damaged table's database were dumped one by one.
  EXPECT_NE(ReadAll(folder / "shop.customers.sql").find("'张三'"), std::string::npos);
  EXPECT_NE(ReadAll(folder / "shop.visits.sql").find("'/cart.php'"), std::string::npos);
  EXPECT_NE(ReadAll(folder / "shop.sql").find("CHARACTER SET utf8mb4"), std::string::npos);
  EXPECT_NE(ReadAll(folder / "blog.sql").find("CHARACTER SET gbk"), std::string::npos);

  ASSERT_GE(rescue.lines.size(), 2u);
  EXPECT_EQ(rescue.lines[0].rfind("救出了5个数据库、", 0), 0u) << rescue.lines[0];
  EXPECT_NE(rescue.lines[0].find("张表，保存在：" + rescue.folder), std::string::npos) << rescue.lines[0];
  EXPECT_EQ(rescue.lines[1], "只救出了部分数据的表：shop.orders（" + std::to_string(saved) + "行）");
  const std::string notes = ReadAll(folder / "说明.txt");
  EXPECT_NE(notes.find("innodb_force_recovery=1"), std::string::npos);
  EXPECT_NE(notes.find("shop.orders.前段.sql：表shop.orders损坏处之前的数据，" + std::to_string(front.size()) + "行"),
            std::string::npos)
      << notes;

  // What the server said about the damage: the log-scanning side looks for these.
  const std::string log = ReadAll(folder / "mysqld-恢复模式1.txt");
  EXPECT_NE(log.find("[ERROR] InnoDB: Failed to read page"), std::string::npos) << log;
  EXPECT_NE(log.find("Page read from tablespace is corrupted."), std::string::npos) << log;
  for (std::istringstream lines(log); !lines.eof();) {
    std::string line;
    std::getline(lines, line);
    if (line.find(" 0 [ERROR]") != std::string::npos) std::cout << "Server log at the start: " << line << "\n";
  }

  EXPECT_TRUE(Snapshot(root_ / "copy") == before) << "the copy is the folder as it was before the rescue";

  // The rebuild, then the server as the service would start it: grant tables on.
  ASSERT_TRUE(RebuildOffered(rescue));
  const RebuildReport rebuilt = RunRebuild(system_, setup, rescue);
  ASSERT_TRUE(rebuilt.done) << (rebuilt.lines.empty() ? "" : rebuilt.lines.front());
  EXPECT_EQ(rebuilt.renamedFolder.rfind(data_.string() + "-损坏-", 0), 0u);
  EXPECT_TRUE(fs::exists(fs::path(rebuilt.renamedFolder) / "shop" / "orders.ibd"));
  EXPECT_FALSE(system_.ServerRunning());

  ASSERT_NO_FATAL_FAILURE(StartPlainServer("rebuilt.txt"));
  const ToolRun healthyAfter = Sql("webuser", "Secret-123", kHealthyTables);
  ASSERT_EQ(healthyAfter.exitCode, 0) << healthyAfter.errors;
  EXPECT_EQ(healthyAfter.output, healthyBefore.output);
  const ToolRun ordersAfter = Sql("webuser", "Secret-123", "SELECT * FROM shop.orders ORDER BY id;");
  ASSERT_EQ(ordersAfter.exitCode, 0) << ordersAfter.errors;
  std::string expected;
  std::istringstream beforeLines(ordersBefore.output);
  for (std::string line; std::getline(beforeLines, line);) {
    const bool heading = line.rfind("id\t", 0) == 0;
    if (heading || front.count(std::atoi(line.c_str())) != 0 || back.count(std::atoi(line.c_str())) != 0) {
      expected += line + "\n";
    }
  }
  EXPECT_EQ(ordersAfter.output, expected) << "every rescued row, each once, as it was";
  EXPECT_NE(Sql("webuser", "wrong", "SELECT 1;").exitCode, 0) << "the passwords are checked again";
  ASSERT_NO_FATAL_FAILURE(StopPlainServer());

  EXPECT_TRUE(Snapshot(root_ / "copy") == before);
}

}  // namespace
}  // namespace tellurix

int main(int argc, char** argv) {
  for (const char* program : {tellurix::kServer, tellurix::kInstaller, tellurix::kDump, tellurix::kClient,
                              tellurix::kAdmin}) {
    if (access(program, X_OK) != 0) {
      std::cerr << program << " is missing: scripts/install-deps.sh installs mariadb-server\n";
      return 77;
    }
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
