#include "servers/data_rescue.h"

#include <algorithm>
#include <cstdio>

#include "core/text_lines.h"
#include "resources/texts.h"
#include "servers/service_diagnosis.h"

namespace tellurix {

namespace {

constexpr char kFrontSuffix[] = ".前段.sql";
constexpr char kBackSuffix[] = ".后段.sql";
constexpr char kDumpSuffix[] = ".sql";
constexpr char kMaxPacket[] = "--max_allowed_packet=1G";

std::string Number(std::uint64_t value) { return std::to_string(value); }

std::string TwoDigits(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", value % 100);
  return buffer;
}

// 20261207-200316, for the names of the rescue folder and the renamed data folder.
std::string Stamp(const LocalTime& t) {
  return std::to_string(t.year) + TwoDigits(t.month) + TwoDigits(t.day) + "-" + TwoDigits(t.hour) +
         TwoDigits(t.minute) + TwoDigits(t.second);
}

std::string TimeText(const LocalTime& t) {
  return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " + TwoDigits(t.hour) + ":" +
         TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

std::string InFolder(const RescueSetup& setup, std::string_view folder, std::string_view name) {
  return std::string(folder) + setup.separator + std::string(name);
}

// A client of the recovery server: no option file (the clients would read the
// user's [client] settings, which may name another server or a password), the
// transport, and any account name: the server checks none.
CommandLine ClientCommand(const RescueSetup& setup, const std::string& program) {
  CommandLine command{program, "--no-defaults"};
  command.insert(command.end(), setup.transport.clientOptions.begin(), setup.transport.clientOptions.end());
  command.push_back("--user=root");
  return command;
}

CommandLine DumpCommand(const RescueSetup& setup) {
  CommandLine command = ClientCommand(setup, setup.programs.dump);
  command.push_back(kMaxPacket);
  command.push_back("--hex-blob");
  return command;
}

// A table's rows one INSERT a line, so that a dump cut short ends with its last
// whole row; no DISABLE KEYS, whose ENABLE KEYS a cut dump would never reach.
void AddRowByRow(CommandLine& command) {
  command.push_back("--skip-extended-insert");
  command.push_back("--skip-disable-keys");
}

std::string ProgramFileName(std::string_view program) {
  const size_t slash = program.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? program : program.substr(slash + 1));
}

bool Succeeded(const ToolRun& run) { return run.outcome == ToolRun::Outcome::Exited && run.exitCode == 0; }

// Why a program did not do its work: its first line of errors, else how it ended.
std::string WhyFailed(const ToolRun& run, std::string_view program) {
  const std::string name = ProgramFileName(program);
  switch (run.outcome) {
    case ToolRun::Outcome::CannotStart:
      return FillIn(text::kRescueCannotRun, {program});
    case ToolRun::Outcome::TimedOut:
      return FillIn(text::kRescueTimedOut, {name});
    case ToolRun::Outcome::Cancelled:
      return text::kRebuildCancelled;
    case ToolRun::Outcome::Exited:
      break;
  }
  for (const TextLine& line : SplitLines(run.errors)) {
    if (std::string_view trimmed = TrimBlanks(line.text); !trimmed.empty()) return std::string(trimmed);
  }
  return FillIn(text::kRescueExitCode, {name, std::to_string(run.exitCode)});
}

bool StartsWith(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

bool IsDeviceName(std::string_view segment) {
  std::string upper;
  for (char c : segment) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (StartsWith(upper, "COM") || StartsWith(upper, "LPT")) && upper[3] >= '1' &&
         upper[3] <= '9';
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) joined += (joined.empty() ? "" : text::kRescueListSeparator) + item;
  return joined;
}

}  // namespace

// ---- What the flow runs ------------------------------------------------------

RescueTransport NamedPipeTransport(std::string_view pipeName) {
  const std::string socket = "--socket=" + std::string(pipeName);
  return {{"--enable-named-pipe", socket, "--console"}, {"--protocol=pipe", socket}, std::string(pipeName)};
}

RescueTransport UnixSocketTransport(std::string_view socketPath) {
  const std::string socket = "--socket=" + std::string(socketPath);
  return {{socket}, {"--protocol=socket", socket}, std::string(socketPath)};
}

std::string RescuePipeName(const std::array<std::uint8_t, 16>& random) {
  static const char kHex[] = "0123456789abcdef";
  std::string name = "tellurix-rescue-";
  for (std::uint8_t byte : random) {
    name += kHex[byte >> 4];
    name += kHex[byte & 15];
  }
  return name;
}

std::string StackInstallerPath(std::string_view programDirectory) {
  return std::string(programDirectory) + "\\MySQL\\bin\\mysql_install_db.exe";
}

RescuePrograms StackRescuePrograms(std::string_view programDirectory, bool installerPresent) {
  const std::string bin = std::string(programDirectory) + "\\MySQL\\bin\\";
  RescuePrograms programs{OwnServerProgram(Service::MySQL, programDirectory), bin + "mysqldump.exe",
                          bin + "mysql.exe", bin + "mysqladmin.exe", {}};
  if (installerPresent) programs.installer = {StackInstallerPath(programDirectory)};
  return programs;
}

RescueSetup StackRescueSetup(std::string_view programDirectory, bool installerPresent, std::string_view dataFolder,
                             std::string_view copyFolder, RescueTransport transport) {
  RescueSetup setup;
  setup.programs = StackRescuePrograms(programDirectory, installerPresent);
  setup.transport = std::move(transport);
  setup.myIni = std::string(programDirectory) + "\\MySQL\\my.ini";
  setup.dataFolder = std::string(dataFolder);
  setup.copyFolder = std::string(copyFolder);
  setup.rescueParent = std::string(programDirectory) + "\\MySQL";
  return setup;
}

CommandLine ServerCommand(const RescueSetup& setup, int recoveryLevel) {
  if (recoveryLevel < 0 || recoveryLevel > kHighestRecoveryLevel) return {};
  // The service's own my.ini first (the server reads --defaults-file only as its
  // first option), so that the data files, their paths and the log sizes are the
  // ones the data folder was made with.
  CommandLine command{setup.programs.server, "--defaults-file=" + setup.myIni, "--datadir=" + setup.dataFolder};
  if (recoveryLevel > 0) command.push_back("--innodb_force_recovery=" + std::to_string(recoveryLevel));
  // No grant tables: whoever reaches the server is root. So nothing but the
  // panel may reach it: no network at all, only the transport's private name.
  command.push_back("--skip-grant-tables");
  command.push_back("--skip-networking");
  // A replica's settings would have it connect out and write what it receives.
  command.push_back("--skip-slave-start");
  command.insert(command.end(), setup.transport.serverOptions.begin(), setup.transport.serverOptions.end());
  command.push_back(kMaxPacket);
  return command;
}

CommandLine QueryCommand(const RescueSetup& setup, std::string_view statement) {
  CommandLine command = ClientCommand(setup, setup.programs.client);
  for (const char* option : {"--default-character-set=utf8", "--batch", "--skip-column-names"}) {
    command.push_back(option);
  }
  command.push_back("--execute=" + std::string(statement));
  return command;
}

CommandLine DatabaseDumpCommand(const RescueSetup& setup, std::string_view database) {
  CommandLine command = DumpCommand(setup);
  command.push_back("--databases");
  command.emplace_back(database);
  return command;
}

CommandLine TableDumpCommand(const RescueSetup& setup, std::string_view database, std::string_view table) {
  CommandLine command = DumpCommand(setup);
  AddRowByRow(command);
  command.emplace_back(database);
  command.emplace_back(table);
  return command;
}

CommandLine BackPartDumpCommand(const RescueSetup& setup, std::string_view database, std::string_view table,
                                std::string_view key) {
  CommandLine command = DumpCommand(setup);
  AddRowByRow(command);
  command.push_back("--no-create-info");
  command.push_back("--insert-ignore");
  command.push_back("--where=1=1 ORDER BY " + QuoteIdentifier(key) + " DESC");
  command.emplace_back(database);
  command.emplace_back(table);
  return command;
}

CommandLine LoadCommand(const RescueSetup& setup, std::string_view database) {
  CommandLine command = ClientCommand(setup, setup.programs.client);
  command.push_back(kMaxPacket);
  if (!database.empty()) command.emplace_back(database);
  return command;
}

CommandLine ShutdownCommand(const RescueSetup& setup) {
  CommandLine command = ClientCommand(setup, setup.programs.admin);
  command.push_back("shutdown");
  return command;
}

CommandLine NewDataFolderCommand(const RescueSetup& setup) {
  if (setup.programs.installer.empty()) return {};
  CommandLine command = setup.programs.installer;
  command.push_back("--datadir=" + setup.dataFolder);
  return command;
}

// ---- What the flow reads -----------------------------------------------------

std::vector<std::vector<std::string>> BatchRows(std::string_view output) {
  std::vector<std::vector<std::string>> rows;
  for (const TextLine& line : SplitLines(output)) {
    if (line.text.empty() && line.brk.empty()) continue;
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.text.size(); ++i) {
      const char c = line.text[i];
      if (c == '\t') {
        fields.emplace_back();
      } else if (c == '\\' && i + 1 < line.text.size()) {
        const char next = line.text[++i];
        fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == '0' ? '\0' : next;
      } else {
        fields.back() += c;
      }
    }
    rows.push_back(std::move(fields));
  }
  return rows;
}

