// Stand-in for the programs the control panel runs, so that the demo and the
// tests need none of the real ones. What it does depends on its own file name:
//   httpd.exe, mysqld-nt.exe   a service that only behaves like one and serves nothing
//                              ("--stop-delay-ms N" makes stopping slow; a file
//                              "fail-start" beside it makes it end before it runs,
//                              saying the file's bytes where the server says what
//                              happens before its logs are open: httpd.exe on its
//                              error output (which Windows turns into event records
//                              for a service, and Wine drops), mysqld-nt.exe in its
//                              error log ..\data\<host name up to its first ".">.err;
//                              a file "fail-after-start" makes it report running,
//                              then after 1.5 s append the file's bytes to its error
//                              log (httpd.exe: ..\logs\error.log) and stop, as a
//                              server whose child process dies; a file "say-at-start"
//                              has its bytes appended to the error log as it starts,
//                              and it runs on, as a server that reads a damaged page
//                              while it starts);
//                              also the servers' own tools: "httpd.exe -t" (recorded
//                              as the recorder below records) checks
//                              ..\conf\httpd.conf for directives it does not know, as
//                              Apache reports them, or, with a file
//                              "config-test-says" beside it, prints that file's bytes
//                              word for word on its error output (where Apache prints
//                              -t's report) and exits with 1, so that any report can
//                              be told in any Apache's words (a file "config-test-ms"
//                              holding a number makes -t take that long first, as a
//                              check that loads PHP's module does); "-v" and "--version" print a
//                              version; a file "exit-with" beside it holding a number
//                              makes these three exit with it at once, as a program
//                              that cannot be loaded does; "httpd.exe -k install -n
//                              NAME" and "mysqld-nt.exe --install NAME ..." register it
//                              as the service NAME, "httpd.exe -k uninstall -n NAME"
//                              and "mysqld-nt.exe --remove NAME" remove the service
//   mysqld-nt.exe --enable-named-pipe --socket=NAME --datadir=FOLDER [--innodb_force_recovery=N] ...
//                              the server the rescue of a damaged data folder starts outside
//                              the service manager: FOLDER's sub-folders are its databases,
//                              the *.frm and *.ibd files in them their tables, the lines of a
//                              table's file (its .ibd, else its .frm) its rows. A file
//                              "recovery-needs" in FOLDER holding N makes a level below N end
//                              at once, a damaged page told on its console (standard error); a
//                              file "start-ms" there makes it take that long to start. Then it
//                              serves \\.\pipe\NAME to the clients below until mysqladmin's
//                              "shutdown". A table's file whose first line is "DAMAGED" has a
//                              damaged page at its line "--": a dump writes the rows before
//                              it, a dump with "--where=... DESC" the rows after it (last
//                              first), and both end with mysqldump's error and exit code 3;
//                              one whose first line is "CRASH" makes the server end when a
//                              dump opens the table. A file mysql.exe loads is appended to
//                              FOLDER\loaded.sql after a line "-- <database>" ("(none)").
//                              Its command line is recorded as the recorder below records
//   mysql.exe, mysqldump.exe,  with "--protocol=pipe --socket=NAME": recorded as below, then
//   mysqladmin.exe             the request (the arguments; mysql.exe without --execute adds its
//                              standard input) goes to that server, and what it answers is
//                              printed and exited with as the real client does; a server lost
//                              mid-answer is "Lost connection to MySQL server during query
//                              (2013)", exit code 2 (mysqldump) or 1
//   any other name             a recorder (notepad.exe, explorer.exe, cmd.exe, mysql.exe,
//                              mysqladmin.exe without a pipe ...): appends "<show state>|<command line>"
//                              as a UTF-8 line to the file named by TELLURIX_RECORD, then
//                              follows the optional script beside it (NAME.txt for NAME.exe):
//                              line 1 "<exit code> <delay ms>", line 2 goes to standard
//                              output, line 3 to standard error
// Under any name, "--plain SECONDS" just runs that long (a process to be seen, not a service).
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

