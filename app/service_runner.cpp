// Winsock's headers go before <windows.h>, which the runner's header includes.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include "app/service_runner.h"

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
  host_.Tell(verdict.message);
  return false;
}

void ServiceRunner::RunNet(Service service, ServiceAction half) {
  const bool stop = half == ServiceAction::Stop;
  const std::string commandLine = stop ? StopCommandLine(service) : StartCommandLine(service);
  if (auto program = WatchedProgram::Start(commandLine)) {
    net_.push_back({service, half, std::move(program)});
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
  for (size_t i = 0; i < net_.size();) {
    const std::optional<ProgramRun> run = net_[i].program->Poll();
    if (!run) {
      ++i;
      continue;
    }
    const Watched ended = std::move(net_[i]);
    net_.erase(net_.begin() + static_cast<std::ptrdiff_t>(i));
    if (auto line = NetFailedLine(ended.service, ended.half, *run)) {
      host_.Report(*line);
      if (ended.half == ServiceAction::Start) ReportTakenPort(ended.service);
    }
  }
  if (net_.empty()) KillTimer(window_, kNetTimer);
}

void ServiceRunner::ReportTakenPort(Service service) {
  const bool apache = service == Service::Apache2;
  const std::string value = GetIniValue(apache ? "Apache" : "MySQL", apache ? "Listen" : "port", "", "Tellurix.ini");
  const std::optional<unsigned> port = PortToCheck(service, value);
  if (!port) return;
  if (auto line = PortTakenLine(*port, TcpListeners(), ImageNameOf)) host_.Report(*line);
}

}  // namespace tellurix
