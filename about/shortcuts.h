// The About dialog's link "支持Tellurix" on Windows: two desktop shortcuts to the
// maker's sites made through the script host's shell object, then the main site
// opened in the browser.
#pragma once

#include <optional>
#include <string>

namespace tellurix {

// Runs the link's steps (see PlaceDesktopShortcuts in about/shortcut_plan.h);
// returns the message naming the step that failed, or nullopt. Every automation
// object it made is released before it returns. COM must be initialised on the
// calling thread.
std::optional<std::string> MakeDesktopShortcuts();

}  // namespace tellurix
