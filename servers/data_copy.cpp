#include "servers/data_copy.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/text_lines.h"
#include "resources/texts.h"

namespace tellurix {

std::vector<std::string> CopyRefusals(const CopyConditions& conditions) {
  std::vector<std::string> lines;
  switch (conditions.service) {
    case ServiceState::Stopped: break;
    case ServiceState::Running: lines.push_back(MessageLine(text::kDataCopyServiceRunning)); break;
    case ServiceState::Pending: lines.push_back(MessageLine(text::kDataCopyServicePending)); break;
    case ServiceState::Unknown: lines.push_back(MessageLine(text::kDataCopyServiceUnknown)); break;
  }
  for (const RunningProcess& process : conditions.processes) {
    if (process.image.empty() || !EqualsNoCase(process.image, conditions.serverProgram)) continue;
    lines.push_back(MessageLine(FillIn(text::kDataCopyServerRunning,
                                       {ImageName(process.image), std::to_string(process.processId)})));
  }
  if (!conditions.folderBytes) return lines;
  const std::uint64_t needed = *conditions.folderBytes + kCopyHeadroom;
  if (conditions.freeBytes < needed) {
    lines.push_back(MessageLine(FillIn(text::kDataCopyNoSpace, {SizeText(needed), SizeText(conditions.freeBytes)})));
  }
  return lines;
}

namespace {
std::string TwoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
}
}  // namespace

std::string BackupFolderFor(std::string_view dataFolder, const LocalTime& now) {
  while (!dataFolder.empty() && (dataFolder.back() == '\\' || dataFolder.back() == '/')) dataFolder.remove_suffix(1);
  return std::string(dataFolder) + "-备份-" + std::to_string(now.year) + TwoDigits(now.month) + TwoDigits(now.day) +
         "-" + TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second);
}

std::string UntakenName(std::string_view name, const std::function<bool(const std::string&)>& taken) {
  std::string candidate(name);
  for (int n = 2; taken(candidate) && n < 1000; ++n) candidate = std::string(name) + "-" + std::to_string(n);
  return candidate;
}

std::string SizeText(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) value /= 1024, ++unit;
  auto tenths = static_cast<std::uint64_t>(std::llround(value * 10));
  if (tenths >= 1000) {  // from 100 on, whole units; 1024 of them are one of the next
    auto whole = static_cast<std::uint64_t>(std::llround(value));
    if (whole >= 1024 && unit + 1 < std::size(kUnits)) return "1.0 " + std::string(kUnits[unit + 1]);
    return std::to_string(whole) + " " + kUnits[unit];
  }
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

