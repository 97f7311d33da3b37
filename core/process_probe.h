// Counting the running processes that carry a given image name, and naming one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tellurix {

// The image name held in a fixed-size name field of a process entry: the
// characters before the first NUL (or the whole field when it holds none)
// compared with `wanted` exactly - whole name, case-sensitive, no trimming.
bool ImageNameIs(const wchar_t* field, std::size_t fieldLength, std::string_view wanted);

// A running process: its id, its image name (UTF-8) and, where asked for and
// the system tells it, the full path of its program.
struct NamedProcess {
  unsigned long processId = 0;
  std::string imageName;
  std::string fullPath;
};

#ifdef _WIN32
// Number of running processes whose image name is exactly `imageName`, from a
// fresh snapshot of the process list, leaving out the ids in `except`; 0 when
// the list cannot be read.
int IsProcessRunning(std::string_view imageName, const std::vector<unsigned long>& except = {});

// The running processes: id and image name (UTF-8), and with `fullPaths` the
// full path of each one's program (empty where the system does not tell it).
std::vector<NamedProcess> NamedProcesses(bool fullPaths = false);

// The image name of the process with this id (UTF-8); none when it is not running.
std::optional<std::string> ImageNameOf(unsigned long processId);
#endif

}  // namespace tellurix
