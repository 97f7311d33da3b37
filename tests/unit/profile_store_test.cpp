#include "core/profile_store.h"

#include <gtest/gtest.h>

#include "tests/unit/test_files.h"
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using testfiles::TempFolder;
using testfiles::Slurp;
using testfiles::Put;
using testfiles::ModeOf;

namespace fs = std::filesystem;
using namespace std::string_literals;
using tellurix::ErrorKind;
using tellurix::ReadIniValue;
using tellurix::WriteIniValue;
namespace ini = tellurix::ini;

const std::string kBom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------------------
// Helpers for the file-level tests.



// The demo stack's files, read from the source tree.
std::string DemoFile(const std::string& relative) {
  const std::string bytes = Slurp(std::string(TELLURIX_SOURCE_DIR) + "/demo/stack/" + relative);
  if (bytes.empty()) ADD_FAILURE() << "cannot read demo/stack/" << relative;
  return bytes;
}

// Lines split after each "\n", each keeping its terminator (the demo files
// use CR LF throughout).
std::vector<std::string> RawLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    end = end == std::string::npos ? bytes.size() : end + 1;
    lines.push_back(bytes.substr(start, end - start));
    start = end;
  }
  return lines;
}

// `text` with its only occurrence of `from` replaced by `to`; a failure when
// `from` does not occur exactly once.
std::string ReplaceOnce(const std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at == std::string::npos || text.find(from, at + 1) != std::string::npos) {
    ADD_FAILURE() << "expected exactly one occurrence of [" << from << "]";
    return text;
  }
  return text.substr(0, at) + to + text.substr(at + from.size());
}

// ---------------------------------------------------------------------------
// Reading: many spellings of one fact. Every file here holds, by the INI
// rules, the value "On" for key short_open_tag of section PHP.

struct Spelling {
  const char* why;
  std::string file;
};

TEST(IniLookupSpellings, EverySpellingReadsTheSameValue) {
  const Spelling spellings[] = {
      {"plain", "[PHP]\r\nshort_open_tag=On\r\n"},
      {"blanks around the equals sign", "[PHP]\r\nshort_open_tag = On\r\n"},
      {"tabs and vertical tabs around name and value", "[PHP]\r\n\t short_open_tag\v\t=\t On \v\r\n"},
      {"indented section header with blanks inside the brackets", "  [ PHP ]\t\r\nshort_open_tag=On\r\n"},
      {"section name in another letter case", "[php]\r\nshort_open_tag=On\r\n"},
      {"key name in another letter case", "[PHP]\r\nSHORT_Open_Tag=On\r\n"},
      {"value in double quotes", "[PHP]\r\nshort_open_tag=\"On\"\r\n"},
      {"value in single quotes", "[PHP]\r\nshort_open_tag='On'\r\n"},
      {"blanks outside the quotes", "[PHP]\r\nshort_open_tag = \t\"On\"  \r\n"},
      {"LF line breaks", "[PHP]\nshort_open_tag=On\n"},
      {"lone CR line breaks", "[PHP]\rshort_open_tag=On\r"},
      {"no line break at the end", "[PHP]\r\nshort_open_tag=On"},
      {"UTF-8 byte-order mark before the first section", kBom + "[PHP]\r\nshort_open_tag=On\r\n"},
      {"text after the closing bracket", "[PHP] ; the language options\r\nshort_open_tag=On\r\n"},
      {"first of duplicate keys wins", "[PHP]\r\nshort_open_tag=On\r\nshort_open_tag=Off\r\n"},
      {"first of duplicate sections wins", "[PHP]\r\nshort_open_tag=On\r\n[Date]\r\n[PHP]\r\nshort_open_tag=Off\r\n"},
      {"commented-out line before it", "[PHP]\r\n;short_open_tag=Off\r\nshort_open_tag=On\r\n"},
      {"indented comment before it", "[PHP]\r\n \t; short_open_tag=Off\r\nshort_open_tag=On\r\n"},
      {"a '#' line is a key of another name, not a comment", "[PHP]\r\n#short_open_tag=Off\r\nshort_open_tag=On\r\n"},
      {"a line without '=' is no key", "[PHP]\r\nshort_open_tag Off\r\nshort_open_tag\r\nshort_open_tag=On\r\n"},
      {"same key in an earlier other section", "[Date]\r\nshort_open_tag=Off\r\n[PHP]\r\nshort_open_tag=On\r\n"},
      {"same key before the first section", "short_open_tag=Off\r\n[PHP]\r\nshort_open_tag=On\r\n"},
      {"longer and shorter names around it",
       "[PHP]\r\nshort_open_tags=Off\r\nshort_open=Off\r\nshort_open_tag=On\r\n"},
      {"blank and comment lines inside the section", "[PHP]\r\n\r\n; x\r\n\r\nshort_open_tag=On\r\n"},
  };
  for (const Spelling& s : spellings) {
    SCOPED_TRACE(s.why);
    EXPECT_EQ(ini::Lookup(s.file, "PHP", "short_open_tag"), std::optional<std::string>("On"));
  }
}

struct ValueCase {
  const char* why;
  std::string line;  // the key line of key "k" in section [s]
  std::string value;
};

