// The status vocabulary and the rule by which the display follows the two server
// processes: what the startup probe and each one-second tick show and log.
#pragma once

#include <cstdint>
#include <string_view>

#include "servers/service_commands.h"

namespace tellurix {

enum class Server { Apache, MySQL };
inline constexpr Server kServers[] = {Server::Apache, Server::MySQL};  // probe order

struct ServerTraits {
  Service service;             // the Windows service that runs the server
  std::string_view imageName;  // process image probed for the server
  std::string_view cameUp;     // logged when the server is first seen running
  std::string_view wentDown;   // logged when the server is first seen stopped
  std::string_view runningTip;
  std::string_view stoppedTip;
  int mark;                    // status label
  int startButton, stopButton;
  int startEntries[2], stopEntries[2];  // menu entries in `file` and `filez`
};

const ServerTraits& TraitsOf(Server server);

// Colours of the status marks as Windows COLORREF values (0x00BBGGRR).
inline constexpr std::uint32_t kRunningColour = 0x00C000;  // RGB(0, 192, 0)
inline constexpr std::uint32_t kStoppedColour = 0x0000FF;  // RGB(255, 0, 0)

// Everything the display shows for one server.
struct ServerDisplay {
  std::string_view mark;
  std::uint32_t colour;
  std::string_view tooltip;
  bool startEnabled;  // start button and start entries
  bool stopEnabled;   // stop button and stop entries
};

// What one look at a server changes. A line for a server that went down is
// logged before the display changes, a line for one that came up after.
struct StatusUpdate {
  std::string_view lineBefore;  // empty when nothing is logged
  ServerDisplay display;
  std::string_view lineAfter;
  bool running;  // the reported-state flag afterwards
};

// A tick of the status monitor: `count` processes with the server's image name
// run, and `reportedRunning` is what was last reported.
StatusUpdate MonitorTick(Server server, int count, bool reportedRunning);

// The startup probe always logs the server's state, whatever was reported.
StatusUpdate StartupProbe(Server server, int count);

}  // namespace tellurix