std::vector<std::string> DatabasesToRescue(std::string_view showDatabases) {
  std::vector<std::string> databases;
  bool hasMysql = false;
  for (std::vector<std::string>& row : BatchRows(showDatabases)) {
    const std::string& name = row.front();
    if (EqualsNoCase(name, "information_schema") || EqualsNoCase(name, "performance_schema") || name == "sys") {
      continue;
    }
    if (name == "mysql") {
      hasMysql = true;
    } else if (!name.empty()) {
      databases.push_back(name);
    }
  }
  if (hasMysql) databases.insert(databases.begin(), "mysql");
  return databases;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "`";
  for (char c : name) quoted += c == '`' ? std::string("``") : std::string(1, c);
  return quoted + "`";
}

std::optional<std::string> SinglePrimaryKey(std::string_view createTable) {
  const size_t at = createTable.find("PRIMARY KEY");
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = createTable.substr(at + 11);
  auto skipBlanks = [&rest] {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  };
  skipBlanks();
  if (rest.empty() || rest.front() != '(') return std::nullopt;
  rest.remove_prefix(1);
  std::vector<std::string> columns;
  while (true) {
    skipBlanks();
    if (rest.empty() || rest.front() != '`') return std::nullopt;
    rest.remove_prefix(1);
    std::string column;
    while (true) {
      if (rest.empty()) return std::nullopt;
      const char c = rest.front();
      rest.remove_prefix(1);
      if (c != '`') {
        column += c;
      } else if (!rest.empty() && rest.front() == '`') {
        column += '`';
        rest.remove_prefix(1);
      } else {
        break;
      }
    }
    columns.push_back(std::move(column));
    skipBlanks();
    if (!rest.empty() && rest.front() == '(') {  // a prefix of a text column: (`name`(10))
      const size_t close = rest.find(')');
      if (close == std::string_view::npos) return std::nullopt;
      rest.remove_prefix(close + 1);
      skipBlanks();
    }
    if (rest.empty()) return std::nullopt;
    if (rest.front() == ',') {
      rest.remove_prefix(1);
      continue;
    }
    if (rest.front() != ')') return std::nullopt;
    break;
  }
  if (columns.size() != 1) return std::nullopt;
  return columns.front();
}

