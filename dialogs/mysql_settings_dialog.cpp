// The MySQL settings dialog's own part: the root password change of its lower
// frame, which runs mysqladmin and waits for it.
#include "core/file_io.h"
#include "dialogs/mysql_settings.h"
#include "dialogs/settings_dialog.h"
#include "resources/ids.h"
#include "resources/texts.h"
#include "ui/launcher.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

namespace d = ids::fmysql;

class MySQLSettingsDialog : public SettingsDialog {
 public:
  MySQLSettingsDialog() : SettingsDialog(MySQLSettingsForm()) {}

 private:
  void OnCommand(int id) override {
    // While mysqladmin runs the dialog is disabled; a command that still
    // arrives waits for the next click.
    if (!busy()) SettingsDialog::OnCommand(id);
  }

  void OnOwnCommand(int id) override {
    if (id == d::Command3) OnChangePassword();
  }

  void OnChangePassword() {
    if (auto problem = NewPasswordProblem(Text(d::newpwd))) {
      Message(*problem);
      return;
    }
    if (!AskOkCancel(hwnd(), text::kConfirmPasswordChange)) return;
    const std::string home = ProgramDirectory();
    const std::string commandLine = MySQLAdminCommandLine(home, Text(d::oldpwd), Text(d::newpwd));

    // Unlike the program's other launches this one waits, so that the user is
    // told whether the password really changed.
    // The wait shows: the wait cursor over the dialog, the frame's button
    // greyed, the rest of the dialog closed to input.
    HWND button = GetDlgItem(hwnd(), d::Command3);
    SetBusy(true);
    EnableWindow(button, FALSE);
    EnableWindow(hwnd(), FALSE);
    const std::optional<ProgramRun> run = RunCaptured(commandLine, kPasswordToolTimeLimitMs, hwnd());
    if (!run || !IsWindow(hwnd())) return;
    EnableWindow(hwnd(), TRUE);
    EnableWindow(button, TRUE);
    SetBusy(false);

    // Only a change that mysqladmin reports as done is followed by the login
    // check; after a failure both boxes keep what was typed for another try.
    const PasswordConclusion conclusion = ConcludePasswordChange(*run, home);
    Message(conclusion.message);
    if (!conclusion.changed) return;
    const std::string client = MySQLClientCommandLine(home);
    if (!Launch({client, ShowState::Normal})) Message(std::string(text::kCannotStart) + client);
    SetText(d::oldpwd, "");
    SetText(d::newpwd, "");
  }
};

}  // namespace

void ShowMySQLSettings(HWND owner) {
  MySQLSettingsDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
