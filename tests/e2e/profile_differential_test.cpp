// Our profile store against the platform's GetPrivateProfileStringA and
// WritePrivateProfileStringA, under Wine: the same reads and writes on the same
// files must read back the same values, whichever side wrote and whichever reads.
// Values are compared, not bytes: the platform's writer under Wine re-serialises
// the whole file, ours changes only the line it writes.
#include <gtest/gtest.h>

#include "core/profile_store.h"
#include "harness.h"

namespace e2e {
namespace {

std::string Ansi(const std::string& utf8) {
  const std::wstring wide = Widen(utf8);
  std::string ansi(wide.size() * 2 + 1, '\0');
  ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                                                      static_cast<int>(ansi.size()), nullptr, nullptr)));
  return ansi;
}

std::string FromAnsi(const std::string& ansi) {
  std::wstring wide(ansi.size() + 1, L'\0');
  wide.resize(static_cast<size_t>(
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), static_cast<int>(wide.size()))));
  return Narrow(wide);
}

constexpr char kMissing[] = "<missing>";

// The platform's reading; a missing key shows as kMissing.
std::string PlatformRead(const std::wstring& path, const std::string& section, const std::string& key,
                         DWORD bufferSize = 65536) {
  std::string buffer(bufferSize, '\0');
  const std::string marker = "\x01";
  const DWORD length = GetPrivateProfileStringA(Ansi(section).c_str(), Ansi(key).c_str(), marker.c_str(), buffer.data(),
                                                bufferSize, Ansi(Narrow(path)).c_str());
  buffer.resize(length);
  return buffer == marker ? kMissing : FromAnsi(buffer);
}

std::string OurRead(const std::wstring& path, const std::string& section, const std::string& key) {
  auto value = tellurix::ReadIniValue(Narrow(path), section, key);
  if (!value) return "<error: " + value.error().detail + ">";
  return *value ? **value : kMissing;
}

struct Probe {
  std::string section, key;
};

struct Step {
  std::string section, key, value;
};

class ProfileDifferential : public ::testing::Test {
 protected:
  std::wstring Copy(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = directory_.path() + L"\\" + name;
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }
  static std::string Source(const std::string& relative) {
    return ReadBytes(Widen(std::string("Z:") + TELLURIX_SOURCE_DIR + "/" + relative));
  }

  // Applies each write to one copy through us and to another through the
  // platform, and after each step reads every probe from both copies through
  // both readers.
  void Compare(const std::string& bytes, const std::vector<Step>& steps, const std::vector<Probe>& probes) {
    const std::wstring ours = Copy(L"ours.ini", bytes);
    const std::wstring theirs = Copy(L"theirs.ini", bytes);
    auto check = [&](const std::string& when) {
      for (const Probe& probe : probes) {
        const std::string expected = PlatformRead(theirs, probe.section, probe.key);
        SCOPED_TRACE(when + ": [" + probe.section + "] " + probe.key);
        EXPECT_EQ(OurRead(ours, probe.section, probe.key), expected) << "our reader on our file";
        EXPECT_EQ(OurRead(theirs, probe.section, probe.key), expected) << "our reader on the platform's file";
        EXPECT_EQ(PlatformRead(ours, probe.section, probe.key), expected) << "the platform's reader on our file";
      }
    };
    check("before writing");
    for (const Step& step : steps) {
      ASSERT_TRUE(tellurix::WriteIniValue(Narrow(ours), step.section, step.key, step.value));
      ASSERT_TRUE(WritePrivateProfileStringA(Ansi(step.section).c_str(), Ansi(step.key).c_str(), Ansi(step.value).c_str(),
                                             Ansi(Narrow(theirs)).c_str()));
      check("after [" + step.section + "] " + step.key + "=" + step.value);
    }
  }

  ProgramDirectory directory_{L"profile differential"};
};

TEST_F(ProfileDifferential, PhpIniAsThePhpSettingsWriteIt) {
  Compare(Source("demo/stack/PHP5/php.ini"),
          {{"PHP", "upload_max_filesize", "20M"}, {"PHP", "post_max_size", "20M"}, {"PHP", "short_open_tag", "Off"},
           {"PHP", "safe_mode", "On"}, {"PHP", "max_execution_time", "90"}, {"Session", "session.save_path", "C:\\临时"}},
          {{"PHP", "upload_max_filesize"}, {"PHP", "post_max_size"}, {"PHP", "short_open_tag"}, {"PHP", "safe_mode"},
           {"PHP", "max_execution_time"}, {"PHP", "memory_limit"}, {"php", "DISPLAY_ERRORS"}, {"Date", "date.timezone"},
           {"Session", "session.save_path"}, {"MySQL", "mysql.default_port"}});
}

