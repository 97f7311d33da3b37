// The profile store against the platform's own GetPrivateProfileStringA and
// WritePrivateProfileStringA: after the same writes, every value reads the same
// whichever side wrote the file and whichever reads it. Values are compared, not
// bytes: the platform's writer under Wine re-serialises the whole file.
#include "core/profile_store.h"
#include "harness.h"

namespace e2e {
namespace {

constexpr char kMissing[] = "<missing>";

std::string PlatformRead(const std::wstring& path, const std::string& section, const std::string& key) {
  std::string buffer(65536, '\0');
  // A default no file holds tells a missing key from an empty value.
  buffer.resize(GetPrivateProfileStringA(Ansi(section).c_str(), Ansi(key).c_str(), "\x01", buffer.data(),
                                         static_cast<DWORD>(buffer.size()), Ansi(Narrow(path)).c_str()));
  return buffer == "\x01" ? kMissing : FromAnsi(buffer);
}

std::string OurRead(const std::wstring& path, const std::string& section, const std::string& key) {
  auto value = tellurix::ReadIniValue(Narrow(path), section, key);
  if (!value) return "<error: " + value.error().detail + ">";
  return *value ? **value : kMissing;
}

TEST(ProfileStore, ReadsAndWritesAsThePlatformDoes) {
  ProgramDirectory home(L"配置 profile");
  const std::wstring ours = home / L"ours.ini", theirs = home / L"theirs.ini";
  struct Key {
    std::string section, key, value = {};
  };
  // A file, the writes made to it, and the keys read after each of them besides the ones written.
  const struct {
    std::string bytes;
    std::vector<Key> writes, reads;
  } cases[] = {
      {SourceFile("demo/stack/PHP5/php.ini"),
       {{"PHP", "upload_max_filesize", "20M"}, {"PHP", "short_open_tag", "Off"},
        {"Session", "session.save_path", "C:\\临时"}},
       {{"php", "DISPLAY_ERRORS"}, {"PHP", "memory_limit"}, {"MySQL", "mysql.default_port"}}},
      {"orphan=before any section\r\n[Alpha]\r\n  Name = value with spaces  \r\nquoted=\"  inner  \"\r\nsingle='x'\r\n"
       "mixed=\"x'\r\nsemi=a;b\r\n#hash=1\r\n;comment=2\r\nnoequals\r\ndup=first\r\ndup=second\r\nempty=\r\n\r\n"
       "; trailing comment\r\n[alpha]\r\nother=in the second Alpha\r\n[ Beta ]\r\nk=v\r\nlast=no line break",
       {{"Alpha", "dup", "changed"}, {"Alpha", "added", "1"}, {"Beta", "k", "w"}, {"Gamma", "fresh", "yes"}},
       {{"Alpha", "Name"}, {"ALPHA", "name"}, {"Alpha", "quoted"}, {"Alpha", "single"}, {"Alpha", "mixed"},
        {"Alpha", "semi"}, {"Alpha", "#hash"}, {"Alpha", "noequals"}, {"Alpha", "empty"}, {"Alpha", "other"},
        {"Beta", "last"}}},
  };
  for (const auto& c : cases) {
    home.Put(L"ours.ini", c.bytes);
    home.Put(L"theirs.ini", c.bytes);
    std::vector<Key> reads = c.reads;
    reads.insert(reads.end(), c.writes.begin(), c.writes.end());
    for (size_t step = 0; step <= c.writes.size(); ++step) {
      if (step > 0) {
        const Key& w = c.writes[step - 1];
        ASSERT_TRUE(tellurix::WriteIniValue(Narrow(ours), w.section, w.key, w.value));
        ASSERT_TRUE(WritePrivateProfileStringA(Ansi(w.section).c_str(), Ansi(w.key).c_str(), Ansi(w.value).c_str(),
                                               Ansi(Narrow(theirs)).c_str()));
      }
      for (const Key& r : reads) {
        SCOPED_TRACE("after " + std::to_string(step) + " writes: [" + r.section + "] " + r.key);
        const std::string expected = PlatformRead(theirs, r.section, r.key);
        EXPECT_EQ(OurRead(ours, r.section, r.key), expected) << "our reader on our file";
        EXPECT_EQ(OurRead(theirs, r.section, r.key), expected) << "our reader on the platform's file";
        EXPECT_EQ(PlatformRead(ours, r.section, r.key), expected) << "the platform's reader on our file";
      }
    }
  }
}

}  // namespace
}  // namespace e2e