TEST(IniLookupValues, ValueTextAfterBlanksAndOnePairOfQuotes) {
  const ValueCase cases[] = {
      {"';' after the value belongs to the value", "k=On ; comment", "On ; comment"},
      {"'#' after the value belongs to the value", "k=On # comment", "On # comment"},
      {"'=' inside the value", "k=a=b", "a=b"},
      {"empty value", "k=", ""},
      {"only blanks", "k= \t ", ""},
      {"empty quotes", "k=\"\"", ""},
      {"blanks inside the quotes are kept", "k=\"  On  \"", "  On  "},
      {"only one pair of quotes is removed", "k=\"\"On\"\"", "\"On\""},
      {"quotes that do not match stay", "k=\"On'", "\"On'"},
      {"a single quote character stays", "k=\"", "\""},
      {"an opening quote alone stays", "k=\"On", "\"On"},
      {"inner blanks are kept", "k=index.php  index.html", "index.php  index.html"},
      {"a path with semicolons", "k=\".;C:\\php\\pear\"", ".;C:\\php\\pear"},
      {"bytes invalid in the code page are returned as they are", "k=\xFF\x80\x81", "\xFF\x80\x81"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(ini::Lookup("[s]\r\n" + c.line + "\r\n", "s", "k"), std::optional<std::string>(c.value));
  }
}

struct Absent {
  const char* why;
  std::string file;
};

// Half-broken and misleading files in which key k of section [s] does not exist.
TEST(IniLookupAbsent, NoSuchKeyInTheFirstSection) {
  const Absent files[] = {
      {"empty file", ""},
      {"only a byte-order mark", kBom},
      {"no such section", "[t]\r\nk=1\r\n"},
      {"section name longer", "[ss]\r\nk=1\r\n"},
      {"section name shorter", "[ ]\r\nk=1\r\n"},
      {"section header in a comment", ";[s]\r\nk=1\r\n"},
      {"header without closing bracket", "[s\r\nk=1\r\n"},
      {"key before the first section only", "k=1\r\n[s]\r\nj=2\r\n"},
      {"key before any section, no section at all", "k=1\r\n"},
      {"key only in a second section of the same name", "[s]\r\nj=1\r\n[t]\r\n[S]\r\nk=1\r\n"},
      {"key only after the section", "[s]\r\n[t]\r\nk=1\r\n"},
      {"key commented out", "[s]\r\n;k=1\r\n"},
      {"key commented out after blanks", "[s]\r\n\v ;k=1\r\n"},
      {"key without '='", "[s]\r\nk\r\nk 1\r\n"},
      {"key with a '#' in front is another key", "[s]\r\n#k=1\r\n"},
      {"longer key", "[s]\r\nkk=1\r\n"},
      {"key text after the '='", "[s]\r\nj=k\r\n"},
      {"two byte-order marks hide the section", kBom + kBom + "[s]\r\nk=1\r\n"},
  };
  for (const Absent& a : files) {
    SCOPED_TRACE(a.why);
    EXPECT_EQ(ini::Lookup(a.file, "s", "k"), std::nullopt);
  }
}

// ---------------------------------------------------------------------------
// Writing: the whole resulting file.

struct AssignCase {
  const char* why;
  std::string before;
  std::string section, key, value;
  std::string after;
};

void CheckAssign(const AssignCase& c) {
  SCOPED_TRACE(c.why);
  EXPECT_EQ(ini::Assign(c.before, c.section, c.key, c.value), c.after);
}

TEST(IniAssignReplace, TheKeysLineBecomesKeyEqualsValueKeepingItsBreak) {
  const AssignCase cases[] = {
      {"blanks and a trailing comment are dropped", "[PHP]\r\nshort_open_tag = On ; old\r\n", "PHP",
       "short_open_tag", "Off", "[PHP]\r\nshort_open_tag=Off\r\n"},
      {"indented key in another case, written as given", "[php]\r\n\t SHORT_OPEN_TAG=On\r\nx=1\r\n", "PHP",
       "short_open_tag", "Off", "[php]\r\nshort_open_tag=Off\r\nx=1\r\n"},
      {"only the first of duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3", "[s]\r\nk=3\r\nk=2\r\n"},
      {"only in the first of duplicate sections", "[s]\r\nk=1\r\n[t]\r\nk=1\r\n[s]\r\nk=1\r\n", "s", "k", "9",
       "[s]\r\nk=9\r\n[t]\r\nk=1\r\n[s]\r\nk=1\r\n"},
      {"the same key in another section stays", "[client]\r\nport=3306\r\n\r\n[mysqld]\r\nport=3306\r\n",
       "mysqld", "port", "3307", "[client]\r\nport=3306\r\n\r\n[mysqld]\r\nport=3307\r\n"},
      {"a comment with the key stays", "[s]\r\n;k=old\r\nk=1\r\n", "s", "k", "2", "[s]\r\n;k=old\r\nk=2\r\n"},
      {"last line without a break stays without one", "[s]\r\nk=1", "s", "k", "2", "[s]\r\nk=2"},
      {"the line's own LF in a CR LF file", "[s]\r\nk=1\nj=2\r\n", "s", "k", "2", "[s]\r\nk=2\nj=2\r\n"},
      {"the line's own lone CR", "[s]\rk=1\rj=2\r", "s", "k", "2", "[s]\rk=2\rj=2\r"},
      {"quoted value", "[s]\r\nk=\"a b\"\r\n", "s", "k", "\"c d\"", "[s]\r\nk=\"c d\"\r\n"},
      {"empty value", "[s]\r\nk=1\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
      {"byte-order mark kept", kBom + "[s]\r\nk=1\r\n", "s", "k", "2", kBom + "[s]\r\nk=2\r\n"},
      {"invalid bytes on other lines kept", "\xFF\xFE\r\n[s]\r\n\x81\x80=\xFF\r\nk=1\r\n\xA1\r\n", "s", "k", "2",
       "\xFF\xFE\r\n[s]\r\n\x81\x80=\xFF\r\nk=2\r\n\xA1\r\n"},
  };
  for (const AssignCase& c : cases) CheckAssign(c);
}

TEST(IniAssignAdd, NewKeyGoesRightAfterTheSectionsLastKeyLine) {
  const AssignCase cases[] = {
      {"before the blank and comment lines that follow the last key",
       "[a]\r\nx=1\r\n\r\n; about b\r\n[b]\r\ny=1\r\n", "a", "k", "v",
       "[a]\r\nx=1\r\nk=v\r\n\r\n; about b\r\n[b]\r\ny=1\r\n"},
      {"after the last key, not the first", "[a]\r\nx=1\r\n; c\r\ny=2\r\n\r\n", "a", "k", "v",
       "[a]\r\nx=1\r\n; c\r\ny=2\r\nk=v\r\n\r\n"},
      {"a '#' line with '=' is a key line", "[a]\r\nx=1\r\n#y=2\r\n\r\n", "a", "k", "v",
       "[a]\r\nx=1\r\n#y=2\r\nk=v\r\n\r\n"},
      {"a line without '=' is not a key line", "[a]\r\nx=1\r\n#skip-innodb\r\n", "a", "k", "v",
       "[a]\r\nx=1\r\nk=v\r\n#skip-innodb\r\n"},
      {"section without keys: right after its header", "[a]\r\n; c\r\n\r\n[b]\r\nk=1\r\n", "a", "k", "v",
       "[a]\r\nk=v\r\n; c\r\n\r\n[b]\r\nk=1\r\n"},
      {"a commented-out key is not the key", "[a]\r\n;k=1\r\n", "a", "k", "2", "[a]\r\nk=2\r\n;k=1\r\n"},
      {"in the first of duplicate sections", "[a]\r\nx=1\r\n[a]\r\ny=1\r\n", "A", "k", "v",
       "[a]\r\nx=1\r\nk=v\r\n[a]\r\ny=1\r\n"},
      {"the key in a later duplicate section does not count", "[a]\r\nx=1\r\n[a]\r\nk=1\r\n", "a", "k", "2",
       "[a]\r\nx=1\r\nk=2\r\n[a]\r\nk=1\r\n"},
      {"the key before the first section does not count", "k=1\r\n[a]\r\n", "a", "k", "2",
       "k=1\r\n[a]\r\nk=2\r\n"},
      {"last key line without a break gets one", "[a]\r\nx=1", "a", "k", "v", "[a]\r\nx=1\r\nk=v\r\n"},
      {"header as last line without a break", "[a]", "a", "k", "v", "[a]\r\nk=v\r\n"},
      {"LF file gets LF", "[a]\nx=1\n\n[b]\n", "a", "k", "v", "[a]\nx=1\nk=v\n\n[b]\n"},
      {"LF file without a final break gets LF", "[a]\nx=1", "a", "k", "v", "[a]\nx=1\nk=v\n"},
      {"mixed file gets CR LF", "[a]\nx=1\r\n", "a", "k", "v", "[a]\nx=1\r\nk=v\r\n"},
      {"lone CR file gets CR LF", "[a]\rx=1\r\r", "a", "k", "v", "[a]\rx=1\rk=v\r\n\r"},
      {"byte-order mark kept", kBom + "[a]\r\nx=1\r\n", "a", "k", "v", kBom + "[a]\r\nx=1\r\nk=v\r\n"},
  };
  for (const AssignCase& c : cases) CheckAssign(c);
}

TEST(IniAssignAddSection, NewSectionGoesAtTheEnd) {
  const AssignCase cases[] = {
      {"file ending in a break", "[a]\r\nx=1\r\n", "b", "k", "v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
      {"file not ending in a break gets one first", "[a]\r\nx=1", "b", "k", "v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
      {"file ending in a comment without a break", "[a]\r\n; end", "b", "k", "v",
       "[a]\r\n; end\r\n[b]\r\nk=v\r\n"},
      {"file ending in a lone CR", "[a]\rx=1\r", "b", "k", "v", "[a]\rx=1\r[b]\r\nk=v\r\n"},
      {"empty file", "", "b", "k", "v", "[b]\r\nk=v\r\n"},
      {"only a byte-order mark", kBom, "b", "k", "v", kBom + "[b]\r\nk=v\r\n"},
      {"one line without any break", "x", "b", "k", "v", "x\r\n[b]\r\nk=v\r\n"},
      {"LF file", "[a]\nx=1\n", "b", "k", "v", "[a]\nx=1\n[b]\nk=v\n"},
      {"LF file without a final break", "[a]\nx=1", "b", "k", "v", "[a]\nx=1\n[b]\nk=v\n"},
      {"only keys before any section", "k=1\r\n", "b", "k", "2", "k=1\r\n[b]\r\nk=2\r\n"},
      {"section header in a comment does not count", ";[b]\r\n", "b", "k", "v", ";[b]\r\n[b]\r\nk=v\r\n"},
      {"header without closing bracket does not count", "[b\r\n", "b", "k", "v", "[b\r\n[b]\r\nk=v\r\n"},
      {"two byte-order marks: the second is text", kBom + kBom + "[b]\r\n", "b", "k", "v",
       kBom + kBom + "[b]\r\n[b]\r\nk=v\r\n"},
  };
  for (const AssignCase& c : cases) CheckAssign(c);
}

TEST(IniAssignRepeat, SecondIdenticalAssignChangesNothing) {
  const std::string files[] = {"",
                               "[a]\r\nx=1",
                               "[a]\nx = 1 ; c\n",
                               kBom + "[b]\r\n; c\r\n\r\n",
                               "[A]\rk=0\r[a]\r\n",
                               "k=1\r\n\xFF\x80\r\n"};
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string once = ini::Assign(file, "a", "k", "v w");
    EXPECT_EQ(ini::Assign(once, "a", "k", "v w"), once);
    EXPECT_EQ(ini::Lookup(once, "a", "k"), std::optional<std::string>("v w"));
  }
}

// ---------------------------------------------------------------------------
// Names and values that would break the file's structure.

struct Arguments {
  const char* why;
  std::string section, key, value;
};

TEST(IniCheckArguments, AcceptsNamesAndValuesThatKeepTheStructure) {
  const Arguments accepted[] = {
      {"ordinary", "PHP", "short_open_tag", "On"},
      {"blanks inside names and values", "a b", "k k", "v  v"},
      {"empty value", "s", "k", ""},
      {"';', '=', '#', '[' and ']' inside the value", "s", "k", "a;b=c#[d]"},
      {"'=' and ';' inside the section name", "a=b;c", "k", "v"},
      {"';' and '[' after the key's first character", "s", "k;[x", "v"},
      {"'#' at the start of the key", "s", "#k", "v"},
      {"non-ASCII bytes", "\xCD\xF8", "\xD5\xBE", "\xFF"},
  };
  for (const Arguments& a : accepted) {
    SCOPED_TRACE(a.why);
    EXPECT_EQ(ini::CheckArguments(a.section, a.key, a.value), std::nullopt);
  }
}

TEST(IniCheckArguments, RefusesNamesAndValuesThatBreakTheStructure) {
  const Arguments refused[] = {
      {"empty section", "", "k", "v"},
      {"section with a leading space", " s", "k", "v"},
      {"section with a trailing tab", "s\t", "k", "v"},
      {"section with a leading vertical tab", "\vs", "k", "v"},
      {"section with ']'", "s]t", "k", "v"},
      {"section with CR LF", "s\r\nt", "k", "v"},
      {"section with LF", "s\n", "k", "v"},
      {"empty key", "s", "", "v"},
      {"key with a leading space", "s", " k", "v"},
      {"key with a trailing space", "s", "k ", "v"},
      {"key with a trailing vertical tab", "s", "k\v", "v"},
      {"key with '='", "s", "k=j", "v"},
      {"key starting with ';'", "s", ";k", "v"},
      {"key starting with '['", "s", "[k]", "v"},
      {"key with CR", "s", "k\rj", "v"},
      {"value with CR LF", "s", "k", "a\r\nb"},
      {"value with LF", "s", "k", "a\n"},
      {"value with a lone CR", "s", "k", "\r"},
  };
  for (const Arguments& a : refused) {
    SCOPED_TRACE(a.why);
    EXPECT_NE(ini::CheckArguments(a.section, a.key, a.value), std::nullopt);
  }
}

// ---------------------------------------------------------------------------
// Resolving the file argument.

struct PathCase {
  const char* why;
  std::string programDirectory, file;
  char separator;
  std::string resolved;
};

TEST(ResolveProfilePath, RelativeNamesJoinTheProgramDirectory) {
  const PathCase cases[] = {
      {"name in the program directory", "D:\\stack", "Tellurix.ini", '\\', "D:\\stack\\Tellurix.ini"},
      {"program directory at a drive root", "D:\\", "Tellurix.ini", '\\', "D:\\Tellurix.ini"},
      {"absolute path used unchanged", "D:\\stack", "D:\\stack\\PHP5\\php.ini", '\\', "D:\\stack\\PHP5\\php.ini"},
      {"absolute path on another drive", "D:\\stack", "C:\\Tellurix.ini", '\\', "C:\\Tellurix.ini"},
      {"absolute path with doubled separators is not touched", "D:\\stack", "C:\\\\a.ini", '\\',
       "C:\\\\a.ini"},
      {"argument starting with a backslash", "D:\\stack", "\\PHP5\\php.ini", '\\', "D:\\stack\\PHP5\\php.ini"},
      {"relative path with folders", "D:\\stack", "MySQL\\my.ini", '\\', "D:\\stack\\MySQL\\my.ini"},
      {"three separators in a row: one pass leaves two", "D:\\", "\\Tellurix.ini", '\\', "D:\\\\Tellurix.ini"},
      {"drive-relative name is not absolute", "D:\\stack", "D:Tellurix.ini", '\\', "D:\\stack\\D:Tellurix.ini"},
      {"slashes are no separators on Windows", "D:\\stack", "/x.ini", '\\', "D:\\stack\\/x.ini"},
      {"spaces kept, no quotes", "C:\\Program Files\\Tellurix", "Tellurix.ini", '\\',
       "C:\\Program Files\\Tellurix\\Tellurix.ini"},
      {"native: name in the program directory", "/opt/stack", "Tellurix.ini", '/', "/opt/stack/Tellurix.ini"},
      {"native: program directory at the root", "/", "Tellurix.ini", '/', "/Tellurix.ini"},
      {"native: absolute path used unchanged", "/opt/stack", "/etc//x.ini", '/', "/etc//x.ini"},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(tellurix::ResolveProfilePath(c.programDirectory, c.file, c.separator), c.resolved);
  }
}

// ---------------------------------------------------------------------------
// Reading and writing files.

TEST(IniFiles, WriteCreatesAMissingFileWithSectionAndKey) {
  TempFolder folder;
  const std::string path = folder.File("Tellurix.ini");
  const mode_t mask = ::umask(022);
  auto done = WriteIniValue(path, "Apache", "Listen", "8080");
  ::umask(mask);
  ASSERT_TRUE(done) << done.error().detail;
  EXPECT_EQ(Slurp(path), "[Apache]\r\nListen=8080\r\n");
  EXPECT_EQ(ModeOf(path), 0644u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"Tellurix.ini"});
  auto value = ReadIniValue(path, "apache", "LISTEN");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, std::optional<std::string>("8080"));
}

TEST(IniFiles, MissingFileOrKeyReadsAsNothing) {
  TempFolder folder;
  auto missingFile = ReadIniValue(folder.File("none.ini"), "Apache", "Listen");
  ASSERT_TRUE(missingFile);
  EXPECT_EQ(*missingFile, std::nullopt);
  auto missingFolder = ReadIniValue(folder.File("none/none.ini"), "Apache", "Listen");
  ASSERT_TRUE(missingFolder);
  EXPECT_EQ(*missingFolder, std::nullopt);
  Put(folder.File("a.ini"), "[Apache]\r\nListen=80\r\n");
  auto missingKey = ReadIniValue(folder.File("a.ini"), "Apache", "DocumentRoot");
  ASSERT_TRUE(missingKey);
  EXPECT_EQ(*missingKey, std::nullopt);
}

TEST(IniFiles, MissingFolderIsReportedAsNotFound) {
  TempFolder folder;
  auto done = WriteIniValue(folder.File("none/Tellurix.ini"), "Apache", "Listen", "80");
  ASSERT_FALSE(done);
  EXPECT_EQ(done.error().kind, ErrorKind::NotFound);
  EXPECT_TRUE(folder.Names().empty());
}

TEST(IniFiles, ReadOnlyFileIsRefusedAndLeftAsItWas) {
  TempFolder folder;
  const std::string path = folder.File("php.ini");
  const std::string before = "[PHP]\r\nshort_open_tag = On\r\n";
  Put(path, before);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  for (const char* key : {"short_open_tag", "new_key"}) {
    SCOPED_TRACE(key);
    auto done = WriteIniValue(path, "PHP", key, "Off");
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().kind, ErrorKind::AccessDenied);
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(ModeOf(path), 0444u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"php.ini"});
  }
}