TEST_F(ProfileDifferential, MyIniAsTheMySQLSettingsWriteIt) {
  Compare(Source("demo/stack/MySQL/my.ini"),
          {{"client", "port", "3307"}, {"mysqld", "port", "3307"}, {"mysqld", "max_connections", "500"},
           {"mysqld", "default-storage-engine", "INNODB"}, {"mysqld", "default-character-set", "gbk"},
           {"mysql", "default-character-set", "gbk"}},
          {{"client", "port"}, {"mysqld", "port"}, {"mysqld", "max_connections"}, {"mysqld", "default-storage-engine"},
           {"mysqld", "default-character-set"}, {"mysql", "default-character-set"}, {"mysqld", "basedir"}});
}

TEST_F(ProfileDifferential, TheControlPanelsOwnProfileStartingEmpty) {
  Compare("",
          {{"Apache", "Listen", "8080"}, {"Apache", "DocumentRoot", "D:\\网站 根目录"}, {"PHP", "short_open_tag", "On"},
           {"Apache", "Listen", "80"}, {"MySQL", "port", "3306"}},
          {{"Apache", "Listen"}, {"Apache", "DocumentRoot"}, {"PHP", "short_open_tag"}, {"MySQL", "port"}});
}

TEST_F(ProfileDifferential, TheDialectsCornerCases) {
  const std::string file =
      "orphan=before any section\r\n"
      "[Alpha]\r\n"
      "  Name = value with spaces  \r\n"
      "quoted=\"  inner  \"\r\n"
      "single='x'\r\n"
      "mixed=\"x'\r\n"
      "semi=a;b\r\n"
      "#hash=1\r\n"
      ";comment=2\r\n"
      "noequals\r\n"
      "dup=first\r\n"
      "dup=second\r\n"
      "empty=\r\n"
      "\r\n"
      "; trailing comment\r\n"
      "[alpha]\r\n"
      "other=in the second Alpha\r\n"
      "[ Beta ]\r\n"
      "k=v\r\n"
      "last=no line break";
  Compare(file, {{"Alpha", "dup", "changed"}, {"Alpha", "added", "1"}, {"Beta", "k", "w"}, {"Beta", "after", "2"},
                 {"Gamma", "fresh", "yes"}},
          {{"Alpha", "Name"}, {"ALPHA", "name"}, {"Alpha", "quoted"}, {"Alpha", "single"}, {"Alpha", "mixed"},
           {"Alpha", "semi"}, {"Alpha", "#hash"}, {"Alpha", "noequals"}, {"Alpha", "dup"}, {"Alpha", "empty"},
           {"Alpha", "other"}, {"Alpha", "added"}, {"Beta", "k"}, {"Beta", "last"}, {"Beta", "after"},
           {"Gamma", "fresh"}});
}

// Where we differ from the platform on purpose.

TEST_F(ProfileDifferential, LongValuesAreReadWholeWhereTheOldBufferCutThemAt127Bytes) {
  std::string value;
  for (int i = 0; i < 40; ++i) value += "目录";  // 160 bytes in code page 936
  const std::wstring path = Copy(L"long.ini", Ansi("[Apache]\r\nDocumentRoot=D:\\" + value + "\r\n"));
  EXPECT_EQ(OurRead(path, "Apache", "DocumentRoot"), "D:\\" + value);
  EXPECT_EQ(PlatformRead(path, "Apache", "DocumentRoot"), "D:\\" + value) << "with a large enough buffer";
  EXPECT_LT(PlatformRead(path, "Apache", "DocumentRoot", 128).size(), ("D:\\" + value).size())
      << "a 128-byte buffer cuts the value; our reader has no such limit";
}

TEST_F(ProfileDifferential, AByteOrderMarkIsKeptAndDoesNotHideTheFirstSection) {
  const std::wstring path = Copy(L"bom.ini", "\xEF\xBB\xBF[Alpha]\r\nkey=1\r\n");
  EXPECT_EQ(OurRead(path, "Alpha", "key"), "1");
  ASSERT_TRUE(tellurix::WriteIniValue(Narrow(path), "Alpha", "key", "2"));
  EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF[Alpha]\r\nkey=2\r\n");
  // For the record: what the platform makes of the same file.
  RecordProperty("platform_reads_bom_file", PlatformRead(path, "Alpha", "key"));
}

}  // namespace
}  // namespace e2e
