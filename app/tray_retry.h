// When the shell refuses the tray icon (at startup, or after Explorer restarted),
// the icon is tried again every second; after five failed attempts the main
// window is shown, so that the user is never left without a way in.
#pragma once

namespace tellurix {

class TrayRetry {
 public:
  static constexpr unsigned kIntervalMs = 1000;
  static constexpr int kAttemptsBeforeShowing = 5;

  // Another attempt failed; true exactly once, when the window must be shown.
  bool Failed() { return ++failures_ == kAttemptsBeforeShowing; }

 private:
  int failures_ = 0;
};

}  // namespace tellurix
