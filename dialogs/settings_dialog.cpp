#include "dialogs/settings_dialog.h"

#include "core/file_io.h"
#include "core/profile_store.h"

namespace tellurix {

namespace {
SaveGuard saveGuard = nullptr;
}  // namespace

void SetSaveGuard(SaveGuard guard) { saveGuard = guard; }

SettingsDialog::SettingsDialog(const SettingsForm& form)
    : DialogWindow(form.caption, form.clientWidth, form.clientHeight, form.controls), form_(form) {}

void SettingsDialog::OnInit() {
  loaded_ =
      LoadSettings(form_, [&](std::string_view key) { return GetIniValue(form_.section, key, "", kProfileFileName); });
  for (size_t i = 0; i < form_.fields.size(); ++i) {
    const SettingsField& field = form_.fields[i];
    if (field.items.empty()) {
      SetText(field.control, loaded_[i]);
    } else {
      FillList(field.control, field.items);
      Select(field.control, ItemIndex(field, loaded_[i]));
    }
  }
}

void SettingsDialog::OnCommand(int id) {
  if (id == form_.okButton) {
    OnOk();
  } else if (id == form_.cancelButton) {
    Close();
  } else {
    OnOwnCommand(id);
  }
}

void SettingsDialog::OnOk() {
  if (const char* refused = saveGuard ? saveGuard(form_.section) : nullptr) {
    Message(refused);
    return;
  }
  FieldTexts current;
  for (const SettingsField& field : form_.fields) {
    current.push_back(field.items.empty() ? Text(field.control) : Selection(field.control));
  }
  if (auto problem = CheckSettings(form_, current, IsFolder)) {
    Message(*problem);
    return;
  }
  const std::string home = ProgramDirectory();
  const ApplyOutcome outcome = ApplyChanges(ResolveProfilePath(home, kProfileFileName), form_.section,
                                            SettingsChanges(form_, loaded_, current, home));
  const Conclusion conclusion = Conclude(outcome, form_.doneMessage);
  if (conclusion.message) Message(*conclusion.message);
  if (conclusion.close) Close();
}

void ShowPhpSettings(HWND owner) {
  SettingsDialog dialog(PhpSettingsForm());
  dialog.ShowModal(owner);
}

}  // namespace tellurix
