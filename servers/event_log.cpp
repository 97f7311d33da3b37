#include "servers/event_log.h"

#include <utility>

#include "servers/server_log.h"

namespace tellurix {

namespace {

// The fixed part of a record, and where its fields are in it.
constexpr size_t kHeaderSize = 56;
constexpr size_t kRecordNumberAt = 8, kTimeGeneratedAt = 12, kEventIdAt = 20, kNumStringsAt = 26, kStringOffsetAt = 36;
// Apache's read buffer keeps one byte for the NUL.
constexpr size_t kApachePiece = 255;

std::uint32_t LittleEndian(std::string_view bytes, size_t at, size_t width) {
  std::uint32_t value = 0;
  for (size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The NUL-terminated string at `at`, which must end before `end`; `at` moves past
// its NUL. None when there is no NUL before `end`.
std::optional<std::string> TakeString(std::string_view record, size_t& at, size_t end) {
  if (at >= end) return std::nullopt;
  const size_t nul = record.substr(0, end).find('\0', at);
  if (nul == std::string_view::npos) return std::nullopt;
  std::string text(record.substr(at, nul - at));
  at = nul + 1;
  return text;
}

// A record, all its Length bytes; none when it does not hold together.
std::optional<EventRecord> ReadRecord(std::string_view record) {
  // Everything after the header lies before the record's closing copy of its length.
  const size_t end = record.size() - 4;
  EventRecord event;
  event.number = LittleEndian(record, kRecordNumberAt, 4);
  event.timeGenerated = LittleEndian(record, kTimeGeneratedAt, 4);
  event.eventId = LittleEndian(record, kEventIdAt, 4);
  size_t at = kHeaderSize;
  std::optional<std::string> source = TakeString(record, at, end);
  if (!source) return std::nullopt;
  event.source = std::move(*source);
  at = LittleEndian(record, kStringOffsetAt, 4);
  if (at < kHeaderSize || at > end) return std::nullopt;
  for (std::uint32_t n = LittleEndian(record, kNumStringsAt, 2); n > 0; --n) {
    std::optional<std::string> text = TakeString(record, at, end);
    if (!text) return std::nullopt;
    event.strings.push_back(std::move(*text));
  }
  return event;
}

}  // namespace

std::vector<EventRecord> ParseEventRecords(std::string_view buffer) {
  std::vector<EventRecord> records;
  while (buffer.size() >= kHeaderSize) {
    const std::uint32_t length = LittleEndian(buffer, 0, 4);
    if (length < kHeaderSize || length > buffer.size()) break;
    std::optional<EventRecord> record = ReadRecord(buffer.substr(0, length));
    if (!record) break;
    records.push_back(std::move(*record));
    buffer.remove_prefix(length);
  }
  return records;
}

std::vector<std::string> ApacheServiceLines(const std::vector<EventRecord>& records) {
  std::vector<std::string> lines;
  std::string line;
  bool goesOn = false;  // the last piece filled Apache's buffer
  for (const EventRecord& record : records) {
    if (record.source != kApacheEventSource || (record.eventId & 0xFFFF) != kApacheEventId ||
        record.strings.size() < 4) {
      continue;
    }
    const std::string& piece = record.strings[3];
    line += piece;
    goesOn = piece.size() == kApachePiece;
    if (!goesOn) {
      lines.push_back(line);
      line.clear();
    }
  }
  // A last piece of 255 bytes: the line was that long, or the rest is not written yet.
  if (goesOn) lines.push_back(line);
  return lines;
}

std::vector<EventRecord> RecordsSince(std::vector<EventRecord> newestFirst, std::uint32_t noted,
                                      std::uint32_t startTime) {
  const bool renumbered = !newestFirst.empty() && newestFirst.front().number < noted;
  size_t since = 0;
  while (since < newestFirst.size()) {
    const EventRecord& record = newestFirst[since];
    if (renumbered ? record.timeGenerated < startTime : record.number <= noted) break;
    ++since;
  }
  newestFirst.resize(since);
  return {newestFirst.rbegin(), newestFirst.rend()};
}

std::string EventLineText(std::string_view bytes) { return LogText(bytes, false); }

}  // namespace tellurix
