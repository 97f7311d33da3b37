#include "servers/service_diagnosis.h"

#include "core/text_lines.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

constexpr unsigned long kAccessDenied = 5, kServiceDoesNotExist = 1060;
// The program's output lines, trimmed, without the empty ones.
std::vector<std::string_view> NonEmptyLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (const TextLine& line : SplitLines(text)) {
    if (std::string_view trimmed = TrimBlanks(line.text); !trimmed.empty()) lines.push_back(trimmed);
  }
  return lines;
}

}  // namespace

std::string_view ServerName(Service service) { return service == Service::Apache2 ? "Apache" : "MySQL"; }

std::string MessageLine(std::string_view text) { return std::string(text) + text::kLineEnd; }

std::string OwnServerProgram(Service service, std::string_view programDirectory) {
  return std::string(programDirectory) +
         (service == Service::Apache2 ? "\\Apache2\\bin\\httpd.exe" : "\\MySQL\\bin\\mysqld-nt.exe");
}

ServiceCheck CheckServiceAccess(Service service, ServiceAction action, unsigned long openError) {
  const std::string name(ServiceName(service));
  ServiceCheck check;
  if (openError == kServiceDoesNotExist) {
    check.runNet = false;
    check.line = MessageLine(text::kServiceMissingBefore + name + text::kServiceMissingAfter);
    if (action != ServiceAction::Stop) {
      check.question = name + text::kInstallQuestion;
      check.fix = ServiceCheck::Fix::Install;
    }
  } else if (openError == kAccessDenied) {
    check.runNet = false;
    check.question = text::kElevateQuestion;
    check.fix = ServiceCheck::Fix::Elevate;
  }
  // Any other trouble is left to `net`, which reports it.
  return check;
}

std::string NotElevatedLine(Service service) {
  return MessageLine(FillIn(text::kNotElevated, {ServiceName(service)}));
}

std::string SystemDllMissingLine(std::string_view missing) {
  return MessageLine(FillIn(text::kSystemDllMissing, {missing}));
}

std::string NoRightsLine(Service service) { return MessageLine(text::kNoRights + std::string(ServiceName(service))); }

InstallCommand InstallCommandFor(Service service, std::string_view programDirectory) {
  const std::string program = OwnServerProgram(service, programDirectory);
  if (service == Service::Apache2) return {program, "-k install -n \"Apache2\""};
  return {program, "--install MySQL --defaults-file=\"" + std::string(programDirectory) + "\\MySQL\\my.ini\""};
}

std::string InstallResultLine(Service service, const ProgramRun& run, std::string_view program) {
  const std::string name(ServiceName(service));
  if (Installed(run)) return MessageLine(text::kInstalled + name);
  if (run.outcome == ProgramRun::Outcome::Declined) return NotElevatedLine(service);
  return MessageLine(text::kInstallFailedBefore + name + text::kFailedColon + FailureReason(run, program));
}

std::string FailureReason(const ProgramRun& run, std::string_view program) {
  switch (run.outcome) {
    case ProgramRun::Outcome::CannotStart:
    case ProgramRun::Outcome::Declined: return text::kCannotStart + std::string(program);
    case ProgramRun::Outcome::TimedOut: return text::kInstallTimedOut;
    case ProgramRun::Outcome::Exited: break;
  }
  return UnrunnableText(ImageName(program), run.exitCode).value_or(ShapeReason(run.output, run.exitCode));
}

std::string ShapeReason(std::string_view output, unsigned long exitCode) {
  std::string joined;
  for (std::string_view line : NonEmptyLines(output)) joined += (joined.empty() ? "" : " ") + std::string(line);
  if (joined.empty()) return text::kExitCode + std::to_string(exitCode);
  constexpr size_t kLimit = 80;
  return CutAfterCharacters(joined, kLimit);
}

std::optional<std::string> NetFailedLine(Service service, ServiceAction half, const ProgramRun& run) {
  if (run.outcome == ProgramRun::Outcome::Exited && run.exitCode == 0) return std::nullopt;
  const char* failed = half == ServiceAction::Stop ? text::kStopFailed : text::kStartFailed;
  return MessageLine(std::string(ServerName(service)) + failed + ShapeReason(run.output, run.exitCode));
}

