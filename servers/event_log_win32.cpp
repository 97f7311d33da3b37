#include <windows.h>

#include "servers/event_log.h"

#include "core/codepage.h"
#include "ui/win32_handles.h"

namespace tellurix {

namespace {

struct EventLogTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseEventLog(h); }
};
using UniqueEventLog = UniqueHandle<EventLogTraits>;

// A failed start writes a handful of records; the reading stops after this much.
constexpr size_t kEventReadLimit = 1024 * 1024;

}  // namespace

std::optional<std::uint32_t> NewestEventRecord() {
  UniqueEventLog log(OpenEventLogW(nullptr, L"Application"));
  DWORD oldest = 0, count = 0;
  if (!log || !GetOldestEventLogRecord(log.get(), &oldest) || !GetNumberOfEventLogRecords(log.get(), &count)) {
    return std::nullopt;
  }
  return count == 0 ? 0 : oldest + count - 1;
}

std::vector<std::string> ApacheEventLinesAfter(std::uint32_t newest) {
  UniqueEventLog log(OpenEventLogW(nullptr, L"Application"));
  if (!log) return {};
  std::string records, buffer(64 * 1024, '\0');
  DWORD flags = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;
  while (records.size() < kEventReadLimit) {
    DWORD read = 0, needed = 0;
    if (ReadEventLogA(log.get(), flags, flags & EVENTLOG_SEEK_READ ? newest + 1 : 0, buffer.data(),
                      static_cast<DWORD>(buffer.size()), &read, &needed)) {
      if (read == 0) break;
      records.append(buffer, 0, read);
      flags = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
    } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size() && needed <= kEventReadLimit) {
      buffer.resize(needed);
    } else {
      break;  // ERROR_HANDLE_EOF: no more records (Wine keeps none at all)
    }
  }
  std::vector<std::string> lines;
  for (const std::string& bytes : ApacheServiceLines(ParseEventRecords(records))) {
    lines.push_back(FromCodePage(bytes, GetACP()).value_or(bytes));
  }
  return lines;
}

}  // namespace tellurix
