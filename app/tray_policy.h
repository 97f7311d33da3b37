// The tray icon's rules that do not need the shell: its identifier, and what
// happens while the shell refuses it.
#pragma once

#include <cstdint>

namespace tellurix {

// The icon's handle doubles as its identifier, but never as 0: the icon's
// notifications arrive as mouse moves, and a real pointer move has wParam 0.
inline unsigned TrayIconId(std::uintptr_t iconHandle) {
  const auto id = static_cast<unsigned>(iconHandle);
  return id != 0 ? id : 1;
}

// When the shell refuses the tray icon (at startup, or after Explorer restarted),
// the icon is tried again every second; after five failed attempts the main
// window is shown, so that the user is never left without a way in.
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
