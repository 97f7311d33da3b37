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

// Restarts that have issued their stop and wait for their start. Each restart is
// its own sequence: overlapping restarts are neither merged nor queued. Time is
// taken from a monotonic clock, so a wait across midnight (or a change of the
// wall clock) still ends five seconds after it began.
class PendingRestarts {
 public:
  // Records a restart whose stop was issued at `stoppedAt`; returns its ticket.
  std::uint32_t Begin(Service service, Clock::time_point stoppedAt);

  // How long the restart with this ticket still has to wait at `now`
  // (zero when it is due; nullopt for an unknown ticket).
  std::optional<std::chrono::milliseconds> Remaining(std::uint32_t ticket, Clock::time_point now) const;

  // Removes and returns the restart's service if its wait is over at `now`.
  std::optional<Service> TakeIfDue(std::uint32_t ticket, Clock::time_point now);

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
