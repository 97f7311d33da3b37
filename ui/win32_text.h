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

// The program's message boxes, captioned with its title and without an icon: one
// with OK only, and a question with OK and Cancel (true for OK). Both take the
// foreground and stay on top (MB_SETFOREGROUND | MB_TOPMOST): they are often
// shown while the panel is hidden and the user works in another program, where
// Windows would otherwise leave them behind it, unseen, while the panel waits.
void ShowMessage(void* owner, std::string_view message);
bool AskOkCancel(void* owner, std::string_view question);

// MessageBoxW, replaceable by tests that look at how a box is asked for (Wine
// draws its boxes without the topmost style); nullptr puts the system's back.
using MessageBoxStep = int (*)(void* owner, const wchar_t* text, const wchar_t* caption, unsigned type);
void SetMessageBoxStepForTesting(MessageBoxStep step);

}  // namespace tellurix
