// The data rescue's decisions and its flow over a fake system: a model of a
// server in recovery mode that answers the command lines as mysqld, mysql,
// mysqldump and mysqladmin do (the dumps in MariaDB 10.11's own form, with
// the exit codes and messages it gave on a damaged page), and a file system in
// memory. The flow against the real server is tests/rescue/real_server_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "servers/data_rescue.h"

namespace tellurix {
namespace {

// ---- The fake server ---------------------------------------------------------

struct FakeTable {
  std::string name;
  int rows = 3;
  enum class Fault { None, Damaged, Crashes, Unreadable } fault = Fault::None;
  int damagedAt = 0;       // Damaged, Crashes: the rows before the damage
  int rowsAfterDamage = 0;  // Damaged: what the read from the other end reaches
  bool view = false;
};
struct FakeDatabase {
  std::string name;
  std::vector<FakeTable> tables;
};

bool Has(const CommandLine& command, std::string_view argument) {
  return std::find(command.begin(), command.end(), argument) != command.end();
}
std::string OptionValue(const CommandLine& command, std::string_view option) {
  for (const std::string& argument : command) {
    if (argument.rfind(std::string(option) + "=", 0) == 0) return argument.substr(option.size() + 1);
  }
  return {};
}

class FakeSystem : public RescueSystem {
 public:
  std::vector<FakeDatabase> databases;
  std::set<int> serving{1};                 // the levels at which the server starts
  int crashLimit = 100;                     // starts after which the server no longer starts
  bool ignoresShutdown = false;
  int cancelAfterDumps = -1;
  std::set<std::string> failingLoads, failingFolders;
  bool installerFails = false, renameFails = false;

  std::vector<std::string> events;
  std::vector<CommandLine> commands;
  std::vector<int> startedLevels;
  std::map<std::string, std::string> files;
  std::set<std::string> folders{"C:\\Tellurix\\MySQL", "C:\\Tellurix\\MySQL\\data"};

  ToolRun Run(const ToolRequest& request) override {
    commands.push_back(request.command);
    const std::string& program = request.command.front();
    ToolRun run;
    if (!request.outputFile.empty()) files[request.outputFile];
    if (cancelled_ && request.cancellable) {
      run.outcome = ToolRun::Outcome::Cancelled;
      return run;
    }
    if (program == "install_db") {
      events.push_back("install " + OptionValue(request.command, "--datadir"));
      run.exitCode = installerFails ? 1 : 0;
      if (installerFails) run.errors = "ERROR: Could not create data directory";
      return run;
    }
    if (!running_) {
      run.exitCode = program == "mysqldump" ? 2 : 1;
      run.errors = "ERROR 2002 (HY000): Can't connect to local server through socket";
      return run;
    }
    if (program == "mysqladmin") {
      events.push_back("mysqladmin shutdown");
      if (!ignoresShutdown) running_ = false;
    } else if (program == "mysql" && !OptionValue(request.command, "--execute").empty()) {
      Query(OptionValue(request.command, "--execute"), run);
    } else if (program == "mysql") {
      const std::string database = request.command.back().rfind("--", 0) == 0 ? "" : request.command.back();
      events.push_back("load " + request.inputFile.substr(request.inputFile.rfind('\\') + 1) +
                       (database.empty() ? "" : " into " + database));
      if (failingLoads.count(request.inputFile.substr(request.inputFile.rfind('\\') + 1)) != 0) {
        run.exitCode = 1;
        run.errors = "ERROR 1064 (42000) at line 40: You have an error in your SQL syntax";
      }
    } else if (program == "mysqldump") {
      Dump(request, run);
      if (++dumps_ == cancelAfterDumps) cancelled_ = true;
    }
    return run;
  }

