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
// whether one of them is a level of error or worse ("[error]", "[core:crit]").
std::string_view AfterGroups(std::string_view line, bool* isError) {
  std::string_view rest = TrimBlanks(line);
  while (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) break;
    std::string_view group = rest.substr(1, close - 1);
    if (const size_t colon = group.rfind(':'); colon != std::string_view::npos) group = group.substr(colon + 1);
    for (std::string_view level : {"error", "crit", "alert", "emerg"}) {
      if (isError && group == level) *isError = true;
    }
    rest = TrimBlanks(rest.substr(close + 1));
  }
  return rest;
}

// What a row of the cause table takes from the line that matched.
enum class Capture { Nothing, Port, Between, QuotedName, RestOfLine, Home, DocumentRoot };

struct CauseRow {
  Service server;
  std::vector<std::string_view> said;  // any of these, in one line, in any case
  Capture capture;
  const char* line;             // "{}" is the captured value; nullptr: the taken-port line
  std::string_view until = {};  // for Capture::Between: what follows the value
};

// One row a cause, in the order they are tried: the first row whose words the
// evidence holds names the cause. A consequence of other failures comes after
// them (MySQL's storage engine that is "not available" follows any InnoDB failure).
const std::vector<CauseRow>& CauseTable() {
  static const std::vector<CauseRow> rows = {
      {Service::Apache2,
       {"(OS 10048)", "Only one usage of each socket address", "通常每个套接字地址(协议/网络地址/端口)只允许使用一次"},
       Capture::Port,
       nullptr},
      {Service::Apache2,
       {"(OS 10013)", "forbidden by its access permissions", "以一种访问权限不允许的方式做了一个访问套接字的尝试"},
       Capture::Port,
       text::kCausePortForbidden},
      {Service::Apache2, {"Cannot load "}, Capture::Between, text::kCauseModule, " into server"},
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
       text::kCauseDataLocked},
      {Service::MySQL, {"unknown variable '", "unknown option '"}, Capture::QuotedName, text::kCauseUnknownSetting},
      {Service::MySQL, {"is of different size"}, Capture::Nothing, text::kCauseLogFileSize},
      {Service::MySQL, {"Can't open and lock privilege tables"}, Capture::Home, text::kCauseNoSystemDatabase},
      {Service::MySQL,
       {"Database page corruption", "Malformed log record", "Aria recovery failed",
        "Plugin 'InnoDB' init function returned error", "Unknown/unsupported storage engine: InnoDB",
        "Unknown/unsupported table type: InnoDB", "Default storage engine (InnoDB) is not available",
        "Page read from tablespace is corrupted"},
       Capture::Home,
       text::kCauseDataDamaged},
  };
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

// The value a row takes from a line it matched on `said`; none when the line
// lacks it.
std::optional<std::string> Captured(const CauseRow& row, std::string_view line, size_t saidEnd) {
  const std::string_view after = line.substr(saidEnd);
  switch (row.capture) {
    case Capture::Between: {
      const size_t end = after.find(row.until);
      if (end == std::string_view::npos || end == 0) return std::nullopt;
      return std::string(after.substr(0, end));
    }
    case Capture::RestOfLine: {
      std::string_view rest = TrimBlanks(after);
      while (!rest.empty() && rest.back() == '.') rest.remove_suffix(1);
      if (rest.empty()) return std::nullopt;
      return std::string(rest);
    }
    case Capture::QuotedName: {
      std::string_view name = after.substr(0, after.find('\''));
      name = name.substr(0, name.find('='));
      while (!name.empty() && name.front() == '-') name.remove_prefix(1);
      if (name.empty()) return std::nullopt;
      return std::string(name);
    }
    default: return std::string();
  }
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
    std::optional<std::string> value;
    std::optional<unsigned> named = runningOn;  // the port may be named only by a later line
    for (const TextLine& line : lines) {
      for (std::string_view said : row.said) {
        const size_t at = FindNoCase(line.text, said);
        const std::optional<std::string> captured =
            at == std::string_view::npos ? std::nullopt : Captured(row, line.text, at + said.size());
        if (!captured) continue;
        if (!value) value = captured;
        if (!named && service == Service::Apache2) named = PortNamedIn(line.text);
      }
    }
    if (!value) continue;
    KnownCause cause{row.line == nullptr, row.capture == Capture::Port, named.value_or(context.port), {}};
    if (row.line) {
      std::string filled = *value;
      if (row.capture == Capture::Port) filled = std::to_string(cause.port);
      if (row.capture == Capture::Home) filled = context.programDirectory;
      if (row.capture == Capture::DocumentRoot) filled = context.documentRoot;
      cause.line = MessageLine(FillIn(row.line, {filled}));
    }
    return cause;
  }
  return std::nullopt;
}

std::optional<std::string> ApacheReportedLine(const std::vector<std::string>& eventLines) {
  // These follow from another failure and say nothing of their own.
  static constexpr std::string_view kConsequences[] = {"AH00451", "AH00015", "no listening sockets",
                                                       "Unable to open logs"};
  for (const std::string& line : eventLines) {
    const std::string_view words = TrimBlanks(line);
    if (words.empty()) continue;
    bool consequence = false;
    for (std::string_view said : kConsequences) consequence = consequence || FindNoCase(words, said) != std::string_view::npos;
    if (!consequence) return MessageLine(text::kApacheReported + CutAfterCharacters(words, kLogLineLimit));
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
