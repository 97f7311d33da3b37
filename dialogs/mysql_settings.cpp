// The MySQL settings dialog `fmysql`: four values of section "MySQL", written as
// entries of my.ini; and the decisions of the root password change in its lower
// frame.
#include "dialogs/mysql_settings.h"

#include "core/text_lines.h"
#include "dialogs/settings_form.h"
#include "resources/ids.h"
#include "resources/texts.h"
#include "ui/launch_plan.h"

namespace tellurix {

namespace {

constexpr char kPartBreak[] = "\r\n\r\n";


}  // namespace

const SettingsForm& MySQLSettingsForm() {
  using K = ControlLayout::Kind;
  using namespace text;
  namespace d = ids::fmysql;
  constexpr std::string_view kMyIni = "\\MySQL\\my.ini";
  static const SettingsForm form{
      kMySQLCaption, "MySQL", 312, 253,
      // Frames first, as in every window of the program. Command1 and Command2
      // sit on the window itself, over the lower right corner of Frame1.
      {
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
      },
      // The port is read by the client programs and by the server; the character
      // set by the command-line client and by the server.
      {
          {d::port, "port", {{kMyIni, "client", "port"}, {kMyIni, "mysqld", "port"}}},
          {d::connections, "max_connections", {{kMyIni, "mysqld", "max_connections"}}},
          // "INNODB" only for exactly "INNODB"; anything else shows "MyISAM".
          {d::engine, "default-storage-engine", {{kMyIni, "mysqld", "default-storage-engine"}}, {"INNODB", "MyISAM"}, 1},
          // A stored character set that is none of the items shows no selection,
          // and no selection leaves the stored value as it is in both files.
          {d::character,
           "default-character-set",
           {{kMyIni, "mysql", "default-character-set"}, {kMyIni, "mysqld", "default-character-set"}},
           {"utf8", "gb2312", "gbk", "latin1"},
           -1,
           true},
      },
      {
          {SettingsCheck::Kind::Number, d::port, kMySQLPortNotNumber, kMySQLPortNotPositive},
          {SettingsCheck::Kind::Number, d::connections, kConnectionsNotNumber, kConnectionsNotPositive},
      },
      d::Command1, d::Command2, kMySQLDone,
  };
  return form;
}

std::optional<std::string_view> NewPasswordProblem(std::string_view newPassword) {
  if (newPassword.empty()) return text::kNewPasswordEmpty;
  return std::nullopt;
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

PasswordConclusion ConcludePasswordChange(const ProgramRun& run, std::string_view programDirectory) {
  using Outcome = ProgramRun::Outcome;
  switch (run.outcome) {
    case Outcome::CannotStart:
    case Outcome::Declined:
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
  const std::string_view said = TrimBlanks(run.output);
  if (!said.empty()) return {std::string(text::kPasswordNotChanged) + std::string(said), false};
  return {std::string(text::kPasswordNotChanged) + text::kPasswordToolExitCodeBefore + std::to_string(run.exitCode) +
              text::kPasswordToolExitCodeAfter,
          false};
}

}  // namespace tellurix
