// The fixes one question away when a server cannot start: a disabled service
// made startable, a service that runs another folder's program replaced by the
// stack's own, and a taken port moved to a free one. Checked before `net start`
// runs, so that the user does not wait for a start that cannot succeed.
// Portable: the runner asks the system and the user, and acts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "servers/service_diagnosis.h"
#include "dialogs/settings_apply.h"

namespace tellurix {

// A disabled service: the question, the line when the user declines, and the
// outcome of making it start on demand (the program run elevated for it).
std::string DisabledQuestion(Service service);
std::string DisabledLine(Service service);
std::string ServiceChangeLine(Service service, const ProgramRun& run, std::string_view program);
std::string ChangeFailedLine(Service service, const ProgramRun& run, std::string_view program);
inline bool Changed(const ProgramRun& run) { return Installed(run); }

// The program of a service's command line: the quoted path, or an unquoted one
// up to its ".exe" (or its first space), without the arguments.
std::string ProgramOfCommandLine(std::string_view commandLine);
// Paths compared as Windows does: letters of the Latin alphabet without case, "/" as "\".
bool SamePath(std::string_view a, std::string_view b);

// A service registered with another folder's program: the line and the
// question; none when it runs the stack's own. `longName` gives a path's long
// form (8.3 short names expanded) where the file system can tell it.
struct ForeignService {
  std::string program, line, question;
};
std::optional<ForeignService> CheckServiceProgram(Service service, std::string_view commandLine,
                                                  std::string_view programDirectory,
                                                  const std::function<std::string(const std::string&)>& longName);
// The stack's own way to remove the service, run before its installer.
InstallCommand UninstallCommandFor(Service service, std::string_view programDirectory);

// The ports a server may move to, in the order they are tried.
std::vector<unsigned> PortCandidates(Service service);
bool Listened(unsigned port, const std::vector<Listener>& listeners);
// The first candidate nobody listens on and the panel itself can bind.
std::optional<unsigned> FreePort(Service service, const std::vector<Listener>& listeners,
                                 const std::function<bool(unsigned)>& canBind);
std::string NoFreePortLine(Service service);
// The offer to move: "端口80已被占用，…", or for a port the system forbids
// "端口80被系统禁止使用，是否把Apache改用端口8080？".
std::string PortMoveQuestion(Service service, unsigned port, unsigned newPort, bool forbidden = false);

// What the settings dialog writes for a changed port, in its order: the
// profile's entry first, then the stack file's lines.
struct PortMove {
  std::string profileSection;
  std::vector<FieldChange> changes;
};
PortMove PortMoveWrites(Service service, std::string_view programDirectory, unsigned newPort);
// The lines after the move: that it was made, and what else still uses the old
// port (a virtual host of `vhosts`, Apache's) or must learn the new one
// (MySQL's clients).
std::vector<std::string> PortMovedLines(Service service, unsigned oldPort, unsigned newPort, std::string_view vhosts);

// The panel run elevated for one change of a service, without a window:
// "--set-service-manual Apache2". It acts only on the stack's two services.
inline constexpr char kSetServiceManual[] = "--set-service-manual";
struct ServiceTool {
  bool isTool = false;             // the arguments ask for the tool
  std::optional<Service> service;  // the service it may change; none: refused
};
ServiceTool ParseServiceTool(const std::vector<std::string>& arguments);
std::string SetManualParameters(Service service);
// The tool's exit codes.
inline constexpr int kToolDone = 0, kToolFailed = 1, kToolRefused = 2;

}  // namespace tellurix