TEST(IniFiles, WriteKeepsTheModeAndLeavesNoTemporaryFile) {
  for (mode_t mode : {0600u, 0640u, 0664u, 0755u}) {
    SCOPED_TRACE(mode);
    TempFolder folder;
    const std::string path = folder.File("my.ini");
    Put(path, "[mysqld]\r\nport=3306\r\n");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(WriteIniValue(path, "mysqld", "port", "3307"));
    ASSERT_TRUE(WriteIniValue(path, "mysqld", "max_connections", "50"));
    EXPECT_EQ(Slurp(path), "[mysqld]\r\nport=3307\r\nmax_connections=50\r\n");
    EXPECT_EQ(ModeOf(path), mode);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"my.ini"});
  }
}

TEST(IniFiles, InvalidArgumentsAreRefusedWithoutTouchingTheFile) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  const std::string before = "[s]\r\nk=1\r\n";
  Put(path, before);
  const Arguments refused[] = {
      {"value with a line break", "s", "k", "1\r\n[t]"},
      {"key with '='", "s", "k=", "1"},
      {"section with ']'", "s]", "k", "1"},
      {"empty key", "s", "", "1"},
  };
  for (const Arguments& a : refused) {
    SCOPED_TRACE(a.why);
    auto done = WriteIniValue(path, a.section, a.key, a.value);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().kind, ErrorKind::InvalidArgument);
    EXPECT_EQ(Slurp(path), before);
  }
  auto none = WriteIniValue(folder.File("b.ini"), "s", "k", "1\n2");
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().kind, ErrorKind::InvalidArgument);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});
}