namespace {

DWORD g_stopDelayMs = 0;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
HANDLE g_stopEvent = nullptr;
// A second STOP may arrive while stopping; only the first may touch the event,
// because the service main closes it once it has been signalled.
std::atomic<bool> g_stopRequested{false};

void Report(DWORD state, DWORD waitHint = 0) {
  g_status.dwCurrentState = state;
  g_status.dwWaitHint = waitHint;
  g_status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : g_status.dwCheckPoint + 1;
  SetServiceStatus(g_statusHandle, &g_status);
}

// The handler runs on the dispatcher thread and must return promptly (the
// service manager times control requests out), so the slow part of stopping
// is done by the service main.
DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID) {
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) return ERROR_CALL_NOT_IMPLEMENTED;
  if (!g_stopRequested.exchange(true)) {
    Report(SERVICE_STOP_PENDING, 2000);
    SetEvent(g_stopEvent);
  }
  return NO_ERROR;
}

std::wstring g_failAfterStart;  // the file whose bytes go to the log, when the server is to die
std::wstring g_errorLog;
void Append(const std::wstring& path, const std::string& bytes);
std::string ReadAll(const std::wstring& path);

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  // The name is ignored for an own-process service.
  g_statusHandle = RegisterServiceCtrlHandlerExW(L"", Handler, nullptr);
  if (!g_statusHandle) return;
  g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!g_stopEvent) {
    g_status.dwWin32ExitCode = GetLastError();
    Report(SERVICE_STOPPED);
    return;
  }
  g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  Report(SERVICE_RUNNING);
  if (!g_failAfterStart.empty()) {
    Sleep(1500);
    Append(g_errorLog, ReadAll(g_failAfterStart));
    g_status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    g_status.dwServiceSpecificExitCode = 1;
    CloseHandle(g_stopEvent);
    Report(SERVICE_STOPPED);
    return;
  }
  WaitForSingleObject(g_stopEvent, INFINITE);
  // The checkpoint keeps moving so that callers polling the status do not give up.
  for (DWORD left = g_stopDelayMs; left > 0;) {
    const DWORD slice = left < 1000 ? left : 1000;
    Sleep(slice);
    left -= slice;
    Report(SERVICE_STOP_PENDING, 2000);
  }
  CloseHandle(g_stopEvent);
  Report(SERVICE_STOPPED);
}

std::string ReadAll(const std::wstring& path);

// The server's error log, as the real server would name it.
std::wstring ErrorLog(const std::wstring& folder, bool httpd) {
  if (httpd) return folder + L"..\\logs\\error.log";
  // MySQL: the host name gethostname gives (the DNS host name as written) up to
  // its first ".", or "mysql" without one.
  wchar_t host[256] = {};
  DWORD length = 256;
  std::wstring name = GetComputerNameExW(ComputerNameDnsHostname, host, &length) ? host : L"";
  name = name.substr(0, name.find(L'.'));
  return folder + L"..\\data\\" + (name.empty() ? L"mysql" : name) + L".err";
}

