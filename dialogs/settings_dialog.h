// The one shell of the Apache, PHP and MySQL settings dialogs: it shows a
// SettingsForm, loads it from the profile, and on "确定" checks, writes and
// reports as the form says. The Apache dialog adds its folder picker and the
// MySQL dialog its password frame; everything else is the form's data.
#pragma once

#include <windows.h>

#include "dialogs/settings_form.h"
#include "ui/dialog_window.h"

namespace tellurix {

class SettingsDialog : public DialogWindow {
 public:
  explicit SettingsDialog(const SettingsForm& form);

 protected:
  void OnInit() override;
  void OnCommand(int id) override;
  // Commands of the dialog's own controls, beyond the form's two buttons.
  virtual void OnOwnCommand(int /*id*/) {}

 private:
  void OnOk();

  const SettingsForm& form_;
  FieldTexts loaded_;
};

void ShowApacheSettings(HWND owner);
void ShowPhpSettings(HWND owner);
void ShowMySQLSettings(HWND owner);

}  // namespace tellurix