// ---------------------------------------------------------------------------
// The ANSI code page (CP936) and its neighbours.

TEST(IniCodePage, ChineseValueIsWrittenInGbkAndReadBackInUtf8) {
  TempFolder folder;
  const std::string path = folder.File("Tellurix.ini");
  Put(path, "[Apache]\r\nListen=80\r\n");
  ASSERT_TRUE(WriteIniValue(path, "Apache", "DocumentRoot", "D:\\网站"));
  EXPECT_EQ(Slurp(path), "[Apache]\r\nListen=80\r\nDocumentRoot=D:\\\xCD\xF8\xD5\xBE\r\n");
  auto value = ReadIniValue(path, "Apache", "DocumentRoot");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, std::optional<std::string>("D:\\网站"));
}

TEST(IniCodePage, ChineseNamesAreFoundInGbk) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Put(path, "[\xCD\xF8\xD5\xBE]\r\n\xC3\xFB=\xD6\xB5\r\n");  // [网站] 名=值
  auto value = ReadIniValue(path, "网站", "名");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, std::optional<std::string>("值"));
  ASSERT_TRUE(WriteIniValue(path, "网站", "名", "新"));
  EXPECT_EQ(Slurp(path), "[\xCD\xF8\xD5\xBE]\r\n\xC3\xFB=\xD0\xC2\r\n");
}

