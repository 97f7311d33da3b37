// What the main window shows of each server: the status mark (character and
// colour), its tooltip, and the enabled state of the start and stop buttons and
// menu entries. The portable rule (app/status_monitor.h) decides; this draws it,
// touching a control only when it changes.
#pragma once

#include <windows.h>

#include <string>

#include "app/status_monitor.h"

namespace tellurix {

class StatusDisplay {
 public:
  // Makes the tooltips of both marks; `window` holds the marks and buttons.
  void Create(HWND window);
  void Show(Server server, const ServerDisplay& display, HMENU fileMenu, HMENU filezMenu);
  // The colour to draw a control's text in, for WM_CTLCOLORSTATIC; false for
  // controls that are not status marks.
  bool MarkColour(HWND control, COLORREF* colour) const;

 private:
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  COLORREF colour_[2] = {};
  std::wstring tip_[2];
  // The menus' state as last set, per server: {start enabled, stop enabled}; -1 before the first.
  int menuState_[2] = {-1, -1};
};

}  // namespace tellurix
