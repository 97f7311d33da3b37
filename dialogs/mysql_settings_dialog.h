// Shows the MySQL settings dialog (with the root password change) modally.
#pragma once

#include <windows.h>

namespace tellurix {
void ShowMySQLSettings(HWND owner);
}
