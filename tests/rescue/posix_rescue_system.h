// The system under the rescue on Linux, where the tests run the flow against a
// real server: programs through posix_spawn, a Unix socket for the pipe.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "servers/data_rescue.h"

namespace tellurix {

class PosixRescueSystem : public RescueSystem {
 public:
  ~PosixRescueSystem() override;
  ToolRun Run(const ToolRequest& request) override;
  bool StartServer(const CommandLine& command, const std::string& logFile) override;
  Wait WaitUntilAccepting(const std::string& endpoint, std::chrono::seconds limit) override;
  bool ServerRunning() override;
  bool WaitForServerEnd(std::chrono::seconds limit) override;
  void EndServer() override;
  bool MakeFolder(const std::string& path) override;
  bool WriteTextFile(const std::string& path, const std::string& content) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool Exists(const std::string& path) override;
  bool ReadFile(const std::string& path, const std::function<void(std::string_view)>& piece) override;
  LocalTime Now() override;
  bool Cancelled() override { return false; }
  void Progress(const std::string& line) override { progress.push_back(line); }

  std::vector<std::string> progress;
  std::vector<CommandLine> servers;  // every server command started

 private:
  pid_t server_ = -1;
};

}  // namespace tellurix
