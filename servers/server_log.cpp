#include "servers/server_log.h"

#include <algorithm>
#include <vector>

#include "servers/service_diagnosis.h"
#include "core/codepage.h"
#include "core/text_lines.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

constexpr size_t kLogLineLimit = 160;

// A path from a configuration file, with the server's forward slashes, made
// absolute against `folder`.
std::string PathUnder(std::string_view folder, std::string_view path) {
  std::string native(path);
  for (char& c : native) c = c == '/' ? '\\' : c;
  const bool absolute = (native.size() >= 2 && native[1] == ':') || StartsWithNoCase(native, "\\\\");
  return absolute ? native : std::string(folder) + "\\" + native;
}

// The text after the bracketed groups a line starts with; `isError` tells
// whether one of them is a level of error or worse ("[error]", "[core:crit]"),
// `hasLevel` whether one is a level at all ("[warn]", "[ssl:notice]").
std::string_view AfterGroups(std::string_view line, bool* isError, bool* hasLevel = nullptr) {
  std::string_view rest = TrimBlanks(line);
  while (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) break;
    std::string_view group = rest.substr(1, close - 1);
    if (const size_t colon = group.rfind(':'); colon != std::string_view::npos) group = group.substr(colon + 1);
    for (std::string_view level : {"error", "crit", "alert", "emerg"}) {
      if (isError && group == level) *isError = true;
    }
    for (std::string_view level : {"error", "crit", "alert", "emerg", "warn", "notice", "info", "debug"}) {
      if (hasLevel && group == level) *hasLevel = true;
    }
    rest = TrimBlanks(rest.substr(close + 1));
  }
  return rest;
}

// What a row of the cause table takes from the line that matched (and, for a
// few, from the lines around it).
enum class Capture {
  Nothing,
  Port,
  Between,
  QuotedName,
  RestOfLine,
  DataFolder,
  DocumentRoot,
  UnknownDirective,  // the directive, and the file and line of the "Syntax error" before it
  DataFileSize,      // the data file and its size in pages, when that is not 0
  EmptiedDataFile,   // a data file of 0 pages: the data folder
  CrashedTable,      // the table the line names as crashed or corrupt
};
// What a cause means beside its line.
enum class Marks { Nothing, DataLocked, DamagedData };

struct CauseRow {
  Service server;
  std::vector<std::string_view> said;  // any of these, in one line, in any case
  Capture capture;
  const char* line;             // "{}" are the captured values; nullptr: the taken-port line
  std::string_view until = {};  // for Capture::Between: what follows the value
  std::vector<std::string_view> alsoSaid = {};  // when not empty, one of these must be in the line too
  Marks marks = Marks::Nothing;
};

// The words of damaged data itself, in the server's log whether it then started or not.
const std::vector<std::string_view>& DamageWords() {
  static const std::vector<std::string_view> words = {"Database page corruption", "Page read from tablespace is corrupted",
                                                      "Malformed log record", "Aria recovery failed"};
  return words;
}

bool SaysAny(std::string_view line, const std::vector<std::string_view>& words) {
  for (std::string_view word : words) {
    if (FindNoCase(line, word) != std::string_view::npos) return true;
  }
  return false;
}

// A table the server found damaged: MyISAM's and Aria's "is marked as crashed"
// (5.0 to 10.x), and "Index for table '…' is corrupt" (MariaDB's words for a
// broken index file).
bool SaysTableDamaged(std::string_view line) {
  return FindNoCase(line, "is marked as crashed") != std::string_view::npos ||
         (FindNoCase(line, "Index for table") != std::string_view::npos &&
          FindNoCase(line, "is corrupt") != std::string_view::npos);
}

