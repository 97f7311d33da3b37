// The tray icon's rules that do not need the shell: its identifier, what
// happens while the shell refuses it, and what one balloon says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// What a balloon holds: 255 UTF-16 units of text (szInfo has room for 256 with
// the terminating null).
inline constexpr size_t kBalloonTextUnits = 255;

// The balloon for the lines one event added to the message list: each line
// without its end ("...    " and what follows), joined by line breaks, cut
// with "…" to what a balloon holds.
std::string BalloonText(const std::vector<std::string>& lines);

}  // namespace tellurix
