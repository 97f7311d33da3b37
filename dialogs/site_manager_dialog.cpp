#include "dialogs/site_manager_dialog.h"

#include <commctrl.h>

#include <optional>
#include <string>
#include <utility>

#include "ui/win32_controls.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"
#include "core/file_io.h"
#include "ui/dialog_window.h"
#include "dialogs/settings_apply.h"
#include "dialogs/site_manager.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

namespace d = ids::zhanform;

// Posted to itself while loading; handled once the dialog is on the screen, so
// that a problem with the file is reported over the dialog, not before it.
constexpr int kAfterShown = 0x7F01;

// SimSun, as the text areas are meant to look; where it is not installed, the
// next font that shows Chinese, and at last the system's message font.
HFONT CreateChineseFont(int tenthsOfPoint, int dpi) {
  LOGFONTW font{};
  font.lfCharSet = DEFAULT_CHARSET;
  return CreateFontOfFirstFace({L"SimSun", L"宋体", L"NSimSun", L"新宋体", L"Microsoft YaHei", L"微软雅黑"},
                               tenthsOfPoint, dpi, font);
}

// Every click into the example selects all of it, also after the user has
// edited it: the selection is made when the button goes up, after the edit
// control has put the caret where the pointer was.
LRESULT CALLBACK SelectAllOnClick(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, SelectAllOnClick, id);
  const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
  if (message == WM_LBUTTONUP) SendMessageW(edit, EM_SETSEL, 0, GetWindowTextLengthW(edit));
  return result;
}

class SiteManagerDialog : public DialogWindow {
 public:
  SiteManagerDialog()
      : DialogWindow(text::kSiteManagerCaption, kSiteClientWidth, kSiteClientHeight, SiteManagerControls()) {}

 private:
  void OnInit() override {
    const int dpi = ScreenDpi();
    exampleFont_.reset(CreateChineseFont(105, dpi));
    hostFont_.reset(CreateChineseFont(120, dpi));
    if (exampleFont_) SendDlgItemMessageW(hwnd(), d::Text1, WM_SETFONT, reinterpret_cast<WPARAM>(exampleFont_.get()), TRUE);
    if (hostFont_) SendDlgItemMessageW(hwnd(), d::host, WM_SETFONT, reinterpret_cast<WPARAM>(hostFont_.get()), TRUE);
    SetWindowSubclass(GetDlgItem(hwnd(), d::Text1), SelectAllOnClick, 0, 0);

    SetText(d::Text1, SiteExampleText());
    SetText(d::Label3, SiteExplanationText());

    path_ = VhostsConfPath(ProgramDirectory());
    SiteOpening opening = OpenSiteFile(ReadFileBytes(path_), path_, IsFolder(path_));
    // The edit control's default limit (32767 characters) would cut a long file
    // short, and the cut text would then be saved over the file.
    SendDlgItemMessageW(hwnd(), d::host, EM_SETLIMITTEXT, 0, 0);
    SetText(d::host, opening.text);
    if (opening.canSave && Text(d::host) != opening.text) {
      opening.canSave = false;
      opening.message = SiteTooLongMessage(path_);
    }
    encoding_ = opening.encoding;
    // A file that could not be read whole is never saved over from this opening.
    if (!opening.canSave) EnableWindow(GetDlgItem(hwnd(), d::Command1), FALSE);
    problem_ = std::move(opening.message);
    PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(kAfterShown, 0), 0);
  }

  void OnCommand(int id) override {
    switch (id) {
      case d::Command1: OnSave(); break;
      case d::Command2: Close(); break;
      case kAfterShown: AfterShown(); break;
      default: break;
    }
  }

  void AfterShown() {
    ShowWindow(hwnd(), SW_SHOW);
    // The caret starts at the beginning of the file's text, nothing selected, so
    // that a key typed at once does not replace the whole file.
    HWND host = GetDlgItem(hwnd(), d::host);
    SetFocus(host);
    SendMessageW(host, EM_SETSEL, 0, 0);
    if (problem_) Message(*std::exchange(problem_, std::nullopt));
  }

  void OnSave() {
    if (!IsWindowEnabled(GetDlgItem(hwnd(), d::Command1))) return;
    // Files that are no text never get here: their save button is disabled.
    const std::optional<std::string> bytes = SaveSiteFile(Text(d::host), encoding_);
    if (!bytes) return;
    // The whole file is replaced at once; a failed write leaves it as it was and
    // keeps the dialog open, so nothing typed is lost.
    if (auto written = WriteFileAtomically(path_, *bytes); !written) {
      Message(CannotWriteMessage(written.error()));
      return;
    }
    Message(text::kSiteSaved);
    Close();
  }

  std::string path_;
  SiteEncoding encoding_ = SiteEncoding::Utf8;
  std::optional<std::string> problem_;
  UniqueFont exampleFont_, hostFont_;
};

}  // namespace

void ShowSiteManager(HWND owner) {
  SiteManagerDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
