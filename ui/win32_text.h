// Conversions at the API edge (UTF-8 inside, UTF-16 for Windows), the time of
// day as the user writes it, and the program's message box.
#pragma once

#include <string>
#include <string_view>

namespace tellurix {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The current local time of day in the user's time format (for example 14:05:09).
std::string LocalTimeText();

// An OK-only message box without icon, captioned with the program's title.
void ShowMessage(void* owner, std::string_view message);

}  // namespace tellurix
