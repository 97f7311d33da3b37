// A small modeless window for a long step: its caption, one line of text, a
// progress bar in per cent and a "取消" button. Owned by the main window, which
// stays usable meanwhile; every text comes from the caller.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "ui/win32_handles.h"

namespace tellurix {

class ProgressWindow {
 public:
  static constexpr int kLineId = 101, kBarId = 102;  // the button is IDCANCEL

  ProgressWindow() = default;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  ~ProgressWindow() { Close(); }

  // Shows the window centred over `owner` (over the screen when the owner is
  // hidden), at 0 %. `onCancel` runs once, when the user presses the button or
  // closes the window; the button is then disabled and the window stays until
  // the caller closes it, when the step has really ended.
  bool Open(HWND owner, std::string_view caption, std::string_view line, std::string_view cancel,
            std::function<void()> onCancel);
  void SetPercent(unsigned percent);
  void SetLine(std::string_view line);
  void Close();
  HWND hwnd() const { return window_; }
  bool cancelled() const { return cancelled_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CancelOnce();

  HWND window_ = nullptr;
  UniqueFont font_;
  std::function<void()> onCancel_;
  bool cancelled_ = false;
};

}  // namespace tellurix
