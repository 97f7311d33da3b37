#include <windows.h>

#include "servers/event_log.h"

namespace tellurix {

namespace {

void* __stdcall SystemOpen(const wchar_t* server, const wchar_t* source) { return OpenEventLogW(server, source); }
int __stdcall SystemClose(void* log) { return CloseEventLog(log); }
int __stdcall SystemOldest(void* log, unsigned long* number) { return GetOldestEventLogRecord(log, number); }
int __stdcall SystemCount(void* log, unsigned long* number) { return GetNumberOfEventLogRecords(log, number); }
int __stdcall SystemRead(void* log, unsigned long flags, unsigned long offset, void* buffer, unsigned long size,
                         unsigned long* read, unsigned long* needed) {
  return ReadEventLogA(log, flags, offset, buffer, size, read, needed);
}
const EventLogApi kSystemApi = {SystemOpen, SystemClose, SystemOldest, SystemCount, SystemRead};
const EventLogApi* api = &kSystemApi;

// The Application log, opened afresh (a fresh handle reads from the newest
// record backwards), closed with the object.
class ApplicationLog {
 public:
  ApplicationLog() : log_(api->open(nullptr, L"Application")) {}
  ~ApplicationLog() {
    if (log_) api->close(log_);
  }
  ApplicationLog(const ApplicationLog&) = delete;
  ApplicationLog& operator=(const ApplicationLog&) = delete;
  void* get() const { return log_; }

 private:
  void* log_;
};

// A failed start writes a handful of records; the reading stops after this much.
constexpr size_t kEventReadLimit = 1024 * 1024;

}  // namespace

void SetEventLogApiForTesting(const EventLogApi* replacement) { api = replacement ? replacement : &kSystemApi; }

std::optional<std::uint32_t> NewestEventRecord() {
  const ApplicationLog log;
  unsigned long oldest = 0, count = 0;
  if (!log.get() || !api->oldest(log.get(), &oldest) || !api->count(log.get(), &count)) return std::nullopt;
  return count == 0 ? 0 : static_cast<std::uint32_t>(oldest + count - 1);
}

std::vector<std::string> ApacheEventLinesSince(std::uint32_t noted, std::uint32_t startTime) {
  const ApplicationLog log;
  if (!log.get()) return {};
  // Newest first, a buffer at a time, until a record from before the command.
  std::vector<EventRecord> newestFirst;
  std::string buffer(64 * 1024, '\0');
  size_t total = 0;
  bool before = false;
  while (!before && total < kEventReadLimit) {
    unsigned long read = 0, needed = 0;
    if (api->read(log.get(), EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0, buffer.data(),
                  static_cast<unsigned long>(buffer.size()), &read, &needed)) {
      if (read == 0) break;
      total += read;
      for (EventRecord& record : ParseEventRecords(std::string_view(buffer.data(), read))) {
        newestFirst.push_back(std::move(record));
      }
      before = RecordsSince(newestFirst, noted, startTime).size() < newestFirst.size();
    } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size() && needed <= kEventReadLimit) {
      buffer.resize(needed);
    } else {
      break;  // ERROR_HANDLE_EOF: no more records (Wine keeps none at all)
    }
  }
  std::vector<std::string> lines;
  for (const std::string& bytes : ApacheServiceLines(RecordsSince(std::move(newestFirst), noted, startTime))) {
    lines.push_back(EventLineText(bytes));
  }
  return lines;
}

}  // namespace tellurix
