// What the service commands and the rescue of MySQL's data need of the main
// window: lines in its message list, its questions and messages.
#pragma once

#include <string_view>

namespace tellurix {

class RunnerHost {
 public:
  virtual ~RunnerHost() = default;
  virtual void Log(std::string_view line) = 0;     // a time-stamped line
  virtual void Report(std::string_view line) = 0;  // the same, also a balloon while the window is hidden
  // The lines reported between these make one balloon (pairs may nest).
  virtual void BeginEvent() = 0;
  virtual void EndEvent() = 0;
  virtual bool Ask(std::string_view question) = 0;  // OK and Cancel; true for OK
  virtual void Tell(std::string_view message) = 0;
  // Starts the panel again with administrator rights; true when this one is
  // now quitting.
  virtual bool RestartElevated() = 0;
};

// One event of a runner: its lines make one balloon.
class RunnerEvent {
 public:
  explicit RunnerEvent(RunnerHost& host) : host_(host) { host_.BeginEvent(); }
  ~RunnerEvent() { host_.EndEvent(); }
  RunnerEvent(const RunnerEvent&) = delete;
  RunnerEvent& operator=(const RunnerEvent&) = delete;

 private:
  RunnerHost& host_;
};

}  // namespace tellurix