namespace {
constexpr size_t kLineHead = 20;               // enough for "INSERT IGNORE INTO "
constexpr size_t kCreateTableLimit = 64 * 1024;  // a table's CREATE TABLE is far shorter
}  // namespace

void DumpCounter::Feed(std::string_view piece) {
  for (char c : piece) {
    if (inCreate_ && createTable_.size() < kCreateTableLimit) createTable_ += c;
    if (c == '\n') {
      if (!headRead_) Head();
      if (inCreate_ && !head_.empty() && head_.front() == ')') inCreate_ = false;
      if (inInsert_) InsertText(" ");
      head_.clear();
      headRead_ = false;
    } else if (headRead_) {
      if (inInsert_) InsertText(std::string_view(&c, 1));
    } else {
      head_ += c;
      if (head_.size() == kLineHead) Head();
    }
  }
}

void DumpCounter::Finish() {
  if (!headRead_ && !head_.empty()) Head();
  head_.clear();
  headRead_ = false;
}

// A line's first kLineHead bytes (or all of a shorter line) say what it is.
void DumpCounter::Head() {
  headRead_ = true;
  if (inInsert_) {  // the next line of an INSERT that holds one row a line
    InsertText(head_);
    return;
  }
  std::string_view head = head_;
  if (!head.empty() && head.back() == '\r') head.remove_suffix(1);
  // A trigger's body between "DELIMITER ;;" and "DELIMITER ;" is no statement of the dump's own.
  if (inDelimiterBlock_) {
    if (head == "DELIMITER ;") inDelimiterBlock_ = false;
    return;
  }
  if (head == "DELIMITER ;;") {
    inDelimiterBlock_ = true;
    return;
  }
  if (StartsWith(head, "INSERT INTO ") || StartsWith(head, "INSERT IGNORE INTO ") ||
      StartsWith(head, "REPLACE INTO ")) {
    inInsert_ = true;
    afterValues_ = inString_ = escaped_ = inName_ = false;
    depth_ = 0;
    keyword_.clear();
    InsertText(head_);
    return;
  }
  if (StartsWith(head, "CREATE TABLE ")) {
    ++tables_;
    if (tables_ == 1) {
      inCreate_ = true;
      createTable_ = head_;
    }
  }
}