  bool StartServer(const CommandLine& command, const std::string& log) override {
    commands.push_back(command);
    const std::string level = OptionValue(command, "--innodb_force_recovery");
    startedLevels.push_back(level.empty() ? 0 : std::stoi(level));
    events.push_back("start " + (level.empty() ? "without recovery" : level) + " > " + log);
    running_ = (serving.count(startedLevels.back()) != 0 || level.empty()) &&
               static_cast<int>(startedLevels.size()) <= crashLimit;
    return true;
  }
  Wait WaitUntilAccepting(const std::string&, std::chrono::seconds limit) override {
    EXPECT_EQ(limit, std::chrono::seconds(120));
    if (cancelled_) return Wait::Cancelled;
    return running_ ? Wait::Accepting : Wait::Ended;
  }
  bool ServerRunning() override { return running_; }
  bool WaitForServerEnd(std::chrono::seconds limit) override {
    events.push_back("wait " + std::to_string(limit.count()) + " s");
    return !running_;
  }
  void EndServer() override {
    if (running_) events.push_back("end the server");
    running_ = false;
  }
  bool MakeFolder(const std::string& path) override {
    if (folders.count(path) != 0 || failingFolders.count(path) != 0) return false;
    events.push_back("make folder " + path);
    folders.insert(path);
    return true;
  }
  bool WriteTextFile(const std::string& path, const std::string& content) override {
    files[path] = content;
    return true;
  }
  bool Rename(const std::string& from, const std::string& to) override {
    if (folders.count(from) != 0) {
      if (renameFails) return false;
      events.push_back("rename " + from + " to " + to);
      folders.erase(from);
      folders.insert(to);
      return true;
    }
    if (files.count(from) == 0 || files.count(to) != 0) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    events.push_back("remove " + path.substr(path.rfind('\\') + 1));
    return files.erase(path) != 0;
  }
  bool Exists(const std::string& path) override { return files.count(path) != 0 || folders.count(path) != 0; }
  bool ReadFile(const std::string& path, const std::function<void(std::string_view)>& piece) override {
    const auto file = files.find(path);
    if (file == files.end()) return false;
    // In small pieces, so that no statement arrives whole.
    for (size_t at = 0; at < file->second.size(); at += 7) piece(std::string_view(file->second).substr(at, 7));
    return true;
  }
  LocalTime Now() override { return {2026, 12, 7, 20, 3, 16}; }
  bool Cancelled() override { return cancelled_; }
  void Progress(const std::string& line) override { progress.push_back(line); }
  std::vector<std::string> progress;

  std::string File(const std::string& name) const {
    const auto file = files.find(kFolder + std::string("\\") + name);
    return file == files.end() ? "<none>" : file->second;
  }
  static constexpr char kFolder[] = "C:\\Tellurix\\MySQL\\救出-20261207-200316";

 private:
  void Query(const std::string& statement, ToolRun& run) {
    events.push_back("query " + statement);
    if (statement == "SHOW DATABASES") {
      run.output = "information_schema\n";
      for (const FakeDatabase& database : databases) run.output += database.name + "\n";
      run.output += "performance_schema\nsys\n";
      return;
    }
    const FakeDatabase* database = nullptr;
    for (const FakeDatabase& candidate : databases) {
      if (statement.size() > candidate.name.size() + 2 &&
          statement.compare(statement.size() - candidate.name.size() - 2, std::string::npos,
                            "`" + candidate.name + "`") == 0) {
        database = &candidate;
      }
    }
    ASSERT_NE(database, nullptr) << statement;
    if (statement.rfind("SHOW FULL TABLES FROM ", 0) == 0) {
      for (const FakeTable& table : database->tables) {
        run.output += table.name + (table.view ? "\tVIEW\n" : "\tBASE TABLE\n");
      }
    } else if (statement.rfind("SHOW CREATE DATABASE IF NOT EXISTS ", 0) == 0) {
      run.output = database->name + "\tCREATE DATABASE /*!32312 IF NOT EXISTS*/ `" + database->name +
                   "` /*!40100 DEFAULT CHARACTER SET gbk COLLATE gbk_chinese_ci */\n";
    } else {
      ADD_FAILURE() << "unexpected statement " << statement;
    }
  }

