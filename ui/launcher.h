// Starting programs: one launched and left to run; one run hidden with its output
// captured and waited for, up to a deadline, while the message loop keeps running
// (the windows repaint, the status monitor ticks); one watched without waiting;
// and one run elevated through the shell.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/launch_plan.h"
#include "ui/win32_handles.h"

namespace tellurix {

// Starts the command line as a new process in the plan's window state, without a
// command interpreter and without waiting. False when it could not be created.
bool Launch(const LaunchPlan& plan);

// A program started hidden with its output captured, left to run; Poll() is
// asked now and then (from a timer) whether it has ended.
class WatchedProgram {
 public:
  // Null when the program could not be started.
  static std::unique_ptr<WatchedProgram> Start(std::string_view commandLine);
  // Reads what the program printed so far; once it has ended, how it ended.
  std::optional<ProgramRun> Poll();

 private:
  UniqueKernelHandle process_, output_;
  std::string printed_;
};

// Runs the command line hidden, its input empty and its output captured, and
// waits at most `limitMs` (then ends it). Messages of `dialog` (may be null) go
// through IsDialogMessage meanwhile. Nullopt when the program is ending
// meanwhile (the quit is passed on to the main loop) or `dialog` has gone.
std::optional<ProgramRun> RunCaptured(std::string_view commandLine, unsigned limitMs, HWND dialog);

// Runs `program` with `parameters` through the shell with the verb "runas"
// (the elevation prompt where the system has one), hidden, and waits for it as
// RunCaptured does. Its output cannot be captured. The prompt belongs to
// `owner`, so that Windows brings it to the front instead of only flashing the
// taskbar. A prompt answered No ends it as Declined.
std::optional<ProgramRun> RunElevated(HWND owner, const std::string& program, const std::string& parameters,
                                      unsigned limitMs);

// Starts `program` elevated without waiting, its prompt owned by `owner`; false
// when it did not start (the user declined the prompt, say).
bool StartElevated(HWND owner, const std::string& program);

// The programs the panel itself runs and waits for (the check of httpd.conf,
// the servers' version checks, the installers) carry the servers' image names
// too, but they are not the servers: their ids, while they run, for the status
// monitor to leave out. Other programs of the panel's own are marked with an
// OwnProgram for as long as it lives (any thread may).
std::vector<unsigned long> OwnRunningPrograms();
class OwnProgram {
 public:
  explicit OwnProgram(unsigned long processId);
  ~OwnProgram();
  OwnProgram(const OwnProgram&) = delete;
  OwnProgram& operator=(const OwnProgram&) = delete;

 private:
  unsigned long processId_;
};

// ShellExecuteExW, replaceable by tests that answer the administrator prompt as
// a user may (Wine never asks); nullptr puts the system's back.
using ShellExecuteStep = BOOL (*)(SHELLEXECUTEINFOW* info);
void SetShellExecuteStepForTesting(ShellExecuteStep step);

}  // namespace tellurix
