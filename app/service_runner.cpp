// Winsock's headers go before <windows.h>, which the runner's header includes.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include "app/service_runner.h"

#include "app/server_log.h"
#include "app/service_diagnosis.h"
#include "core/file_io.h"
#include "core/process_probe.h"
#include "core/profile_store.h"
#include "resources/texts.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

// Restart waits use kRestartTimerBase + ticket.
constexpr UINT_PTR kNetTimer = 3;
constexpr UINT kNetPollMs = 200;
constexpr UINT_PTR kRestartTimerBase = 0x10000;

// The system's error code of opening the service with `access`; 0 when it opened.
unsigned long OpenServiceError(Service service, DWORD access) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return GetLastError();
  SC_HANDLE opened = OpenServiceW(manager, Widen(ServiceName(service)).c_str(), access);
  const unsigned long error = opened ? 0 : GetLastError();
  if (opened) CloseServiceHandle(opened);
  CloseServiceHandle(manager);
  return error;
}

// The TCP ports programs listen on, with their owners' process ids.
std::vector<Listener> TcpListeners() {
  std::vector<Listener> listeners;
  auto port = [](DWORD networkOrder) {
    return static_cast<unsigned>((networkOrder & 0xFF) << 8 | (networkOrder >> 8 & 0xFF));
  };
  for (ULONG family : {AF_INET, AF_INET6}) {
    DWORD size = 0;
    GetExtendedTcpTable(nullptr, &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0);
    std::vector<unsigned char> table(size);
    if (size == 0 ||
        GetExtendedTcpTable(table.data(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0) != NO_ERROR) {
      continue;
    }
    if (family == AF_INET) {
      const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
      for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        listeners.push_back({port(rows->table[i].dwLocalPort), rows->table[i].dwOwningPid});
      }
    } else {
      const auto* rows = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(table.data());
      for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        listeners.push_back({port(rows->table[i].dwLocalPort), rows->table[i].dwOwningPid});
      }
    }
  }
  return listeners;
}

ServiceState StateOf(Service service) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return ServiceState::Unknown;
  SC_HANDLE opened = OpenServiceW(manager, Widen(ServiceName(service)).c_str(), SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  ServiceState state = ServiceState::Unknown;
  if (opened && QueryServiceStatus(opened, &status)) {
    state = status.dwCurrentState == SERVICE_RUNNING   ? ServiceState::Running
            : status.dwCurrentState == SERVICE_STOPPED ? ServiceState::Stopped
                                                       : ServiceState::Pending;
  }
  if (opened) CloseServiceHandle(opened);
  CloseServiceHandle(manager);
  return state;
}

// The services that run now, for naming the users of the HTTP service.
std::vector<RunningService> RunningServices() {
  std::vector<RunningService> running;
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
  if (!manager) return running;
  DWORD needed = 0, count = 0, resume = 0;
  EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, nullptr, 0, &needed, &count,
                        &resume, nullptr);
  std::vector<BYTE> buffer(needed);
  resume = 0;
  if (needed && EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, buffer.data(),
                                      needed, &needed, &count, &resume, nullptr)) {
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      running.push_back({Narrow(services[i].lpServiceName), Narrow(services[i].lpDisplayName)});
    }
  }
  CloseServiceHandle(manager);
  return running;
}