bool NetReachedGoal(ServiceAction half, ServiceState state) {
  return state == (half == ServiceAction::Stop ? ServiceState::Stopped : ServiceState::Running);
}

std::optional<std::string> UnrunnableText(std::string_view image, unsigned long exitCode) {
  constexpr unsigned long kDllNotFound = 0xC0000135, kInvalidImageFormat = 0xC000007B;
  if (exitCode == kDllNotFound) return std::string(image) + text::kDllMissing;
  if (exitCode == kInvalidImageFormat) return std::string(image) + text::kWrongBitness;
  return std::nullopt;
}

std::optional<std::string> UnrunnableLine(std::string_view image, const ProgramRun& run) {
  if (run.outcome != ProgramRun::Outcome::Exited) return std::nullopt;
  if (auto reason = UnrunnableText(image, run.exitCode)) return MessageLine(*reason);
  return std::nullopt;
}

std::string_view ImageName(std::string_view programPath) {
  return programPath.substr(programPath.find_last_of("\\/") + 1);
}

std::string VersionCommandLine(Service service, std::string_view programDirectory) {
  const std::string program = "\"" + OwnServerProgram(service, programDirectory) + "\"";
  if (service == Service::Apache2) return program + " -v";
  // The server reads my.ini first, and names a setting it does not know.
  return program + " --defaults-file=\"" + std::string(programDirectory) + "\\MySQL\\my.ini\" --version";
}

ProfileKey PortProfileKey(Service service) {
  return service == Service::Apache2 ? ProfileKey{"Apache", "Listen"} : ProfileKey{"MySQL", "port"};
}

