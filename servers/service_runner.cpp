#include "servers/service_runner.h"

#include <ctime>

#include "servers/event_log.h"
#include "servers/server_log.h"
#include "servers/service_diagnosis.h"
#include "servers/service_repair.h"
#include "servers/service_system.h"
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

// One event of the runner: a command with its checks, a finished `net` with
// its explanation, the start half of a restart. Its lines make one balloon.
using Event = RunnerEvent;

std::string ProfilePortValue(Service service) {
  const ProfileKey where = PortProfileKey(service);
  return GetIniValue(where.section, where.key, "", "Tellurix.ini");
}

// What the cause table may need beside the evidence: `port` for a message that
// names none, the stack's folder, and the profile's DocumentRoot (Apache) or
// the data folder my.ini names (MySQL).
CauseContext CauseContextOf(Service service, unsigned port) {
  const std::string home = ProgramDirectory();
  if (service == Service::MySQL) return {port, home, {}, MySQLDataFolderOf(home)};
  return {port, home, GetIniValue("Apache", "DocumentRoot", "", "Tellurix.ini")};
}

// The Listen lines of the stack's httpd.conf.
std::vector<ListenAddress> StackListens() {
  const Result<std::string> conf = ReadFileBytes(ProgramDirectory() + "\\Apache2\\conf\\httpd.conf");
  return conf ? ApacheListens(*conf) : std::vector<ListenAddress>();
}

// The address a Listen line gives the port; all addresses when none does.
std::string AddressOf(unsigned port, const std::vector<ListenAddress>& listens) {
  for (const ListenAddress& listen : listens) {
    if (listen.port == port) return listen.address;
  }
  return {};
}

// Who listens on which port, the service's own process apart.
PortHolders HoldersFor(Service service) { return HoldersOf(TcpListeners(), StatusOf(service).processId); }

}  // namespace

void ServiceRunner::Run(ServiceCommand command) {
  const Service service = command.service;
  const ServiceAction action = command.action;
  const Event event(host_);
  // The rescue works on MySQL's data folder: nothing may start or stop MySQL meanwhile.
  if (service == Service::MySQL && rescue_.Busy()) {
    host_.Report(MessageLine(text::kRescueBusy));
    return;
  }
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
  const std::optional<ProgramRun> run =
      RunElevated(window_, command.program, command.parameters, kInstallTimeLimitMs);
  if (!run) return false;
  host_.Report(InstallResultLine(service, *run, command.program));
  return Installed(*run);
}

