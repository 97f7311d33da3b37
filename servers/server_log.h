// What a server wrote about a start that failed: where its error log is, which
// part of it is new, the line that names the cause, and the causes the panel
// can say in plain words. Portable: the runner reads the files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "servers/service_commands.h"

namespace tellurix {

// Apache's error log (UTF-8 path): the first ErrorLog of httpd.conf outside a
// virtual host, quotes removed, relative to the Apache2 folder; logs\error.log
// when there is none. None when the log goes to a program or to syslog.
std::optional<std::string> ApacheErrorLog(std::string_view programDirectory, std::string_view httpdConf);

// MySQL's data folder, where its error log is by default: my.ini's `datadir` of
// [mysqld] (relative to the MySQL folder), else <ProgramDirectory>\MySQL\data.
std::string MySQLDataFolder(std::string_view programDirectory, std::string_view datadir = {});
// The line for a data folder that does not exist (the server then writes no log).
std::string NoDataFolderLine(std::string_view dataFolder);
// MySQL's error log when my.ini names none: in the data folder, named after the
// host name the server gets from gethostname (the DNS host name as written)
// up to its first ".", with ".err"; "mysql.err" when there is no host name.
std::string MySQLDefaultErrorLog(std::string_view dataFolder, std::string_view hostName);
// MySQL's error log as my.ini names it (`log-error` of [mysqld], relative to the
// data folder); none when my.ini leaves it to the server.
std::optional<std::string> MySQLConfiguredErrorLog(std::string_view dataFolder, std::string_view logError);

// The part of a log written since the command began: the bytes after the size it
// had then (all of them when the file is new or shrank), at most the last 64 KB.
inline constexpr std::uint64_t kLogTailLimit = 64 * 1024;
struct LogSpan {
  std::uint64_t offset = 0, length = 0;
  bool cut = false;  // the span starts inside what the server wrote
};
LogSpan NewLogSpan(std::optional<std::uint64_t> sizeBefore, std::uint64_t sizeNow);

// The span's bytes as text: UTF-8 when they are valid UTF-8, else from the ANSI
// code page (Windows writes its own error texts in it). A cut span starts at its
// first whole line.
std::string LogText(std::string_view bytes, bool cut);

// The line for the first error in the log's new text: the server's own words
// without the bracketed groups in front (time, level, process), cut after 160
// characters. Apache: a line at level error, crit, alert or emerg, plain or as
// "[module:level]"; MySQL: a line with "[ERROR]". None when there is no error.
std::optional<std::string> ErrorLogLine(Service service, std::string_view logText);

// A cause the panel knows, found in what the server and `net` said.
struct KnownCause {
  bool portTaken = false;    // the taken-port line says it, with the owner where known
  bool portBlocked = false;  // the server could not use its port (taken or forbidden)
  unsigned port = 0;         // the port it concerns, when it concerns one
  std::string line;          // otherwise the line that says it
  bool dataLocked = false;   // MySQL's data files are held by another program: no port to move
  bool damagedData = false;  // MySQL's data (or a table of its system database) is damaged
};
// What a cause's line may need beside the evidence.
struct CauseContext {
  CauseContext() = default;
  CauseContext(unsigned port, std::string programDirectory, std::string documentRoot = {}, std::string dataFolder = {})
      : port(port),
        programDirectory(std::move(programDirectory)),
        documentRoot(std::move(documentRoot)),
        dataFolder(std::move(dataFolder)) {}
  unsigned port = 0;             // the port the server uses, for a message that names none
  std::string programDirectory;  // the stack's folder
  std::string documentRoot;      // the profile's, for Apache 2.2's message that names none
  std::string dataFolder;        // MySQL's (MySQLDataFolderOf); empty: the default under the stack's folder
};
// The first cause of the table that the evidence shows (the words compared
// without case: the servers echo the user's own spelling of a name). The
// evidence may be `httpd.exe -t`'s whole report: a directive Apache does not know
// is named with the file and line of the "Syntax error" line before it.
std::optional<KnownCause> RecognizeCause(Service service, std::string_view evidence, const CauseContext& context);

// The line for what Apache said through the event log before its logs were
// open: the first line that is an error, not only a consequence ("no listening
// sockets", "Unable to open logs") nor a warning Apache prints at a start that
// goes on (no ServerName: AH00558), as "Apache报告：…" cut after 160 characters.
std::optional<std::string> ApacheReportedLine(const std::vector<std::string>& eventLines);

// After a start that succeeded: the line for damaged data in the new part of
// MySQL's error log (a damaged page, a table marked as crashed or with a corrupt
// index), naming the table as "database.table" where the log names it; none
// when the log tells of no damage.
std::optional<std::string> DamageAfterStartLine(std::string_view newLogText);

#ifdef _WIN32
// Where the server writes its errors now (UTF-8 path); empty when nowhere the
// panel can read.
std::string ErrorLogOf(Service service);
// MySQL's data folder as the stack's my.ini sets it.
std::string MySQLDataFolderOf(const std::string& programDirectory);
// The log's size; none when there is no such file.
std::optional<std::uint64_t> LogSize(const std::string& path);
// What the log gained since it had `size`, as text.
std::string NewLogText(const std::string& path, std::optional<std::uint64_t> size);
#endif

}  // namespace tellurix
