// Apache's lines in the Application event log: records laid out as ReadEventLogA
// fills its buffer (the "EVENTLOGRECORD structure" documentation: the header,
// the source and computer names, the SID, the strings at StringOffset, the
// length again at the end), what is Apache's among them, and buffers that break
// off. Wine keeps no records, so only this shows the reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/codepage.h"
#include "servers/event_log.h"

namespace tellurix {

bool operator==(const EventRecord& a, const EventRecord& b) {
  return a.number == b.number && a.eventId == b.eventId && a.source == b.source && a.strings == b.strings &&
         a.timeGenerated == b.timeGenerated;
}

namespace {

const char kNoSockets[] = "AH00451: no listening sockets available, shutting down";
const char kNoLogs[] = "AH00015: Unable to open logs";
const char kSyntax[] = "AH00526: Syntax error on line 2 of C:/Tellurix/Apache2/conf/httpd.conf:";
const char kInvalid[] =
    "Invalid command 'Listn', perhaps misspelled or defined by a module not included in the server configuration";

void Put(std::string& bytes, size_t at, size_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> 8 * i);
}

// The header, the source and computer names, padding, LocalSystem's SID, the
// strings, padding and the length again; an error event.
std::string Laid(const EventRecord& record) {
  std::string r = std::string(56, '\0') + record.source + '\0' + "DEV-PC" + '\0';
  r.resize((r.size() + 3) / 4 * 4);
  Put(r, 40, 12, 4), Put(r, 44, r.size(), 4);
  r.append("\x01\x01\0\0\0\0\0\x05\x12\0\0\0", 12);
  Put(r, 36, r.size(), 4);
  for (const std::string& text : record.strings) r += text + '\0';
  Put(r, 52, r.size(), 4);
  r.resize((r.size() + 3) / 4 * 4 + 4);
  Put(r, 0, r.size(), 4), Put(r, 4, 0x654C664C, 4), Put(r, 8, record.number, 4), Put(r, 20, record.eventId, 4);
  Put(r, 12, record.timeGenerated, 4);
  Put(r, 24, 1, 2), Put(r, 26, record.strings.size(), 2), Put(r, r.size() - 4, r.size(), 4);
  return r;
}

// Apache's record of a line or a piece of one: its nine strings.
EventRecord Apache(std::uint32_t number, const std::string& line, std::uint32_t id = kApacheEventId,
                   const char* source = kApacheEventSource) {
  return {number,
          id,
          source,
          {"The Apache service named", "", "reported the following error:\r\n>>>", line, "", "", "", "", ""}};
}

TEST(EventLog, ApacheLinesAmongTheRecords) {
  SetAnsiCodePage("CP936");
  std::string taken =
      "(OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : AH00072: make_sock: could not bind to "
      "address [::]:80";
  std::string forbidden =
      "(OS 10013)以一种访问权限不允许的方式做了一个访问套接字的尝试。  : AH00072: make_sock: could not bind to address "
      "0.0.0.0:80";
  // The stack unpacked in folders within folders: 302 bytes, cut inside a character.
  std::string deep = "AH00526: Syntax error on line 2 of C:/";
  for (int i = 0; i < 21; ++i) deep += "新建文件夹/";
  deep += "Tellurix/Apache2/conf/httpd.conf:";
  for (std::string* line : {&taken, &forbidden, &deep}) *line = ToAnsi(*line).value();
  const char kOther[] = "Service Control Manager";
  // Among them records of other sources and ids, one with too few strings (6), a line in two pieces around another
  // record (7, 9), and a last piece that fills the buffer, a line of its own (13).
  std::vector<EventRecord> records = {
      Apache(1, taken),
      Apache(2, taken, 0x40001B58, kOther),
      Apache(3, forbidden, 0xC0000CE3),
      Apache(4, kNoSockets, 0x40001B58),
      Apache(5, kNoSockets, kApacheEventId, "apache service"),
      {6, kApacheEventId, kApacheEventSource, {"The Apache service named", "", kNoSockets}},
      Apache(7, deep.substr(0, 255)),
      Apache(8, kNoLogs, 0x40001B58, kOther),
      Apache(9, deep.substr(255)),
      Apache(10, kSyntax),
      Apache(11, kInvalid),
      Apache(12, kNoLogs),
      Apache(13, deep.substr(0, 255))};
  records[2].timeGenerated = 1796601600;  // 2026-12-07
  std::string buffer;
  for (const EventRecord& record : records) buffer += Laid(record);
  const std::vector<EventRecord> read = ParseEventRecords(buffer);
  EXPECT_TRUE(read == records);
  EXPECT_EQ(ApacheServiceLines(read),
            (std::vector<std::string>{taken, forbidden, deep, kSyntax, kInvalid, kNoLogs, deep.substr(0, 255)}));
}

TEST(EventLog, ABufferThatBreaksOffKeepsTheRecordsBefore) {
  const std::string good = Laid(Apache(1, kNoSockets)) + Laid(Apache(2, kNoLogs)), last = Laid(Apache(3, kSyntax));
  ASSERT_EQ(ParseEventRecords(good + last).size(), 3u);
  const std::function<void(std::string&)> breaks[] = {
      [](std::string& r) { r.resize(40); },                                          // a header cut short
      [](std::string& r) { Put(r, 0, r.size() + 4, 4); },                            // a length past the buffer
      [](std::string& r) { Put(r, 0, 52, 4); },                                      // a length shorter than a header
      [](std::string& r) { Put(r, 36, r.size(), 4); },                               // strings past the record
      [](std::string& r) { Put(r, 36, 40, 4); },                                     // strings inside the header
      [](std::string& r) { Put(r, 26, 9 + 4, 2); },                                  // more strings than it holds
      [](std::string& r) { std::replace(r.begin() + 56, r.end() - 4, '\0', ' '); },  // no NUL after the source
      [](std::string& r) { std::replace(r.begin() + r.find(kSyntax), r.end() - 4, '\0', ' '); },  // nor the line
  };
  for (const auto& breakOff : breaks) {
    std::string broken = last;
    breakOff(broken);
    const std::vector<EventRecord> read = ParseEventRecords(good + broken);
    ASSERT_EQ(read.size(), 2u) << &breakOff - breaks;
    EXPECT_EQ(ApacheServiceLines(read), (std::vector<std::string>{kNoSockets, kNoLogs}));
  }
}

// The log read backwards, newest first: what a command's start added ends at the first record numbered at or below
// the newest when it began; a log cleared since (or renumbered) numbers its records from 1 again, and then the time
// of the start decides.
TEST(EventLog, OnlyTheRecordsSinceTheStartOldestFirst) {
  const std::uint32_t start = 1796601600;
  const auto at = [](std::uint32_t number, std::uint32_t time) {
    EventRecord record = Apache(number, "line " + std::to_string(number));
    record.timeGenerated = time;
    return record;
  };
  const struct {
    std::vector<EventRecord> newestFirst;
    std::uint32_t noted;
    std::vector<std::uint32_t> since;  // their numbers, oldest first
  } rows[] = {
      {{at(5003, start + 2), at(5002, start + 1), at(5001, start), at(5000, start - 9), at(4999, start - 20)}, 5000,
       {5001, 5002, 5003}},
      {{at(5000, start - 9), at(4999, start - 20)}, 5000, {}},
      {{}, 5000, {}},
      {{at(5001, start - 3600)}, 5000, {5001}},  // the clock was put back: the number decides
      {{at(3, start + 1), at(2, start), at(1, start - 1)}, 5000, {2, 3}},  // cleared since
      {{at(7, start + 1)}, 0, {7}},  // the log was empty
  };
  for (const auto& row : rows) {
    std::vector<std::uint32_t> since;
    for (const EventRecord& record : RecordsSince(row.newestFirst, row.noted, start)) since.push_back(record.number);
    EXPECT_EQ(since, row.since) << row.noted << " " << row.newestFirst.size();
  }
}

// An event line reads as httpd.exe -t's line: Apache 2.4 writes its
// configuration's paths in UTF-8, Windows' own texts are in the ANSI code page.
TEST(EventLog, AnEventLineReadsAsTheConfigTestsLine) {
  SetAnsiCodePage("CP936");
  const std::string syntax = "AH00526: Syntax error on line 3 of D:/网站 web/Tellurix/Apache2/conf/vhosts.conf:";
  const std::string taken = "(OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : AH00072: make_sock";
  const struct {
    std::string bytes, text;
  } rows[] = {
      {syntax, syntax},                 // UTF-8, as Apache wrote it
      {ToAnsi(syntax).value(), syntax},  // the same folder in CP936 (Apache 2.2)
      {ToAnsi(taken).value(), taken},
      {"\xB6\xCB\xBF\xDA 80", "端口 80"},
      {kNoSockets, kNoSockets},
      {"\xFF\xFE bad", "\xEF\xBF\xBD\xEF\xBF\xBD bad"},  // neither: the line is kept, its bad bytes marked
  };
  for (const auto& row : rows) EXPECT_EQ(EventLineText(row.bytes), row.text) << row.text;
  // As the panel reads -t's report, a line at a time.
  EXPECT_EQ(EventLineText(syntax), FromProgramOutput(syntax));
  ASSERT_NE(ToAnsi(syntax).value(), syntax);
}

}  // namespace
}  // namespace tellurix
