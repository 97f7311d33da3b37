// Shows the site manager modally.
#pragma once

#include <windows.h>

namespace tellurix {
void ShowSiteManager(HWND owner);
}
