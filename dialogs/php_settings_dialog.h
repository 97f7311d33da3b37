// Shows the PHP settings dialog modally.
#pragma once

#include <windows.h>

namespace tellurix {
void ShowPhpSettings(HWND owner);
}