// The table a line names as damaged: "Table './shop/orders' is marked as
// crashed", "Index for table 'orders' is corrupt", "from file './shop/orders.ibd'",
// "tablespace shop/orders page", "(index "PRIMARY" of table "shop"."orders")";
// "shop.orders", or "orders" when only the table is named. None for the
// system's own files (ibdata1, the undo logs) and the server's temporary tables.
std::optional<std::string> TableNamedIn(std::string_view line) {
  const auto fromPath = [](std::string_view path) -> std::optional<std::string> {
    std::string name(path);
    for (char& c : name) c = c == '\\' ? '/' : c;
    if (const size_t dot = name.rfind(".ibd"); dot != std::string::npos && dot + 4 == name.size()) name.resize(dot);
    std::vector<std::string> parts;
    for (size_t from = 0; from <= name.size();) {
      const size_t slash = std::min(name.find('/', from), name.size());
      if (slash > from && name.compare(from, slash - from, ".") != 0) parts.push_back(name.substr(from, slash - from));
      from = slash + 1;
    }
    if (parts.empty() || parts.back().find("#sql") != std::string::npos) return std::nullopt;
    if (parts.size() == 1) {
      if (name.find('/') != std::string::npos) return std::nullopt;  // a file of the data folder itself
      return parts.back();
    }
    return parts[parts.size() - 2] + "." + parts.back();
  };
  // A quoted name after one of these words.
  for (std::string_view before : {"Table '", "table '", "file '", "Table `", "table `"}) {
    const size_t at = line.find(before);
    if (at == std::string_view::npos) continue;
    const char quote = before.back();
    std::string_view rest = line.substr(at + before.size());
    const size_t close = rest.find(quote);
    if (close == std::string_view::npos) continue;
    std::string_view name = rest.substr(0, close);
    // `shop`.`orders`
    if (quote == '`' && rest.substr(close).rfind("`.`", 0) == 0) {
      const std::string_view table = rest.substr(close + 3, rest.find('`', close + 3) - close - 3);
      return std::string(name) + "." + std::string(table);
    }
    if (auto table = fromPath(name)) return table;
  }
  for (std::string_view before : {"of table \"", "of table `"}) {
    const size_t at = line.find(before);
    if (at == std::string_view::npos) continue;
    const char quote = before.back();
    std::string_view rest = line.substr(at + before.size());
    std::string name(rest.substr(0, rest.find(quote)));
    const std::string between = std::string(1, quote) + "." + std::string(1, quote);
    if (rest.substr(name.size()).rfind(between, 0) == 0) {
      rest.remove_prefix(name.size() + 3);
      name += "." + std::string(rest.substr(0, rest.find(quote)));
    }
    return name;
  }
  if (const size_t at = line.find("tablespace "); at != std::string_view::npos) {
    std::string_view rest = line.substr(at + 11);
    rest = rest.substr(0, rest.find(' '));
    if (rest.find('/') != std::string_view::npos) return fromPath(rest);
  }
  return std::nullopt;
}

