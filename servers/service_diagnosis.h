// When a server will not start, the panel says why: what it asks the service
// manager before a service command, what it makes of the output of `net`, of a
// port held by another program and of `httpd.exe -t`, and what it offers to fix.
// Portable: the Win32 runner (servers/service_runner.h) asks the system and acts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/process_probe.h"
#include "servers/service_commands.h"
#include "ui/launch_plan.h"

namespace tellurix {

std::string_view ServerName(Service service);  // "Apache", "MySQL"
// A line of the message list: the text and the end every line has ("...    ").
std::string MessageLine(std::string_view text);
// The stack's own server program, `<ProgramDirectory>\Apache2\bin\httpd.exe` or
// `<ProgramDirectory>\MySQL\bin\mysqld-nt.exe`.
std::string OwnServerProgram(Service service, std::string_view programDirectory);

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
// The administrator prompt of an install or a service change was answered No:
// "没有得到管理员权限，服务…没有改动".
std::string NotElevatedLine(Service service);
// A DLL of Windows the command needs could not be loaded: "无法加载Windows的系统文件：ws2_32.dll".
std::string SystemDllMissingLine(std::string_view missing);

// The stack's own installer of the service, run elevated.
struct InstallCommand {
  std::string program, parameters;
};
InstallCommand InstallCommandFor(Service service, std::string_view programDirectory);
// The line after the installer ran: "已安装服务…" for exit code 0, the declined
// prompt's line, else why not.
std::string InstallResultLine(Service service, const ProgramRun& run, std::string_view program);
// Why a program run elevated did not do its work: it could not start, did not
// end in time, or never ran, or its output or exit code.
std::string FailureReason(const ProgramRun& run, std::string_view program);
inline bool Installed(const ProgramRun& run) { return run.outcome == ProgramRun::Outcome::Exited && run.exitCode == 0; }

// A program's output as one short reason: each line trimmed, empty lines
// dropped, the rest joined by one space, cut after 80 characters with "…";
// "退出代码 <code>" when it printed nothing.
std::string ShapeReason(std::string_view output, unsigned long exitCode);

// The line after `net` ended: none for exit code 0.
std::optional<std::string> NetFailedLine(Service service, ServiceAction half, const ProgramRun& run);

// The service's state as the service manager tells it after `net` failed.
enum class ServiceState { Running, Stopped, Pending, Unknown };
// A failed `net` may still have left the service where the user wanted it (a
// stop of a stopped service, the first half of its restart included): then
// there is nothing to report.
bool NetReachedGoal(ServiceAction half, ServiceState state);

// A program that never ran: a DLL it needs is missing (0xC0000135), or it or a
// DLL is built for the other bitness (0xC000007B). `image` names the program.
std::optional<std::string> UnrunnableText(std::string_view image, unsigned long exitCode);
std::optional<std::string> UnrunnableLine(std::string_view image, const ProgramRun& run);
std::string_view ImageName(std::string_view programPath);  // the file name of a path

// After a failed start that nothing else explained, the server is asked its
// version, to learn whether it can run at all (MySQL reads my.ini first, and
// names a setting it does not know).
std::string VersionCommandLine(Service service, std::string_view programDirectory);
inline constexpr unsigned kVersionTimeLimitMs = 10000;

// Where the profile keeps a server's port: [Apache] Listen, [MySQL] port.
struct ProfileKey {
  std::string_view section, key;
};
ProfileKey PortProfileKey(Service service);
// The port a server listens on, from its profile value: the default (80, 3306)
// when empty; none when the value is not a plain number.
std::optional<unsigned> PortToCheck(Service service, std::string_view profileValue);

struct Listener {
  unsigned port;
  unsigned long processId;  // 0 when the system does not say
};
// The line for a port another program listens on; none when nobody does,
// unless the server itself `saidTaken` (the program may have gone since).
// `imageOf` names a process by its id, when it can; id 0 is never asked (it is
// the system's idle process, or an owner the system does not tell), and id 4
// is the Windows HTTP service.
std::optional<std::string> PortTakenLine(unsigned port, const std::vector<Listener>& listeners,
                                         const std::function<std::optional<std::string>(unsigned long)>& imageOf,
                                         bool saidTaken = false);
inline constexpr unsigned long kSystemProcessId = 4;

// The listeners apart from the service's own process (`ownProcessId`, 0 when
// none runs): a server that is still stopping, or runs, holds its own port, and
// it is no other program.
struct PortHolders {
  std::vector<Listener> others;
  std::vector<unsigned> ownPorts;
  bool OwnHolds(unsigned port) const;
};
PortHolders HoldersOf(const std::vector<Listener>& listeners, unsigned long ownProcessId);

// The line for a port nobody listens on that the panel could not bind as the
// server would: forbidden (10013, a port Windows reserves for Hyper-V, WSL or
// Docker) or taken (10048, by a socket the listener table does not show);
// none for any other outcome.
std::optional<std::string> PortBlockedLine(unsigned port, unsigned long bindError);
inline constexpr unsigned long kPortForbidden = 10013, kPortInUse = 10048;  // WSAEACCES, WSAEADDRINUSE

// The addresses Apache listens on, from every `Listen` line of httpd.conf:
// "80", "127.0.0.1:8080", "[::]:80" (the address empty for all of them).
struct ListenAddress {
  std::string address;
  unsigned port = 0;
  bool operator==(const ListenAddress& other) const { return address == other.address && port == other.port; }
};
std::vector<ListenAddress> ApacheListens(std::string_view httpdConf);

// A start that succeeded and a server that stopped soon after: "<server>启动后又停止了".
std::string StoppedAfterStartLine(Service service);
inline constexpr unsigned kStoppedAfterStartWindowMs = 15000;
bool HeldByHttpService(unsigned port, const std::vector<Listener>& listeners);

// The running services known to serve through the HTTP service (IIS, Web
// Deploy, BranchCache, Reporting Services), as one line; none when none runs.
struct RunningService {
  std::string name, displayName;
};
bool UsesHttpService(std::string_view serviceName);
std::optional<std::string> HttpServiceUsersLine(const std::vector<RunningService>& running);

// The check of httpd.conf before Apache starts (or restarts), with the
// service's own name so that its start arguments apply.
std::string ConfigTestCommandLine(std::string_view programDirectory);
inline constexpr unsigned kConfigTestTimeLimitMs = 15000;
struct ConfigVerdict {
  bool runNet = true;
  std::string line, message;  // when not; no message when httpd.exe never ran
};
// A check that could not run or did not end in time is skipped; one whose
// httpd.exe cannot run at all stops the command with the reason. The line is
// the first line of the report, joined with the next when it ends in ":".
ConfigVerdict JudgeConfigTest(const ProgramRun& run);

// The line for another MySQL server that holds the data files: the first
// process whose image is mysqld*.exe (without case: mysqld.exe, mysqld-nt.exe,
// mysqld-max-nt.exe) other than the service's own; none when none runs.
std::optional<std::string> OtherMySQLLine(const std::vector<NamedProcess>& processes, unsigned long ownServicePid);

// How long the installer is waited for.
inline constexpr unsigned kInstallTimeLimitMs = 30000;

}  // namespace tellurix