std::optional<std::uint64_t> SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The most recently written *.err of the folder; empty when there is none.
std::string NewestErrFile(const std::string& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(Widen(folder + "\\*.err").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::wstring newest;
  FILETIME newestTime{};
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (newest.empty() || CompareFileTime(&found.ftLastWriteTime, &newestTime) > 0)) {
      newest = found.cFileName;
      newestTime = found.ftLastWriteTime;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return newest.empty() ? std::string() : folder + "\\" + Narrow(newest);
}

// Where the server writes its errors; empty when nowhere the panel can read.
std::string ErrorLogOf(Service service) {
  const std::string home = ProgramDirectory();
  if (service == Service::Apache2) {
    const Result<std::string> conf = ReadFileBytes(home + "\\Apache2\\conf\\httpd.conf");
    return ApacheErrorLog(home, conf ? LogText(*conf, false) : std::string()).value_or(std::string());
  }
  const std::string myIni = home + "\\MySQL\\my.ini";
  for (const char* key : {"log-error", "log_error"}) {
    const auto value = ReadIniValue(myIni, "mysqld", key);
    if (value && *value) {
      if (auto path = MySQLConfiguredErrorLog(home, **value)) return *path;
    }
  }
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  const std::string data = MySQLDataFolder(home);
  const std::string named = GetComputerNameW(computer, &length) ? data + "\\" + Narrow(computer) + ".err" : "";
  if (!named.empty() && SizeOf(named)) return named;
  const std::string newest = NewestErrFile(data);
  return newest.empty() ? named : newest;
}

// What the log gained since `size`, as text.
std::string NewLogText(const std::string& path, std::optional<std::uint64_t> size) {
  const std::optional<std::uint64_t> now = path.empty() ? std::nullopt : SizeOf(path);
  if (!now) return {};
  const LogSpan span = NewLogSpan(size, *now);
  if (span.length == 0) return {};
  // The server may still hold its log open for writing.
  HANDLE opened = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  UniqueKernelHandle file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
  LARGE_INTEGER offset{};
  offset.QuadPart = static_cast<LONGLONG>(span.offset);
  if (!file || !SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN)) return {};
  std::string bytes(static_cast<size_t>(span.length), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return {};
  bytes.resize(got);
  return LogText(bytes, span.cut);
}

std::string ProfilePortValue(Service service) {
  const bool apache = service == Service::Apache2;
  return GetIniValue(apache ? "Apache" : "MySQL", apache ? "Listen" : "port", "", "Tellurix.ini");
}

}  // namespace

void ServiceRunner::Run(ServiceCommand command) {
  const Service service = command.service;
  const ServiceAction action = command.action;
  if (!MayRun(service, action)) return;
  // A broken httpd.conf would leave Apache stopped: a running one stays.
  if (action != ServiceAction::Stop && service == Service::Apache2 && !ConfigurationAccepted()) return;
  if (action == ServiceAction::Start) {
    RunNet(service, ServiceAction::Start);
    return;
  }
  RunNet(service, ServiceAction::Stop);
  if (action == ServiceAction::Restart) {
    const std::uint32_t ticket = restarts_.Begin(service, Clock::now());
    SetTimer(window_, kRestartTimerBase + ticket, static_cast<UINT>(kRestartWait.count()), nullptr);
  }
}

bool ServiceRunner::OnTimer(UINT_PTR timerId) {
  if (timerId == kNetTimer) {
    PollNet();
  } else if (timerId >= kRestartTimerBase) {
    FinishRestart(timerId);
  } else {
    return false;
  }
  return true;
}

bool ServiceRunner::MayRun(Service service, ServiceAction action) {
  // A restart begins with its stop; its start half asks again as a start.
  const DWORD access = action == ServiceAction::Start ? SERVICE_START : SERVICE_STOP;
  const ServiceCheck check = CheckServiceAccess(service, action, OpenServiceError(service, access));
  if (!check.line.empty()) host_.Report(check.line);
  if (check.runNet) return true;
  if (check.fix == ServiceCheck::Fix::None) return false;
  const bool yes = host_.Ask(check.question);
  if (check.fix == ServiceCheck::Fix::Install) return yes && Install(service);
  if (yes && host_.RestartElevated()) return false;
  host_.Report(NoRightsLine(service));
  return false;
}

bool ServiceRunner::Install(Service service) {
  const InstallCommand command = InstallCommandFor(service, ProgramDirectory());
  const std::optional<ProgramRun> run = RunElevated(command.program, command.parameters, kInstallTimeLimitMs);
  if (!run) return false;
  host_.Report(InstallResultLine(service, *run, command.program));
  return Installed(*run);
}

bool ServiceRunner::ConfigurationAccepted() {
  const std::optional<ProgramRun> run =
      RunCaptured(ConfigTestCommandLine(ProgramDirectory()), kConfigTestTimeLimitMs, nullptr);
  if (!run) return false;
  const ConfigVerdict verdict = JudgeConfigTest(*run);
  if (verdict.runNet) return true;
  host_.Report(verdict.line);
  if (!verdict.message.empty()) host_.Tell(verdict.message);
  return false;
}

