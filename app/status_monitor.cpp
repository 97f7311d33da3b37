#include "app/status_monitor.h"

#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

// clang-format off
const ServerTraits kApache = {
    Service::Apache2,        "httpd.exe",            text::kApacheStarted,       text::kApacheStopped,
    text::kApacheRunningTip, text::kApacheStoppedTip, ids::la,
    ids::starta,             ids::stopa,             {ids::astart, ids::astart2}, {ids::astop, ids::astop2},
};

const ServerTraits kMySQL = {
    Service::MySQL,          "mysqld-nt.exe",        text::kMySQLStarted,        text::kMySQLStopped,
    text::kMySQLRunningTip,  text::kMySQLStoppedTip,  ids::lm,
    ids::startm,             ids::stopm,             {ids::mstart, ids::mstart2}, {ids::mstop, ids::mstop2},
};
// clang-format on

ServerDisplay DisplayFor(const ServerTraits& traits, bool running) {
  if (running) return {text::kRunningMark, kRunningColour, traits.runningTip, false, true};
  return {text::kStoppedMark, kStoppedColour, traits.stoppedTip, true, false};
}

}  // namespace

const ServerTraits& TraitsOf(Server server) { return server == Server::Apache ? kApache : kMySQL; }

StatusUpdate MonitorTick(Server server, int count, bool reportedRunning) {
  const ServerTraits& traits = TraitsOf(server);
  const bool running = count >= 1;
  StatusUpdate update{{}, DisplayFor(traits, running), {}, running};
  if (!running && reportedRunning) update.lineBefore = traits.wentDown;
  if (running && !reportedRunning) update.lineAfter = traits.cameUp;
  return update;
}

StatusUpdate StartupProbe(Server server, int count) {
  const ServerTraits& traits = TraitsOf(server);
  const bool running = count >= 1;
  return {running ? traits.cameUp : traits.wentDown, DisplayFor(traits, running), {}, running};
}

}  // namespace tellurix
