#include "dialogs/mysql_settings.h"

#include "app/quick_access.h"
#include "dialogs/number_field.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {
using K = ControlLayout::Kind;
namespace d = ids::fmysql;

constexpr char kPartBreak[] = "\r\n\r\n";

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}
}  // namespace

const std::vector<ControlLayout>& MySQLDialogControls() {
  using namespace text;
  // Frames first, as in every window of the program. Command1 and Command2 sit
  // on the window itself, over the lower right corner of Frame1.
  static const std::vector<ControlLayout> controls = {
      {d::Frame1, K::Frame, kMySQLCaption, 0, {16, 16, 289, 137}},
      {d::Frame2, K::Frame, kMySQLPasswordFrame, 0, {16, 160, 289, 81}},
      {d::Label1, K::Label, kMySQLPort, d::Frame1, {16, 32, 41, 17}},
      {d::port, K::Edit, "", d::Frame1, {56, 32, 49, 18}},
      {d::Label2, K::Label, kMySQLConnections, d::Frame1, {136, 32, 73, 17}},
      {d::connections, K::Edit, "", d::Frame1, {208, 32, 65, 18}},
      {d::Label4, K::Label, kMySQLCharacterSet, d::Frame1, {8, 64, 49, 17}},
      {d::character, K::DropList, "", d::Frame1, {56, 64, 65, 20}},
      {d::Label3, K::Label, kMySQLEngine, d::Frame1, {136, 64, 73, 17}},
      {d::engine, K::DropList, "", d::Frame1, {208, 64, 65, 20}},
      {d::Command1, K::Button, kOk, 0, {152, 120, 49, 25}},
      {d::Command2, K::Button, kCancel, 0, {232, 120, 57, 25}},
      {d::Label5, K::Label, kMySQLOldPassword, d::Frame2, {8, 24, 49, 17}},
      {d::oldpwd, K::Edit, "", d::Frame2, {56, 24, 73, 18}},
      {d::Label6, K::Label, kMySQLNewPassword, d::Frame2, {136, 24, 49, 17}},
      {d::newpwd, K::Edit, "", d::Frame2, {184, 24, 81, 18}},
      {d::Label7, K::Label, kMySQLDefaultPassword, d::Frame2, {8, 48, 153, 17}},
      {d::Command3, K::Button, kOk, d::Frame2, {216, 48, 49, 25}},
  };
  return controls;
}

const std::vector<std::string_view>& MySQLCharacterSets() {
  static const std::vector<std::string_view> items = {"utf8", "gb2312", "gbk", "latin1"};
  return items;
}

const std::vector<std::string_view>& MySQLEngines() {
  static const std::vector<std::string_view> items = {"INNODB", "MyISAM"};
  return items;
}

MySQLForm LoadMySQLForm(const std::function<std::string(std::string_view key)>& get) {
  MySQLForm form;
  form.port = get("port");
  form.character = get("default-character-set");
  form.engine = get("default-storage-engine");
  form.connections = get("max_connections");
  return form;
}

int CharacterSetIndex(std::string_view loaded) {
  const auto& items = MySQLCharacterSets();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == loaded) return static_cast<int>(i);
  }
  return -1;
}

int EngineIndex(std::string_view loaded) { return loaded == "INNODB" ? 0 : 1; }

std::optional<std::string_view> CheckMySQLForm(const MySQLForm& form) {
  switch (CheckNumberField(form.port)) {
    case NumberVerdict::NotANumber: return text::kMySQLPortNotNumber;
    case NumberVerdict::NotAPositiveWholeNumber: return text::kMySQLPortNotPositive;
    case NumberVerdict::Accepted: break;
  }
  switch (CheckNumberField(form.connections)) {
    case NumberVerdict::NotANumber: return text::kConnectionsNotNumber;
    case NumberVerdict::NotAPositiveWholeNumber: return text::kConnectionsNotPositive;
    case NumberVerdict::Accepted: break;
  }
  return std::nullopt;
}

