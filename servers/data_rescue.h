// Rescuing the databases of a damaged MySQL data folder as SQL files, and
// rebuilding the folder from them. The panel offers three steps, one question at
// a time: a whole copy of the data folder (made elsewhere), the rescue, and the
// rebuild. The rescue starts the stack's own server outside the service manager,
// on the data folder itself (the copy stays untouched), in InnoDB's recovery
// mode 1, then 2, then 3 (never 4 or more: those can damage the data files for
// good), without the grant tables and therefore without any network: it is
// reached only through a pipe whose name only the panel knows. Then every
// database is dumped with the stack's own mysqldump; a database that fails is
// dumped table by table, and a table that fails is kept in part: the rows before
// the damage and, read from the other end of its primary key, the rows after it.
//
// Portable: the command lines, the texts and the whole flow over RescueSystem, an
// interface to the few things the flow asks of the system. Windows' is in
// data_rescue_win32.cpp; the tests run the same flow on a real server through a
// POSIX one.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "servers/data_copy.h"  // LocalTime

#ifdef _WIN32
#include <atomic>
#include <memory>
#endif

namespace tellurix {

// A program and its arguments, the program first; each element one argument.
using CommandLine = std::vector<std::string>;

// ---- What the flow runs ------------------------------------------------------

// How the recovery server is reached, and how the clients reach it: the options
// each side gets, and what RescueSystem::WaitUntilAccepting watches.
struct RescueTransport {
  CommandLine serverOptions;
  CommandLine clientOptions;
  std::string endpoint;  // the pipe's name (without \\.\pipe\), or the socket's path
};
// Windows: a named pipe (`--enable-named-pipe --socket=<name>`; `--console`, so
// that the server's words go to the file the panel gives it, not to its log).
RescueTransport NamedPipeTransport(std::string_view pipeName);
// Where the tests run: a Unix socket at `socketPath`.
RescueTransport UnixSocketTransport(std::string_view socketPath);
// A pipe name nobody can guess: "tellurix-rescue-" and the 32 hex digits of `random`.
std::string RescuePipeName(const std::array<std::uint8_t, 16>& random);

struct RescuePrograms {
  std::string server, dump, client, admin;  // mysqld, mysqldump, mysql, mysqladmin
  // The server's own tool that makes a new data folder, given `--datadir=<folder>`
  // after these; empty when the stack has none (MySQL 5.0 to 5.5, whose system
  // tables are MyISAM files: an empty folder with an empty `mysql` folder will do).
  CommandLine installer;
};
// The stack's own programs in <ProgramDirectory>\MySQL\bin: the service's server
// (OwnServerProgram), mysqldump.exe, mysql.exe and mysqladmin.exe, and
// mysql_install_db.exe when `installerPresent`.
RescuePrograms StackRescuePrograms(std::string_view programDirectory, bool installerPresent);
std::string StackInstallerPath(std::string_view programDirectory);

struct RescueSetup {
  RescuePrograms programs;
  RescueTransport transport;
  std::string myIni;         // the service's own my.ini, the server's --defaults-file
  std::string dataFolder;    // the damaged data folder
  std::string copyFolder;    // the whole copy made before the rescue (named when nothing could be saved)
  std::string rescueParent;  // where the 救出-YYYYMMDD-HHMMSS folder is made
  char separator = '\\';
};
// The stack's: my.ini and the rescue folders in <ProgramDirectory>\MySQL.
RescueSetup StackRescueSetup(std::string_view programDirectory, bool installerPresent, std::string_view dataFolder,
                             std::string_view copyFolder, RescueTransport transport);

inline constexpr int kHighestRecoveryLevel = 3;
inline constexpr std::chrono::seconds kStartLimit{120}, kShutdownLimit{60}, kQueryLimit{60};
inline constexpr std::chrono::seconds kDumpLimit{3600}, kLoadLimit{3600}, kInstallLimit{300};

// The server on the data folder: `--defaults-file=<my.ini>` first, the data
// folder, `--innodb_force_recovery=<level>` (0: none, for the rebuild), no grant
// tables, no network, the transport. Empty for a level above 3.
CommandLine ServerCommand(const RescueSetup& setup, int recoveryLevel);
// The mysql client running one statement, its answer in batch form (tabs, no headings).
CommandLine QueryCommand(const RescueSetup& setup, std::string_view statement);
// mysqldump of a whole database: `--databases <db>` (its CREATE DATABASE keeps the character set).
CommandLine DatabaseDumpCommand(const RescueSetup& setup, std::string_view database);
// mysqldump of one table, one row an INSERT line, for a database that failed.
CommandLine TableDumpCommand(const RescueSetup& setup, std::string_view database, std::string_view table);
// The rows of a table read from the other end of its one-column primary key:
// no CREATE TABLE, `INSERT IGNORE` (so that a row the front part holds too does
// no harm), `--where=1=1 ORDER BY <key> DESC`.
CommandLine BackPartDumpCommand(const RescueSetup& setup, std::string_view database, std::string_view table,
                                std::string_view key);
// The mysql client reading a file from its input, with `database` selected (empty: none).
CommandLine LoadCommand(const RescueSetup& setup, std::string_view database);
CommandLine ShutdownCommand(const RescueSetup& setup);
// The installer making the new data folder (empty when the stack has none).
CommandLine NewDataFolderCommand(const RescueSetup& setup);

// ---- What the flow reads -----------------------------------------------------

// The rows of the mysql client's batch output (--batch --skip-column-names):
// fields split at tabs, its escapes (\t \n \\ \0) undone.
std::vector<std::vector<std::string>> BatchRows(std::string_view output);
// SHOW DATABASES' answer without the server's own views of itself
// (information_schema, performance_schema) and without `sys`, which the server's
// installer makes and which holds no data of the user's; `mysql` (the accounts)
// first, the others in the server's order.
std::vector<std::string> DatabasesToRescue(std::string_view showDatabases);
// An identifier in backquotes, inner backquotes doubled.
std::string QuoteIdentifier(std::string_view name);
// The column of a table's primary key when it has exactly one, from the
// table's CREATE TABLE as mysqldump writes it.
std::optional<std::string> SinglePrimaryKey(std::string_view createTable);

// Reads a dump as it is written, piece by piece: its tables (CREATE TABLE
// statements), the rows of its INSERT statements (one per value tuple, whether
// one statement holds one row or many, on one line or many), and the first
// table's CREATE TABLE statement.
class DumpCounter {
 public:
  void Feed(std::string_view piece);
  void Finish();  // the last line, when the file does not end with a line break
  unsigned tables() const { return tables_; }
  std::uint64_t rows() const { return rows_; }
  const std::string& firstCreateTable() const { return createTable_; }