// One row a cause, in the order they are tried: the first row whose words the
// evidence holds names the cause. A consequence of other failures comes after
// them (MySQL's storage engine that is "not available" follows any InnoDB failure).
const std::vector<CauseRow>& CauseTable() {
  static const std::vector<CauseRow> rows = [] {
    std::vector<std::string_view> damaged = DamageWords();
    for (std::string_view consequence :
         {"Plugin 'InnoDB' init function returned error", "Unknown/unsupported storage engine: InnoDB",
          "Unknown/unsupported table type: InnoDB", "Default storage engine (InnoDB) is not available"}) {
      damaged.push_back(consequence);
    }
    return std::vector<CauseRow>{
        {Service::Apache2,
         {"(OS 10048)", "Only one usage of each socket address", "通常每个套接字地址(协议/网络地址/端口)只允许使用一次"},
         Capture::Port,
         nullptr},
        {Service::Apache2,
         {"(OS 10013)", "forbidden by its access permissions", "以一种访问权限不允许的方式做了一个访问套接字的尝试"},
         Capture::Port,
         text::kCausePortForbidden},
        // Windows' error 193, as its English and Chinese message texts word it.
        {Service::Apache2,
         {"Cannot load "},
         Capture::Between,
         text::kCauseModuleBitness,
         " into server",
         {"is not a valid Win32 application", "不是有效的 Win32 应用程序"}},
        {Service::Apache2, {"Cannot load "}, Capture::Between, text::kCauseModule, " into server"},
        {Service::Apache2, {"Invalid command '"}, Capture::UnknownDirective, text::kCauseUnknownDirective},
        // 2.4.21 and later name the folder; 2.2 does not, and it is the one the profile holds.
        {Service::Apache2, {"DocumentRoot '"}, Capture::Between, text::kCauseNoDocumentRoot, "' is not a directory"},
        {Service::Apache2, {"DocumentRoot must be a directory"}, Capture::DocumentRoot, text::kCauseNoDocumentRoot},
        {Service::Apache2,
         {"SSLCertificateFile: file '"},
         Capture::Between,
         text::kCauseNoCertificate,
         "' does not exist or is empty"},
        {Service::Apache2, {"could not open error log file "}, Capture::RestOfLine, text::kCauseErrorLogUnopenable},
        {Service::MySQL,
         {"Bind on TCP/IP port. Got error: 10013", "Bind on TCP/IP port. Got error: 13:"},
         Capture::Port,
         text::kCausePortForbidden},
        {Service::MySQL,
         {"Can't start server: Bind on TCP/IP port", "Do you already have another mysqld server running on port",
          "Do you already have another server running on port"},
         Capture::Port,
         nullptr},
        {Service::MySQL,
         {"Operating system error number 32", "another program is using InnoDB's files", "Unable to lock",
          "Can't lock aria control file"},
         Capture::Nothing,
         text::kCauseDataLocked,
         {},
         {},
         Marks::DataLocked},
        {Service::MySQL, {"unknown variable '", "unknown option '"}, Capture::QuotedName, text::kCauseUnknownSetting},
        {Service::MySQL, {"is of different size"}, Capture::Nothing, text::kCauseLogFileSize},
        {Service::MySQL, {"data file "}, Capture::DataFileSize, text::kCauseDataFileSize},
        {Service::MySQL,
         {"cannot allocate the memory for the buffer pool", "cannot allocate memory for the buffer pool"},
         Capture::Nothing,
         text::kCauseBufferPool},
        {Service::MySQL,
         {"Can't open and lock privilege tables"},
         Capture::CrashedTable,
         text::kCauseSystemTableDamaged,
         {},
         {},
         Marks::DamagedData},
        {Service::MySQL, {"Can't open and lock privilege tables"}, Capture::DataFolder, text::kCauseNoSystemDatabase},
        {Service::MySQL, {"data file "}, Capture::EmptiedDataFile, text::kCauseDataDamaged, {}, {}, Marks::DamagedData},
        {Service::MySQL, damaged, Capture::DataFolder, text::kCauseDataDamaged, {}, {}, Marks::DamagedData},
    };
  }();
  return rows;
}

// The port a message names: "address 0.0.0.0:80", "[::]:443", "port: 3306".
std::optional<unsigned> PortNamedIn(std::string_view line) {
  const auto number = [](std::string_view digits) -> std::optional<unsigned> {
    digits = digits.substr(0, digits.find_first_not_of("0123456789"));
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    const unsigned value = static_cast<unsigned>(std::stoul(std::string(digits)));
    if (value == 0 || value > 65535) return std::nullopt;
    return value;
  };
  if (const size_t address = line.rfind("address "); address != std::string_view::npos) {
    std::string_view where = line.substr(address + 8);
    where = where.substr(0, where.find_first_of(" \t,"));
    if (const size_t colon = where.rfind(':'); colon != std::string_view::npos) {
      if (auto port = number(where.substr(colon + 1))) return port;
    }
  }
  if (const size_t port = line.rfind("port"); port != std::string_view::npos) {
    std::string_view digits = line.substr(port + 4);
    digits.remove_prefix(std::min(digits.size(), digits.find_first_not_of(": ")));
    return number(digits);
  }
  return std::nullopt;
}

// Where and what Apache's "Syntax error on line N of FILE:" says, from the last
// such words in `text`: the file name without its folder, and N.
std::optional<std::pair<std::string, std::string>> SyntaxErrorPlace(std::string_view text) {
  constexpr std::string_view kSyntax = "Syntax error on line ";
  size_t at = std::string_view::npos;
  for (size_t next = FindNoCase(text, kSyntax); next != std::string_view::npos;) {
    at = next;
    const size_t more = FindNoCase(text.substr(next + 1), kSyntax);
    next = more == std::string_view::npos ? more : next + 1 + more;
  }
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = text.substr(at + kSyntax.size());
  const std::string_view number = rest.substr(0, rest.find_first_not_of("0123456789"));
  rest.remove_prefix(number.size());
  if (number.empty() || rest.substr(0, 4) != " of ") return std::nullopt;
  std::string_view file = TrimBlanks(rest.substr(4));
  if (!file.empty() && file.back() == ':') file.remove_suffix(1);
  file = file.substr(file.find_last_of("/\\") + 1);
  if (file.empty()) return std::nullopt;
  return std::make_pair(std::string(file), std::string(number));
}