  // The dump as mysqldump writes it, up to the damage; the exit code and message
  // MariaDB 10.11 gave there.
  void Dump(const ToolRequest& request, ToolRun& run) {
    const CommandLine& command = request.command;
    const bool wholeDatabase = Has(command, "--databases");
    const bool rowByRow = Has(command, "--skip-extended-insert"), backPart = Has(command, "--no-create-info");
    const std::string databaseName = command[command.size() - (wholeDatabase ? 1 : 2)];
    std::string& out = files[request.outputFile];
    out = "/*M!999999\\- enable the sandbox mode */ \n-- MariaDB dump 10.19  Distrib 10.11.19-MariaDB\n"
          "/*!40101 SET NAMES utf8mb4 */;\n";
    for (const FakeDatabase& database : databases) {
      if (database.name != databaseName) continue;
      if (wholeDatabase) out += "CREATE DATABASE /*!32312 IF NOT EXISTS*/ `" + database.name + "`;\nUSE `" +
                                database.name + "`;\n";
      for (const FakeTable& table : database.tables) {
        if (!wholeDatabase && table.name != command.back()) continue;
        if (table.fault == FakeTable::Fault::Unreadable || (table.fault == FakeTable::Fault::Crashes &&
                                                            table.damagedAt == 0)) {
          if (table.fault == FakeTable::Fault::Crashes) running_ = false;
          run.exitCode = 2;
          run.errors = "mariadb-dump: Couldn't execute 'show create table `" + table.name +
                       "`': Lost connection to server during query (2013)";
          return;
        }
        if (table.view) {
          out += "/*!50001 CREATE VIEW `" + table.name + "` AS SELECT\n 1 AS `id` */;\n";
          continue;
        }
        if (!backPart) {
          out += "DROP TABLE IF EXISTS `" + table.name + "`;\nCREATE TABLE `" + table.name +
                 "` (\n  `id` int(11) NOT NULL,\n  `name` varchar(40) DEFAULT NULL,\n  PRIMARY KEY (`id`)\n"
                 ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;\n";
        }
        const bool damaged = table.fault != FakeTable::Fault::None;
        std::vector<int> ids;
        if (backPart) {
          EXPECT_EQ(OptionValue(command, "--where"), "1=1 ORDER BY `id` DESC");
          for (int id = table.rows; id > table.rows - table.rowsAfterDamage; --id) ids.push_back(id);
        } else {
          for (int id = 1; id <= (damaged ? table.damagedAt : table.rows); ++id) ids.push_back(id);
        }
        out += "LOCK TABLES `" + table.name + "` WRITE;\n";
        for (size_t i = 0; i < ids.size(); ++i) {
          const std::string row = "(" + std::to_string(ids[i]) + ",'it\\'s (row) ;')";
          if (rowByRow) {
            out += std::string(backPart ? "INSERT IGNORE INTO `" : "INSERT INTO `") + table.name + "` VALUES " +
                   row + ";\n";
          } else {
            out += (i == 0 ? "INSERT INTO `" + table.name + "` VALUES\n" : std::string(",\n")) + row;
            if (i + 1 == ids.size()) out += ";\n";
          }
        }
        if (damaged && !backPart) {
          run.exitCode = table.fault == FakeTable::Fault::Crashes ? 2 : 3;
          run.errors = table.fault == FakeTable::Fault::Crashes
                           ? "mariadb-dump: Error 2013: Lost connection to server during query when dumping table `" +
                                 table.name + "` at row: " + std::to_string(table.damagedAt)
                           : "mariadb-dump: Error 1034: Index for table '" + table.name +
                                 "' is corrupt; try to repair it when dumping table `" + table.name +
                                 "` at row: " + std::to_string(table.damagedAt);
          if (table.fault == FakeTable::Fault::Crashes) running_ = false;
          return;
        }
        out += "UNLOCK TABLES;\n";
      }
    }
    out += "-- Dump completed on 2026-12-07 20:03:19\n";
  }