void ServiceRunner::RunNet(Service service, ServiceAction half) {
  const bool stop = half == ServiceAction::Stop;
  const std::string commandLine = stop ? StopCommandLine(service) : StartCommandLine(service);
  LogMark log;
  if (!stop) {
    log.path = ErrorLogOf(service);
    log.size = log.path.empty() ? std::nullopt : SizeOf(log.path);
  }
  if (auto program = WatchedProgram::Start(commandLine)) {
    net_.push_back({service, half, std::move(program), std::move(log)});
    SetTimer(window_, kNetTimer, kNetPollMs, nullptr);
  } else {
    host_.Log(std::string(text::kLaunchFailedBefore) + commandLine + text::kLaunchFailedAfter);
  }
  host_.Log(stop ? StopMessage(service) : StartMessage(service));
}

void ServiceRunner::FinishRestart(UINT_PTR timerId) {
  const auto ticket = static_cast<std::uint32_t>(timerId - kRestartTimerBase);
  const auto now = Clock::now();
  if (auto service = restarts_.TakeIfDue(ticket, now)) {
    KillTimer(window_, timerId);
    if (MayRun(*service, ServiceAction::Start)) RunNet(*service, ServiceAction::Start);
  } else if (auto remaining = restarts_.Remaining(ticket, now)) {
    // Timers may fire a little early; wait out the rest.
    SetTimer(window_, timerId, static_cast<UINT>(remaining->count()), nullptr);
  } else {
    KillTimer(window_, timerId);
  }
}

void ServiceRunner::PollNet() {
  std::vector<std::pair<Watched, ProgramRun>> ended;
  for (size_t i = 0; i < net_.size();) {
    if (std::optional<ProgramRun> run = net_[i].program->Poll()) {
      ended.emplace_back(std::move(net_[i]), std::move(*run));
      net_.erase(net_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  if (net_.empty()) KillTimer(window_, kNetTimer);
  // Diagnosing may wait for a program, and the loop may poll again meanwhile.
  for (const auto& [watched, run] : ended) Diagnose(watched, run);
}

void ServiceRunner::Diagnose(const Watched& ended, const ProgramRun& run) {
  const std::optional<std::string> line = NetFailedLine(ended.service, ended.half, run);
  if (!line || NetReachedGoal(ended.half, StateOf(ended.service))) return;
  host_.Report(*line);
  if (ended.half == ServiceAction::Start) ExplainFailedStart(ended.service, ended.log, run.output);
}

void ServiceRunner::ExplainFailedStart(Service service, const LogMark& log, std::string_view netOutput) {
  const std::string logText = NewLogText(log.path, log.size);
  if (auto line = ErrorLogLine(service, logText)) host_.Report(*line);
  const std::optional<unsigned> profilePort = PortToCheck(service, ProfilePortValue(service));
  const unsigned port = profilePort.value_or(*PortToCheck(service, ""));
  const std::string home = ProgramDirectory();
  const std::optional<KnownCause> cause = RecognizeCause(service, logText + "\n" + std::string(netOutput), port, home);
  bool explained = false;
  if (cause && !cause->portTaken) {
    host_.Report(cause->line);
    explained = true;
  }
  if (cause && cause->portTaken) {
    explained = ReportTakenPort(cause->port, true);
  } else if (profilePort) {
    explained = ReportTakenPort(*profilePort, false) || explained;
  }
  if (explained) return;
  // Nothing said why: perhaps the server cannot run at all.
  const std::string versionCheck = VersionCommandLine(service, home);
  if (const std::optional<ProgramRun> run = RunCaptured(versionCheck, kVersionTimeLimitMs, nullptr)) {
    if (auto line = UnrunnableLine(service == Service::Apache2 ? "httpd.exe" : "mysqld-nt.exe", *run)) {
      host_.Report(*line);
    }
  }
}

bool ServiceRunner::ReportTakenPort(unsigned port, bool saidTaken) {
  const std::vector<Listener> listeners = TcpListeners();
  const std::optional<std::string> line = PortTakenLine(port, listeners, ImageNameOf, saidTaken);
  if (!line) return false;
  host_.Report(*line);
  if (HeldByHttpService(port, listeners)) {
    if (auto users = HttpServiceUsersLine(RunningServices())) host_.Report(*users);
  }
  return true;
}

}  // namespace tellurix
