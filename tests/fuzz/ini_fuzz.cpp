// The INI rules on any bytes: nothing crashes; a byte-order mark changes no answer for ASCII names; an accepted
// write keeps every line of the file in order and adds only the key's line (and the section's header when the
// section is new) or replaces the key's line; the value reads back, and writing it again changes nothing.
#include <optional>
#include <string>

#include "core/profile_store.h"
#include "tests/fuzz/fuzz_lines.h"

namespace ini = tellurix::ini;

const std::string_view kSections[] = {"s", "S", "PHP", "mysqld", "\xB0\x41", "\xB0\x61", "a b", "\xEF\xBB\xBF", "[x",
                                      ""};
const std::string_view kKeys[] = {"k", "K", "port", "#k", "\xB0\x41", "\xB0\x61", "k k", "k=", " k", ";k"};
const std::string_view kValues[] = {"v", "", " a", "\"a\"", "a;b", "\xFF", "x\r\ny", "[s]", "'", "a=b"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string file(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::string section(Pick(data[0], kSections)), key(Pick(data[1], kKeys)), value(Pick(data[2], kValues));
  const std::optional<std::string> found = ini::Lookup(file, section, key);
  const bool bom = file.compare(0, kBom.size(), kBom) == 0;
  // The mark makes the file UTF-8, where the bytes of other letters fold differently than in the code page.
  auto ascii = [](const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0; });
  };
  if (!bom && ascii(section) && ascii(key)) CHECK(ini::Lookup(std::string(kBom) + file, section, key) == found);
  if (ini::CheckArguments(section, key, value)) return 0;

  const std::string out = ini::Assign(file, section, key, value), entry = key + "=" + value;
  CHECK((out.compare(0, kBom.size(), kBom) == 0) == bom);
  const auto before = Texts(std::string_view(file).substr(bom ? 3 : 0));
  size_t kept = 0, entries = 0, headers = 0;
  for (std::string_view line : Texts(std::string_view(out).substr(bom ? 3 : 0))) {
    if (kept < before.size() && line == before[kept]) {
      ++kept;
      continue;
    }
    CHECK(line == entry || (!found && line == "[" + section + "]"));
    kept += found ? 1 : 0;  // the key's old line
    ++(line == entry ? entries : headers);
  }
  CHECK(kept == before.size() && (found || entries == 1) && entries <= 1 && headers <= 1);

  const bool trimmed = !value.empty() && (value.front() == ' ' || value.back() == ' ' ||
                                          (value.size() > 1 && value.front() == '"' && value.back() == '"'));
  if (!trimmed) CHECK(ini::Lookup(out, section, key) == std::optional<std::string>(value));
  CHECK(ini::Assign(out, section, key, value) == out);
  return 0;
}