TEST(IniCodePage, LongChineseValueIsReadBackWhole) {
  TempFolder folder;
  const std::string path = folder.File("Tellurix.ini");
  std::string value;
  std::string gbk;
  for (int i = 0; i < 150; ++i) {  // 150 characters: 300 bytes in the file
    value += i % 2 ? "网" : "站";
    gbk += i % 2 ? "\xCD\xF8" : "\xD5\xBE";
  }
  ASSERT_TRUE(WriteIniValue(path, "Apache", "ServerName", value));
  EXPECT_EQ(Slurp(path), "[Apache]\r\nServerName=" + gbk + "\r\n");
  ASSERT_EQ(gbk.size(), 300u);
  auto read = ReadIniValue(path, "Apache", "ServerName");
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, std::optional<std::string>(value));
}

TEST(IniCodePage, TextWithoutAFormInTheCodePageIsRefused) {
  TempFolder folder;
  const std::string path = folder.File("Tellurix.ini");
  const std::string before = "[Apache]\r\nServerName=localhost\r\n";
  Put(path, before);
  const Arguments refused[] = {
      {"emoji in the value", "Apache", "ServerName", "web \xF0\x9F\x98\x80"},
      {"emoji in the key", "Apache", "\xF0\x9F\x98\x80", "x"},
      {"emoji in the section", "\xF0\x9F\x98\x80", "ServerName", "x"},
      {"invalid UTF-8 in the value", "Apache", "ServerName", "\xFF"},
  };
  for (const Arguments& a : refused) {
    SCOPED_TRACE(a.why);
    auto done = WriteIniValue(path, a.section, a.key, a.value);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().kind, ErrorKind::BadEncoding);
    EXPECT_EQ(Slurp(path), before);
  }
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"Tellurix.ini"});
  auto none = WriteIniValue(folder.File("new.ini"), "s", "k", "\xF0\x9F\x98\x80");
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().kind, ErrorKind::BadEncoding);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"Tellurix.ini"});
}

