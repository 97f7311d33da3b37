#include "servers/service_repair.h"

#include <algorithm>

#include "core/text_lines.h"
#include "dialogs/settings_form.h"
#include "resources/texts.h"

namespace tellurix {

std::string DisabledQuestion(Service service) { return FillIn(text::kDisabledQuestion, {ServiceName(service)}); }

std::string DisabledLine(Service service) { return MessageLine(FillIn(text::kDisabled, {ServiceName(service)})); }

std::string ServiceChangeLine(Service service, const ProgramRun& run, std::string_view program) {
  if (Changed(run)) return MessageLine(FillIn(text::kMadeManual, {ServiceName(service)}));
  return ChangeFailedLine(service, run, program);
}

std::string ChangeFailedLine(Service service, const ProgramRun& run, std::string_view program) {
  if (run.outcome == ProgramRun::Outcome::Declined) return NotElevatedLine(service);
  return MessageLine(FillIn(text::kChangeFailed, {ServiceName(service), FailureReason(run, program)}));
}

std::string ProgramOfCommandLine(std::string_view commandLine) {
  commandLine = TrimBlanks(commandLine);
  if (!commandLine.empty() && commandLine.front() == '"') {
    commandLine.remove_prefix(1);
    return std::string(commandLine.substr(0, commandLine.find('"')));
  }
  // Unquoted, the path may hold spaces; the program ends with its extension.
  for (size_t at = FindNoCase(commandLine, ".exe"); at != std::string_view::npos;) {
    const size_t end = at + 4;
    if (end == commandLine.size() || commandLine[end] == ' ' || commandLine[end] == '\t') {
      return std::string(commandLine.substr(0, end));
    }
    const size_t next = FindNoCase(commandLine.substr(end), ".exe");
    at = next == std::string_view::npos ? next : end + next;
  }
  return std::string(commandLine.substr(0, commandLine.find_first_of(" \t")));
}

bool SamePath(std::string_view a, std::string_view b) {
  const auto folded = [](char c) { return c == '/' ? '\\' : FoldAscii(c); };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return folded(x) == folded(y); });
}

std::optional<ForeignService> CheckServiceProgram(Service service, std::string_view commandLine,
                                                  std::string_view programDirectory,
                                                  const std::function<std::string(const std::string&)>& longName) {
  const std::string program = ProgramOfCommandLine(commandLine);
  const std::string own = OwnServerProgram(service, programDirectory);
  if (program.empty() || SamePath(program, own) || SamePath(longName(program), longName(own))) return std::nullopt;
  const std::string_view name = ServiceName(service);
  return ForeignService{program, MessageLine(FillIn(text::kForeignProgram, {name, program})),
                        FillIn(text::kForeignQuestion, {name, ServerName(service)})};
}

InstallCommand UninstallCommandFor(Service service, std::string_view programDirectory) {
  if (service == Service::Apache2) return {OwnServerProgram(service, programDirectory), "-k uninstall -n \"Apache2\""};
  return {OwnServerProgram(service, programDirectory), "--remove MySQL"};
}

std::vector<unsigned> PortCandidates(Service service) {
  if (service == Service::Apache2) return {8080, 8081, 8000, 8888, 8090};
  return {3307, 3308, 3309, 3310};
}

bool Listened(unsigned port, const std::vector<Listener>& listeners) {
  for (const Listener& listener : listeners) {
    if (listener.port == port) return true;
  }
  return false;
}

std::optional<unsigned> FreePort(Service service, const std::vector<Listener>& listeners,
                                 const std::function<bool(unsigned)>& canBind) {
  for (unsigned port : PortCandidates(service)) {
    if (!Listened(port, listeners) && canBind(port)) return port;
  }
  return std::nullopt;
}

std::string NoFreePortLine(Service service) { return MessageLine(FillIn(text::kNoFreePort, {ServerName(service)})); }

std::string PortMoveQuestion(Service service, unsigned port, unsigned newPort, bool forbidden) {
  return FillIn(forbidden ? text::kForbiddenPortMoveQuestion : text::kPortMoveQuestion,
                {std::to_string(port), ServerName(service), std::to_string(newPort)});
}

PortMove PortMoveWrites(Service service, std::string_view programDirectory, unsigned newPort) {
  // The settings dialog's own description of where a port goes.
  const SettingsForm& form = service == Service::Apache2 ? ApacheSettingsForm() : MySQLSettingsForm();
  const std::string_view key = PortProfileKey(service).key;
  FieldTexts loaded(form.fields.size()), moved(form.fields.size());
  for (size_t i = 0; i < form.fields.size(); ++i) {
    if (form.fields[i].profileKey == key) moved[i] = std::to_string(newPort);
  }
  return {std::string(form.section), SettingsChanges(form, loaded, moved, programDirectory)};
}

std::vector<std::string> PortMovedLines(Service service, unsigned oldPort, unsigned newPort, std::string_view vhosts) {
  std::vector<std::string> lines = {
      MessageLine(FillIn(text::kPortMoved, {ServerName(service), std::to_string(newPort)}))};
  if (service == Service::MySQL) {
    lines.push_back(MessageLine(FillIn(text::kMySQLClientsPort, {std::to_string(newPort)})));
    return lines;
  }
  const std::string old = ":" + std::to_string(oldPort);
  for (const TextLine& line : SplitLines(vhosts)) {
    const std::string_view words = TrimBlanks(line.text);
    if (FindNoCase(words, "<VirtualHost") != 0) continue;
    for (size_t at = words.find(old); at != std::string_view::npos; at = words.find(old, at + 1)) {
      const size_t end = at + old.size();
      if (end < words.size() && words[end] >= '0' && words[end] <= '9') continue;
      lines.push_back(MessageLine(FillIn(text::kVhostsStillOnPort, {std::to_string(oldPort)})));
      return lines;
    }
  }
  return lines;
}

ServiceTool ParseServiceTool(const std::vector<std::string>& arguments) {
  ServiceTool tool;
  tool.isTool = !arguments.empty() && arguments.front() == kSetServiceManual;
  if (!tool.isTool || arguments.size() != 2) return tool;
  for (Service service : {Service::Apache2, Service::MySQL}) {
    if (arguments[1] == ServiceName(service)) tool.service = service;
  }
  return tool;
}

std::string SetManualParameters(Service service) {
  return std::string(kSetServiceManual) + " " + std::string(ServiceName(service));
}

}  // namespace tellurix