 private:
  void Head();
  void InsertText(std::string_view text);
  std::string head_, keyword_, createTable_;
  unsigned tables_ = 0;
  std::uint64_t rows_ = 0;
  int depth_ = 0;
  bool headRead_ = false, inInsert_ = false, afterValues_ = false, inString_ = false, escaped_ = false;
  bool inName_ = false, inCreate_ = false, inDelimiterBlock_ = false;
};

// A database's or table's file name in the rescue folder: characters Windows
// does not allow in names replaced by "_", a device name (CON, NUL, COM1...)
// prefixed with "_", and, when the name (without case) is taken, "~2", "~3"...
// before `suffix`. Records the name in `taken`.
std::string RescueFileName(std::string_view name, std::string_view suffix, std::set<std::string>& taken);

// ---- The system under the flow -----------------------------------------------

struct ToolRun {
  enum class Outcome { CannotStart, TimedOut, Cancelled, Exited };
  Outcome outcome = Outcome::Exited;
  int exitCode = 0;
  std::string output;  // its standard output, when not written to a file
  std::string errors;  // its standard error
};
struct ToolRequest {
  CommandLine command;
  std::string inputFile;   // its standard input; empty: none
  std::string outputFile;  // its standard output, replacing the file; empty: kept in ToolRun::output
  std::chrono::seconds limit{kQueryLimit};
  bool cancellable = true;  // false: runs on after a cancel (the shutdown at the end)
};

class RescueSystem {
 public:
  virtual ~RescueSystem() = default;
  // Runs a program to its end; ended when it outlives the limit or the user cancels.
  virtual ToolRun Run(const ToolRequest& request) = 0;
  // Starts the server in the background, its output added to `logFile`; false
  // when it could not be started. One server at a time.
  virtual bool StartServer(const CommandLine& command, const std::string& logFile) = 0;
  enum class Wait { Accepting, Ended, TimedOut, Cancelled };
  // Waits until the server takes connections at the transport's endpoint.
  virtual Wait WaitUntilAccepting(const std::string& endpoint, std::chrono::seconds limit) = 0;
  virtual bool ServerRunning() = 0;
  // Waits for the server to end; true when it has.
  virtual bool WaitForServerEnd(std::chrono::seconds limit) = 0;
  virtual void EndServer() = 0;  // ends it at once, the last resort
  virtual bool MakeFolder(const std::string& path) = 0;  // a new folder; false when it exists or cannot be made
  virtual bool WriteTextFile(const std::string& path, const std::string& content) = 0;  // whole or not at all
  virtual bool Rename(const std::string& from, const std::string& to) = 0;  // a file or folder; never replaces
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // The file's bytes, piece by piece; false when it cannot be read.
  virtual bool ReadFile(const std::string& path, const std::function<void(std::string_view)>& piece) = 0;
  virtual LocalTime Now() = 0;
  virtual bool Cancelled() = 0;
  // What the flow is doing now, for the user to follow.
  virtual void Progress(const std::string& line) = 0;
};

// ---- The flow ----------------------------------------------------------------

enum class RescueStep { Copy, Rescue, Rebuild, Done };

// One file of the rescue folder, in the order the rebuild loads them.
struct RescuedFile {
  enum class Part { Database, CreateDatabase, Table, Front, Back };
  std::string name;      // in the rescue folder
  std::string database;  // loaded with this database selected (tables and parts); empty: the file selects it
  std::string table;     // for a table and its parts
  Part part = Part::Database;
  unsigned tables = 0;
  std::uint64_t rows = 0;
};
struct TableOutcome {
  std::string database, table;
  std::uint64_t rows = 0;  // partly rescued: the rows of its front and back parts
  std::string error;       // what mysqldump said
};
struct RescueReport {
  int level = 0;  // the recovery level that served; 0: none did
  bool cancelled = false;
  bool notesWritten = false;
  std::string folder;  // the rescue folder; empty when it could not be made
  std::vector<RescuedFile> files;
  std::vector<std::string> wholeDatabases;  // dumped whole
  std::vector<TableOutcome> partial, lost;
  std::vector<std::string> lostDatabases;   // not even their tables could be listed
  unsigned databases = 0, tables = 0;       // the databases and tables saved, whole or in part
  std::vector<std::string> lines;           // what the panel says
};

// The rescue, to its end (the server shut down whatever happened).
RescueReport RunRescue(RescueSystem& system, const RescueSetup& setup);
// The rebuild is offered after a rescue that saved the `mysql` database whole
// (accounts and passwords come back with it) and was not cancelled.
bool RebuildOffered(const RescueReport& report);
// The line when it is not, after a rescue that saved something.
std::optional<std::string> RebuildNotOfferedLine(const RescueReport& report);

// The step the panel offers after `done` (succeeded: the copy was made; for the
// rescue, the report decides).
RescueStep NextRescueStep(RescueStep done, bool succeeded, const RescueReport* rescue = nullptr);
// The question of a step; empty for the copy (asked elsewhere) and Done.
std::string RescueStepQuestion(RescueStep step);

struct RebuildReport {
  bool done = false;
  std::string renamedFolder;  // the damaged data folder's new name; empty when not renamed
  std::vector<std::string> lines;
};
// Renames the data folder to <data folder>-损坏-YYYYMMDD-HHMMSS, makes a new one,
// starts the server on it without recovery, loads the `mysql` database first and
// then every other file in order, and shuts it down. Stops at the first step that
// fails; nothing is deleted.
RebuildReport RunRebuild(RescueSystem& system, const RescueSetup& setup, const RescueReport& rescue);

#ifdef _WIN32
// Windows' system under the flow. It runs on a worker thread and never touches
// a window; setting `cancel` (from any thread) ends the program it waits for.
std::unique_ptr<RescueSystem> MakeWin32RescueSystem(const std::atomic<bool>& cancel,
                                                    std::function<void(const std::string&)> progress);
// A new pipe name from the system's random numbers; empty when the system
// gives none, and then the rescue must not start: a name one could guess would
// let anyone on this machine into a server that checks no passwords.
std::string NewRescuePipeName();
#endif

}  // namespace tellurix