TEST(IniCodePage, ValueInvalidInTheCodePageReadsAsBadEncoding) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Put(path, "[s]\r\nk=\xFF\xFF\r\nj=\xCD\r\n");
  for (const char* key : {"k", "j"}) {
    SCOPED_TRACE(key);
    auto value = ReadIniValue(path, "s", key);
    ASSERT_FALSE(value);
    EXPECT_EQ(value.error().kind, ErrorKind::BadEncoding);
  }
}

TEST(IniCodePage, LinesInvalidInTheCodePageAreKeptByAWrite) {
  TempFolder folder;
  const std::string path = folder.File("php.ini");
  // A UTF-8 comment in a CP936 file, a stray byte and a cut double-byte character.
  const std::string before = "[PHP]\r\n; 上传文件大小限制\r\n\xFF\r\nx=\xCD\r\nupload_max_filesize = 2M\r\n";
  Put(path, before);
  ASSERT_TRUE(WriteIniValue(path, "PHP", "upload_max_filesize", "8M"));
  EXPECT_EQ(Slurp(path), "[PHP]\r\n; 上传文件大小限制\r\n\xFF\r\nx=\xCD\r\nupload_max_filesize=8M\r\n");
}

TEST(IniCodePage, Utf8FileWithByteOrderMarkStoresUtf8) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Put(path, kBom + "[网站]\r\nk=1\r\n");
  ASSERT_TRUE(WriteIniValue(path, "网站", "k", "值 \xF0\x9F\x98\x80"));
  EXPECT_EQ(Slurp(path), kBom + "[网站]\r\nk=值 \xF0\x9F\x98\x80\r\n");
  auto value = ReadIniValue(path, "网站", "k");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, std::optional<std::string>("值 \xF0\x9F\x98\x80"));
}

TEST(IniCodePage, Utf16FilesAreRefused) {
  TempFolder folder;
  const std::string files[] = {
      "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x31\0\r\0\n\0"s,
      "\xFE\xFF\0[\0s\0]\0\r\0\n\0k\0=\0\x31\0\r\0\n"s,
  };
  for (const std::string& before : files) {
    const std::string path = folder.File("u.ini");
    Put(path, before);
    auto value = ReadIniValue(path, "s", "k");
    ASSERT_FALSE(value);
    EXPECT_EQ(value.error().kind, ErrorKind::BadEncoding);
    auto done = WriteIniValue(path, "s", "k", "2");
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().kind, ErrorKind::BadEncoding);
    EXPECT_EQ(Slurp(path), before);
  }
}