// A data file InnoDB says is of another size than my.ini's, and its size in
// pages: "data file .\ibdata1 is of a different size" with the size on the next
// line (5.0 to 5.5: "InnoDB: 640 pages (rounded down to MB)"), or "data file
// './ibdata1' is of a different size 640 pages" (newer servers).
std::optional<std::pair<std::string, unsigned long>> DataFileSizeSaid(const std::vector<TextLine>& lines, size_t index,
                                                                      size_t afterSaid) {
  constexpr std::string_view kDifferent = " is of a different size";
  const std::string_view after = lines[index].text.substr(afterSaid);
  const size_t end = FindNoCase(after, kDifferent);
  if (end == std::string_view::npos || end == 0) return std::nullopt;
  const std::string file(Unquoted(after.substr(0, end)));
  std::string_view size = TrimBlanks(after.substr(end + kDifferent.size()));
  if (size.empty() && index + 1 < lines.size()) {
    size = TrimBlanks(lines[index + 1].text);
    if (StartsWithNoCase(size, "InnoDB:")) size = TrimBlanks(size.substr(7));
  }
  const std::string_view digits = size.substr(0, size.find_first_not_of("0123456789"));
  if (digits.empty() || digits.size() > 12 || size.substr(digits.size(), 6) != " pages") return std::nullopt;
  return std::make_pair(file, std::stoul(std::string(digits)));
}

// The values a row fills in its line from the line it matched on `said`; none
// when the line (or the lines around it) lack them.
std::optional<std::vector<std::string>> Captured(const CauseRow& row, const std::vector<TextLine>& lines, size_t index,
                                                 size_t saidEnd, const CauseContext& context) {
  const std::string_view line = lines[index].text;
  const std::string_view after = line.substr(saidEnd);
  switch (row.capture) {
    case Capture::Between: {
      const size_t end = after.find(row.until);
      if (end == std::string_view::npos || end == 0) return std::nullopt;
      return std::vector<std::string>{std::string(after.substr(0, end))};
    }
    case Capture::RestOfLine: {
      std::string_view rest = TrimBlanks(after);
      while (!rest.empty() && rest.back() == '.') rest.remove_suffix(1);
      if (rest.empty()) return std::nullopt;
      return std::vector<std::string>{std::string(rest)};
    }
    case Capture::QuotedName: {
      std::string_view name = after.substr(0, after.find('\''));
      name = name.substr(0, name.find('='));
      while (!name.empty() && name.front() == '-') name.remove_prefix(1);
      if (name.empty()) return std::nullopt;
      return std::vector<std::string>{std::string(name)};
    }
    case Capture::UnknownDirective: {
      const size_t close = after.find('\'');
      if (close == std::string_view::npos || close == 0) return std::nullopt;
      // Apache says where on the line before (or earlier in the same line).
      std::optional<std::pair<std::string, std::string>> place = SyntaxErrorPlace(line.substr(0, saidEnd));
      for (size_t i = index; !place && i-- > 0;) {
        if (!TrimBlanks(lines[i].text).empty()) {
          place = SyntaxErrorPlace(lines[i].text);
          break;
        }
      }
      if (!place) return std::nullopt;
      return std::vector<std::string>{place->first, place->second, std::string(after.substr(0, close))};
    }
    case Capture::DataFileSize:
    case Capture::EmptiedDataFile: {
      const auto said = DataFileSizeSaid(lines, index, saidEnd);
      if (!said || (said->second == 0) != (row.capture == Capture::EmptiedDataFile)) return std::nullopt;
      if (row.capture == Capture::EmptiedDataFile) break;
      return std::vector<std::string>{said->first};
    }
    case Capture::CrashedTable: {
      const std::optional<std::string> table = SaysTableDamaged(after) ? TableNamedIn(after) : std::nullopt;
      if (!table) return std::nullopt;
      return std::vector<std::string>{table->substr(table->find('.') + 1)};  // the system database's own
    }
    default: break;
  }
  if (row.capture == Capture::DocumentRoot) return std::vector<std::string>{context.documentRoot};
  if (row.capture == Capture::DataFolder || row.capture == Capture::EmptiedDataFile) {
    return std::vector<std::string>{context.dataFolder.empty() ? MySQLDataFolder(context.programDirectory)
                                                               : context.dataFolder};
  }
  return std::vector<std::string>{};
}

}  // namespace