void Append(const std::wstring& path, const std::string& bytes) {
  CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

int Service(const std::wstring& folder, bool httpd) {
  g_errorLog = ErrorLog(folder, httpd);
  if (GetFileAttributesW((folder + L"fail-start").c_str()) != INVALID_FILE_ATTRIBUTES) {
    const std::string said = ReadAll(folder + L"fail-start");
    if (httpd) {
      DWORD written = 0;
      WriteFile(GetStdHandle(STD_ERROR_HANDLE), said.data(), static_cast<DWORD>(said.size()), &written, nullptr);
    } else {
      Append(g_errorLog, said);
    }
    return 1;
  }
  if (GetFileAttributesW((folder + L"fail-after-start").c_str()) != INVALID_FILE_ATTRIBUTES) {
    g_failAfterStart = folder + L"fail-after-start";
  }
  if (GetFileAttributesW((folder + L"say-at-start").c_str()) != INVALID_FILE_ATTRIBUTES) {
    Append(g_errorLog, ReadAll(folder + L"say-at-start"));
  }
  wchar_t emptyName[] = L"";
  const SERVICE_TABLE_ENTRYW table[] = {{emptyName, ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) return 0;
  if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return 1;
  // Started from a console: the dispatcher would wait forever for a service manager.
  Sleep(30000);
  return 0;
}

std::string Utf8(const std::wstring& wide) {
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                      utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

std::string ReadAll(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void Put(DWORD stream, const std::string& line) {
  if (line.empty()) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The directives of the demo stack's httpd.conf: what this Apache knows.
constexpr const char* kDirectives[] = {"AddType",
                                       "Allow",
                                       "AllowOverride",
                                       "CustomLog",
                                       "DefaultType",
                                       "Deny",
                                       "DirectoryIndex",
                                       "DocumentRoot",
                                       "EnableMMAP",
                                       "EnableSendfile",
                                       "ErrorLog",
                                       "Include",
                                       "KeepAlive",
                                       "KeepAliveTimeout",
                                       "Listen",
                                       "LoadModule",
                                       "LogFormat",
                                       "LogLevel",
                                       "MaxKeepAliveRequests",
                                       "MaxRequestsPerChild",
                                       "Options",
                                       "Order",
                                       "PHPIniDir",
                                       "Satisfy",
                                       "ScriptAlias",
                                       "ServerAdmin",
                                       "ServerName",
                                       "ServerRoot",
                                       "ThreadsPerChild",
                                       "Timeout",
                                       "TypesConfig",
                                       "Win32DisableAcceptEx"};

int CheckConfiguration(const std::wstring& folder) {
  const std::string path = Utf8(folder + L"..\\conf\\httpd.conf");
  std::istringstream file(ReadAll(folder + L"..\\conf\\httpd.conf"));
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word[0] == '#' || word[0] == '<') continue;
    bool known = false;
    for (const char* directive : kDirectives) known = known || _stricmp(directive, word.c_str()) == 0;
    if (known) continue;
    Put(STD_ERROR_HANDLE, "AH00526: Syntax error on line " + std::to_string(number) + " of " + path + ":");
    Put(STD_ERROR_HANDLE, "Invalid command '" + word +
                              "', perhaps misspelled or defined by a module not included in the server configuration");
    return 1;
  }
  Put(STD_ERROR_HANDLE, "Syntax OK");
  return 0;
}

int Install(const std::wstring& self, const std::wstring& name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  SC_HANDLE service = manager
                          ? CreateServiceW(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                           (L"\"" + self + L"\"").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr)
                          : nullptr;
  const DWORD error = service ? 0 : GetLastError();
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  Put(STD_ERROR_HANDLE,
      error ? "(OS " + std::to_string(error) + ") could not install the service" : "Service installed");
  return error ? 1 : 0;
}

int Uninstall(const std::wstring& name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager ? OpenServiceW(manager, name.c_str(), DELETE) : nullptr;
  const bool deleted = service && DeleteService(service);
  const DWORD error = deleted ? 0 : GetLastError();
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  Put(STD_ERROR_HANDLE, error ? "(OS " + std::to_string(error) + ") could not remove the service" : "Service removed");
  return error ? 1 : 0;
}

// Appends "<show state>|<command line>" to the file TELLURIX_RECORD names, if any.
void Record() {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::string line = std::to_string(show) + "|" + Utf8(GetCommandLineW()) + "\n";
  wchar_t record[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"TELLURIX_RECORD", record, MAX_PATH)) {
    // One write of a whole line: several stand-ins may append to the same file.
    HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
}

int Recorder(const std::wstring& self) {
  Record();
  std::istringstream script(ReadAll(self.substr(0, self.size() - 3) + L"txt"));
  std::string first, out, err;
  std::getline(script, first);
  std::getline(script, out);
  std::getline(script, err);
  int exitCode = 0;
  unsigned long delayMs = 0;
  sscanf(first.c_str(), "%d %lu", &exitCode, &delayMs);
  Sleep(delayMs);
  Put(STD_OUTPUT_HANDLE, out.substr(0, out.find('\r')));
  Put(STD_ERROR_HANDLE, err.substr(0, err.find('\r')));
  return exitCode;
}

// ---- MySQL in recovery mode, and its clients over the server's named pipe ----
//
// A request is the client's arguments (UTF-8, the program's file name first, each
// ended by a zero byte) and then its standard input, each part after its length
// in 4 bytes. The answer is frames: a kind byte, a length in 4 bytes, the bytes.
// 'o' goes to standard output, 'e' to standard error, 's' names the statement the
// server runs now (what a client names when the server is lost during it), and
// 'x' holds the exit code and ends the answer.

bool WriteAllTo(HANDLE handle, const char* data, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool ReadExactly(HANDLE handle, char* data, size_t size) {
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(handle, data, static_cast<DWORD>(size), &got, nullptr) || got == 0) return false;
    data += got;
    size -= got;
  }
  return true;
}

bool SendPart(HANDLE pipe, const std::string& bytes) {
  const DWORD size = static_cast<DWORD>(bytes.size());
  return WriteAllTo(pipe, reinterpret_cast<const char*>(&size), 4) && WriteAllTo(pipe, bytes.data(), bytes.size());
}

bool ReceivePart(HANDLE pipe, std::string& bytes) {
  DWORD size = 0;
  if (!ReadExactly(pipe, reinterpret_cast<char*>(&size), 4)) return false;
  bytes.assign(size, '\0');
  return ReadExactly(pipe, bytes.data(), size);
}

void SendFrame(HANDLE pipe, char kind, const std::string& bytes) {
  WriteAllTo(pipe, &kind, 1);
  SendPart(pipe, bytes);
}

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

bool StartsWith(const std::string& text, const char* head) { return text.rfind(head, 0) == 0; }

// The value of "--name=value" among the arguments; empty when absent.
std::string Option(const std::vector<std::string>& args, const char* name) {
  for (const std::string& arg : args) {
    if (StartsWith(arg, name) && arg.size() > std::strlen(name) && arg[std::strlen(name)] == '=') {
      return arg.substr(std::strlen(name) + 1);
    }
  }
  return {};
}

bool Has(const std::vector<std::string>& args, const char* flag) {
  for (const std::string& arg : args) {
    if (arg == flag) return true;
  }
  return false;
}

// A table of the model: its rows, one a line of its file; a first line "DAMAGED"
// makes the line "--" its damaged page (rows after it are read only from the other
// end), "CRASH" makes the server end when it opens the table.
struct Table {
  enum class Fault { None, Damaged, Crash } fault = Fault::None;
  std::vector<std::string> before, after;
};

Table ReadTable(const std::string& bytes) {
  Table table;
  std::istringstream lines(bytes);
  bool first = true, pastDamage = false;
  for (std::string line; std::getline(lines, line); first = false) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first && (line == "DAMAGED" || line == "CRASH")) {
      table.fault = line == "CRASH" ? Table::Fault::Crash : Table::Fault::Damaged;
    } else if (table.fault == Table::Fault::Damaged && line == "--") {
      pastDamage = true;
    } else if (!line.empty()) {
      (pastDamage ? table.after : table.before).push_back(line);
    }
  }
  return table;
}

