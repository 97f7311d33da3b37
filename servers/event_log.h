// What Apache said in the Application event log: as a Windows service it sends
// each line it writes before its error log is open there, one record a line.
// Portable: the records are read as the bytes ReadEventLogA fills.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tellurix {

// One record of the log, its strings as the bytes the log holds (ANSI code page).
struct EventRecord {
  std::uint32_t number = 0;
  std::uint32_t eventId = 0;
  std::string source;
  std::vector<std::string> strings;
  std::uint32_t timeGenerated = 0;  // seconds since 1970 (UTC)
};

// The records that lie back to back in a buffer filled by ReadEventLogA. The
// reading stops at the first record that does not hold together (a length
// shorter than a header or running past the buffer, strings outside the
// record, a name or string without its NUL), keeping the records before it.
std::vector<EventRecord> ParseEventRecords(std::string_view buffer);

// Apache's records: its source, event id 3299 in the low 16 bits, the line as
// the fourth string.
inline constexpr char kApacheEventSource[] = "Apache Service";
inline constexpr unsigned kApacheEventId = 3299;

// Apache's lines in the records, oldest first, as the ANSI bytes it wrote. Apache
// reads its output 255 bytes at a time: a piece of exactly 255 bytes goes on in
// the next of its records.
std::vector<std::string> ApacheServiceLines(const std::vector<EventRecord>& records);

// The records written since a command began, oldest first, from records read
// newest first: they end at the first record numbered at or below `noted` (the
// newest number when the command began), or, when the newest record is
// numbered below that (the log was cleared, or its numbers wrapped round), at
// the first record generated before `startTime`.
std::vector<EventRecord> RecordsSince(std::vector<EventRecord> newestFirst, std::uint32_t noted,
                                      std::uint32_t startTime);

// A line of Apache's as text: valid UTF-8 as it is (Apache 2.4 writes the paths
// of its configuration so), any other bytes from the ANSI code page, the way the
// panel reads `httpd.exe -t`'s report line by line.
std::string EventLineText(std::string_view bytes);

#ifdef _WIN32
// The number of the newest record of the Application log; 0 when it is empty,
// none when the log cannot be opened.
std::optional<std::uint32_t> NewestEventRecord();
// Apache's lines in the records written since a command began (`noted` the
// newest record's number then, `startTime` its time), as UTF-8 text. The log
// is read backwards from its newest record, never with a seek (a seek read may
// fail on a large log).
std::vector<std::string> ApacheEventLinesSince(std::uint32_t noted, std::uint32_t startTime);

// The event-log functions the reading uses, replaceable by tests that play a
// Windows log (Wine keeps none); nullptr puts the system's back.
struct EventLogApi {
  void*(__stdcall* open)(const wchar_t* server, const wchar_t* source) = nullptr;
  int(__stdcall* close)(void* log) = nullptr;
  int(__stdcall* oldest)(void* log, unsigned long* number) = nullptr;
  int(__stdcall* count)(void* log, unsigned long* number) = nullptr;
  int(__stdcall* read)(void* log, unsigned long flags, unsigned long offset, void* buffer, unsigned long size,
                       unsigned long* read, unsigned long* needed) = nullptr;
};
void SetEventLogApiForTesting(const EventLogApi* api);
#endif

}  // namespace tellurix
