// The main window's controls: kind, caption and place at 96 DPI.
#pragma once

#include <vector>

#include "ui/layout.h"

namespace tellurix {

// Client area of the main window at 96 DPI.
inline constexpr int kMainClientWidth = 337;
inline constexpr int kMainClientHeight = 285;

// Frames first, so that the controls inside them are above them in Z order.
const std::vector<ControlLayout>& MainWindowControls();

}  // namespace tellurix
