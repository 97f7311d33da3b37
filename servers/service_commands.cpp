#include "servers/service_commands.h"

#include "resources/texts.h"

namespace tellurix {

std::string_view ServiceName(Service service) { return service == Service::Apache2 ? "Apache2" : "MySQL"; }
std::string StartCommandLine(Service service) { return "net start " + std::string(ServiceName(service)); }
std::string StopCommandLine(Service service) { return "net stop " + std::string(ServiceName(service)); }

std::string_view StartMessage(Service service) {
  return service == Service::Apache2 ? text::kApacheStarting : text::kMySQLStarting;
}
std::string_view StopMessage(Service service) {
  return service == Service::Apache2 ? text::kApacheStopping : text::kMySQLStopping;
}

std::uint32_t PendingRestarts::Begin(Service service, Clock::time_point stoppedAt) {
  std::uint32_t ticket = nextTicket_++;
  if (nextTicket_ == 0) nextTicket_ = 1;  // 0 never names a restart
  pending_[ticket] = {service, stoppedAt};
  return ticket;
}

std::optional<std::chrono::milliseconds> PendingRestarts::Remaining(std::uint32_t ticket,
                                                                    Clock::time_point now) const {
  auto it = pending_.find(ticket);
  if (it == pending_.end()) return std::nullopt;
  auto elapsed = now - it->second.stoppedAt;
  if (elapsed >= kRestartWait) return std::chrono::milliseconds(0);
  // Round up so that a timer set for the remainder never fires early.
  return std::chrono::ceil<std::chrono::milliseconds>(kRestartWait - elapsed);
}

std::optional<Service> PendingRestarts::ServiceOf(std::uint32_t ticket) const {
  auto it = pending_.find(ticket);
  if (it == pending_.end()) return std::nullopt;
  return it->second.service;
}

std::optional<RestartStep> PendingRestarts::Next(std::uint32_t ticket, Clock::time_point now, bool stopped) {
  auto remaining = Remaining(ticket, now);
  if (!remaining) return std::nullopt;
  if (remaining->count() > 0) return RestartStep::Wait;
  const bool late = now - pending_[ticket].stoppedAt >= kRestartStopLimit;
  if (!stopped && !late) return RestartStep::Wait;
  pending_.erase(ticket);
  return stopped ? RestartStep::Start : RestartStep::GiveUp;
}

std::chrono::milliseconds RestartPollInterval(unsigned long waitHintMs) {
  const unsigned long tenth = waitHintMs / 10;
  return std::chrono::milliseconds(tenth < 1000 ? 1000 : tenth > 10000 ? 10000 : tenth);
}

}  // namespace tellurix
