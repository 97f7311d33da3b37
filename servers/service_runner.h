// Runs the six service commands: asks the service manager first (and offers to
// install a missing service, or to run the panel again with administrator
// rights), checks httpd.conf before Apache starts, launches `net` hidden and
// watches it without blocking. When `net` fails and the service is not where
// the user wanted it, it reads what the server wrote to its error log, names a
// known cause and a program holding the server's port, and else asks the
// server whether it can run at all. The restart's wait (five seconds, longer
// while the service is still stopping) returns to the message loop; a timer per
// restart finishes it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "servers/service_commands.h"
#include "servers/rescue_runner.h"
#include "servers/runner_host.h"
#include "servers/service_diagnosis.h"
#include "ui/launcher.h"

namespace tellurix {

class ServiceRunner {
 public:
  // What the runner needs of the main window.
  using Host = RunnerHost;

  ServiceRunner(Host& host, HWND window)
      : host_(host), window_(window), rescue_(host, window, [this] { Run({Service::MySQL, ServiceAction::Start}); }) {}
  void Run(ServiceCommand command);
  // True when the timer was the runner's.
  bool OnTimer(UINT_PTR timerId);
  // The status monitor's view of the server, each second: a server that stops
  // within 15 s of a start that succeeded is explained as a failed start.
  void OnMonitorTick(Service service, bool running);
  // The rescue of a damaged MySQL data folder, which the runner hands damage to.
  RescueRunner& rescue() { return rescue_; }

 private:
  bool MayRun(Service service, ServiceAction action);
  bool Install(Service service);
  // `net start`, unless a check before it shows that it cannot succeed and the
  // user declines the fix.
  void StartIfReady(Service service);
  bool StartTypeAllowsStart(Service service, bool disabled);
  // Offers to replace another folder's server with the stack's own; false when
  // the command stops there (the replacement failed or was not allowed).
  bool OfferOwnProgram(Service service, const std::string& commandLine);
  // Moves the server to a free port if the user agrees (the question says
  // whether the port is taken or forbidden); true when it moved.
  bool OfferPortMove(Service service, unsigned port, bool forbidden);
  bool ConfigurationAccepted();
  void RunNet(Service service, ServiceAction half);
  void FinishRestart(UINT_PTR timerId);
  void PollNet();

  // The server's error log as it was when `net start` began.
  struct LogMark {
    std::string path;  // empty when the log cannot be read
    std::optional<std::uint64_t> size;
    std::optional<std::uint32_t> newestEvent;  // Apache: the event log's newest record then
    std::uint32_t startTime = 0;               // and the time, in seconds since 1970
  };
  struct Watched {
    Service service;
    ServiceAction half;
    std::unique_ptr<WatchedProgram> program;
    LogMark log;
  };
  void Diagnose(const Watched& ended, const ProgramRun& run);
  void ExplainFailedStart(Service service, const LogMark& log, std::string_view netOutput);
  bool ReportTakenPort(unsigned port, bool saidTaken, const std::vector<Listener>& listeners);
  // Before `net`: a listener other than the service's own holds the port, or it
  // cannot be bound as the server would (on `address`, else on all); a line
  // says which.
  enum class PortTrouble { None, Taken, Forbidden };
  PortTrouble ReportPortInUse(Service service, unsigned port, const std::string& address);
  // After a server said its port was taken; true when it is forbidden instead.
  bool ReportPortSaidTaken(Service service, unsigned port);

  Host& host_;
  HWND window_;
  PendingRestarts restarts_;
  std::vector<Watched> net_;
  // Starts that succeeded lately, until the server has run for 15 s.
  struct Started {
    Clock::time_point at;
    LogMark log;
  };
  std::map<Service, Started> started_;
  // MySQL started and ran for 15 s: what its log says of damaged data, once.
  void CheckDamageAfterStart(const LogMark& log);
  RescueRunner rescue_;
};

}  // namespace tellurix
