// Conversions at the API edge (UTF-8 inside, UTF-16 for Windows) and the two
// platform services the logs need: the time of day and launching a command line.
#pragma once

#include <string>
#include <string_view>

namespace tellurix {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The current local time of day in the user's time format (for example 14:05:09).
std::string LocalTimeText();

// Starts `commandLine` as a new process with the given start-up window state
// (SW_HIDE, SW_SHOWNORMAL, ...), without a command interpreter and without
// waiting for it. False when the process could not be created.
bool LaunchCommandLine(std::string_view commandLine, int showState);

// An OK-only message box without icon, captioned with the program's title.
void ShowMessage(void* owner, std::string_view message);

}  // namespace tellurix