std::vector<std::string> Entries(const std::wstring& folder, bool folders) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder == folders && found.cFileName[0] != L'.') names.push_back(Utf8(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// The databases are the data folder's sub-folders, their tables the *.frm and
// *.ibd files in them (an InnoDB table has both).
struct Model {
  std::wstring data;
  bool IsDatabase(const std::string& name) const {
    const DWORD attributes = GetFileAttributesW((data + L"\\" + Wide(name)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  std::vector<std::string> Tables(const std::string& database) const {
    std::vector<std::string> tables;
    for (const std::string& file : Entries(data + L"\\" + Wide(database), false)) {
      const size_t dot = file.rfind('.');
      if (dot == std::string::npos || (file.substr(dot) != ".frm" && file.substr(dot) != ".ibd")) continue;
      if (std::find(tables.begin(), tables.end(), file.substr(0, dot)) == tables.end()) {
        tables.push_back(file.substr(0, dot));
      }
    }
    return tables;
  }
  Table Read(const std::string& database, const std::string& table) const {
    const std::wstring stem = data + L"\\" + Wide(database) + L"\\" + Wide(table);
    const bool ibd = GetFileAttributesW((stem + L".ibd").c_str()) != INVALID_FILE_ATTRIBUTES;
    return ReadTable(ReadAll(stem + (ibd ? L".ibd" : L".frm")));
  }
};

std::string Quoted(const std::string& name) { return "`" + name + "`"; }

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '`' && text.back() == '`') text = text.substr(1, text.size() - 2);
  return text;
}

void Console(const std::string& words) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02u%02u%02u %2u:%02u:%02u ", now.wYear % 100u, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  std::istringstream lines(words);
  for (std::string line; std::getline(lines, line);)
    Put(STD_ERROR_HANDLE, (line.rfind("InnoDB:", 0) == 0 ? "" : stamp) + line);
}

// What the server does when it opens a table whose page is beyond repair.
[[noreturn]] void Crash(HANDLE pipe, const std::string& statement) {
  SendFrame(pipe, 's', statement);
  Console(
      "InnoDB: Database page corruption on disk or a failed\nInnoDB: file read of page 3.\n"
      "InnoDB: Assertion failure in thread 1984 in file .\\btr\\btr0pcur.c line 217\n"
      "InnoDB: We intentionally generate a memory trap.\n"
      "mysqld-nt: got exception 0xc0000005 ;");
  ExitProcess(3);
}

struct Answer {
  std::string out, err;
  int code = 0;
};

Answer Query(const Model& model, const std::string& statement) {
  Answer answer;
  auto unknown = [&answer](const std::string& database) {
    answer.err = "ERROR 1049 (42000) at line 1: Unknown database '" + database + "'\n";
    answer.code = 1;
  };
  if (statement == "SHOW DATABASES") {
    answer.out = "information_schema\n";
    for (const std::string& database : Entries(model.data, true)) answer.out += database + "\n";
  } else if (StartsWith(statement, "SHOW FULL TABLES FROM ")) {
    const std::string database = Unquoted(statement.substr(22));
    if (!model.IsDatabase(database)) {
      unknown(database);
    } else {
      for (const std::string& table : model.Tables(database)) answer.out += table + "\tBASE TABLE\n";
    }
  } else if (StartsWith(statement, "SHOW CREATE DATABASE IF NOT EXISTS ")) {
    const std::string database = Unquoted(statement.substr(35));
    if (!model.IsDatabase(database)) {
      unknown(database);
    } else {
      answer.out = database + "\tCREATE DATABASE /*!32312 IF NOT EXISTS*/ " + Quoted(database) +
                   " /*!40100 DEFAULT CHARACTER SET utf8 */\n";
    }
  } else {
    answer.err = "ERROR 1064 (42000) at line 1: You have an error in your SQL syntax near '" + statement + "'\n";
    answer.code = 1;
  }
  return answer;
}

std::string Row(size_t id, const std::string& value) {
  std::string quoted;
  for (char c : value) quoted += c == '\'' ? std::string("\\'") : c == '\\' ? std::string("\\\\") : std::string(1, c);
  return "(" + std::to_string(id) + ",'" + quoted + "')";
}

// mysqldump's text for a database (--databases NAME) or one table (NAME TABLE):
// whole rows one INSERT each with --skip-extended-insert, all in one without;
// --where=... DESC reads from the other end of the key.
Answer Dump(const Model& model, const std::vector<std::string>& args, HANDLE pipe) {
  Answer answer;
  std::vector<std::string> names;
  for (size_t i = 1; i < args.size(); ++i) {
    if (!StartsWith(args[i], "-")) names.push_back(args[i]);
  }
  const bool whole = Has(args, "--databases"), byRow = Has(args, "--skip-extended-insert");
  const bool reverse = Option(args, "--where").find(" DESC") != std::string::npos;
  if (names.empty() || !model.IsDatabase(names[0])) {
    answer.err = "mysqldump: Got error: 1049: Unknown database '" + (names.empty() ? "" : names[0]) +
                 "' when selecting the database\n";
    answer.code = 2;
    return answer;
  }
  const std::string& database = names[0];
  std::string& out = answer.out;
  out = "-- MySQL dump 10.11\n--\n-- Host: localhost    Database: " + database +
        "\n-- ------------------------------------------------------\n-- Server version\t5.0.96-community-nt\n\n"
        "/*!40101 SET NAMES utf8 */;\n\n";
  if (whole) {
    out += "--\n-- Current Database: " + Quoted(database) + "\n--\n\nCREATE DATABASE /*!32312 IF NOT EXISTS*/ " +
           Quoted(database) + " /*!40100 DEFAULT CHARACTER SET utf8 */;\n\nUSE " + Quoted(database) + ";\n\n";
  }
  const std::vector<std::string> tables =
      whole ? model.Tables(database) : std::vector<std::string>(names.begin() + 1, names.end());
  for (const std::string& name : tables) {
    const std::vector<std::string> all = model.Tables(database);
    if (std::find(all.begin(), all.end(), name) == all.end()) {
      answer.err = "mysqldump: Couldn't find table: \"" + name + "\"\n";
      answer.code = 2;
      return answer;
    }
    const Table table = model.Read(database, name);
    if (table.fault == Table::Fault::Crash) {
      SendFrame(pipe, 'o', out);
      Crash(pipe, "show create table " + Quoted(name));
    }
    if (!Has(args, "--no-create-info")) {
      out += "--\n-- Table structure for table " + Quoted(name) + "\n--\n\nDROP TABLE IF EXISTS " + Quoted(name) +
             ";\nCREATE TABLE " + Quoted(name) +
             " (\n  `id` int(11) NOT NULL,\n  `value` text,\n  PRIMARY KEY  (`id`)\n) ENGINE=InnoDB DEFAULT "
             "CHARSET=utf8;\n\n";
    }
    out += "--\n-- Dumping data for table " + Quoted(name) + "\n--\n\nLOCK TABLES " + Quoted(name) + " WRITE;\n";
    std::vector<std::string> rows;
    if (reverse) {
      for (size_t i = table.after.size(); i-- > 0;) {
        rows.push_back(Row(table.before.size() + 2 + i, table.after[i]));  // the damaged row is lost
      }
    } else {
      for (size_t i = 0; i < table.before.size(); ++i) rows.push_back(Row(i + 1, table.before[i]));
    }
    const std::string insert = Has(args, "--insert-ignore") ? "INSERT IGNORE INTO " : "INSERT INTO ";
    if (byRow) {
      for (const std::string& row : rows) out += insert + Quoted(name) + " VALUES " + row + ";\n";
    } else if (!rows.empty()) {
      out += insert + Quoted(name) + " VALUES ";
      for (size_t i = 0; i < rows.size(); ++i) out += (i ? "," : "") + rows[i];
      out += ";\n";
    }
    if (table.fault == Table::Fault::Damaged) {
      answer.err = "mysqldump: Error 1034: Incorrect key file for table '" + name +
                   "'; try to repair it when dumping table " + Quoted(name) +
                   " at row: " + std::to_string(rows.size()) + "\n";
      answer.code = 3;
      return answer;
    }
    out += "UNLOCK TABLES;\n\n";
  }
  out += "-- Dump completed\n";
  return answer;
}

// One client's request; true when it asked the server to shut down.
bool Serve(HANDLE pipe, const Model& model) {
  std::string packed, input;
  if (!ReceivePart(pipe, packed) || !ReceivePart(pipe, input)) return false;
  std::vector<std::string> args;
  for (size_t at = 0, end; (end = packed.find('\0', at)) != std::string::npos; at = end + 1) {
    args.push_back(packed.substr(at, end - at));
  }
  if (args.empty()) return false;
  Answer answer;
  bool shutdown = false;
  if (_stricmp(args[0].c_str(), "mysqldump.exe") == 0) {
    answer = Dump(model, args, pipe);
  } else if (_stricmp(args[0].c_str(), "mysqladmin.exe") == 0) {
    shutdown = Has(args, "shutdown");
    if (!shutdown) answer = {"", "mysqladmin: Unknown command: '" + args.back() + "'\n", 1};
  } else if (!Option(args, "--execute").empty()) {
    answer = Query(model, Option(args, "--execute"));
  } else {
    // A file loaded: kept whole, after the database it was loaded into.
    std::string database = "(none)";
    for (size_t i = 1; i < args.size(); ++i) {
      if (!StartsWith(args[i], "-")) database = args[i];
    }
    Append(model.data + L"\\loaded.sql", "-- " + database + "\n" + input);
  }
  if (!answer.out.empty()) SendFrame(pipe, 'o', answer.out);
  if (!answer.err.empty()) SendFrame(pipe, 'e', answer.err);
  SendFrame(pipe, 'x', std::string(reinterpret_cast<const char*>(&answer.code), 4));
  return shutdown;
}

HANDLE PipeInstance(const std::wstring& name, bool first) {
  return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0,
                          nullptr);
}

int RecoveryServer(const std::wstring& folder, const std::vector<std::string>& args) {
  Record();  // the command line, for the tests
  Model model{Wide(Option(args, "--datadir"))};
  if (model.data.empty()) model.data = folder + L"..\\data";
  const int level = std::atoi(Option(args, "--innodb_force_recovery").c_str());
  const int needs = std::atoi(ReadAll(model.data + L"\\recovery-needs").c_str());
  const std::string socket = Option(args, "--socket");
  if (level > 0) Console("InnoDB: !!! innodb_force_recovery is set to " + std::to_string(level) + " !!!");
  if (level < needs) {
    Console(
        "InnoDB: Database page corruption on disk or a failed\nInnoDB: file read of page 7.\n"
        "InnoDB: Assertion failure in thread 2248 in file .\\buf\\buf0buf.c line 3262\n"
        "InnoDB: We intentionally generate a memory trap.");
    return 3;
  }
  const std::string startMs = ReadAll(model.data + L"\\start-ms");
  if (!startMs.empty()) Sleep(std::strtoul(startMs.c_str(), nullptr, 10));
  const std::wstring name = L"\\\\.\\pipe\\" + Wide(socket);
  HANDLE next = PipeInstance(name, true);
  if (next == INVALID_HANDLE_VALUE) {
    Console("[ERROR] Can't start server : Named Pipe \"" + socket + "\" already in use.");
    return 1;
  }
  Console("[Note] mysqld-nt: ready for connections.\nVersion: '5.0.96-community-nt'  socket: '" + socket +
          "'  port: 0  MySQL Community Edition (GPL)");
  for (bool shutdown = false; !shutdown;) {
    HANDLE pipe = next;
    const bool connected = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
    next = PipeInstance(name, false);  // the next client finds one waiting
    if (connected) {
      shutdown = Serve(pipe, model);
      // The client closes its end once it has the whole answer.
      char rest = 0;
      DWORD got = 0;
      while (ReadFile(pipe, &rest, 1, &got, nullptr) && got > 0) {
      }
      DisconnectNamedPipe(pipe);
    }
    CloseHandle(pipe);
  }
  CloseHandle(next);
  Console("[Note] mysqld-nt: Normal shutdown\n[Note] mysqld-nt: Shutdown complete");
  return 0;
}

// mysql.exe, mysqldump.exe or mysqladmin.exe with --protocol=pipe: the request
// goes to the server, and the answer comes out as the real client prints it.
int PipeClient(const std::string& program, const std::vector<std::string>& args) {
  Record();
  const int failed = _stricmp(program.c_str(), "mysqldump.exe") == 0 ? 2 : 1;
  const std::string socket = Option(args, "--socket");
  std::string packed = program + '\0', input;
  for (size_t i = 1; i < args.size(); ++i) packed += args[i] + '\0';
  if (_stricmp(program.c_str(), "mysql.exe") == 0 && Option(args, "--execute").empty()) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
      input.append(buffer, got);
    }
  }
  const std::wstring name = L"\\\\.\\pipe\\" + Wide(socket);
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 20 && pipe == INVALID_HANDLE_VALUE; ++attempt) {
    pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE && GetLastError() != ERROR_PIPE_BUSY) break;
    if (pipe == INVALID_HANDLE_VALUE) WaitNamedPipeW(name.c_str(), 500);
  }
  const std::string lost = "Lost connection to MySQL server during query (2013)";
  if (pipe == INVALID_HANDLE_VALUE) {
    Put(STD_ERROR_HANDLE, program.substr(0, program.size() - 4) + ": Can't open named pipe to host: .  pipe: " +
                              socket + " (" + std::to_string(GetLastError()) + ") (2017)");
    return failed;
  }
  SendPart(pipe, packed);
  SendPart(pipe, input);
  std::string statement = Option(args, "--execute");
  for (;;) {
    char kind = 0;
    std::string bytes;
    if (!ReadExactly(pipe, &kind, 1) || !ReceivePart(pipe, bytes)) {
      CloseHandle(pipe);
      const std::string said = statement.empty() ? lost : "Couldn't execute '" + statement + "': " + lost;
      Put(STD_ERROR_HANDLE, program.substr(0, program.size() - 4) + ": " + said);
      return failed;
    }
    if (kind == 'o' || kind == 'e') {
      WriteAllTo(GetStdHandle(kind == 'o' ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), bytes.data(), bytes.size());
    } else if (kind == 's') {
      statement = bytes;
    } else if (kind == 'x' && bytes.size() == 4) {
      CloseHandle(pipe);
      int code = 0;
      std::memcpy(&code, bytes.data(), 4);
      return code;
    }
  }
}

}  // namespace

