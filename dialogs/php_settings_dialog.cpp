#include "dialogs/php_settings_dialog.h"

#include "core/file_io.h"
#include "core/profile_store.h"
#include "dialogs/dialog_window.h"
#include "dialogs/php_settings.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

namespace d = ids::fphp;

// The on/off lists and the values they show.
const struct {
  int id;
  std::string PhpForm::*field;
} kSwitches[] = {
    {d::short_, &PhpForm::short_},   {d::buffer, &PhpForm::buffer},       {d::safe, &PhpForm::safe},
    {d::display, &PhpForm::display}, {d::register_, &PhpForm::register_},
};

class PhpSettingsDialog : public DialogWindow {
 public:
  PhpSettingsDialog() : DialogWindow(text::kPhpCaption, kPhpClientWidth, kPhpClientHeight, PhpDialogControls()) {}

 private:
  void OnInit() override {
    phpIni_ = PhpIniPath(ProgramDirectory());
    loaded_ = LoadPhpForm([](std::string_view key) { return GetIniValue("PHP", key, "", kProfileFileName); });
    for (const auto& list : kSwitches) {
      FillList(list.id, SwitchItems());
      Select(list.id, SwitchIndex(loaded_.*list.field));
    }
    SetText(d::upload_file, loaded_.upload_file);
    SetText(d::max_time, loaded_.max_time);
  }

  void OnCommand(int id) override {
    switch (id) {
      case d::Command1: OnOk(); break;
      case d::Command2: Close(); break;
      default: break;
    }
  }

  void OnOk() {
    PhpForm current;
    for (const auto& list : kSwitches) current.*list.field = Selection(list.id);
    current.max_time = Text(d::max_time);
    current.upload_file = Text(d::upload_file);
    if (auto problem = CheckPhpForm(current)) {
      Message(*problem);
      return;
    }
    const ApplyOutcome outcome = ApplyChanges(ResolveProfilePath(ProgramDirectory(), kProfileFileName), "PHP",
                                              PhpChanges(loaded_, current, phpIni_));
    const Conclusion conclusion = Conclude(outcome, text::kPhpDone);
    if (conclusion.message) Message(*conclusion.message);
    if (conclusion.close) Close();
  }

  PhpForm loaded_;
  std::string phpIni_;
};

}  // namespace

void ShowPhpSettings(HWND owner) {
  PhpSettingsDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
