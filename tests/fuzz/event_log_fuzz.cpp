// The event log's records on any bytes: nothing crashes or reads past the buffer; every name and string read is
// bytes of the input ended by a NUL; no more records than headers fit; Apache's lines hold no more bytes than the
// strings they come from; bytes added after the buffer change none of the records read before.
#include <string>

#include "servers/event_log.h"
#include "tests/fuzz/fuzz_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::vector<tellurix::EventRecord> records = tellurix::ParseEventRecords(input),
                                           longer = tellurix::ParseEventRecords(input + '\0');
  CHECK(records.size() <= size / 56 && longer.size() >= records.size());
  size_t stringBytes = 0, lineBytes = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    CHECK(input.find(records[i].source + '\0', 56) != std::string::npos);
    for (const std::string& text : records[i].strings) CHECK(input.find(text + '\0', 56) != std::string::npos);
    for (const std::string& text : records[i].strings) stringBytes += text.size();
    CHECK(longer[i].number == records[i].number && longer[i].strings == records[i].strings);
  }
  for (const std::string& line : tellurix::ApacheServiceLines(records)) lineBytes += line.size();
  CHECK(lineBytes <= stringBytes);
  return 0;
}
