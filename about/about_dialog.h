// Shows the About dialog `fabout` modally.
#pragma once

#include <windows.h>

namespace tellurix {
void ShowAbout(HWND owner);
}