// The text of an INSERT statement: each value tuple after VALUES is a row; quotes
// and backquotes keep their brackets and semicolons out of the count.
void DumpCounter::InsertText(std::string_view text) {
  for (char c : text) {
    if (inString_) {
      if (escaped_) {
        escaped_ = false;
      } else if (c == '\\') {
        escaped_ = true;
      } else if (c == '\'') {
        inString_ = false;  // '' inside a string closes and reopens it: the same to the count
      }
      continue;
    }
    if (inName_) {
      if (c == '`') inName_ = false;
      continue;
    }
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter && !afterValues_) {
      afterValues_ = EqualsNoCase(keyword_, "VALUES");
      keyword_.clear();
    }
    if (letter && !afterValues_) {
      if (keyword_.size() < 8) keyword_ += c;
      continue;
    }
    if (c == '\'') {
      inString_ = true;
    } else if (c == '`') {
      inName_ = true;
    } else if (c == '(') {
      if (afterValues_ && depth_ == 0) ++rows_;
      ++depth_;
    } else if (c == ')') {
      if (depth_ > 0) --depth_;
    } else if (c == ';' && depth_ == 0) {
      inInsert_ = false;
      return;
    }
  }
}

std::string RescueFileName(std::string_view name, std::string_view suffix, std::set<std::string>& taken) {
  std::string base;
  for (char c : name) {
    const bool forbidden = static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"/\\|?*").find(c) !=
                                                                        std::string_view::npos;
    base += forbidden ? '_' : c;
  }
  if (base.empty()) base = "_";
  // Windows drops a name's trailing dots and spaces.
  if (base.back() == '.' || base.back() == ' ') base.back() = '_';
  if (IsDeviceName(base.substr(0, base.find('.')))) base = "_" + base;
  auto folded = [](const std::string& text) {
    std::string result;
    for (char c : text) result += FoldAscii(c);
    return result;
  };
  std::string candidate = base;
  for (int n = 2; taken.count(folded(candidate)) != 0; ++n) candidate = base + "~" + std::to_string(n);
  taken.insert(folded(candidate));
  return candidate + std::string(suffix);
}

// ---- The flow ----------------------------------------------------------------

namespace {

class Rescuer {
 public:
  Rescuer(RescueSystem& system, const RescueSetup& setup) : system_(system), setup_(setup) {}

  RescueReport Run() {
    started_ = system_.Now();
    report_.folder = UntakenName(InFolder(setup_, setup_.rescueParent, "救出-" + Stamp(started_)),
                                 [this](const std::string& path) { return system_.Exists(path); });
    if (!system_.MakeFolder(report_.folder)) {
      report_.lines.push_back(FillIn(text::kRescueNoFolder, {report_.folder}));
      report_.folder.clear();
      return report_;
    }
    std::vector<std::string> databases;
    for (int level = 1; level <= kHighestRecoveryLevel && !cancelled_; ++level) {
      if (!Start(level)) {
        system_.Progress(FillIn(text::kRescueNotServing, {std::to_string(level)}));
        continue;
      }
      if (std::optional<std::string> shown = Query("SHOW DATABASES")) {
        report_.level = level;
        databases = DatabasesToRescue(*shown);
        break;
      }
      StopServer();
    }
    for (const std::string& database : databases) {
      if (Interrupted()) {
        if (!cancelled_) report_.lostDatabases.push_back(database);
        continue;
      }
      DumpDatabase(database);
    }
    StopServer();
    report_.cancelled = cancelled_;
    Conclude();
    return report_;
  }