// Two different CP936 characters whose second bytes are 0x41 and 0x61 (the
// bytes of "A" and "a"): 癆 is B0 41 and 癮 is B0 61. Only ASCII letters are
// compared without regard to case; these are different names, and writing one
// must not overwrite the other.
TEST(IniCodePageNames, DistinctDoubleByteNamesDifferingInATrailByteLetterAreNotConfused) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  const std::string before = "[s]\r\n\xB0\x41=first\r\n";
  Put(path, before);
  auto other = ReadIniValue(path, "s", "癮");
  ASSERT_TRUE(other);
  EXPECT_EQ(*other, std::nullopt) << "the key 癮 was read from the line of 癆";
  ASSERT_TRUE(WriteIniValue(path, "s", "癮", "second"));
  EXPECT_EQ(Slurp(path), "[s]\r\n\xB0\x41=first\r\n\xB0\x61=second\r\n") << "the line of 癆 was overwritten";

  const std::string sections = "[\xB0\x41]\r\nk=1\r\n";
  Put(path, sections);
  ASSERT_TRUE(WriteIniValue(path, "癮", "k", "2"));
  EXPECT_EQ(Slurp(path), sections + "[\xB0\x61]\r\nk=2\r\n") << "section 癆 was taken for section 癮";
}

// In code page 936 the byte 0x80 is one character on its own (the euro sign),
// so the ASCII letter after it is a letter, compared without regard to case.
TEST(IniCodePageNames, LetterAfterTheSingleByteEuroSignIgnoresCase) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  const std::string before = "[\x80" "A]\r\nk=1\r\n";  // [€A]
  Put(path, before);
  auto value = ReadIniValue(path, "€a", "k");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, std::optional<std::string>("1"));
  ASSERT_TRUE(WriteIniValue(path, "€a", "k", "2"));
  EXPECT_EQ(Slurp(path), "[\x80" "A]\r\nk=2\r\n") << "a second section [€a] was added";
}

// In a UTF-8 file every byte of a Chinese character is 0x80 or more; an ASCII
// letter after one is still compared without regard to case. 站 is three bytes.
TEST(IniUtf8Names, LetterAfterAThreeByteCharacterIgnoresCase) {
  const std::string file = kBom + "[站A]\r\n站Key=1\r\n";
  EXPECT_EQ(ini::Lookup(file, "站a", "站key"), std::optional<std::string>("1"));
  EXPECT_EQ(ini::Assign(file, "站a", "站key", "2"), kBom + "[站A]\r\n站key=2\r\n");

  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Put(path, file);
  auto value = ReadIniValue(path, "站a", "站KEY");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, std::optional<std::string>("1"));
  ASSERT_TRUE(WriteIniValue(path, "站a", "站KEY", "2"));
  EXPECT_EQ(Slurp(path), kBom + "[站A]\r\n站KEY=2\r\n") << "a second section or key was added";
}

// ---------------------------------------------------------------------------
// The program's two procedures, with absolute native paths.

TEST(GetIniValue, FallbackForMissingFileSectionOrKeyAndLeadingSpacesDropped) {
  TempFolder folder;
  const std::string path = folder.File("Tellurix.ini");
  EXPECT_EQ(tellurix::GetIniValue("Apache", "Listen", "none", path), "none");
  Put(path, "[Apache]\r\nListen=\"  8080 \"\r\nServerName=   \r\n[Bad]\r\nk=\xFF\xFF\r\n");
  EXPECT_EQ(tellurix::GetIniValue("Apache", "Listen", "none", path), "8080 ");
  EXPECT_EQ(tellurix::GetIniValue("Apache", "ServerName", "none", path), "");
  EXPECT_EQ(tellurix::GetIniValue("Apache", "DocumentRoot", "none", path), "none");
  EXPECT_EQ(tellurix::GetIniValue("PHP", "Listen", "", path), "");
  EXPECT_EQ(tellurix::GetIniValue("Bad", "k", "unreadable", path), "unreadable");
}

TEST(SetIniValue, WritesTheKeyIntoTheFile) {
  TempFolder folder;
  const std::string path = folder.File("Tellurix.ini");
  ASSERT_TRUE(tellurix::SetIniValue("Apache", "Listen", "8080", path));
  ASSERT_TRUE(tellurix::SetIniValue("Apache", "DocumentRoot", "D:\\网站", path));
  ASSERT_TRUE(tellurix::SetIniValue("Apache", "Listen", "80", path));
  EXPECT_EQ(Slurp(path), "[Apache]\r\nListen=80\r\nDocumentRoot=D:\\\xCD\xF8\xD5\xBE\r\n");
  EXPECT_EQ(tellurix::GetIniValue("Apache", "DocumentRoot", "", path), "D:\\网站");
  auto refused = tellurix::SetIniValue("Apache", "Listen", "80", folder.File("none/Tellurix.ini"));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().kind, ErrorKind::NotFound);
}

// ---------------------------------------------------------------------------
// The stack's own files: one key changes, every other line keeps its bytes.

struct StackEdit {
  const char* why;
  const char* file;  // below demo/stack
  const char* section;
  const char* key;
  const char* value;
  std::string oldLine;  // "" when the key is added
  std::string newText;  // replaces oldLine, or is inserted after `anchor`
  std::string anchor;
};

