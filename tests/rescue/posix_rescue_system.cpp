#include "tests/rescue/posix_rescue_system.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace tellurix {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPoll{100};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Spawns `command` with the given descriptors as its standard input, output and
// error (-1: /dev/null). Returns its process id, or -1.
pid_t Spawn(const CommandLine& command, int input, int output, int errors) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input >= 0) {
    posix_spawn_file_actions_adddup2(&actions, input, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, output, 1);
  posix_spawn_file_actions_adddup2(&actions, errors, 2);
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

// Waits for the process up to `limit`; its exit status, or none when it still runs.
std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (true) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

PosixRescueSystem::~PosixRescueSystem() { EndServer(); }

ToolRun PosixRescueSystem::Run(const ToolRequest& request) {
  ToolRun run;
  char errorsPath[] = "/tmp/tellurix-rescue-errors-XXXXXX";
  char outputPath[] = "/tmp/tellurix-rescue-output-XXXXXX";
  const int errors = mkstemp(errorsPath);
  const int output = request.outputFile.empty()
                         ? mkstemp(outputPath)
                         : open(request.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int input = request.inputFile.empty() ? -1 : open(request.inputFile.c_str(), O_RDONLY | O_CLOEXEC);
  pid_t pid = -1;
  if (errors >= 0 && output >= 0 && (request.inputFile.empty() || input >= 0)) {
    pid = Spawn(request.command, input, output, errors);
  }
  for (int fd : {errors, output, input}) {
    if (fd >= 0) close(fd);
  }
  if (pid < 0) {
    run.outcome = ToolRun::Outcome::CannotStart;
  } else if (std::optional<int> status = WaitFor(pid, request.limit)) {
    run.exitCode = ExitCode(*status);
  } else {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    run.outcome = ToolRun::Outcome::TimedOut;
  }
  run.errors = Slurp(errorsPath);
  unlink(errorsPath);
  if (request.outputFile.empty()) {
    run.output = Slurp(outputPath);
    unlink(outputPath);
  }
  return run;
}

bool PosixRescueSystem::StartServer(const CommandLine& command, const std::string& logFile) {
  servers.push_back(command);
  const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (log < 0) return false;
  server_ = Spawn(command, -1, log, log);
  close(log);
  return server_ > 0;
}

RescueSystem::Wait PosixRescueSystem::WaitUntilAccepting(const std::string& endpoint, std::chrono::seconds limit) {
  const auto deadline = Clock::now() + limit;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, endpoint.c_str(), sizeof address.sun_path - 1);
  while (Clock::now() < deadline) {
    if (!ServerRunning()) return Wait::Ended;
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool accepted = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    if (accepted) return Wait::Accepting;
    std::this_thread::sleep_for(kPoll);
  }
  return Wait::TimedOut;
}

bool PosixRescueSystem::ServerRunning() {
  if (server_ <= 0) return false;
  if (waitpid(server_, nullptr, WNOHANG) == server_) server_ = -1;
  return server_ > 0;
}

bool PosixRescueSystem::WaitForServerEnd(std::chrono::seconds limit) {
  if (server_ <= 0) return true;
  if (!WaitFor(server_, limit)) return false;
  server_ = -1;
  return true;
}

void PosixRescueSystem::EndServer() {
  if (server_ <= 0) return;
  kill(server_, SIGKILL);
  waitpid(server_, nullptr, 0);
  server_ = -1;
}

bool PosixRescueSystem::MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }

bool PosixRescueSystem::WriteTextFile(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary);
    out << content;
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool PosixRescueSystem::Rename(const std::string& from, const std::string& to) {
  struct stat existing;
  if (stat(to.c_str(), &existing) == 0) return false;  // never replaces, as MoveFileExW without its flag
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixRescueSystem::RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool PosixRescueSystem::Exists(const std::string& path) {
  struct stat existing;
  return stat(path.c_str(), &existing) == 0;
}

bool PosixRescueSystem::ReadFile(const std::string& path, const std::function<void(std::string_view)>& piece) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  char buffer[64 * 1024];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) piece(std::string_view(buffer, in.gcount()));
  return true;
}

LocalTime PosixRescueSystem::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace tellurix
