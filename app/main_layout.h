// The controls of a window (the main window, and each dialog): kind, caption and
// place, in pixels at 96 DPI. The Win32 layer creates them in table order and
// scales every number by the system DPI.
#pragma once

#include <string_view>
#include <vector>

namespace tellurix {

struct Rect {
  int left, top, width, height;
};

struct ControlLayout {
  // MultiLineEdit has no scroll bars; ScrollingMultiLineEdit has a vertical one.
  enum class Kind { Frame, Label, StatusMark, Button, List, Edit, DropList, MultiLineEdit, ScrollingMultiLineEdit };
  int id;
  Kind kind;
  std::string_view caption;
  int container;  // id of the frame it sits in; 0 for the window itself
  Rect place;     // relative to the container
};

// Client area of the main window at 96 DPI.
inline constexpr int kMainClientWidth = 337;
inline constexpr int kMainClientHeight = 285;

// Frames first, so that the controls inside them are above them in Z order.
const std::vector<ControlLayout>& MainWindowControls();

// A control's rectangle in the window's client area (containers resolved).
Rect ClientRect(const ControlLayout& control, const std::vector<ControlLayout>& table);
inline Rect ClientRect(const ControlLayout& control) { return ClientRect(control, MainWindowControls()); }

// A length at 96 DPI scaled to `dpi`, rounded to the nearest pixel.
int ScaleForDpi(int pixels, int dpi);

}  // namespace tellurix
