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

// A line of Apache's as text: valid UTF-8 as it is (Apache 2.4 writes the paths
// of its configuration so), any other bytes from the ANSI code page, the way the
// panel reads `httpd.exe -t`'s report line by line.
std::string EventLineText(std::string_view bytes);

#ifdef _WIN32
// The number of the newest record of the Application log; 0 when it is empty,
// none when the log cannot be opened.
std::optional<std::uint32_t> NewestEventRecord();
// Apache's lines in the records written after `newest`, as UTF-8 text.
std::vector<std::string> ApacheEventLinesAfter(std::uint32_t newest);
#endif

}  // namespace tellurix
