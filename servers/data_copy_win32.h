// The copy of MySQL's data folder on Windows: the file system it runs on
// (CopyFileExW streaming each file, `\\?\` for long paths, read-only files
// cleared before removal), what the panel checks before it starts, and the job
// that runs it on a thread of its own and posts its progress to a window.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "servers/data_copy.h"

namespace tellurix {

// The system's words for an error code (FormatMessageW, in the system's
// language), without the line break and the full stop at their end.
std::string SystemErrorText(unsigned long code);
// A path as the file functions take it: from MAX_PATH - 12 characters on (the
// limit of a folder's name) in its full form behind `\\?\` (`\\?\UNC\` for a
// share), so that long paths work too; shorter ones as they are.
std::wstring ApiPath(const std::string& path);

// CopyFileExW, replaceable by tests that follow its documentation where Wine
// does not (Wine 8 never calls the progress routine); nullptr puts the
// system's back.
using CopyFileStep = BOOL(WINAPI*)(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID data, LPBOOL cancel,
                                   DWORD flags);
void SetCopyFileStepForTesting(CopyFileStep step);

class Win32CopyFileSystem : public CopyFileSystem {
 public:
  char Separator() const override { return '\\'; }
  std::optional<Failure> List(const std::string& folder, std::vector<Item>& items) override;
  std::optional<Failure> MakeFolder(const std::string& path) override;
  Copied CopyFile(const std::string& from, const std::string& to, const FileProgress& progress,
                  const std::atomic<bool>& cancel, Failure& failure) override;
  std::optional<Failure> RemoveFile(const std::string& path) override;
  std::optional<Failure> RemoveFolder(const std::string& path) override;
};

// Every running process with the full path of its program (empty where the
// system does not tell it).
std::vector<RunningProcess> RunningProcesses();

// What to copy where, as found before the copy.
struct DataCopyPlan {
  std::string from, to;  // the data folder and its copy beside it
  Tree tree;
};
struct DataCopyCheck {
  std::vector<std::string> refusals;  // message-list lines; the copy may start when there are none
  DataCopyPlan plan;
};
// Finds the data folder (my.ini's datadir, else <ProgramDirectory>\MySQL\data),
// asks the service manager and the process list whether MySQL may be writing
// it, lists it, and asks its drive for the room.
DataCopyCheck CheckDataCopy(const std::string& programDirectory);

// The files a copy job copies at once. Each new file costs Wine a request to
// its server and a scan of the folder; two threads overlap that with the
// copying (docs/speed.md has the figures: more than two gained nothing on two
// cores).
inline constexpr unsigned kCopyWorkers = 2;

// Runs one copy on a thread of its own, its files on kCopyWorkers threads. The owner window gets `message` with
// wParam kProgress and the per cent in lParam each time it grows, and once with
// kEnded when the copy has ended (copied, or cancelled or failed and removed);
// it then collects the outcome.
class DataCopyJob {
 public:
  static constexpr WPARAM kProgress = 0, kEnded = 1;

  DataCopyJob() = default;
  DataCopyJob(const DataCopyJob&) = delete;
  DataCopyJob& operator=(const DataCopyJob&) = delete;
  ~DataCopyJob();  // a copy still running is cancelled and removed first

  // False when a copy runs already or no thread could be started.
  bool Start(HWND owner, UINT message, DataCopyPlan plan);
  bool Running() const { return thread_ != nullptr; }  // started and not collected
  const DataCopyPlan& plan() const { return plan_; }
  // Asks the copy to stop; it removes what it copied, then posts kEnded.
  void Cancel() { cancel_ = true; }
  // After kEnded: the outcome (waiting for the thread's last instructions);
  // none when no copy was started or it was collected already.
  std::optional<CopyOutcome> Collect();
  // For a panel that quits mid-copy: cancels, waits until what was copied is
  // removed, and collects. A kEnded still posted is then answered by none.
  std::optional<CopyOutcome> CancelAndWait();

 private:
  static DWORD WINAPI Run(LPVOID job);

  HWND owner_ = nullptr;
  UINT message_ = 0;
  DataCopyPlan plan_;
  std::atomic<bool> cancel_{false};
  CopyOutcome outcome_;
  HANDLE thread_ = nullptr;
};

}  // namespace tellurix