  bool running_ = false, cancelled_ = false;
  int dumps_ = 0;
};

RescueSetup StackSetup() {
  return StackRescueSetup("C:\\Tellurix", false, "C:\\Tellurix\\MySQL\\data", "D:\\副本\\data",
                          NamedPipeTransport("tellurix-rescue-0123456789abcdef0123456789abcdef"));
}
RescueSetup FakeProgramsSetup() {
  RescueSetup setup = StackSetup();
  setup.programs = {"mysqld", "mysqldump", "mysql", "mysqladmin", {}};
  return setup;
}

FakeDatabase Healthy(const std::string& name, std::vector<std::string> tables) {
  FakeDatabase database{name, {}};
  for (const std::string& table : tables) database.tables.push_back({table});
  return database;
}

const std::string kFolder = FakeSystem::kFolder;

// ---- Command lines -----------------------------------------------------------

// Every command of a run (and every level of the server command) stays on the
// safe side: the server's own my.ini first, no level above 3, and without the
// grant tables no network, only the private pipe.
void ExpectSafeServer(const CommandLine& command) {
  ASSERT_GE(command.size(), 3u);
  EXPECT_EQ(command[1].rfind("--defaults-file=", 0), 0u) << "the server reads it only as its first option";
  const std::string level = OptionValue(command, "--innodb_force_recovery");
  if (!level.empty()) {
    EXPECT_GE(std::stoi(level), 1);
    EXPECT_LE(std::stoi(level), 3) << "4 and more may damage the data files for good";
  }
  if (Has(command, "--skip-grant-tables")) {
    EXPECT_TRUE(Has(command, "--skip-networking"));
    EXPECT_TRUE(Has(command, "--enable-named-pipe"));
    EXPECT_FALSE(OptionValue(command, "--socket").empty());
    for (const std::string& argument : command) {
      EXPECT_NE(argument.rfind("--port", 0), 0u);
      EXPECT_NE(argument.rfind("--bind-address", 0), 0u);
      EXPECT_NE(argument, "--enable-networking");
    }
  }
}
void ExpectSafeClient(const CommandLine& command) {
  ASSERT_GE(command.size(), 2u);
  EXPECT_EQ(command[1], "--no-defaults");
  EXPECT_TRUE(Has(command, "--protocol=pipe"));
  EXPECT_FALSE(Has(command, "--force"));
  EXPECT_FALSE(Has(command, "--all-databases"));
  EXPECT_EQ(OptionValue(command, "--execute").find("CHECK TABLE"), std::string::npos);
}
void ExpectSafeRun(const FakeSystem& system) {
  for (const CommandLine& command : system.commands) {
    SCOPED_TRACE(command.front());
    if (command.front() == "mysqld") {
      ExpectSafeServer(command);
    } else if (command.front() != "install_db") {
      ExpectSafeClient(command);
    }
  }
}

TEST(RescueCommands, TheServerStaysInRecoveryLevelsUpToThreeAndOffTheNetwork) {
  const RescueSetup setup = StackSetup();
  for (int level = 0; level <= 6; ++level) {
    SCOPED_TRACE(level);
    const CommandLine command = ServerCommand(setup, level);
    if (level > 3) {
      EXPECT_TRUE(command.empty());
      continue;
    }
    ExpectSafeServer(command);
    EXPECT_EQ(command[0], "C:\\Tellurix\\MySQL\\bin\\mysqld-nt.exe");
    EXPECT_EQ(command[1], "--defaults-file=C:\\Tellurix\\MySQL\\my.ini");
    EXPECT_TRUE(Has(command, "--datadir=C:\\Tellurix\\MySQL\\data"));
    EXPECT_TRUE(Has(command, "--skip-grant-tables"));
    EXPECT_EQ(OptionValue(command, "--innodb_force_recovery"), level == 0 ? "" : std::to_string(level));
  }
  EXPECT_TRUE(ServerCommand(setup, -1).empty());
}

TEST(RescueCommands, TheTransportIsAParameter) {
  RescueSetup setup = StackSetup();
  setup.transport = UnixSocketTransport("/tmp/r/rescue.sock");
  const CommandLine server = ServerCommand(setup, 1);
  EXPECT_TRUE(Has(server, "--socket=/tmp/r/rescue.sock"));
  EXPECT_FALSE(Has(server, "--enable-named-pipe"));
  EXPECT_TRUE(Has(ShutdownCommand(setup), "--protocol=socket"));

  const RescueTransport pipe = NamedPipeTransport("p");
  EXPECT_EQ(pipe.endpoint, "p");
  EXPECT_TRUE(Has(pipe.clientOptions, "--protocol=pipe"));
  std::array<std::uint8_t, 16> random{};
  random[0] = 0xAB;
  random[15] = 0x01;
  EXPECT_EQ(RescuePipeName(random), "tellurix-rescue-ab000000000000000000000000000001");
}

TEST(RescueCommands, TheDumpsOfADatabaseATableAndItsBackPart) {
  const RescueSetup setup = StackSetup();
  const std::string dump = "C:\\Tellurix\\MySQL\\bin\\mysqldump.exe";
  const CommandLine base{dump, "--no-defaults", "--protocol=pipe",
                         "--socket=tellurix-rescue-0123456789abcdef0123456789abcdef", "--user=root",
                         "--max_allowed_packet=1G", "--hex-blob"};
  auto with = [&base](std::vector<std::string> tail) {
    CommandLine command = base;
    command.insert(command.end(), tail.begin(), tail.end());
    return command;
  };
  EXPECT_EQ(DatabaseDumpCommand(setup, "shop"), with({"--databases", "shop"}));
  EXPECT_EQ(TableDumpCommand(setup, "shop", "orders"),
            with({"--skip-extended-insert", "--skip-disable-keys", "shop", "orders"}));
  EXPECT_EQ(BackPartDumpCommand(setup, "shop", "orders", "o`id"),
            with({"--skip-extended-insert", "--skip-disable-keys", "--no-create-info", "--insert-ignore",
                  "--where=1=1 ORDER BY `o``id` DESC", "shop", "orders"}));
  EXPECT_EQ(LoadCommand(setup, "").back(), "--max_allowed_packet=1G");
  EXPECT_EQ(LoadCommand(setup, "shop").back(), "shop");
  EXPECT_EQ(ShutdownCommand(setup).front(), "C:\\Tellurix\\MySQL\\bin\\mysqladmin.exe");
  EXPECT_TRUE(NewDataFolderCommand(setup).empty());
  const RescueSetup withInstaller = StackRescueSetup("C:\\T", true, "C:\\T\\MySQL\\data", "D:\\c", {});
  EXPECT_EQ(NewDataFolderCommand(withInstaller),
            (CommandLine{"C:\\T\\MySQL\\bin\\mysql_install_db.exe", "--datadir=C:\\T\\MySQL\\data"}));
}

// ---- What the flow reads -----------------------------------------------------

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct CountCase {
  const char* what;
  std::string dump;
  unsigned tables;
  std::uint64_t rows;
};

TEST(DumpCounter, CountsTablesAndRowsInPiecesOfAnySize) {
  const std::string data = TELLURIX_SOURCE_DIR "/tests/unit/data/";
  const CountCase cases[] = {
      // MariaDB 10.11: a row a line inside one INSERT; strings with "),(", ";", quotes and
      // backslashes; a trigger whose body holds an INSERT; a view's stand-in.
      {"a database", Slurp(data + "mariadb-dump-database.sql"), 2, 3},
      {"a table, one INSERT a row", Slurp(data + "mariadb-dump-table.sql"), 1, 3},
      // MySQL 5.0 wrote a statement on one line.
      {"one line", "CREATE TABLE `t` (\n  `id` int(11) NOT NULL\n);\nINSERT INTO `t` VALUES (1,'a'),(2,'(b)'),(3,NULL);\n",
       1, 3},
      {"the back part", "INSERT IGNORE INTO `orders` VALUES (2000,'x');\nINSERT IGNORE INTO `orders` VALUES (1999,'y');\n",
       0, 2},
      {"no line break at the end", "INSERT INTO `t` VALUES (1,'a');", 0, 1},
      {"a column list", "INSERT INTO `t` (`a`, `b`) VALUES (1,2),(3,4);\n", 0, 2},
      {"CR LF", "CREATE TABLE `a` (\r\n  `x` int\r\n);\r\nINSERT INTO `a` VALUES\r\n(1),\r\n(2);\r\n", 1, 2},
      {"nothing", "", 0, 0},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(c.dump.empty() && c.rows != 0) << "test data missing";
    for (size_t size : {size_t{1}, size_t{2}, size_t{19}, size_t{20}, size_t{21}, size_t{4096}}) {
      DumpCounter counter;
      for (size_t at = 0; at < c.dump.size(); at += size) counter.Feed(std::string_view(c.dump).substr(at, size));
      counter.Finish();
      EXPECT_EQ(counter.tables(), c.tables) << "pieces of " << size;
      EXPECT_EQ(counter.rows(), c.rows) << "pieces of " << size;
    }
  }
  DumpCounter counter;
  counter.Feed(Slurp(data + "mariadb-dump-table.sql"));
  EXPECT_EQ(SinglePrimaryKey(counter.firstCreateTable()), "id");
}

TEST(RescueReading, TheSinglePrimaryKeyOfACreateTable) {
  const struct {
    const char* createTable;
    std::optional<std::string> key;
  } cases[] = {
      {"CREATE TABLE `t` (\n  `id` int(11) NOT NULL,\n  PRIMARY KEY (`id`)\n)", "id"},
      {"CREATE TABLE `t` (\n  `id` int(11) NOT NULL,\n  PRIMARY KEY  (`id`)\n)", "id"},  // MySQL 5.0's two spaces
      {"  PRIMARY KEY (`id`) USING BTREE,", "id"},
      {"  PRIMARY KEY (`name`(10))", "name"},
      {"  PRIMARY KEY (`a``b`)", "a`b"},
      {"  PRIMARY KEY (`order id`)", "order id"},
      {"  PRIMARY KEY (`a`,`b`)", std::nullopt},
      {"  PRIMARY KEY (`a`(4), `b`)", std::nullopt},
      {"  UNIQUE KEY `email` (`email`)", std::nullopt},
      {"  PRIMARY KEY (`id", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(SinglePrimaryKey(c.createTable), c.key) << c.createTable;
}

TEST(RescueReading, TheDatabasesWorthRescuingMysqlFirst) {
  EXPECT_EQ(DatabasesToRescue("blog\ninformation_schema\nmysql\nperformance_schema\nshop\nsys\ntest\n"),
            (std::vector<std::string>{"mysql", "blog", "shop", "test"}));
  EXPECT_EQ(DatabasesToRescue("a\\tb\nc\\\\d\r\n"), (std::vector<std::string>{"a\tb", "c\\d"}));
  EXPECT_EQ(BatchRows("t1\tBASE TABLE\nv\tVIEW\n"),
            (std::vector<std::vector<std::string>>{{"t1", "BASE TABLE"}, {"v", "VIEW"}}));
  EXPECT_EQ(BatchRows("shop\tCREATE DATABASE `shop`\\n/*x*/\n").front()[1], "CREATE DATABASE `shop`\n/*x*/");
}

TEST(RescueReading, FileNamesWindowsCanHold) {
  std::set<std::string> taken;
  const struct {
    const char* name;
    const char* suffix;
    const char* file;
  } cases[] = {
      {"shop", ".sql", "shop.sql"},
      {"shop.orders", ".前段.sql", "shop.orders.前段.sql"},
      {"a/b:c*d?", ".sql", "a_b_c_d_.sql"},
      {"SHOP", ".sql", "SHOP~2.sql"},  // the same name to Windows
      {"con", ".sql", "_con.sql"},
      {"com1.t", ".sql", "_com1.t.sql"},
      {"console", ".sql", "console.sql"},
      {"trailing.", ".sql", "trailing_.sql"},
      {"网站", ".sql", "网站.sql"},
      {"", ".sql", "_.sql"},
  };
  for (const auto& c : cases) EXPECT_EQ(RescueFileName(c.name, c.suffix, taken), c.file);
}

// ---- The rescue ---------------------------------------------------------------

TEST(Rescue, TriesLevelsOneTwoThreeUntilOneServesAndNeverMore) {
  const struct {
    std::set<int> serving;
    std::vector<int> started;
    int level;
  } cases[] = {
      {{1, 2, 3}, {1}, 1}, {{2, 3}, {1, 2}, 2}, {{3}, {1, 2, 3}, 3}, {{}, {1, 2, 3}, 0}, {{4, 5, 6}, {1, 2, 3}, 0},
  };
  for (const auto& c : cases) {
    FakeSystem system;
    system.serving = c.serving;
    system.databases = {Healthy("mysql", {"user"})};
    const RescueReport report = RunRescue(system, FakeProgramsSetup());
    EXPECT_EQ(system.startedLevels, c.started);
    EXPECT_EQ(report.level, c.level);
    ExpectSafeRun(system);
    EXPECT_FALSE(system.ServerRunning());
    if (c.level == 0) {
      EXPECT_EQ(report.lines, (std::vector<std::string>{
                                  "没有救出数据：MySQL在恢复模式下也无法启动。数据文件夹的完整副本在：D:\\副本\\data"}));
      EXPECT_FALSE(RebuildOffered(report));
      EXPECT_EQ(NextRescueStep(RescueStep::Rescue, true, &report), RescueStep::Done);
    }
  }
}

TEST(Rescue, AServerThatCannotBeStartedAgainEndsTheRescueWithWhatItHas) {
  FakeSystem system;
  FakeDatabase shop = Healthy("shop", {"a", "x", "y"});
  shop.tables[1] = {"x", 50, FakeTable::Fault::Crashes, 20};
  system.databases = {Healthy("mysql", {"user"}), shop, Healthy("zoo", {"z"})};
  system.crashLimit = 2;  // one start after the first stop, none after the second
  const RescueReport report = RunRescue(system, FakeProgramsSetup());

  EXPECT_EQ(report.lines, (std::vector<std::string>{"救出了2个数据库、3张表，保存在：" + kFolder,
                                                    "只救出了部分数据的表：shop.x（20行）", "没有救出的表：shop.y",
                                                    "没有救出的数据库：zoo"}));
  EXPECT_EQ(system.File("shop.x.后段.sql"), "<none>") << "no back part without a server";
  EXPECT_FALSE(system.ServerRunning());
}

TEST(Rescue, AViewAndATableThatCannotBeReadAtAllAreListed) {
  FakeSystem system;
  FakeDatabase shop = Healthy("shop", {"a", "broken", "v"});
  shop.tables[1].fault = FakeTable::Fault::Unreadable;
  shop.tables[2].view = true;
  shop.tables.insert(shop.tables.begin(), FakeTable{"v0", 0, FakeTable::Fault::None, 0, 0, true});
  system.databases = {Healthy("mysql", {"user"}), shop};
  const RescueReport report = RunRescue(system, FakeProgramsSetup());
  EXPECT_EQ(report.lines.back(), "没有救出的表：shop.broken");
  std::vector<std::string> shopFiles;
  for (const RescuedFile& file : report.files) {
    if (file.database == "shop") shopFiles.push_back(file.name);
  }
  EXPECT_EQ(shopFiles, (std::vector<std::string>{"shop.sql", "shop.a.sql", "shop.v0.sql", "shop.v.sql"}))
      << "views after the tables";
}

TEST(Rescue, AServerThatIgnoresTheShutdownIsEndedAfterAMinute) {
  FakeSystem system;
  system.ignoresShutdown = true;
  system.databases = {Healthy("mysql", {"user"})};
  RunRescue(system, FakeProgramsSetup());
  const std::vector<std::string> last(system.events.end() - 3, system.events.end());
  EXPECT_EQ(last, (std::vector<std::string>{"mysqladmin shutdown", "wait 60 s", "end the server"}));
}

TEST(Rescue, ACancelStopsAfterTheRunningDumpAndShutsTheServerDown) {
  FakeSystem system;
  system.cancelAfterDumps = 1;
  system.databases = {Healthy("mysql", {"user"}), Healthy("shop", {"a"})};
  const RescueReport report = RunRescue(system, FakeProgramsSetup());
  EXPECT_TRUE(report.cancelled);
  EXPECT_EQ(report.lines, (std::vector<std::string>{"救出已取消，已经导出的文件保存在：" + kFolder}));
  EXPECT_EQ(system.File("shop.sql"), "<none>");
  EXPECT_EQ(system.events.back(), "wait 60 s");
  EXPECT_FALSE(system.ServerRunning());
  EXPECT_FALSE(RebuildOffered(report));
}

TEST(Rescue, AFolderThatCannotBeMadeStopsBeforeTheServerStarts) {
  FakeSystem system;
  system.failingFolders = {kFolder};
  const RescueReport report = RunRescue(system, FakeProgramsSetup());
  EXPECT_EQ(report.lines, (std::vector<std::string>{"无法建立保存救出数据的文件夹：" + kFolder}));
  EXPECT_TRUE(system.startedLevels.empty());
}

// ---- The steps and the rebuild --------------------------------------------------

TEST(RescueSteps, OneQuestionAtATime) {
  EXPECT_EQ(NextRescueStep(RescueStep::Copy, true), RescueStep::Rescue);
  EXPECT_EQ(NextRescueStep(RescueStep::Copy, false), RescueStep::Done);
  EXPECT_EQ(NextRescueStep(RescueStep::Rescue, true, nullptr), RescueStep::Done);
  EXPECT_EQ(NextRescueStep(RescueStep::Rebuild, true), RescueStep::Done);
  EXPECT_EQ(RescueStepQuestion(RescueStep::Rescue), "是否尝试以恢复模式启动MySQL，把每个数据库导出为SQL文件？");
  EXPECT_EQ(RescueStepQuestion(RescueStep::Rebuild),
            "是否用救出的数据重建MySQL的数据文件夹？原来的数据文件夹会改名保留。");
  EXPECT_EQ(RescueStepQuestion(RescueStep::Done), "");

  // Without the accounts the rebuilt folder would let nobody in.
  FakeSystem system;
  FakeDatabase mysql = Healthy("mysql", {"user"});
  mysql.tables[0].fault = FakeTable::Fault::Damaged;
  system.databases = {mysql, Healthy("shop", {"a"})};
  const RescueReport report = RunRescue(system, FakeProgramsSetup());
  EXPECT_FALSE(RebuildOffered(report));
  EXPECT_EQ(RebuildNotOfferedLine(report),
            "没有完整救出mysql数据库（账户和密码），不能用救出的数据重建数据文件夹。");
}

RescueReport DamagedRescue(FakeSystem& system, const RescueSetup& setup) {
  FakeDatabase shop = Healthy("shop", {"customers", "orders"});
  shop.tables[1] = {"orders", 2000, FakeTable::Fault::Damaged, 1003, 899};
  system.databases = {Healthy("mysql", {"user"}), Healthy("blog", {"posts"}), shop};
  RescueReport report = RunRescue(system, setup);
  system.events.clear();
  system.commands.clear();
  return report;
}

TEST(Rebuild, TheServersOwnInstallerMakesTheNewFolderWhereTheStackHasOne) {
  FakeSystem system;
  RescueSetup setup = FakeProgramsSetup();
  setup.programs.installer = {"install_db"};
  const RescueReport rescue = DamagedRescue(system, setup);
  EXPECT_TRUE(RunRebuild(system, setup, rescue).done);
  ASSERT_GE(system.events.size(), 3u);
  EXPECT_EQ(system.events[1], "install C:\\Tellurix\\MySQL\\data");
  EXPECT_EQ(system.events[2].rfind("start without recovery", 0), 0u);
}

TEST(Rebuild, AStepThatFailsStopsTheRebuildAndKeepsEverything) {
  const std::string data = "C:\\Tellurix\\MySQL\\data", renamed = data + "-损坏-20261207-200316";
  const std::string kept = "原来的数据文件夹保存在：" + renamed + "，救出的文件保存在：" + kFolder +
                           "，数据文件夹的完整副本在：D:\\副本\\data";
  const struct {
    const char* what;
    std::function<void(FakeSystem&, RescueSetup&)> arrange;
    std::vector<std::string> lines;
  } cases[] = {
      {"the folder is in use", [](FakeSystem& s, RescueSetup&) { s.renameFails = true; },
       {"重建没有完成：无法把数据文件夹改名为“" + renamed + "”，请先停止MySQL服务，并关闭使用这个文件夹的程序。"}},
      {"no new folder", [&](FakeSystem& s, RescueSetup&) { s.failingFolders = {data + "\\mysql"}; },
       {"重建没有完成：无法建立新的数据文件夹：" + data, kept}},
      {"the installer fails",
       [](FakeSystem& s, RescueSetup& setup) {
         setup.programs.installer = {"install_db"};
         s.installerFails = true;
       },
       {"重建没有完成：没能建立新的数据文件夹（ERROR: Could not create data directory）。", kept}},
      {"the server does not start", [](FakeSystem& s, RescueSetup&) { s.crashLimit = 0; },
       {"重建没有完成：MySQL无法在新的数据文件夹上启动，服务器的输出见：" + kFolder + "\\mysqld-重建.txt", kept}},
      {"a file does not load", [](FakeSystem& s, RescueSetup&) { s.failingLoads = {"blog.sql"}; },
       {"重建没有完成：导入数据库blog（文件blog.sql）时出错：ERROR 1064 (42000) at line 40: You have an error in "
        "your SQL syntax",
        kept}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem system;
    RescueSetup setup = FakeProgramsSetup();
    const RescueReport rescue = DamagedRescue(system, setup);
    c.arrange(system, setup);
    const RebuildReport rebuilt = RunRebuild(system, setup, rescue);
    EXPECT_FALSE(rebuilt.done);
    EXPECT_EQ(rebuilt.lines, c.lines);
    EXPECT_FALSE(system.ServerRunning());
    for (const std::string& event : system.events) {
      EXPECT_NE(event.rfind("remove", 0), 0u) << "nothing is deleted";
      EXPECT_NE(event, "load shop.sql") << "nothing after the failed step";
    }
    EXPECT_EQ(system.files.count(kFolder + "\\shop.orders.前段.sql"), 1u);
  }
}

}  // namespace
}  // namespace tellurix