void ServiceRunner::StartIfReady(Service service) {
  if (StateOf(service) != ServiceState::Running) {
    if (const std::optional<ServiceSetup> registration = RegistrationOf(service)) {
      if (!StartTypeAllowsStart(service, registration->disabled)) return;
      if (!OfferOwnProgram(service, registration->commandLine)) return;
    }
    // `net start` cannot succeed while another program holds a port the server
    // needs, or Windows keeps it from being used. The server's own port can be
    // moved; another of Apache's Listen lines is only named.
    if (const std::optional<std::string> missing = PortChecksUnavailable()) {
      host_.Report(SystemDllMissingLine(*missing));
      return;
    }
    const std::vector<ListenAddress> listens = service == Service::Apache2 ? StackListens() : std::vector<ListenAddress>();
    const std::optional<unsigned> port = PortToCheck(service, ProfilePortValue(service));
    if (const PortTrouble trouble = port ? ReportPortInUse(service, *port, AddressOf(*port, listens)) : PortTrouble::None;
        trouble != PortTrouble::None) {
      if (OfferPortMove(service, *port, trouble == PortTrouble::Forbidden)) StartIfReady(service);
      return;
    }
    for (const ListenAddress& listen : listens) {
      if (listen.port != port && ReportPortInUse(service, listen.port, listen.address) != PortTrouble::None) return;
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
  const std::optional<ProgramRun> run =
      RunElevated(window_, program, SetManualParameters(service), kInstallTimeLimitMs);
  if (!run) return false;
  host_.Report(ServiceChangeLine(service, *run, program));
  return Changed(*run);
}

bool ServiceRunner::OfferOwnProgram(Service service, const std::string& commandLine) {
  const std::string home = ProgramDirectory();
  const std::optional<ForeignService> foreign = CheckServiceProgram(service, commandLine, home, LongPathOf);
  if (!foreign) return true;
  host_.Report(foreign->line);
  // Declined, `net` runs the other server: the user may want just that.
  if (!host_.Ask(foreign->question)) return true;
  const InstallCommand remove = UninstallCommandFor(service, home);
  const std::optional<ProgramRun> run =
      RunElevated(window_, remove.program, remove.parameters, kInstallTimeLimitMs);
  if (!run) return false;
  if (!Installed(*run)) {
    host_.Report(ChangeFailedLine(service, *run, remove.program));
    return false;
  }
  return Install(service);
}

bool ServiceRunner::OfferPortMove(Service service, unsigned port, bool forbidden) {
  const std::optional<unsigned> free = FreePort(service, TcpListeners(), CanBind);
  if (!free) {
    host_.Report(NoFreePortLine(service));
    return false;
  }
  if (!host_.Ask(PortMoveQuestion(service, port, *free, forbidden))) return false;
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
  const CauseContext context = CauseContextOf(Service::Apache2, *PortToCheck(Service::Apache2, ""));
  if (const auto cause = RecognizeCause(Service::Apache2, run->output, context); cause && !cause->line.empty()) {
    host_.Report(cause->line);
  }
  if (!verdict.message.empty()) host_.Tell(verdict.message);
  return false;
}

void ServiceRunner::RunNet(Service service, ServiceAction half) {
  const bool stop = half == ServiceAction::Stop;
  const std::string commandLine = stop ? StopCommandLine(service) : StartCommandLine(service);
  LogMark log;
  if (!stop) {
    log.path = ErrorLogOf(service);
    log.size = log.path.empty() ? std::nullopt : LogSize(log.path);
    if (service == Service::Apache2) {
      log.newestEvent = NewestEventRecord();
      log.startTime = static_cast<std::uint32_t>(std::time(nullptr));
    }
  } else {
    started_.erase(service);  // a stop the user asked for is no failure
  }
  if (auto program = WatchedProgram::Start(commandLine)) {
    net_.push_back({service, half, std::move(program), std::move(log)});
    SetTimer(window_, kNetTimer, kNetPollMs, nullptr);
  } else {
    host_.Log(std::string(text::kLaunchFailedBefore) + commandLine + text::kLaunchFailedAfter);
    // A copy waiting for this stop learns that it will not come.
    if (stop && service == Service::MySQL) rescue_.ServiceStopped();
  }
  host_.Log(stop ? StopMessage(service) : StartMessage(service));
}

void ServiceRunner::FinishRestart(UINT_PTR timerId) {
  const auto ticket = static_cast<std::uint32_t>(timerId - kRestartTimerBase);
  KillTimer(window_, timerId);
  const std::optional<Service> service = restarts_.ServiceOf(ticket);
  if (!service) return;
  const auto now = Clock::now();
  if (const auto remaining = restarts_.Remaining(ticket, now); remaining && remaining->count() > 0) {
    // Timers may fire a little early; wait out the rest.
    SetTimer(window_, timerId, static_cast<UINT>(remaining->count()), nullptr);
    return;
  }
  // A service still stopping would refuse the start and may still hold its port.
  const ServiceStatus status = StatusOf(*service);
  const bool stopped = status.state == ServiceState::Stopped || status.state == ServiceState::Unknown;
  switch (*restarts_.Next(ticket, now, stopped)) {
    case RestartStep::Wait:
      SetTimer(window_, timerId, static_cast<UINT>(RestartPollInterval(status.waitHintMs).count()), nullptr);
      return;
    case RestartStep::GiveUp: {
      const Event event(host_);
      host_.Report(MessageLine(std::string(ServerName(*service)) + text::kNotStoppedInTime));
      return;
    }
    case RestartStep::Start: {
      const Event event(host_);
      if (MayRun(*service, ServiceAction::Start)) StartIfReady(*service);
      return;
    }
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
  for (const auto& [watched, run] : ended) {
    const Event event(host_);
    Diagnose(watched, run);
  }
}

void ServiceRunner::Diagnose(const Watched& ended, const ProgramRun& run) {
  const std::optional<std::string> line = NetFailedLine(ended.service, ended.half, run);
  if (!line && ended.half == ServiceAction::Start) started_[ended.service] = {Clock::now(), ended.log};
  if (ended.service == Service::MySQL && ended.half == ServiceAction::Stop) rescue_.ServiceStopped();
  if (!line || NetReachedGoal(ended.half, StateOf(ended.service))) return;
  host_.Report(*line);
  if (ended.half == ServiceAction::Start) ExplainFailedStart(ended.service, ended.log, run.output);
}

void ServiceRunner::OnMonitorTick(Service service, bool running) {
  const auto started = started_.find(service);
  if (started == started_.end()) return;
  const auto since = Clock::now() - started->second.at;
  if (running && since <= std::chrono::milliseconds(kStoppedAfterStartWindowMs)) return;
  const LogMark log = started->second.log;
  started_.erase(started);
  if (running) {
    if (service == Service::MySQL) CheckDamageAfterStart(log);
    return;
  }
  // Windows was told the server runs, and it stopped soon after: a failed start.
  const Event event(host_);
  host_.Report(StoppedAfterStartLine(service));
  ExplainFailedStart(service, log, "");
}

void ServiceRunner::CheckDamageAfterStart(const LogMark& log) {
  // A server often starts with a damaged page and fails only when it is read.
  const std::string logPath = ErrorLogOf(Service::MySQL);
  const std::optional<std::string> damage =
      DamageAfterStartLine(NewLogText(logPath, logPath == log.path ? log.size : std::nullopt));
  if (!damage) return;
  const Event event(host_);
  host_.Report(*damage);
  if (rescue_.Offer(true)) RunNet(Service::MySQL, ServiceAction::Stop);
}

void ServiceRunner::ExplainFailedStart(Service service, const LogMark& log, std::string_view netOutput) {
  // The log is looked for again: a first failed start may have created it, or
  // another file than the one the mark found.
  const std::string logPath = ErrorLogOf(service);
  const std::string logText = NewLogText(logPath, logPath == log.path ? log.size : std::nullopt);
  if (auto line = ErrorLogLine(service, logText)) host_.Report(*line);
  // What Apache said before its logs were open went to the event log.
  std::string evidence = logText + "\n" + std::string(netOutput);
  if (log.newestEvent) {
    const std::vector<std::string> reported = ApacheEventLinesSince(*log.newestEvent, log.startTime);
    if (auto line = ApacheReportedLine(reported)) host_.Report(*line);
    for (const std::string& line : reported) evidence += "\n" + line;
  }
  const std::optional<unsigned> profilePort = PortToCheck(service, ProfilePortValue(service));
  const unsigned port = profilePort.value_or(*PortToCheck(service, ""));
  const CauseContext context = CauseContextOf(service, port);
  const std::string& home = context.programDirectory;
  const std::optional<KnownCause> cause = RecognizeCause(service, evidence, context);
  bool explained = false;
  if (cause && cause->dataLocked) {
    // Another program holds the data files: moving the port cannot help. A
    // second MySQL is named where one runs.
    const std::optional<std::string> other = OtherMySQLLine(NamedProcesses(), StatusOf(service).processId);
    host_.Report(other.value_or(cause->line));
    return;
  }
  if (cause && !cause->portTaken) {
    host_.Report(cause->line);
    explained = true;
  }
  if (cause && cause->damagedData) {
    rescue_.Offer(false);
    return;
  }
  // Without its data folder MySQL writes no log at all.
  if (service == Service::MySQL && !explained) {
    if (!IsFolder(context.dataFolder)) {
      host_.Report(NoDataFolderLine(context.dataFolder));
      explained = true;
    }
  }
  if (const std::optional<std::string> missing = PortChecksUnavailable()) {
    host_.Report(SystemDllMissingLine(*missing));
    return;
  }
  bool portLine = false, forbidden = false;
  if (cause && cause->portTaken) {
    forbidden = ReportPortSaidTaken(service, cause->port);
    portLine = true;
  } else if (profilePort) {
    portLine = ReportTakenPort(*profilePort, false, HoldersFor(service).others);
  }
  // A taken or forbidden port of the server's own is moved if the user agrees.
  const bool blocked = (cause && cause->portBlocked) || forbidden;
  const unsigned concerned = blocked ? cause->port : port;
  if (profilePort && (portLine || blocked) && concerned == *profilePort) {
    // The forbidden rows say their own line; the taken rows leave it to the taken-port line.
    const bool saidForbidden = forbidden || (cause && cause->portBlocked && !cause->portTaken);
    if (OfferPortMove(service, *profilePort, saidForbidden)) StartIfReady(service);
    return;
  }
  if (explained || portLine) return;
  // Nothing said why: perhaps the server cannot run at all, or (MySQL) says why
  // when it reads my.ini.
  const std::string versionCheck = VersionCommandLine(service, home);
  if (const std::optional<ProgramRun> run = RunCaptured(versionCheck, kVersionTimeLimitMs, nullptr)) {
    if (auto line = UnrunnableLine(ImageName(OwnServerProgram(service, home)), *run)) {
      host_.Report(*line);
    } else if (const auto said = RecognizeCause(service, run->output, context); said && !said->line.empty()) {
      host_.Report(said->line);
    }
  }
}

bool ServiceRunner::ReportTakenPort(unsigned port, bool saidTaken, const std::vector<Listener>& listeners) {
  const std::optional<std::string> line = PortTakenLine(port, listeners, ImageNameOf, saidTaken);
  if (!line) return false;
  host_.Report(*line);
  if (HeldByHttpService(port, listeners)) {
    if (auto users = HttpServiceUsersLine(RunningServices())) host_.Report(*users);
  }
  return true;
}

ServiceRunner::PortTrouble ServiceRunner::ReportPortInUse(Service service, unsigned port, const std::string& address) {
  const PortHolders holders = HoldersFor(service);
  if (ReportTakenPort(port, false, holders.others)) return PortTrouble::Taken;
  if (holders.OwnHolds(port)) return PortTrouble::None;
  const unsigned long error = BindError(address, port);
  const std::optional<std::string> line = PortBlockedLine(port, error);
  if (!line) return PortTrouble::None;
  host_.Report(*line);
  return error == kPortForbidden ? PortTrouble::Forbidden : PortTrouble::Taken;
}

bool ServiceRunner::ReportPortSaidTaken(Service service, unsigned port) {
  const PortHolders holders = HoldersFor(service);
  if (ReportTakenPort(port, false, holders.others)) return false;
  // Old servers say the same words for a taken and a forbidden port: a port
  // nobody holds that cannot be bound is forbidden.
  if (!holders.OwnHolds(port) && BindError({}, port) == kPortForbidden) {
    host_.Report(*PortBlockedLine(port, kPortForbidden));
    return true;
  }
  ReportTakenPort(port, true, holders.others);
  return false;
}

}  // namespace tellurix