 private:
  bool Interrupted() {
    if (!cancelled_ && system_.Cancelled()) cancelled_ = true;
    return cancelled_ || serverLost_;
  }

  std::string LogFor(int level) const {
    return InFolder(setup_, report_.folder, "mysqld-恢复模式" + std::to_string(level) + ".txt");
  }

  bool Start(int level) {
    const std::string number = std::to_string(level);
    system_.Progress(FillIn(text::kRescueStarting, {number, number}));
    if (!system_.StartServer(ServerCommand(setup_, level), LogFor(level))) return false;
    const RescueSystem::Wait wait = system_.WaitUntilAccepting(setup_.transport.endpoint, kStartLimit);
    if (wait == RescueSystem::Wait::Accepting) return true;
    if (wait == RescueSystem::Wait::Cancelled) cancelled_ = true;
    system_.EndServer();  // not accepting, so mysqladmin could not reach it either
    return false;
  }

  // After a dump that failed: the server is started again at the same level
  // when the read made it stop. False when it stopped and cannot be started.
  bool StillServing(const std::string& what) {
    if (serverLost_) return false;
    if (system_.ServerRunning()) return true;
    system_.Progress(FillIn(text::kRescueRestarting, {what}));
    if (!cancelled_ && Start(report_.level)) return true;
    serverLost_ = true;
    return false;
  }

  void StopServer() {
    if (!system_.ServerRunning()) return;
    system_.Progress(text::kRescueStopping);
    ToolRequest request{ShutdownCommand(setup_), {}, {}, kQueryLimit, false};
    system_.Run(request);
    if (!system_.WaitForServerEnd(kShutdownLimit)) system_.EndServer();
  }

  std::optional<std::string> Query(const std::string& statement) {
    const ToolRun run = system_.Run({QueryCommand(setup_, statement), {}, {}, kQueryLimit, true});
    if (run.outcome == ToolRun::Outcome::Cancelled) cancelled_ = true;
    if (!Succeeded(run)) return std::nullopt;
    return run.output;
  }

  ToolRun Dump(const CommandLine& command, const std::string& path) {
    const ToolRun run = system_.Run({command, {}, path, kDumpLimit, true});
    if (run.outcome == ToolRun::Outcome::Cancelled) cancelled_ = true;
    return run;
  }

  DumpCounter Count(const std::string& path) {
    DumpCounter counter;
    system_.ReadFile(path, [&counter](std::string_view piece) { counter.Feed(piece); });
    counter.Finish();
    return counter;
  }

  std::string PathOf(const std::string& name) const { return InFolder(setup_, report_.folder, name); }

  void DumpDatabase(const std::string& database) {
    system_.Progress(FillIn(text::kRescueDumping, {database}));
    const std::string name = RescueFileName(database, kDumpSuffix, taken_);
    const ToolRun run = Dump(DatabaseDumpCommand(setup_, database), PathOf(name));
    if (Succeeded(run)) {
      const DumpCounter count = Count(PathOf(name));
      report_.files.push_back({name, database, {}, RescuedFile::Part::Database, count.tables(), count.rows()});
      report_.wholeDatabases.push_back(database);
      ++report_.databases;
      report_.tables += count.tables();
      return;
    }
    system_.RemoveFile(PathOf(name));
    if (cancelled_) return;
    errors_.push_back({database, WhyFailed(run, setup_.programs.dump)});
    DumpByTable(database, name);
  }