int wmain() {
  // The raw command line, so that options in a service's binPath count as on a console.
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 1;
  DWORD plainSeconds = 0;
  bool check = false, version = false, uninstall = false;
  std::wstring install;
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(argv[i]));
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (more && std::wcscmp(argv[i], L"--stop-delay-ms") == 0) g_stopDelayMs = std::wcstoul(argv[++i], nullptr, 10);
    if (more && std::wcscmp(argv[i], L"--plain") == 0) plainSeconds = std::wcstoul(argv[++i], nullptr, 10);
    if (more && std::wcscmp(argv[i], L"-k") == 0) uninstall = std::wcscmp(argv[i + 1], L"uninstall") == 0;
    if (more && std::wcscmp(argv[i], L"--remove") == 0) uninstall = true;
    if (more && (std::wcscmp(argv[i], L"-n") == 0 || std::wcscmp(argv[i], L"--install") == 0 ||
                 std::wcscmp(argv[i], L"--remove") == 0)) {
      install = argv[++i];
    }
    check = check || std::wcscmp(argv[i], L"-t") == 0;
    version = version || std::wcscmp(argv[i], L"-v") == 0 || std::wcscmp(argv[i], L"--version") == 0;
  }
  LocalFree(argv);
  if (plainSeconds > 0) {
    Sleep(plainSeconds * 1000);
    return 0;
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const wchar_t* name = std::wcsrchr(self, L'\\') ? std::wcsrchr(self, L'\\') + 1 : self;
  const std::wstring folder(self, static_cast<size_t>(name - self));
  const bool httpd = _wcsicmp(name, L"httpd.exe") == 0;
  if (!httpd && _wcsicmp(name, L"mysqld-nt.exe") == 0 && Has(args, "--enable-named-pipe")) {
    return RecoveryServer(folder, args);
  }
  if (httpd || _wcsicmp(name, L"mysqld-nt.exe") == 0) {
    if (check || version) {
      const std::string exitWith = ReadAll(folder + L"exit-with");
      if (!exitWith.empty()) return static_cast<int>(std::strtoul(exitWith.c_str(), nullptr, 0));
    }
    if (httpd && check) {
      Record();  // the check's command line, for the tests
      if (GetFileAttributesW((folder + L"config-test-ms").c_str()) != INVALID_FILE_ATTRIBUTES) {
        Sleep(std::strtoul(ReadAll(folder + L"config-test-ms").c_str(), nullptr, 10));
      }
      if (GetFileAttributesW((folder + L"config-test-says").c_str()) != INVALID_FILE_ATTRIBUTES) {
        const std::string said = ReadAll(folder + L"config-test-says");
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), said.data(), static_cast<DWORD>(said.size()), &written, nullptr);
        return 1;
      }
      return CheckConfiguration(folder);
    }
    if (version) {
      Put(STD_OUTPUT_HANDLE, httpd ? "Server version: stand-in/2.2 (Win32)" : "mysqld-nt  Ver 5.0 (stand-in)");
      return 0;
    }
    if (!install.empty()) return uninstall ? Uninstall(install) : Install(self, install);
    return Service(folder, httpd);
  }
  const bool client = _wcsicmp(name, L"mysql.exe") == 0 || _wcsicmp(name, L"mysqldump.exe") == 0 ||
                      _wcsicmp(name, L"mysqladmin.exe") == 0;
  if (client && Option(args, "--protocol") == "pipe" && !Option(args, "--socket").empty()) {
    return PipeClient(Utf8(name), args);
  }
  return Recorder(self);
}