std::optional<std::string> ApacheErrorLog(std::string_view programDirectory, std::string_view httpdConf) {
  const std::string apache = std::string(programDirectory) + "\\Apache2";
  int virtualHosts = 0;
  for (const TextLine& line : SplitLines(httpdConf)) {
    const std::string_view words = TrimBlanks(line.text);
    if (StartsWithNoCase(words, "<VirtualHost")) ++virtualHosts;
    if (StartsWithNoCase(words, "</VirtualHost")) --virtualHosts;
    if (virtualHosts > 0 || !StartsWithNoCase(words, "ErrorLog") || words.size() == 8 ||
        (words[8] != ' ' && words[8] != '\t')) {
      continue;
    }
    const std::string_view target = Unquoted(TrimBlanks(words.substr(8)));
    if (target.empty()) continue;
    if (target.front() == '|' || StartsWithNoCase(target, "syslog")) return std::nullopt;
    return PathUnder(apache, target);
  }
  return apache + "\\logs\\error.log";
}

std::string MySQLDefaultErrorLog(std::string_view dataFolder, std::string_view hostName) {
  const std::string_view name = hostName.substr(0, hostName.find('.'));
  return std::string(dataFolder) + "\\" + (name.empty() ? std::string("mysql") : std::string(name)) + ".err";
}

std::optional<std::string> MySQLConfiguredErrorLog(std::string_view dataFolder, std::string_view logError) {
  const std::string_view name = Unquoted(TrimBlanks(logError));
  if (name.empty()) return std::nullopt;
  std::string path = PathUnder(dataFolder, name);
  // The server adds ".err" to a name without an extension.
  if (path.find('.', path.rfind('\\') + 1) == std::string::npos) path += ".err";
  return path;
}

LogSpan NewLogSpan(std::optional<std::uint64_t> sizeBefore, std::uint64_t sizeNow) {
  LogSpan span;
  if (sizeBefore && *sizeBefore <= sizeNow) span.offset = *sizeBefore;
  span.length = sizeNow - span.offset;
  if (span.length > kLogTailLimit) {
    span.offset = sizeNow - kLogTailLimit;
    span.length = kLogTailLimit;
    span.cut = true;
  }
  return span;
}

std::string LogText(std::string_view bytes, bool cut) {
  if (cut) {
    if (const size_t firstBreak = bytes.find('\n'); firstBreak != std::string_view::npos) {
      bytes.remove_prefix(firstBreak + 1);
    }
  }
  if (IsUtf8(bytes)) return std::string(bytes);
  if (auto text = FromAnsi(bytes)) return *text;
  // Line by line, so that one broken line does not hide the others.
  std::string text;
  for (const TextLine& line : SplitLines(bytes)) {
    if (auto decoded = FromAnsi(line.text)) {
      text += *decoded;
    } else {
      for (unsigned char byte : line.text)
        text += byte < 0x80 ? std::string(1, static_cast<char>(byte)) : "\xEF\xBF\xBD";
    }
    text += line.brk;
  }
  return text;
}

std::optional<std::string> ErrorLogLine(Service service, std::string_view logText) {
  for (const TextLine& line : SplitLines(logText)) {
    bool isError = false;
    std::string_view words;
    if (service == Service::Apache2) {
      words = AfterGroups(line.text, &isError);
    } else if (const size_t level = line.text.find("[ERROR]"); level != std::string_view::npos) {
      isError = true;
      words = AfterGroups(line.text.substr(level + 7), nullptr);
    }
    if (isError && !words.empty()) {
      return MessageLine(std::string(ServerName(service)) + text::kErrorLog + CutAfterCharacters(words, kLogLineLimit));
    }
  }
  return std::nullopt;
}

