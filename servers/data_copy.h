// Copying MySQL's data folder before anything tries to rescue it: whether the
// copy may start now, where it goes, and the copy itself over a small file
// system (Win32 in the panel, POSIX in the tests): every file streamed with its
// progress in per cent of bytes, cancellable, a failed or cancelled copy removed
// again in reverse order, and what landed checked against the source.
// Portable: servers/data_copy_win32.h runs it on its own thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "servers/service_diagnosis.h"

namespace tellurix {

// --- Before the copy -------------------------------------------------------

struct RunningProcess {
  unsigned long processId = 0;
  std::string image;  // the full path of its program; empty when the system does not tell
};
struct CopyConditions {
  ServiceState service = ServiceState::Unknown;  // the MySQL service; a missing service counts as stopped
  std::vector<RunningProcess> processes;
  std::string serverProgram;  // the stack's own mysqld (OwnServerProgram)
  std::uint64_t freeBytes = 0;    // on the drive of the copy
  std::optional<std::uint64_t> folderBytes;  // of every file of the data folder; none when it could not be listed
};
// Room left on the drive beyond the copy itself.
inline constexpr std::uint64_t kCopyHeadroom = 64ull * 1024 * 1024;
// The message-list lines that say why the copy may not start now, in this
// order: the service is not stopped; a process runs the stack's own server
// (its full path compared without case); the drive lacks the folder's size
// plus kCopyHeadroom (not asked when the folder's size is unknown). Empty when
// the copy may start.
std::vector<std::string> CopyRefusals(const CopyConditions& conditions);

// The local time a copy is named after.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Beside the data folder: "<data folder>-备份-YYYYMMDD-HHMMSS" (trailing
// separators of the folder dropped).
std::string BackupFolderFor(std::string_view dataFolder, const LocalTime& now);
// A name of those the panel makes to the second, not taken yet: `name` itself,
// else "<name>-2", "<name>-3", ... (a step tried again within the same second).
std::string UntakenName(std::string_view name, const std::function<bool(const std::string&)>& taken);

// A size as the panel writes it: "512 B", "1.5 KB", "12.3 MB", "230 MB", "1.2 GB"
// (units of 1024; one decimal below 100, none from 100 on).
std::string SizeText(std::uint64_t bytes);

// --- The file system the copy runs on -------------------------------------

class CopyFileSystem {
 public:
  virtual ~CopyFileSystem() = default;
  struct Item {
    std::string name;
    bool folder = false;
    std::uint64_t size = 0;  // of a file
  };
  // What went wrong: the path concerned and the system's own words for why.
  struct Failure {
    std::string path, reason;
  };
  enum class Copied { Done, Cancelled, Failed };
  // The bytes of the current file copied so far.
  using FileProgress = std::function<void(std::uint64_t)>;

  virtual char Separator() const = 0;
  // The folder's entries (without "." and ".."), in any order.
  virtual std::optional<Failure> List(const std::string& folder, std::vector<Item>& items) = 0;
  // A new folder; fails when the path exists already.
  virtual std::optional<Failure> MakeFolder(const std::string& path) = 0;
  // Streams one file to a new path (failing when it exists), keeping its
  // attributes (a read-only file stays read-only), calling `progress` as it
  // goes and stopping soon after `cancel` is set; a file stopped half-way may
  // be left for the caller to remove. May be called by several threads at once.
  virtual Copied CopyFile(const std::string& from, const std::string& to, const FileProgress& progress,
                          const std::atomic<bool>& cancel, Failure& failure) = 0;
  // Remove a file (a read-only one too) or an empty folder; a path that does
  // not exist is no failure.
  virtual std::optional<Failure> RemoveFile(const std::string& path) = 0;
  virtual std::optional<Failure> RemoveFolder(const std::string& path) = 0;
};

// --- The copy --------------------------------------------------------------

// Every folder and file under a root, relative to it, a folder before its
// contents, names in byte order.
struct Tree {
  struct Entry {
    std::string relative;
    bool folder = false;
    std::uint64_t size = 0;
  };
  std::vector<Entry> entries;
  std::size_t files = 0;
  std::uint64_t bytes = 0;
};
// Lists the tree from disk; a folder that cannot be listed is the failure.
std::optional<CopyFileSystem::Failure> ListTree(CopyFileSystem& fs, const std::string& root, Tree& tree);

// Whole per cents of `total` reached by `done` (100 for an empty total); each
// call of Advance says the per cent, at most `ceiling`, when it grew, so the
// reports only rise.
class PercentTracker {
 public:
  explicit PercentTracker(std::uint64_t total) : total_(total) {}
  std::optional<unsigned> Advance(std::uint64_t done, unsigned ceiling = 100);

 private:
  std::uint64_t total_;
  std::optional<unsigned> reported_;
};
unsigned PercentOf(std::uint64_t done, std::uint64_t total);

struct CopyOutcome {
  enum class End { Copied, Cancelled, Failed };
  End end = End::Failed;
  std::size_t files = 0;
  std::uint64_t bytes = 0;
  std::string failedPath, reason;       // Failed: the file and the system's words (or the check's)
  std::vector<std::string> leftBehind;  // what the removal after a cancel or failure could not remove
};
// Files from this size on are streamed one at a time, whatever the workers.
inline constexpr std::uint64_t kBigFile = 8ull * 1024 * 1024;
// Copies `tree` (listed from `from`) into the new folder `to`: the folders
// first-to-last, then the files in the tree's order, each streamed, up to
// `workers` of them at once (the calling thread and workers - 1 more; the file
// system's CopyFile must then allow that), a big file never beside another big
// one. `percent` hears the per cent of bytes each time it grows (0 first, 100
// only once everything is copied and checked), one call at a time, none after a
// cancel. A file that fails stops the others; that file is the one named.
// Cancelled or failed, everything it made is removed, last made first. Copied,
// the copy is listed again from disk and must hold the same files of the same
// sizes; when it does not, that is the failure.
CopyOutcome CopyTree(CopyFileSystem& fs, const std::string& from, const Tree& tree, const std::string& to,
                     const std::function<void(unsigned)>& percent, const std::atomic<bool>& cancel,
                     unsigned workers = 1);

// The message-list lines for the end of a copy into `to`: what was copied, or
// that it was cancelled or failed (and what could not be removed).
std::vector<std::string> CopyEndLines(const CopyOutcome& outcome, std::string_view to);
// The line for a data folder that could not be listed before the copy.
std::string UnreadableLine(const CopyFileSystem::Failure& failure);

}  // namespace tellurix