  void DumpByTable(const std::string& database, const std::string& name) {
    system_.Progress(FillIn(text::kRescueByTable, {database}));
    std::optional<std::string> listed;
    if (StillServing(database)) listed = Query("SHOW FULL TABLES FROM " + QuoteIdentifier(database));
    if (!listed) {
      if (!cancelled_) report_.lostDatabases.push_back(database);
      return;
    }
    std::optional<std::string> create;
    if (std::optional<std::string> shown =
            Query("SHOW CREATE DATABASE IF NOT EXISTS " + QuoteIdentifier(database))) {
      const auto rows = BatchRows(*shown);
      if (!rows.empty() && rows.front().size() >= 2) create = rows.front()[1];
    }
    // The server answered in UTF-8 (the query asked for it), so the file says so.
    const std::string statement =
        "/*!40101 SET NAMES utf8 */;\n" +
        create.value_or("CREATE DATABASE /*!32312 IF NOT EXISTS*/ " + QuoteIdentifier(database)) + ";\n";
    if (!system_.WriteTextFile(PathOf(name), statement)) {
      report_.lostDatabases.push_back(database);
      return;
    }
    report_.files.push_back({name, database, {}, RescuedFile::Part::CreateDatabase, 0, 0});
    // Tables first, views after them: a view needs its tables.
    std::vector<std::string> tables, views;
    for (const std::vector<std::string>& row : BatchRows(*listed)) {
      (row.size() >= 2 && row[1] == "VIEW" ? views : tables).push_back(row.front());
    }
    const unsigned before = report_.tables;
    const size_t partialBefore = report_.partial.size(), filesBefore = report_.files.size();
    for (const std::vector<std::string>* list : {&tables, &views}) {
      for (const std::string& table : *list) {
        if (Interrupted()) {
          if (!cancelled_) report_.lost.push_back({database, table, 0, text::kRescueNotRestarted});
          continue;
        }
        DumpTable(database, table, list == &views);
      }
    }
    const bool saved = report_.tables > before || report_.partial.size() > partialBefore ||
                       report_.files.size() > filesBefore;
    if (saved) ++report_.databases;
  }

  void DumpTable(const std::string& database, const std::string& table, bool isView) {
    const std::string shown = database + "." + table;
    const std::string name = RescueFileName(shown, "", taken_);
    const std::string path = PathOf(name + kDumpSuffix);
    const ToolRun run = Dump(TableDumpCommand(setup_, database, table), path);
    if (Succeeded(run)) {
      const DumpCounter count = Count(path);
      report_.files.push_back(
          {name + kDumpSuffix, database, table, RescuedFile::Part::Table, count.tables(), count.rows()});
      report_.tables += count.tables();
      return;
    }
    if (cancelled_) {
      system_.RemoveFile(path);
      return;
    }
    const std::string error = WhyFailed(run, setup_.programs.dump);
    errors_.push_back({shown, error});
    const bool serving = StillServing(shown);
    const DumpCounter front = Count(path);
    if (isView || front.tables() == 0) {  // not even its structure came out
      system_.RemoveFile(path);
      report_.lost.push_back({database, table, 0, error});
      return;
    }
    std::string frontName = name + kFrontSuffix;
    if (!system_.Rename(path, PathOf(frontName))) frontName = name + kDumpSuffix;
    report_.files.push_back({frontName, database, table, RescuedFile::Part::Front, front.tables(), front.rows()});
    report_.tables += front.tables();
    TableOutcome outcome{database, table, front.rows(), error};
    const std::optional<std::string> key = SinglePrimaryKey(front.firstCreateTable());
    if (key && serving && !Interrupted()) {
      system_.Progress(FillIn(text::kRescueBackPart, {shown}));
      const std::string backName = name + kBackSuffix;
      const ToolRun back = Dump(BackPartDumpCommand(setup_, database, table, *key), PathOf(backName));
      const DumpCounter count = Count(PathOf(backName));
      if (!cancelled_ && count.rows() > 0) {
        report_.files.push_back({backName, database, table, RescuedFile::Part::Back, 0, count.rows()});
        outcome.rows += count.rows();
      } else {
        system_.RemoveFile(PathOf(backName));
      }
      if (!Succeeded(back) && !cancelled_) {
        errors_.push_back({shown + kBackSuffix, WhyFailed(back, setup_.programs.dump)});
        StillServing(shown);
      }
    }
    report_.partial.push_back(std::move(outcome));
  }

