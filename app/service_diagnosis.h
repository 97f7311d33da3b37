// When a server will not start, the panel says why: what it asks the service
// manager before a service command, what it makes of the output of `net`, of a
// port held by another program and of `httpd.exe -t`, and what it offers to fix.
// Portable: the Win32 runner (app/service_runner.h) asks the system and acts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/service_commands.h"
#include "ui/launch_plan.h"

namespace tellurix {

std::string_view ServerName(Service service);   // "Apache", "MySQL"

// What opening the service through the service manager (with the access the
// command needs) says about running `net`.
struct ServiceCheck {
  enum class Fix { None, Install, Elevate };
  bool runNet = true;
  std::string line;      // logged at once; empty for none
  std::string question;  // asked with OK and Cancel; empty for none
  Fix fix = Fix::None;   // what OK does
};
// `openError` is the system's error code of OpenService (0 when it opened).
ServiceCheck CheckServiceAccess(Service service, ServiceAction action, unsigned long openError);

std::string NoRightsLine(Service service);

// The stack's own installer of the service, run elevated.
struct InstallCommand {
  std::string program, parameters;
};
InstallCommand InstallCommandFor(Service service, std::string_view programDirectory);
// The line after the installer ran: "已安装服务…" for exit code 0, else why not.
std::string InstallResultLine(Service service, const ProgramRun& run, std::string_view program);
inline bool Installed(const ProgramRun& run) { return run.outcome == ProgramRun::Outcome::Exited && run.exitCode == 0; }

// A program's output as one short reason: each line trimmed, empty lines
// dropped, the rest joined by one space, cut after 80 characters with "…";
// "退出代码 <code>" when it printed nothing.
std::string ShapeReason(std::string_view output, unsigned long exitCode);

// The line after `net` ended: none for exit code 0.
std::optional<std::string> NetFailedLine(Service service, ServiceAction half, const ProgramRun& run);

// The port a server listens on, from its profile value ([Apache] Listen,
// [MySQL] port): the default (80, 3306) when empty; none when the value is not
// a plain number.
std::optional<unsigned> PortToCheck(Service service, std::string_view profileValue);

struct Listener {
  unsigned port;
  unsigned long processId;  // 0 when the system does not say
};
// The line for a port another program listens on; none when nobody does.
// `imageOf` names a process by its id, when it can.
std::optional<std::string> PortTakenLine(unsigned port, const std::vector<Listener>& listeners,
                                         const std::function<std::optional<std::string>(unsigned long)>& imageOf);

// The check of httpd.conf before Apache starts (or restarts).
std::string ConfigTestCommandLine(std::string_view programDirectory);
inline constexpr unsigned kConfigTestTimeLimitMs = 15000;
struct ConfigVerdict {
  bool runNet = true;
  std::string line, message;  // when not
};
// A check that could not run or did not end in time is skipped.
ConfigVerdict JudgeConfigTest(const ProgramRun& run);

// How long the installer is waited for.
inline constexpr unsigned kInstallTimeLimitMs = 30000;

}  // namespace tellurix