std::optional<KnownCause> RecognizeCause(Service service, std::string_view evidence, const CauseContext& context) {
  const std::vector<TextLine> lines = SplitLines(evidence);
  // MySQL names its port in a line of its own, whichever row matched.
  std::optional<unsigned> runningOn;
  if (service == Service::MySQL) {
    for (const TextLine& line : lines) {
      if (!runningOn && FindNoCase(line.text, "running on port") != std::string_view::npos) {
        runningOn = PortNamedIn(line.text);
      }
    }
  }
  for (const CauseRow& row : CauseTable()) {
    if (row.server != service) continue;
    std::optional<std::vector<std::string>> values;
    std::optional<unsigned> named = runningOn;  // the port may be named only by a later line
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string_view line = lines[i].text;
      if (!row.alsoSaid.empty() && !SaysAny(line, row.alsoSaid)) continue;
      for (std::string_view said : row.said) {
        const size_t at = FindNoCase(line, said);
        const std::optional<std::vector<std::string>> captured =
            at == std::string_view::npos ? std::nullopt : Captured(row, lines, i, at + said.size(), context);
        if (!captured) continue;
        if (!values) values = captured;
        if (!named && service == Service::Apache2) named = PortNamedIn(line);
      }
    }
    if (!values) continue;
    KnownCause cause;
    cause.portTaken = row.line == nullptr;
    cause.portBlocked = row.capture == Capture::Port;
    cause.port = named.value_or(context.port);
    cause.dataLocked = row.marks == Marks::DataLocked;
    cause.damagedData = row.marks == Marks::DamagedData;
    if (row.line) {
      if (row.capture == Capture::Port) values = std::vector<std::string>{std::to_string(cause.port)};
      values->resize(3);
      cause.line = MessageLine(FillIn(row.line, {(*values)[0], (*values)[1], (*values)[2]}));
    }
    return cause;
  }
  return std::nullopt;
}

std::optional<std::string> DamageAfterStartLine(std::string_view newLogText) {
  bool damaged = false;
  std::optional<std::string> table, indexTable;
  for (const TextLine& line : SplitLines(newLogText)) {
    if (SaysTableDamaged(line.text)) {
      const std::optional<std::string> named = TableNamedIn(line.text);
      if (!named) continue;  // the server's temporary tables (a full disk), not the data
      damaged = true;
      if (!table) table = named;
    } else if (SaysAny(line.text, DamageWords())) {
      damaged = true;
      if (!table) table = TableNamedIn(line.text);
    } else if (FindNoCase(line.text, "(index ") != std::string_view::npos && !indexTable) {
      // The page dump before InnoDB's "Database page corruption" names the
      // index and its table, "shop"."orders"; a name without a database is InnoDB's own.
      if (auto named = TableNamedIn(line.text); named && named->find('.') != std::string::npos) indexTable = named;
    }
  }
  if (!damaged) return std::nullopt;
  if (!table) table = indexTable;
  return MessageLine(table ? FillIn(text::kDamageAfterStartTable, {*table}) : std::string(text::kDamageAfterStart));
}

std::optional<std::string> ApacheReportedLine(const std::vector<std::string>& eventLines) {
  // These follow from another failure and say nothing of their own.
  static const std::vector<std::string_view> kConsequences = {"AH00451", "AH00015", "no listening sockets",
                                                              "Unable to open logs"};
  // Warnings Apache prints at a start that goes on: 2.4 with its code, 2.2 in
  // the same words without one.
  static const std::vector<std::string_view> kWarnings = {
      "AH00558", "Could not reliably determine the server's fully qualified domain name",  // no ServerName
      "AH00548", "NameVirtualHost has no effect",                                          // 2.2's directive in 2.4
      "has no VirtualHosts",                                                               // 2.2's NameVirtualHost
      "AH00112", "Warning: DocumentRoot ["};  // a virtual host's missing folder
  for (const std::string& line : eventLines) {
    const std::string_view words = TrimBlanks(line);
    if (words.empty() || SaysAny(words, kConsequences) || SaysAny(words, kWarnings)) continue;
    // A line Apache wrote with its level: below an error it is no cause.
    bool isError = false, hasLevel = false;
    AfterGroups(words, &isError, &hasLevel);
    if (hasLevel && !isError) continue;
    return MessageLine(text::kApacheReported + CutAfterCharacters(words, kLogLineLimit));
  }
  return std::nullopt;
}

std::string MySQLDataFolder(std::string_view programDirectory, std::string_view datadir) {
  const std::string_view named = Unquoted(TrimBlanks(datadir));
  if (named.empty()) return std::string(programDirectory) + "\\MySQL\\data";
  std::string path = PathUnder(std::string(programDirectory) + "\\MySQL", named);
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string NoDataFolderLine(std::string_view dataFolder) {
  return MessageLine(FillIn(text::kCauseNoDataFolder, {dataFolder}));
}

}  // namespace tellurix
