// Runs a quick-access command: reads the settings it needs from the profile
// afresh (a settings dialog may have changed them), writes the phpinfo page
// where that command needs it, and starts the program, reporting any failure in
// a message box over `owner`.
#pragma once

#include <windows.h>

#include "app/commands.h"

namespace tellurix {
void RunQuickAccess(HWND owner, Command command);
}
