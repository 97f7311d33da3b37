#include "dialogs/apache_settings_dialog.h"

#include <shlobj.h>

#include "app/win32_text.h"
#include "core/file_io.h"
#include "core/profile_store.h"
#include "dialogs/apache_settings.h"
#include "dialogs/dialog_window.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

namespace d = ids::fapache;

// The system folder picker; only file-system folders can be chosen. Empty when
// the user cancels.
std::string BrowseForFolder(HWND owner, std::string_view prompt) {
  const std::wstring title = Widen(prompt);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  if (!list) return {};
  wchar_t path[MAX_PATH] = {};
  const BOOL ok = SHGetPathFromIDListW(list, path);
  CoTaskMemFree(list);
  return ok ? Narrow(path) : std::string();
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class ApacheSettingsDialog : public DialogWindow {
 public:
  ApacheSettingsDialog()
      : DialogWindow(text::kApacheCaption, kApacheClientWidth, kApacheClientHeight, ApacheDialogControls()) {}

 private:
  void OnInit() override {
    httpdConf_ = HttpdConfPath(ProgramDirectory());
    loaded_ = LoadApacheForm([](std::string_view key) { return GetIniValue("Apache", key, "", kProfileFileName); });
    SetText(d::listen, loaded_.listen);
    SetText(d::admin, loaded_.admin);
    SetText(d::sname, loaded_.sname);
    SetText(d::root, loaded_.root);
    SetText(d::index, loaded_.index);
  }

  void OnCommand(int id) override {
    switch (id) {
      case d::Command1: OnOk(); break;
      case d::Command2: Close(); break;
      case d::Command3: SetText(d::root, BrowseForFolder(hwnd(), text::kChooseRoot)); break;
      default: break;
    }
  }

  void OnOk() {
    const ApacheForm current{Text(d::listen), Text(d::admin), Text(d::sname), Text(d::root), Text(d::index)};
    if (auto problem = CheckApacheForm(current, IsDirectory(current.root))) {
      Message(*problem);
      return;
    }
    const ApplyOutcome outcome = ApplyChanges(ResolveProfilePath(ProgramDirectory(), kProfileFileName), "Apache",
                                              ApacheChanges(loaded_, current, httpdConf_));
    const Conclusion conclusion = Conclude(outcome, text::kApacheDone);
    if (conclusion.message) Message(*conclusion.message);
    if (conclusion.close) Close();
  }

  ApacheForm loaded_;
  std::string httpdConf_;
};

}  // namespace

void ShowApacheSettings(HWND owner) {
  ApacheSettingsDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
