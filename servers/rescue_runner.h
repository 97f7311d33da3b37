// The rescue of a damaged MySQL data folder, one question at a time: first a
// complete copy of the folder beside it, nothing changed until it is done. The
// service runner hands a damaged-data failure (or damage seen after a start)
// over to it; the copy runs on a thread of its own with a progress window the
// user may cancel, and while it runs MySQL's commands are refused.
#pragma once

#include <windows.h>

#include "servers/data_copy_win32.h"
#include "servers/runner_host.h"
#include "ui/progress_window.h"

namespace tellurix {

class RescueRunner {
 public:
  // What the copy job posts to the main window.
  static constexpr UINT kMessage = WM_APP + 40;

  RescueRunner(RunnerHost& host, HWND window) : host_(host), window_(window) {}
  // A step runs (or waits for MySQL to stop before it can).
  bool Busy() const { return waitingForStop_ || copy_.Running(); }
  // Asks whether to copy the data folder; true when the user agreed. With
  // `mySQLRuns`, the copy waits for the stop the caller then runs
  // (ServiceStopped); else it starts at once.
  bool Offer(bool mySQLRuns);
  // The stop the copy waited for has ended: the copy starts if MySQL stopped.
  void ServiceStopped();
  void OnMessage(WPARAM kind, LPARAM percent);
  // The panel is asked to quit: during a step the user is asked first; yes ends
  // the step safely (a copy removes what it copied). True when it may quit.
  bool MayQuit();

 private:
  void StartCopy();
  void EndCopy(const CopyOutcome& outcome);

  RunnerHost& host_;
  HWND window_;
  bool waitingForStop_ = false;
  DataCopyJob copy_;
  ProgressWindow progress_;
};

}  // namespace tellurix
