// The rescue of a damaged MySQL data folder, one question at a time, each step
// offered only after the one before it succeeded: a complete copy of the folder
// beside it (nothing changed until it is done), the databases dumped by the
// stack's own server in recovery mode, then the folder rebuilt from the dumps.
// The service runner hands a damaged-data failure (or damage seen after a
// start) over to it; each step runs on a thread of its own with a progress
// window the user may cancel, and while one runs MySQL's commands are refused.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "servers/data_copy_win32.h"
#include "servers/data_rescue.h"
#include "servers/runner_host.h"
#include "ui/progress_window.h"

namespace tellurix {

class RescueRunner {
 public:
  // What the steps post to the main window: the copy job's kinds, and these.
  static constexpr UINT kMessage = WM_APP + 40;
  static constexpr WPARAM kStepLine = 10, kStepEnded = 11;  // lParam: a new std::string, the window's to delete

  // `startMySQL` starts the service as the start button does once the folder is rebuilt.
  RescueRunner(RunnerHost& host, HWND window, std::function<void()> startMySQL)
      : host_(host), window_(window), startMySQL_(std::move(startMySQL)) {}
  ~RescueRunner();
  // A step runs (or waits for MySQL to stop before it can).
  // A step's question on screen counts: MySQL started meanwhile would have the
  // step work on a folder the server uses.
  bool Busy() const { return asking_ || waitingForStop_ || copy_.Running() || worker_ != nullptr; }
  // Asks whether to copy the data folder; true when the user agreed. With
  // `mySQLRuns`, the copy waits for the stop the caller then runs
  // (ServiceStopped); else it starts at once.
  bool Offer(bool mySQLRuns);
  // The stop the copy waited for has ended (or could not be run): the copy
  // starts if MySQL stopped, else its refusal says why not.
  void ServiceStopped();
  void OnMessage(WPARAM kind, LPARAM percent);
  // The panel is asked to quit: during a step the user is asked first; yes ends
  // the step safely (a copy removes what it copied). True when it may quit.
  bool MayQuit();

 private:
  // A step's question; MySQL's commands are refused while it is asked.
  bool AskStep(std::string_view question);
  void StartCopy();
  void EndCopy(const CopyOutcome& outcome);
  // The rescue (and the rebuild after it) on a worker thread.
  void StartWorker(bool rebuild);
  void EndWorker();
  static DWORD WINAPI Work(LPVOID runner);

  RunnerHost& host_;
  HWND window_;
  bool waitingForStop_ = false;
  bool asking_ = false;
  std::function<void()> startMySQL_;
  DataCopyJob copy_;
  ProgressWindow progress_;
  HANDLE worker_ = nullptr;
  bool rebuilding_ = false;
  std::atomic<bool> cancel_{false};
  RescueSetup setup_;
  RescueReport rescued_;
  RebuildReport rebuilt_;
};

}  // namespace tellurix
