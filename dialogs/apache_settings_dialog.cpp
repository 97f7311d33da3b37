// The Apache settings dialog's own control: the folder picker of the site
// directory.
#include <shlobj.h>

#include "dialogs/settings_dialog.h"
#include "resources/ids.h"
#include "resources/texts.h"
#include "ui/system_library.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

// The system folder picker; only file-system folders can be chosen. Empty when
// the user cancels.
std::string BrowseForFolder(HWND owner, std::string_view prompt) {
  const std::wstring title = Widen(prompt);
  // The picker is a shell object: COM first (loaded now, not at startup).
  EnterComApartment();
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  if (!list) return {};
  wchar_t path[MAX_PATH] = {};
  const BOOL ok = SHGetPathFromIDListW(list, path);
  ILFree(list);
  return ok ? Narrow(path) : std::string();
}

class ApacheSettingsDialog : public SettingsDialog {
 public:
  ApacheSettingsDialog() : SettingsDialog(ApacheSettingsForm()) {}

 private:
  void OnOwnCommand(int id) override {
    if (id != ids::fapache::Command3) return;
    // Cancelled, the picker chose nothing, and the folder typed stays.
    const std::string chosen = BrowseForFolder(hwnd(), text::kChooseRoot);
    if (!chosen.empty()) SetText(ids::fapache::root, chosen);
  }
};

}  // namespace

void ShowApacheSettings(HWND owner) {
  ApacheSettingsDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
