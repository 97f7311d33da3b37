// Shows the Apache settings dialog modally.
#pragma once

#include <windows.h>

namespace tellurix {
void ShowApacheSettings(HWND owner);
}
