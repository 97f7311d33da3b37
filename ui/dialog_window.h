// A modal dialog laid out in pixels from a control table. The dialog procedure
// stores the instance at WM_INITDIALOG and forwards to that instance's handlers,
// so any number of dialogs can exist at once.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/layout.h"
#include "ui/win32_handles.h"

namespace tellurix {

class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  // Shows the dialog modally to `owner` and returns when it has closed.
  void ShowModal(HWND owner);

 protected:
  DialogWindow(std::string_view caption, int clientWidth, int clientHeight, const std::vector<ControlLayout>& controls)
      : caption_(caption), width_(clientWidth), height_(clientHeight), controls_(controls) {}

  virtual void OnInit() {}
  virtual void OnCommand(int id) = 0;

  HWND hwnd() const { return hwnd_; }
  std::string Text(int id) const;
  void SetText(int id, std::string_view text);
  // The selected item's text of a drop-down list; empty while none is selected.
  std::string Selection(int id) const;
  void FillList(int id, const std::vector<std::string_view>& items);
  void Select(int id, int index);  // -1 for no selection
  void Message(std::string_view text) const;
  void Close();
  // While busy, the pointer over the dialog is the wait cursor.
  void SetBusy(bool busy) { busy_ = busy; }
  bool busy() const { return busy_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Layout();
  bool OnSetCursor();

  std::string caption_;
  int width_, height_;
  const std::vector<ControlLayout>& controls_;
  HWND hwnd_ = nullptr;
  UniqueFont font_;
  bool busy_ = false;
};

}  // namespace tellurix