std::vector<FieldChange> MySQLChanges(const MySQLForm& loaded, const MySQLForm& current, const std::string& myIni) {
  struct Target {
    const char* section;
    const char* key;
  };
  const struct {
    const std::string MySQLForm::*field;
    const char* profileKey;
    std::vector<Target> targets;  // sections of my.ini, in writing order
  } order[] = {
      // The port is read by the client programs and by the server; the character
      // set by the command-line client and by the server.
      {&MySQLForm::port, "port", {{"client", "port"}, {"mysqld", "port"}}},
      {&MySQLForm::connections, "max_connections", {{"mysqld", "max_connections"}}},
      {&MySQLForm::engine, "default-storage-engine", {{"mysqld", "default-storage-engine"}}},
      {&MySQLForm::character,
       "default-character-set",
       {{"mysql", "default-character-set"}, {"mysqld", "default-character-set"}}},
  };
  std::vector<FieldChange> changes;
  for (const auto& row : order) {
    const std::string& text = current.*row.field;
    if (text == loaded.*row.field) continue;
    // A stored character set that is none of the list's items shows no
    // selection. The empty text is no character set: written, it would leave
    // my.ini with an entry the server cannot use, so the stored value stays as
    // it is in both files.
    if (row.field == &MySQLForm::character && text.empty()) continue;
    FieldChange change{row.profileKey, text, {}};
    for (const Target& target : row.targets) {
      change.writes.push_back({StackWrite::Kind::IniEntry, myIni, target.section, target.key, text});
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

std::string MySQLIniPath(std::string_view programDirectory) {
  return StackPath(programDirectory, "\\MySQL\\my.ini");
}

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) return std::string(argument);
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only before a quote; there they are doubled
    // and one more escapes the quote itself.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote as well.
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string MySQLAdminProgram(std::string_view programDirectory) {
  return std::string(programDirectory) + "\\MySQL\\bin\\mysqladmin";
}

std::string MySQLAdminCommandLine(std::string_view programDirectory, std::string_view oldPassword,
                                  std::string_view newPassword) {
  // Each password is exactly one argument, whatever spaces or quotes it holds,
  // so that no part of a password is taken as another mysqladmin command. An
  // empty old password is given as an empty password: a bare -p would make
  // mysqladmin ask for one in a window nobody sees.
  const std::string oldArgument =
      oldPassword.empty() ? std::string("--password=") : QuoteArgument("-p" + std::string(oldPassword));
  return QuotedPath(MySQLAdminProgram(programDirectory)) + " -uroot " + oldArgument + " password " +
         QuoteArgument(newPassword);
}

std::string MySQLClientCommandLine(std::string_view programDirectory) {
  return QuotedPath(std::string(programDirectory) + "\\mysql\\bin\\mysql.exe") + " -uroot -p";
}

PasswordConclusion ConcludePasswordChange(const PasswordToolRun& run, std::string_view programDirectory) {
  using Outcome = PasswordToolRun::Outcome;
  switch (run.outcome) {
    case Outcome::CannotStart:
      return {std::string(text::kCannotStart) + MySQLAdminProgram(programDirectory), false};
    case Outcome::TimedOut: return {text::kPasswordToolTimedOut, false};
    case Outcome::Exited: break;
  }
  if (run.exitCode == 0) {
    return {std::string(text::kPasswordChanged1) + kPartBreak + text::kPasswordChanged2 + kPartBreak +
                text::kPasswordChanged3,
            true};
  }
  // The message says what mysqladmin said (a wrong old password, a stopped
  // server...); a tool that said nothing is known by its exit code.
  const std::string_view said = Trimmed(run.output);
  if (!said.empty()) return {std::string(text::kPasswordNotChanged) + std::string(said), false};
  return {std::string(text::kPasswordNotChanged) + text::kPasswordToolExitCodeBefore + std::to_string(run.exitCode) +
              text::kPasswordToolExitCodeAfter,
          false};
}

}  // namespace tellurix
