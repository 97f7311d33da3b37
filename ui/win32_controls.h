// Creating a window's controls from its layout table, scaled for the DPI.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "ui/layout.h"

namespace tellurix {

// Creates every control of `table` as a child of `parent`, in table order, with
// the font `font` (and `markFont` for status marks).
void CreateControls(HWND parent, const std::vector<ControlLayout>& table, int dpi, HFONT font, HFONT markFont);

// The system's message font scaled by `percent`; null when it cannot be had.
HFONT CreateMessageFont(int percent);

// Whether the system has a font of this face in the character set.
bool FontInstalled(const wchar_t* face, BYTE charset = DEFAULT_CHARSET);

// A font of `tenthsOfPoint` at `dpi`, in the first of `faces` the system has in
// the font's character set; with none of them, in the system's message face
// (or, when `fallbackToMessageFont` is false, whatever face the system picks).
HFONT CreateFontOfFirstFace(std::initializer_list<const wchar_t*> faces, int tenthsOfPoint, int dpi,
                            LOGFONTW font = {}, bool fallbackToMessageFont = true);

// The screen's DPI (96 when the program is not DPI-aware).
int ScreenDpi();

}  // namespace tellurix
