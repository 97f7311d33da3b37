// Winsock's headers go before <windows.h>, which the runner's header includes.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include "app/service_runner.h"

#include "app/server_log.h"
#include "app/service_diagnosis.h"
#include "app/service_repair.h"
#include "dialogs/site_manager.h"
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

// The service's registration: whether it is disabled, and its command line.
struct ServiceRegistration {
  bool disabled = false;
  std::string commandLine;
};
std::optional<ServiceRegistration> RegistrationOf(Service service) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return std::nullopt;
  SC_HANDLE opened = OpenServiceW(manager, Widen(ServiceName(service)).c_str(), SERVICE_QUERY_CONFIG);
  std::optional<ServiceRegistration> registration;
  DWORD size = 0;
  if (opened && !QueryServiceConfigW(opened, nullptr, 0, &size) && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (QueryServiceConfigW(opened, config, size, &size)) {
      registration = ServiceRegistration{config->dwStartType == SERVICE_DISABLED,
                                         config->lpBinaryPathName ? Narrow(config->lpBinaryPathName) : ""};
    }
  }
  if (opened) CloseServiceHandle(opened);
  CloseServiceHandle(manager);
  return registration;
}

std::string LongPathOf(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD size = GetLongPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::wstring expanded(size, L'\0');
  expanded.resize(GetLongPathNameW(wide.c_str(), expanded.data(), size));
  return expanded.empty() ? path : Narrow(expanded);
}

// Whether the panel can listen on the port itself (the socket is closed at once).
bool CanBind(unsigned port) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return false;
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  // Without exclusive use another socket could share the port unseen.
  BOOL exclusive = TRUE;
  setsockopt(probe, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof(exclusive));
  const bool bound = bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  closesocket(probe);
  return bound;
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
    StartIfReady(service);
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

void ServiceRunner::StartIfReady(Service service) {
  if (StateOf(service) != ServiceState::Running) {
    if (const std::optional<ServiceRegistration> registration = RegistrationOf(service)) {
      if (!StartTypeAllowsStart(service, registration->disabled)) return;
      OfferOwnProgram(service, registration->commandLine);
    }
    // `net start` cannot succeed while another program holds the port.
    if (const std::optional<unsigned> port = PortToCheck(service, ProfilePortValue(service))) {
      if (ReportTakenPort(*port, false)) {
        if (OfferPortMove(service, *port)) StartIfReady(service);
        return;
      }
    }
  }
  RunNet(service, ServiceAction::Start);
}

bool ServiceRunner::StartTypeAllowsStart(Service service, bool disabled) {
  if (!disabled) return true;
  if (!host_.Ask(DisabledQuestion(service))) {
    host_.Report(DisabledLine(service));
    return false;
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string program = Narrow(self);
  const std::optional<ProgramRun> run = RunElevated(program, SetManualParameters(service), kInstallTimeLimitMs);
  if (!run) return false;
  host_.Report(ServiceChangeLine(service, *run, program));
  return Changed(*run);
}

void ServiceRunner::OfferOwnProgram(Service service, const std::string& commandLine) {
  const std::string home = ProgramDirectory();
  const std::optional<ForeignService> foreign = CheckServiceProgram(service, commandLine, home, LongPathOf);
  if (!foreign) return;
  host_.Report(foreign->line);
  // Declined, `net` runs the other server: the user may want just that.
  if (!host_.Ask(foreign->question)) return;
  const InstallCommand remove = UninstallCommandFor(service, home);
  const std::optional<ProgramRun> run = RunElevated(remove.program, remove.parameters, kInstallTimeLimitMs);
  if (!run) return;
  if (!Installed(*run)) {
    host_.Report(ChangeFailedLine(service, *run, remove.program));
    return;
  }
  Install(service);
}

bool ServiceRunner::OfferPortMove(Service service, unsigned port) {
  const std::optional<unsigned> free = FreePort(service, TcpListeners(), CanBind);
  if (!free) {
    host_.Report(NoFreePortLine(service));
    return false;
  }
  if (!host_.Ask(PortMoveQuestion(service, port, *free))) return false;
  const std::string home = ProgramDirectory();
  const PortMove move = PortMoveWrites(service, home, *free);
  const ApplyOutcome outcome =
      ApplyChanges(ResolveProfilePath(home, kProfileFileName), move.profileSection, move.changes);
  // A failed write, or a server file without the line, is said as the settings dialog says it.
  if (outcome.failure || !outcome.missingDirectives.empty()) {
    host_.Tell(Conclude(outcome, "").message.value_or(""));
    return false;
  }
  const Result<std::string> vhosts =
      service == Service::Apache2 ? ReadFileBytes(VhostsConfPath(home)) : Result<std::string>(std::string());
  for (const std::string& line : PortMovedLines(service, port, *free, vhosts ? *vhosts : std::string())) {
    host_.Report(line);
  }
  return true;
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
    if (MayRun(*service, ServiceAction::Start)) StartIfReady(*service);
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
  bool portLine = false;
  if (cause && cause->portTaken) {
    portLine = ReportTakenPort(cause->port, true);
  } else if (profilePort) {
    portLine = ReportTakenPort(*profilePort, false);
  }
  // A taken or forbidden port of the server's own is moved if the user agrees.
  const bool blocked = cause && cause->portBlocked;
  const unsigned concerned = blocked ? cause->port : port;
  if (profilePort && (portLine || blocked) && concerned == *profilePort) {
    if (OfferPortMove(service, *profilePort)) StartIfReady(service);
    return;
  }
  if (explained || portLine) return;
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

int SetServiceManual(Service service) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE opened = manager ? OpenServiceW(manager, Widen(ServiceName(service)).c_str(), SERVICE_CHANGE_CONFIG) : nullptr;
  const bool changed = opened && ChangeServiceConfigW(opened, SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE,
                                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (opened) CloseServiceHandle(opened);
  if (manager) CloseServiceHandle(manager);
  return changed ? kToolDone : kToolFailed;
}

}  // namespace tellurix
