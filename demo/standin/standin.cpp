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
//   any other name             a recorder (notepad.exe, explorer.exe, cmd.exe, mysql.exe,
//                              mysqladmin.exe ...): appends "<show state>|<command line>"
//                              as a UTF-8 line to the file named by TELLURIX_RECORD, then
//                              follows the optional script beside it (NAME.txt for NAME.exe):
//                              line 1 "<exit code> <delay ms>", line 2 goes to standard
//                              output, line 3 to standard error
// Under any name, "--plain SECONDS" just runs that long (a process to be seen, not a service).
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <sstream>
#include <string>

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

}  // namespace

int wmain() {
  // The raw command line, so that options in a service's binPath count as on a console.
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 1;
  DWORD plainSeconds = 0;
  bool check = false, version = false, uninstall = false;
  std::wstring install;
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
  return Recorder(self);
}