  void Conclude() {
    std::vector<std::string>& lines = report_.lines;
    if (report_.cancelled) {
      lines.push_back(FillIn(text::kRescueCancelled, {report_.folder}));
    } else if (report_.level == 0) {
      lines.push_back(FillIn(text::kRescueNothing, {setup_.copyFolder}));
    } else {
      lines.push_back(FillIn(text::kRescueSaved, {std::to_string(report_.databases),
                                                   std::to_string(report_.tables), report_.folder}));
      std::vector<std::string> partial, lost;
      for (const TableOutcome& table : report_.partial) {
        partial.push_back(FillIn(text::kRescuePartialRows, {table.database + "." + table.table, Number(table.rows)}));
      }
      for (const TableOutcome& table : report_.lost) lost.push_back(table.database + "." + table.table);
      if (!partial.empty()) lines.push_back(text::kRescuePartial + JoinList(partial));
      if (!lost.empty()) lines.push_back(text::kRescueLost + JoinList(lost));
      if (!report_.lostDatabases.empty()) {
        lines.push_back(text::kRescueLostDatabases + JoinList(report_.lostDatabases));
      }
    }
    const std::string notes = PathOf(text::kRescueNotesName);
    report_.notesWritten = system_.WriteTextFile(notes, Notes());
    if (!report_.notesWritten) lines.push_back(FillIn(text::kRescueNotesNotWritten, {notes}));
  }

  // 说明.txt, for Notepad: UTF-8 with its mark, CR LF.
  std::string Notes() const {
    std::vector<std::string> lines{text::kRescueNotesTitle, FillIn(text::kRescueNotesTime, {TimeText(started_)}),
                                   FillIn(text::kRescueNotesData, {setup_.dataFolder}),
                                   FillIn(text::kRescueNotesCopy, {setup_.copyFolder})};
    if (report_.level > 0) {
      const std::string level = std::to_string(report_.level);
      lines.push_back(FillIn(text::kRescueNotesLevel, {level, level}));
    } else if (!report_.cancelled) {
      lines.push_back(text::kRescueNotesNoLevel);
    }
    lines.emplace_back();
    lines.insert(lines.end(), report_.lines.begin(), report_.lines.end());
    if (!report_.files.empty()) {
      lines.emplace_back();
      lines.push_back(text::kRescueNotesFiles);
      for (const RescuedFile& file : report_.files) {
        const std::string table = file.database + "." + file.table;
        switch (file.part) {
          case RescuedFile::Part::CreateDatabase:
            lines.push_back(FillIn(text::kRescueNotesCreateDatabase, {file.name, file.database}));
            break;
          case RescuedFile::Part::Front:
            lines.push_back(FillIn(text::kRescueNotesFront, {file.name, table, Number(file.rows)}));
            break;
          case RescuedFile::Part::Back:
            lines.push_back(FillIn(text::kRescueNotesBack, {file.name, table, Number(file.rows)}));
            break;
          case RescuedFile::Part::Database:
          case RescuedFile::Part::Table:
            lines.push_back(FillIn(text::kRescueNotesFile, {file.name, Number(file.tables), Number(file.rows)}));
            break;
        }
      }
    }
    if (!errors_.empty()) {
      lines.emplace_back();
      lines.push_back(text::kRescueNotesErrors);
      for (const auto& [what, why] : errors_) lines.push_back(FillIn(text::kRescueNotesError, {what, why}));
    }
    if (!report_.files.empty()) {
      lines.emplace_back();
      lines.push_back(text::kRescueNotesOrder);
    }
    std::string content(kUtf8Bom);
    for (const std::string& line : lines) content += line + "\r\n";
    return content;
  }

  RescueSystem& system_;
  const RescueSetup& setup_;
  RescueReport report_;
  LocalTime started_;
  std::set<std::string> taken_;
  std::vector<std::pair<std::string, std::string>> errors_;  // what, why
  bool cancelled_ = false, serverLost_ = false;
};

void StopRebuildServer(RescueSystem& system, const RescueSetup& setup) {
  if (!system.ServerRunning()) return;
  ToolRequest request{ShutdownCommand(setup), {}, {}, kQueryLimit, false};
  system.Run(request);
  if (!system.WaitForServerEnd(kShutdownLimit)) system.EndServer();
}

}  // namespace

RescueReport RunRescue(RescueSystem& system, const RescueSetup& setup) { return Rescuer(system, setup).Run(); }

bool RebuildOffered(const RescueReport& report) {
  return !report.cancelled && report.level > 0 &&
         std::find(report.wholeDatabases.begin(), report.wholeDatabases.end(), "mysql") !=
             report.wholeDatabases.end();
}