TEST(IniStackFiles, OneKeyChangesAndEveryOtherLineKeepsItsBytes) {
  const StackEdit edits[] = {
      {"php.ini: a key with blanks around '='", "PHP5/php.ini", "PHP", "short_open_tag", "Off",
       "\r\nshort_open_tag = On\r\n", "\r\nshort_open_tag=Off\r\n", ""},
      {"php.ini: the key after the UTF-8 comment", "PHP5/php.ini", "PHP", "upload_max_filesize", "8M",
       "\r\nupload_max_filesize = 2M\r\n", "\r\nupload_max_filesize=8M\r\n", ""},
      {"php.ini: an empty value", "PHP5/php.ini", "PHP", "disable_functions", "exec,system",
       "\r\ndisable_functions =\r\n", "\r\ndisable_functions=exec,system\r\n", ""},
      {"php.ini: a key of a later section", "PHP5/php.ini", "Session", "session.gc_maxlifetime", "3600",
       "\r\nsession.gc_maxlifetime = 1440\r\n", "\r\nsession.gc_maxlifetime=3600\r\n", ""},
      {"php.ini: a new key goes after the section's last key", "PHP5/php.ini", "PHP", "safe_mode_gid", "Off", "",
       "safe_mode_gid=Off\r\n", "\r\nextension=php_mysql.dll\r\n"},
      {"php.ini: a commented-out key is not the key", "PHP5/php.ini", "Date", "date.timezone",
       "Asia/Shanghai", "", "date.timezone=Asia/Shanghai\r\n", "[Date]\r\n"},
      {"my.ini: the port of [mysqld], not of [client]", "MySQL/my.ini", "mysqld", "port", "3307",
       "# The TCP/IP port the server listens on.\r\nport=3306\r\n",
       "# The TCP/IP port the server listens on.\r\nport=3307\r\n", ""},
      {"my.ini: the port of [client]", "MySQL/my.ini", "client", "port", "3307", "[client]\r\nport=3306\r\n",
       "[client]\r\nport=3307\r\n", ""},
      {"my.ini: the character set of [mysql]", "MySQL/my.ini", "mysql", "default-character-set", "gbk",
       "[mysql]\r\ndefault-character-set=utf8\r\n", "[mysql]\r\ndefault-character-set=gbk\r\n", ""},
      {"my.ini: a new key in [client]", "MySQL/my.ini", "client", "host", "localhost", "", "host=localhost\r\n",
       "[client]\r\nport=3306\r\n"},
  };
  for (const StackEdit& e : edits) {
    SCOPED_TRACE(e.why);
    const std::string original = DemoFile(e.file);
    std::string expected;
    if (!e.oldLine.empty()) {
      expected = ReplaceOnce(original, e.oldLine, e.newText);
    } else {
      expected = ReplaceOnce(original, e.anchor, e.anchor + e.newText);
    }
    TempFolder folder;
    const std::string path = folder.File("stack.ini");
    Put(path, original);
    ASSERT_TRUE(WriteIniValue(path, e.section, e.key, e.value));
    const std::string written = Slurp(path);
    EXPECT_EQ(written, expected);

    // Line by line: exactly one line differs or was added.
    const std::vector<std::string> before = RawLines(original);
    const std::vector<std::string> after = RawLines(written);
    ASSERT_EQ(after.size(), before.size() + (e.oldLine.empty() ? 1 : 0));
    size_t changed = 0;
    for (size_t i = 0, j = 0; i < before.size(); ++i, ++j) {
      if (before[i] == after[j]) continue;
      ++changed;
      if (!e.oldLine.empty()) continue;  // the replaced line
      ++j;  // the added line; the old one follows it
      ASSERT_LT(j, after.size());
      EXPECT_EQ(before[i], after[j]) << "line " << i + 1;
    }
    EXPECT_EQ(changed, 1u);

    auto readBack = ReadIniValue(path, e.section, e.key);
    ASSERT_TRUE(readBack);
    EXPECT_EQ(*readBack, std::optional<std::string>(e.value));

    ASSERT_TRUE(WriteIniValue(path, e.section, e.key, e.value));
    EXPECT_EQ(Slurp(path), written) << "a second identical write changed the file";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"stack.ini"});
  }
}

struct StackValue {
  const char* file;
  const char* section;
  const char* key;
  std::optional<std::string> value;
};

TEST(IniStackFiles, ValuesReadFromTheStacksFiles) {
  const StackValue values[] = {
      {"PHP5/php.ini", "PHP", "short_open_tag", "On"},
      {"PHP5/php.ini", "php", "include_path", ".;@STACK@/PHP5/pear"},
      {"PHP5/php.ini", "PHP", "error_reporting", "E_ALL & ~E_NOTICE & ~E_STRICT"},
      {"PHP5/php.ini", "PHP", "disable_functions", ""},
      {"PHP5/php.ini", "PHP", "error_log", std::nullopt},
      {"PHP5/php.ini", "Date", "date.timezone", std::nullopt},
      {"PHP5/php.ini", "MySQL", "mysql.default_port", "3306"},
      {"PHP5/php.ini", "PHP", "mysql.default_port", std::nullopt},
      {"MySQL/my.ini", "client", "port", "3306"},
      {"MySQL/my.ini", "mysqld", "basedir", "@STACK@/MySQL/"},
      {"MySQL/my.ini", "mysqld", "skip-innodb", std::nullopt},
      {"MySQL/my.ini", "mysqld", "#skip-innodb", std::nullopt},
      {"MySQL/my.ini", "mysql", "port", std::nullopt},
      {"Tellurix.ini", "Apache", "Listen", "80"},
      {"Tellurix.ini", "Apache", "DocumentRoot", "@STACK@\\www"},
      {"Tellurix.ini", "MySQL", "default-storage-engine", "MyISAM"},
  };
  for (const StackValue& v : values) {
    SCOPED_TRACE(std::string(v.file) + " [" + v.section + "] " + v.key);
    auto read = ReadIniValue(std::string(TELLURIX_SOURCE_DIR) + "/demo/stack/" + v.file, v.section, v.key);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, v.value);
  }
}

}  // namespace