std::optional<unsigned> PortToCheck(Service service, std::string_view profileValue) {
  if (profileValue.empty()) return service == Service::Apache2 ? 80u : 3306u;
  if (profileValue.size() > 5 || profileValue.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const unsigned port = static_cast<unsigned>(std::stoul(std::string(profileValue)));
  if (port == 0 || port > 65535) return std::nullopt;
  return port;
}

std::optional<std::string> PortTakenLine(unsigned port, const std::vector<Listener>& listeners,
                                         const std::function<std::optional<std::string>(unsigned long)>& imageOf,
                                         bool saidTaken) {
  const std::string head = text::kPort + std::to_string(port);
  if (HeldByHttpService(port, listeners)) return MessageLine(head + text::kTakenByHttpService);
  std::optional<std::string> line;
  if (saidTaken) line = MessageLine(head + text::kTakenByOther);
  for (const Listener& listener : listeners) {
    if (listener.port != port) continue;
    if (auto image = listener.processId ? imageOf(listener.processId) : std::nullopt) {
      return MessageLine(head + text::kTakenBy + *image + text::kTakenPid + std::to_string(listener.processId) +
                         text::kTakenPidAfter);
    }
    line = MessageLine(head + text::kTakenByOther);
  }
  return line;
}

bool PortHolders::OwnHolds(unsigned port) const {
  for (unsigned own : ownPorts) {
    if (own == port) return true;
  }
  return false;
}

PortHolders HoldersOf(const std::vector<Listener>& listeners, unsigned long ownProcessId) {
  PortHolders holders;
  for (const Listener& listener : listeners) {
    if (ownProcessId != 0 && listener.processId == ownProcessId) {
      holders.ownPorts.push_back(listener.port);
    } else {
      holders.others.push_back(listener);
    }
  }
  return holders;
}

std::optional<std::string> PortBlockedLine(unsigned port, unsigned long bindError) {
  if (bindError == kPortForbidden) return MessageLine(FillIn(text::kCausePortForbidden, {std::to_string(port)}));
  if (bindError == kPortInUse) return MessageLine(text::kPort + std::to_string(port) + text::kTakenByOther);
  return std::nullopt;
}

std::vector<ListenAddress> ApacheListens(std::string_view httpdConf) {
  std::vector<ListenAddress> listens;
  for (const TextLine& line : SplitLines(httpdConf)) {
    const std::string_view words = TrimBlanks(line.text);
    if (!StartsWithNoCase(words, "Listen") || words.size() < 7 || (words[6] != ' ' && words[6] != '\t')) continue;
    std::string_view where = TrimBlanks(words.substr(6));
    where = where.substr(0, where.find_first_of(" \t"));  // a protocol may follow
    if (where.empty()) continue;
    ListenAddress listen;
    std::string_view port = where;
    if (const size_t colon = where.rfind(':'); colon != std::string_view::npos) {
      listen.address = std::string(where.substr(0, colon));
      port = where.substr(colon + 1);
      if (listen.address.size() >= 2 && listen.address.front() == '[' && listen.address.back() == ']') {
        listen.address = listen.address.substr(1, listen.address.size() - 2);
      }
      if (listen.address == "*") listen.address.clear();
    }
    if (auto number = PortToCheck(Service::Apache2, port); number && !port.empty()) {  // "[::]:" names none
      listen.port = *number;
      listens.push_back(listen);
    }
  }
  return listens;
}

std::string StoppedAfterStartLine(Service service) {
  return MessageLine(std::string(ServerName(service)) + text::kStoppedAfterStart);
}

bool HeldByHttpService(unsigned port, const std::vector<Listener>& listeners) {
  for (const Listener& listener : listeners) {
    if (listener.port == port && listener.processId == kSystemProcessId) return true;
  }
  return false;
}

bool UsesHttpService(std::string_view serviceName) {
  // IIS, Web Deploy, BranchCache, IIS remote management and Reporting Services
  // (a named instance of the last is "ReportServer$<instance>").
  static constexpr std::string_view kUsers[] = {"W3SVC",
                                                "WAS",
                                                "MsDepSvc",
                                                "PeerDistSvc",
                                                "ReportServer",
                                                "WMSVC",
                                                "SQLServerReportingServices",
                                                "PowerBIReportServer"};
  for (std::string_view user : kUsers) {
    if (EqualsNoCase(serviceName, user)) return true;
  }
  return StartsWithNoCase(serviceName, "ReportServer$") && serviceName.size() > 13;
}

std::optional<std::string> HttpServiceUsersLine(const std::vector<RunningService>& running) {
  std::string names;
  for (const RunningService& service : running) {
    if (!UsesHttpService(service.name)) continue;
    if (!names.empty()) names += "、";
    names += service.displayName + "（" + service.name + "）";
  }
  if (names.empty()) return std::nullopt;
  return MessageLine(text::kHttpServiceUsers + names);
}

std::string ConfigTestCommandLine(std::string_view programDirectory) {
  return "\"" + OwnServerProgram(Service::Apache2, programDirectory) + "\" -n \"Apache2\" -t";
}

ConfigVerdict JudgeConfigTest(const ProgramRun& run) {
  if (run.outcome != ProgramRun::Outcome::Exited || run.exitCode == 0) return {};
  if (auto never = UnrunnableLine("httpd.exe", run)) return {false, *never, {}};
  const std::vector<std::string_view> lines = NonEmptyLines(run.output);
  std::string first = lines.empty() ? ShapeReason("", run.exitCode) : std::string(lines.front());
  // Most errors take two lines: where ("... of httpd.conf:"), then what.
  if (lines.size() > 1 && first.back() == ':') first += " " + std::string(lines[1]);
  constexpr size_t kLimit = 160;
  return {false, MessageLine(text::kConfigBroken + CutAfterCharacters(first, kLimit)),
          std::string(text::kConfigBrokenMessage) + "\r\n\r\n" + std::string(TrimBlanks(run.output))};
}

std::optional<std::string> OtherMySQLLine(const std::vector<NamedProcess>& processes, unsigned long ownServicePid) {
  for (const NamedProcess& process : processes) {
    const std::string_view image = ImageName(process.imageName);
    const bool server = StartsWithNoCase(image, "mysqld") && image.size() >= 10 &&
                        EqualsNoCase(image.substr(image.size() - 4), ".exe");
    if (server && process.processId != ownServicePid) {
      return MessageLine(FillIn(text::kOtherMySQL, {image, std::to_string(process.processId)}));
    }
  }
  return std::nullopt;
}

}  // namespace tellurix
