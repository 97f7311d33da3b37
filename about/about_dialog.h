// Shows the About dialog `fabout` modally.
#pragma once

#include <windows.h>

#include <string_view>

namespace tellurix {

void ShowAbout(HWND owner);

// The About dialog's fixed-pitch Chinese font at the largest size, 12 points
// down, at which `text` wrapped to `box` (pixels) fits it. The face asked for is
// not installed everywhere, and a substitute may be wider.
HFONT CreateFittingChineseFont(std::wstring_view text, SIZE box, int dpi);

}  // namespace tellurix