namespace {

using Failure = CopyFileSystem::Failure;

std::string Join(const CopyFileSystem& fs, const std::string& folder, const std::string& name) {
  if (name.empty()) return folder;
  return folder + fs.Separator() + name;
}

std::optional<Failure> ListInto(CopyFileSystem& fs, const std::string& root, const std::string& relative, Tree& tree) {
  std::vector<CopyFileSystem::Item> items;
  if (auto failure = fs.List(Join(fs, root, relative), items)) return failure;
  std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& item : items) {
    std::string path = relative.empty() ? item.name : relative + fs.Separator() + item.name;
    if (item.folder) {
      tree.entries.push_back({path, true, 0});
      if (auto failure = ListInto(fs, root, path, tree)) return failure;
    } else {
      tree.entries.push_back({std::move(path), false, item.size});
      ++tree.files;
      tree.bytes += item.size;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Failure> ListTree(CopyFileSystem& fs, const std::string& root, Tree& tree) {
  tree = Tree{};
  return ListInto(fs, root, std::string(), tree);
}

unsigned PercentOf(std::uint64_t done, std::uint64_t total) {
  if (total == 0 || done >= total) return 100;
  // done * 100 exactly, also where that would not fit (beyond 180 PB, by then to 1 %)
  const std::uint64_t whole = done <= UINT64_MAX / 100 ? done * 100 / total : done / (total / 100);
  return static_cast<unsigned>(std::min<std::uint64_t>(whole, 99));
}

std::optional<unsigned> PercentTracker::Advance(std::uint64_t done, unsigned ceiling) {
  const unsigned now = std::min(PercentOf(done, total_), ceiling);
  if (reported_ && now <= *reported_) return std::nullopt;
  reported_ = now;
  return now;
}

namespace {

// What the copy made, to be removed again last-made first.
struct Made {
  std::string path;
  bool folder;
};

void RemoveMade(CopyFileSystem& fs, const std::vector<Made>& made, CopyOutcome& outcome) {
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    const auto failure = it->folder ? fs.RemoveFolder(it->path) : fs.RemoveFile(it->path);
    if (failure) outcome.leftBehind.push_back(it->path);
  }
}

// The first difference between what was listed before and the copy as listed
// now; the path named is the source's, or the copy's for a file the source
// never had.
std::optional<Failure> Difference(const CopyFileSystem& fs, const std::string& from, const Tree& source,
                                  const std::string& to, const Tree& copy) {
  std::map<std::string, const Tree::Entry*> copied;
  for (const auto& entry : copy.entries) copied[entry.relative] = &entry;
  for (const auto& entry : source.entries) {
    const auto found = copied.find(entry.relative);
    if (found == copied.end() || found->second->folder != entry.folder) {
      return Failure{Join(fs, from, entry.relative), text::kDataCopyMissing};
    }
    if (!entry.folder && found->second->size != entry.size) {
      return Failure{Join(fs, from, entry.relative),
                     FillIn(text::kDataCopySizeDiffers,
                            {std::to_string(entry.size), std::to_string(found->second->size)})};
    }
    copied.erase(found);
  }
  if (!copied.empty()) return Failure{Join(fs, to, copied.begin()->first), text::kDataCopyExtra};
  return std::nullopt;
}

}  // namespace

namespace {

// The files of one copy, shared by the threads that copy them.
struct FileCopies {
  CopyFileSystem& fs;
  const std::string &from, &to;
  const Tree& tree;
  const std::atomic<bool>& cancel;
  const std::function<void(unsigned)>& percent;
  PercentTracker& tracker;
  std::vector<Made>& made;              // guarded by `mutex`, as is all that follows it
  std::vector<std::uint64_t> underWay;  // each thread's bytes of its file so far
  std::atomic<bool> stop{false};        // cancelled (as a thread saw), or a file failed
  std::mutex big{};                     // held while a big file streams
  std::mutex mutex{};
  std::size_t next = 0;                 // the entry to take next
  std::uint64_t done = 0;               // the bytes of the files copied
  std::optional<Failure> failure{};

  // With `mutex` held: the per cent of what is done, once the copy still runs.
  void Report() {
    if (cancel) stop = true;
    if (stop) return;
    std::uint64_t bytes = done;
    for (const std::uint64_t part : underWay) bytes += part;
    if (auto now = tracker.Advance(bytes, 99); now && percent) percent(*now);
  }

  // One thread's share: the next file not taken yet, until none is left or the copy stops.
  void Work(std::size_t worker) {
    for (;;) {
      const Tree::Entry* entry = nullptr;
      std::string target;
      {
        std::lock_guard<std::mutex> lock(mutex);
        while (next < tree.entries.size() && tree.entries[next].folder) ++next;
        if (cancel) stop = true;
        if (stop || next == tree.entries.size()) return;
        entry = &tree.entries[next++];
        target = Join(fs, to, entry->relative);
        // A file stopped half-way may be on disk: it is removed with the rest.
        made.push_back({target, false});
      }
      std::unique_lock<std::mutex> alone(big, std::defer_lock);
      if (entry->size >= kBigFile) alone.lock();
      const std::string source = Join(fs, from, entry->relative);
      Failure failed;
      const auto copied = fs.CopyFile(
          source, target,
          [&](std::uint64_t bytes) {
            std::lock_guard<std::mutex> lock(mutex);
            underWay[worker] = std::min(bytes, entry->size);
            Report();
          },
          stop, failed);
      std::lock_guard<std::mutex> lock(mutex);
      underWay[worker] = 0;
      if (copied == CopyFileSystem::Copied::Failed) {
        if (!failure) failed.path = source, failure = failed;
        stop = true;
        return;
      }
      if (copied == CopyFileSystem::Copied::Cancelled) return;
      done += entry->size;
      Report();
    }
  }
};

void CopyFiles(FileCopies& copies, unsigned workers) {
  std::vector<std::thread> threads;
  for (unsigned worker = 1; worker < workers; ++worker) {
    try {
      threads.emplace_back(&FileCopies::Work, &copies, worker);
    } catch (const std::system_error&) {
      break;  // no more threads: fewer copy at once
    }
  }
  copies.Work(0);
  for (auto& thread : threads) thread.join();
}

}  // namespace

CopyOutcome CopyTree(CopyFileSystem& fs, const std::string& from, const Tree& tree, const std::string& to,
                     const std::function<void(unsigned)>& percent, const std::atomic<bool>& cancel,
                     unsigned workers) {
  CopyOutcome outcome;
  outcome.files = tree.files;
  outcome.bytes = tree.bytes;
  std::vector<Made> made;
  const auto end = [&](CopyOutcome::End how, const std::optional<Failure>& failure = std::nullopt) {
    outcome.end = how;
    if (failure) outcome.failedPath = failure->path, outcome.reason = failure->reason;
    RemoveMade(fs, made, outcome);
    return outcome;
  };
  if (cancel) return end(CopyOutcome::End::Cancelled);

  // 99 once every byte is copied; 100 only after the check.
  PercentTracker tracker(tree.bytes);
  if (auto now = tracker.Advance(0, 0); now && percent) percent(*now);

  if (auto failure = fs.MakeFolder(to)) return end(CopyOutcome::End::Failed, failure);
  made.push_back({to, true});
  for (const auto& entry : tree.entries) {
    if (!entry.folder) continue;
    if (cancel) return end(CopyOutcome::End::Cancelled);
    const std::string target = Join(fs, to, entry.relative);
    if (auto failure = fs.MakeFolder(target)) return end(CopyOutcome::End::Failed, failure);
    made.push_back({target, true});
  }

  workers = std::max(1u, workers);
  FileCopies copies{fs, from, to, tree, cancel, percent, tracker, made, std::vector<std::uint64_t>(workers)};
  CopyFiles(copies, workers);
  if (copies.failure) return end(CopyOutcome::End::Failed, copies.failure);
  if (copies.stop || cancel) return end(CopyOutcome::End::Cancelled);

  Tree copy;
  if (auto failure = ListTree(fs, to, copy)) return end(CopyOutcome::End::Failed, failure);
  if (auto failure = Difference(fs, from, tree, to, copy)) return end(CopyOutcome::End::Failed, failure);
  outcome.end = CopyOutcome::End::Copied;
  if (auto now = tracker.Advance(tree.bytes, 100); now && percent) percent(*now);
  return outcome;
}

namespace {
std::string PathsText(const std::vector<std::string>& paths) {
  constexpr size_t kShown = 3;
  std::string joined;
  for (size_t i = 0; i < paths.size() && i < kShown; ++i) {
    if (i) joined += text::kListSeparator;
    joined += paths[i];
  }
  if (paths.size() > kShown) joined += FillIn(text::kAndMore, {std::to_string(paths.size())});
  return joined;
}
}  // namespace

std::vector<std::string> CopyEndLines(const CopyOutcome& outcome, std::string_view to) {
  if (outcome.end == CopyOutcome::End::Copied) {
    return {MessageLine(FillIn(text::kDataCopyDone, {to, std::to_string(outcome.files), SizeText(outcome.bytes)}))};
  }
  std::vector<std::string> lines;
  if (outcome.end == CopyOutcome::End::Cancelled) {
    lines.push_back(MessageLine(text::kDataCopyCancelled));
  } else {
    lines.push_back(MessageLine(FillIn(text::kDataCopyFailed, {outcome.failedPath, outcome.reason})));
  }
  lines.push_back(MessageLine(outcome.leftBehind.empty() ? std::string(text::kDataCopyRemoved)
                                                         : FillIn(text::kDataCopyLeftBehind,
                                                                  {PathsText(outcome.leftBehind)})));
  return lines;
}

std::string UnreadableLine(const CopyFileSystem::Failure& failure) {
  return MessageLine(FillIn(text::kDataCopyUnreadable, {failure.path, failure.reason}));
}

}  // namespace tellurix