std::optional<std::string> RebuildNotOfferedLine(const RescueReport& report) {
  if (RebuildOffered(report) || report.cancelled || report.level == 0 || report.files.empty()) return std::nullopt;
  return std::string(text::kRebuildNotOffered);
}

RescueStep NextRescueStep(RescueStep done, bool succeeded, const RescueReport* rescue) {
  switch (done) {
    case RescueStep::Copy:
      return succeeded ? RescueStep::Rescue : RescueStep::Done;
    case RescueStep::Rescue:
      return rescue != nullptr && RebuildOffered(*rescue) ? RescueStep::Rebuild : RescueStep::Done;
    case RescueStep::Rebuild:
    case RescueStep::Done:
      break;
  }
  return RescueStep::Done;
}

std::string RescueStepQuestion(RescueStep step) {
  if (step == RescueStep::Rescue) return text::kRescueQuestion;
  if (step == RescueStep::Rebuild) return text::kRebuildQuestion;
  return {};
}

RebuildReport RunRebuild(RescueSystem& system, const RescueSetup& setup, const RescueReport& rescue) {
  RebuildReport report;
  if (!RebuildOffered(rescue)) {
    report.lines.push_back(text::kRebuildNotOffered);
    return report;
  }
  const std::string renamed = UntakenName(setup.dataFolder + "-损坏-" + Stamp(system.Now()),
                                         [&](const std::string& path) { return system.Exists(path); });
  if (!system.Rename(setup.dataFolder, renamed)) {
    report.lines.push_back(FillIn(text::kRebuildRenameFailed, {renamed}));
    return report;
  }
  report.renamedFolder = renamed;
  auto stop = [&](std::string line) {
    StopRebuildServer(system, setup);
    report.lines.push_back(std::move(line));
    report.lines.push_back(FillIn(text::kRebuildKept, {renamed, rescue.folder, setup.copyFolder}));
    return report;
  };

  if (!setup.programs.installer.empty()) {
    const ToolRun run = system.Run({NewDataFolderCommand(setup), {}, {}, kInstallLimit, true});
    if (run.outcome == ToolRun::Outcome::Cancelled) return stop(text::kRebuildCancelled);
    if (!Succeeded(run)) {
      return stop(FillIn(text::kRebuildInstallFailed, {WhyFailed(run, setup.programs.installer.front())}));
    }
  } else if (!system.MakeFolder(setup.dataFolder) ||
             !system.MakeFolder(InFolder(setup, setup.dataFolder, "mysql"))) {
    return stop(FillIn(text::kRebuildFolderFailed, {setup.dataFolder}));
  }

  const std::string log = InFolder(setup, rescue.folder, "mysqld-重建.txt");
  if (!system.StartServer(ServerCommand(setup, 0), log)) return stop(FillIn(text::kRebuildStartFailed, {log}));
  const RescueSystem::Wait wait = system.WaitUntilAccepting(setup.transport.endpoint, kStartLimit);
  if (wait != RescueSystem::Wait::Accepting) {
    system.EndServer();
    return stop(wait == RescueSystem::Wait::Cancelled ? std::string(text::kRebuildCancelled)
                                                      : FillIn(text::kRebuildStartFailed, {log}));
  }
  // The rescue dumped `mysql` first: its accounts are in place before the rest.
  for (const RescuedFile& file : rescue.files) {
    if (system.Cancelled()) return stop(text::kRebuildCancelled);
    system.Progress(FillIn(text::kRebuildLoading, {file.name}));
    const bool selected = file.part != RescuedFile::Part::Database && file.part != RescuedFile::Part::CreateDatabase;
    const ToolRun run = system.Run({LoadCommand(setup, selected ? file.database : std::string()),
                                    InFolder(setup, rescue.folder, file.name), {}, kLoadLimit, true});
    if (run.outcome == ToolRun::Outcome::Cancelled) return stop(text::kRebuildCancelled);
    if (!Succeeded(run)) {
      return stop(FillIn(text::kRebuildLoadFailed, {file.database, file.name, WhyFailed(run, setup.programs.client)}));
    }
  }
  StopRebuildServer(system, setup);
  report.done = true;
  report.lines.push_back(FillIn(text::kRebuildDone, {renamed}));
  return report;
}

}  // namespace tellurix
