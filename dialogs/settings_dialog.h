// The one shell of the Apache, PHP and MySQL settings dialogs: it shows a
// SettingsForm, loads it from the profile, and on "确定" checks, writes and
// reports as the form says. The Apache dialog adds its folder picker and the
// MySQL dialog its password frame; everything else is the form's data.
#pragma once

#include <windows.h>

#include <string_view>

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

// While another part of the panel must not meet a change of a server's files,
// saving that server's settings is refused: the guard names the reason for a
// form's profile section, or nullptr when saving may go on. nullptr: no guard.
using SaveGuard = const char* (*)(std::string_view section);
void SetSaveGuard(SaveGuard guard);

void ShowApacheSettings(HWND owner);
void ShowPhpSettings(HWND owner);
void ShowMySQLSettings(HWND owner);

}  // namespace tellurix
