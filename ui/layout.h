// The controls of a window as data: kind, caption and place, in pixels at 96 DPI.
// Every window (the main window, each dialog) has a table of these; the Win32
// layer creates them in table order and scales every number by the system DPI.
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

// A control's rectangle in the window's client area (containers resolved).
Rect ClientRect(const ControlLayout& control, const std::vector<ControlLayout>& table);

// A length at 96 DPI scaled to `dpi`, rounded to the nearest pixel.
int ScaleForDpi(int pixels, int dpi);

}  // namespace tellurix
