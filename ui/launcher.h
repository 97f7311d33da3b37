// Starting programs: one launched and left to run, or one run hidden with its
// output captured and waited for, up to a deadline, while the message loop keeps
// running (the windows repaint, the status monitor ticks).
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "ui/launch_plan.h"

namespace tellurix {

// Starts the command line as a new process in the plan's window state, without a
// command interpreter and without waiting. False when it could not be created.
bool Launch(const LaunchPlan& plan);

// Runs the command line hidden, its input empty and its output captured, and
// waits at most `limitMs` (then ends it). Messages of `dialog` go through
// IsDialogMessage meanwhile. Nullopt when the program is ending meanwhile (the
// quit is passed on to the main loop) or `dialog` has gone.
std::optional<ProgramRun> RunCaptured(std::string_view commandLine, unsigned limitMs, HWND dialog);

}  // namespace tellurix
