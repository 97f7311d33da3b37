// The six service commands: which command lines they launch, which progress lines
// they log, and the timing of a restart (stop, five seconds, start).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tellurix {

enum class Service { Apache2, MySQL };
enum class ServiceAction { Start, Stop, Restart };

struct ServiceCommand {
  Service service;
  ServiceAction action;
};

std::string_view ServiceName(Service service);  // "Apache2", "MySQL"
std::string StartCommandLine(Service service);  // "net start Apache2"
std::string StopCommandLine(Service service);   // "net stop Apache2"
std::string_view StartMessage(Service service);
std::string_view StopMessage(Service service);

using Clock = std::chrono::steady_clock;
inline constexpr std::chrono::milliseconds kRestartWait{5000};
// A stop that takes longer than this (InnoDB's shutdown can take many seconds)
// ends the restart without its start.
inline constexpr std::chrono::seconds kRestartStopLimit{120};
enum class RestartStep { Wait, Start, GiveUp };
// How long a restart waits before it asks the service manager again, from the
// time the service expects its pending stop to take (a tenth of it, between
// one and ten seconds, as Windows' own service samples wait).
std::chrono::milliseconds RestartPollInterval(unsigned long waitHintMs);

// Restarts that have issued their stop and wait for their start: five seconds,
// and longer while the service is still stopping (a start of a service that is
// stopping fails, and its port is still held). Each restart is its own
// sequence: overlapping restarts are neither merged nor queued. Time is taken
// from a monotonic clock, so a wait across midnight (or a change of the wall
// clock) still ends five seconds after it began.
class PendingRestarts {
 public:
  // Records a restart whose stop was issued at `stoppedAt`; returns its ticket.
  std::uint32_t Begin(Service service, Clock::time_point stoppedAt);

  // How long the restart with this ticket still has to wait at `now`
  // (zero when it is due; nullopt for an unknown ticket).
  std::optional<std::chrono::milliseconds> Remaining(std::uint32_t ticket, Clock::time_point now) const;

  // The service the restart with this ticket restarts; none for an unknown ticket.
  std::optional<Service> ServiceOf(std::uint32_t ticket) const;

  // What the restart does at `now`, its service `stopped` (or in a state the
  // service manager cannot tell) or not: wait out the five seconds; then start
  // once the service has stopped; give up when it has not stopped
  // kRestartStopLimit after the stop began. Start and GiveUp end the restart;
  // none for an unknown ticket.
  std::optional<RestartStep> Next(std::uint32_t ticket, Clock::time_point now, bool stopped);

  std::size_t size() const { return pending_.size(); }

 private:
  struct Pending {
    Service service;
    Clock::time_point stoppedAt;
  };
  std::map<std::uint32_t, Pending> pending_;
  std::uint32_t nextTicket_ = 1;
};

}  // namespace tellurix
