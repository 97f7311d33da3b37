// The configuration files' two writers on bytes and on disk: the profile store (INI files by the rules of the
// Windows profile functions) and the directive rewriter (httpd.conf), and what both refuse to write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/directive_rewriter.h"
#include "core/file_io.h"
#include "core/profile_store.h"

namespace {

using namespace std::string_literals;
using namespace tellurix;

#define BOM "\xEF\xBB\xBF"

// A temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() : path_("/tmp/tellurix-test-XXXXXX") { if (::mkdtemp(path_.data()) == nullptr) std::abort(); }
  ~TempFolder() { std::error_code ignored; std::filesystem::remove_all(path_, ignored); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // How many files and folders it holds: shows a temporary file left behind or a file created.
  long Entries() const { return std::distance(std::filesystem::recursive_directory_iterator(path_), {}); }

 private:
  std::string path_;
};

std::string Slurp(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}
void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
int ModeOf(const std::string& path) { return static_cast<int>(std::filesystem::status(path).permissions()); }

// The stack's files break their lines with CR LF, which the tables write as '|'.
std::string Crlf(std::string text) {
  for (size_t at = 0; (at = text.find('|', at)) != std::string::npos; at += 2) text.replace(at, 1, "\r\n");
  return text;
}

// A file operation's outcome as one text, so that one table column holds values and errors alike.
std::string Shown(const std::optional<std::string>& value) { return value ? *value : "(none)"; }
std::string Shown(int count) { return std::to_string(count) + " replaced"; }
std::string Shown(Done) { return "done"; }
template <typename T>
std::string Outcome(const Result<T>& result) {
  static const char* const kKinds[] = {"NotFound", "AccessDenied", "DiskFull", "BadEncoding", "InvalidArgument",
                                       "Other"};
  return result ? Shown(*result) : kKinds[static_cast<int>(result.error().kind)];
}

// Key "key" of section "s" in many spellings, and in half-broken files that do not hold it (nullptr). What stays of
// a value: everything after the blanks and one pair of matching quotes.
TEST(IniLookup, ValueOfTheFirstKeyInTheFirstSection) {
  const std::pair<const char*, const char*> rows[] = {
      {"[s]|key=On|", "On"}, {"[s]|\t key\v\t=\t On \v|", "On"}, {"  [ s ]\t|key=On|", "On"}, {"[S]|key=On|", "On"},
      {"[s]|KEY=On|", "On"}, {"[s]|key=\"On\"|", "On"}, {"[s]|key='On'|", "On"}, {"[s]|key = \t\"On\"  |", "On"},
      {"[s]\nkey=On\n", "On"}, {"[s]\rkey=On\r", "On"}, {"[s]|key=On", "On"}, {BOM "[s]|key=On|", "On"},
      {"[s] ; about s|key=On|", "On"}, {"[s]|key=On|key=Off|", "On"}, {"[s]|key=On|[t]|[s]|key=Off|", "On"},
      {"[s]|;key=Off|key=On|", "On"}, {"[s]| \t; key=Off|key=On|", "On"}, {"[s]|#key=Off|key=On|", "On"},
      {"[s]|key Off|key|key=On|", "On"}, {"[t]|key=Off|[s]|key=On|", "On"}, {"key=Off|[s]|key=On|", "On"},
      {"[s]|keys=Off|ke=Off|key=On|", "On"}, {"[s]||; x||key=On|", "On"}, {"[s]|key=On ; c|", "On ; c"},
      {"[s]|key=On # c|", "On # c"}, {"[s]|key=a=b|", "a=b"}, {"[s]|key=|", ""}, {"[s]|key= \t |", ""},
      {"[s]|key=\"\"|", ""}, {"[s]|key=\"  On  \"|", "  On  "}, {"[s]|key=\"\"On\"\"|", "\"On\""},
      {"[s]|key=\"On'|", "\"On'"}, {"[s]|key=\"|", "\""}, {"[s]|key=\"On|", "\"On"}, {"[s]|key=a  b|", "a  b"},
      {"[s]|key=\".;C:\\php\"|", ".;C:\\php"}, {"[s]|key=\xFF\x80\x81|", "\xFF\x80\x81"}, {"", nullptr},
      {BOM, nullptr}, {"[t]|key=1|", nullptr}, {"[ss]|key=1|", nullptr}, {"[ ]|key=1|", nullptr}, {"key=1|", nullptr},
      {";[s]|key=1|", nullptr}, {"[s|key=1|", nullptr}, {"key=1|[s]|j=2|", nullptr}, {"[s]|[t]|key=1|", nullptr},
      {"[s]|j=1|[t]|[S]|key=1|", nullptr}, {"[s]|;key=1|", nullptr}, {"[s]|\v ;key=1|", nullptr},
      {"[s]|j=key|", nullptr}, {"[s]|key|key 1|", nullptr}, {"[s]|#key=1|", nullptr}, {"[s]|keys=1|", nullptr},
      {BOM BOM "[s]|key=1|", nullptr},
  };
  for (const auto& [file, value] : rows)
    EXPECT_EQ(ini::Lookup(Crlf(file), "s", "key"), value ? std::optional<std::string>(value) : std::nullopt) << file;
}

// The whole file after setting "key" to "v"; a second identical assignment changes nothing, and the value reads
// back. A new key goes after the section's last key line (a line with '='), before blank and comment lines; a new
// section at the end, after a line break if the file lacks one. New lines end in LF in an LF-only file.
TEST(IniAssign, ReplacesTheKeysLineOrAddsItAfterTheSectionsLastKeyOrAppendsTheSection) {
  const struct { const char *before, *section, *after; } rows[] = {
      {"[s]|key = On ; old|", "s", "[s]|key=v|"}, {"[S]|\t KEY=On|x=1|", "s", "[S]|key=v|x=1|"},
      {"[s]|key=1|key=2|", "s", "[s]|key=v|key=2|"}, {"[s]|;key=old|key=1|", "s", "[s]|;key=old|key=v|"},
      {"[s]|key=1|[t]|key=1|[s]|key=1|", "s", "[s]|key=v|[t]|key=1|[s]|key=1|"}, {"[s]|key=1", "s", "[s]|key=v|"},
      {"[client]|key=1||[mysqld]|key=1|", "mysqld", "[client]|key=1||[mysqld]|key=v|"}, {"[a]", "a", "[a]|key=v|"},
      {"[s]\nkey=1", "s", "[s]\nkey=v\n"}, {"[s]|key=1\nj=2|", "s", "[s]|key=v\nj=2|"},
      {"[s]\rkey=1\rj=2\r", "s", "[s]\rkey=v\rj=2\r"}, {BOM "[s]|key=1|", "s", BOM "[s]|key=v|"},
      {"\xFF\xFE|[s]|\x81\x80=\xFF|key=1|\xA1|", "s", "\xFF\xFE|[s]|\x81\x80=\xFF|key=v|\xA1|"},
      {"[a]|x=1||; about b|[b]|y=1|", "a", "[a]|x=1|key=v||; about b|[b]|y=1|"},
      {"[a]|x=1|; c|y=2||", "a", "[a]|x=1|; c|y=2|key=v||"}, {"[a]|x=1|#y=2||", "a", "[a]|x=1|#y=2|key=v||"},
      {"[a]|x=1|#skip-innodb|", "a", "[a]|x=1|key=v|#skip-innodb|"}, {"[a]|;key=1|", "a", "[a]|key=v|;key=1|"},
      {"[a]|; c||[b]|key=1|", "a", "[a]|key=v|; c||[b]|key=1|"}, {"[a]|x=1|[a]|y=1|", "A", "[a]|x=1|key=v|[a]|y=1|"},
      {"[a]|x=1|[a]|key=1|", "a", "[a]|x=1|key=v|[a]|key=1|"}, {"key=1|[a]|", "a", "key=1|[a]|key=v|"},
      {"[a]|x=1", "a", "[a]|x=1|key=v|"}, {"[a]\nx=1", "a", "[a]\nx=1\nkey=v\n"}, {"[a]\nx=1|", "a", "[a]\nx=1|key=v|"},
      {"[a]\nx=1\n\n[b]\n", "a", "[a]\nx=1\nkey=v\n\n[b]\n"}, {"[a]\rx=1\r\r", "a", "[a]\rx=1\rkey=v|\r"},
      {BOM "[a]|x=1|", "a", BOM "[a]|x=1|key=v|"}, {"[a]|x=1|", "b", "[a]|x=1|[b]|key=v|"}, {"", "b", "[b]|key=v|"},
      {"[a]|x=1", "b", "[a]|x=1|[b]|key=v|"}, {"[a]|; end", "b", "[a]|; end|[b]|key=v|"}, {"x", "b", "x|[b]|key=v|"},
      {"[a]\rx=1\r", "b", "[a]\rx=1\r[b]|key=v|"}, {BOM, "b", BOM "[b]|key=v|"}, {"[b|", "b", "[b|[b]|key=v|"},
      {"[a]\nx=1\n", "b", "[a]\nx=1\n[b]\nkey=v\n"}, {"[a]\nx=1", "b", "[a]\nx=1\n[b]\nkey=v\n"},
      {"key=1|", "b", "key=1|[b]|key=v|"}, {";[b]|", "b", ";[b]|[b]|key=v|"},
      {BOM BOM "[b]|", "b", BOM BOM "[b]|[b]|key=v|"},
  };
  for (const auto& [before, section, expected] : rows) {
    const std::string after = Crlf(expected);
    EXPECT_EQ(ini::Assign(Crlf(before), section, "key", "v"), after) << before;
    EXPECT_EQ(ini::Assign(after, section, "key", "v"), after) << before;
    EXPECT_EQ(ini::Lookup(after, section, "key"), std::optional<std::string>("v")) << before;
  }
}

TEST(IniCheckArguments, RefusesNamesAndValuesThatWouldBreakTheStructure) {
  using Arguments = std::vector<std::tuple<const char*, const char*, const char*>>;
  for (const auto& [section, key, value] : Arguments{{"a b", "k k", "v  v"}, {"s", "k", ""}, {"s", "k", "a;b=c#[d]"},
           {"a=b;c", "k", "v"}, {"s", "k;[x", "v"}, {"s", "#k", "v"}, {"\xCD\xF8", "\xD5\xBE", "\xFF"}})
    EXPECT_EQ(ini::CheckArguments(section, key, value), std::nullopt) << section << "/" << key << "/" << value;
  for (const auto& [section, key, value] : Arguments{{"", "k", "v"}, {" s", "k", "v"}, {"s\t", "k", "v"},
           {"\vs", "k", "v"}, {"s]t", "k", "v"}, {"s\r\nt", "k", "v"}, {"s\n", "k", "v"}, {"s", "", "v"},
           {"s", " k", "v"}, {"s", "k ", "v"}, {"s", "k\v", "v"}, {"s", "k=j", "v"}, {"s", ";k", "v"},
           {"s", "[k]", "v"}, {"s", "k\rj", "v"}, {"s", "k", "a\r\nb"}, {"s", "k", "a\n"}, {"s", "k", "\r"}})
    EXPECT_NE(ini::CheckArguments(section, key, value), std::nullopt) << section << "/" << key << "/" << value;
}

TEST(ResolveProfilePath, RelativeNamesJoinTheProgramDirectoryWithOnePassOfSeparatorFolding) {
  const struct { const char *directory, *file, *resolved; } rows[] = {
      {"D:\\s", "T.ini", "D:\\s\\T.ini"}, {"D:\\", "T.ini", "D:\\T.ini"}, {"D:\\s", "D:\\t\\a.ini", "D:\\t\\a.ini"},
      {"D:\\s", "C:\\\\a.ini", "C:\\\\a.ini"}, {"D:\\", "\\T.ini", "D:\\\\T.ini"}, {"D:\\s", "\\P\\a", "D:\\s\\P\\a"},
      {"D:\\s", "D:T.ini", "D:\\s\\D:T.ini"}, {"D:\\s", "/x.ini", "D:\\s\\/x.ini"}, {"C:\\P F", "a", "C:\\P F\\a"},
  };
  for (const auto& [directory, file, resolved] : rows) EXPECT_EQ(ResolveProfilePath(directory, file, '\\'), resolved);
  EXPECT_EQ(ResolveProfilePath("/", "T.ini", '/') + "|" + ResolveProfilePath("/o", "/e//x", '/'), "/T.ini|/e//x");
}

// Names and values are UTF-8 in the program and code page 936 in the file, unless it starts with a UTF-8 mark.
// A trail byte may look like an ASCII letter (B0 41 and B0 61 are two different characters) and is never folded;
// the single-byte euro sign 0x80 and UTF-8 characters are followed by letters that are.
TEST(IniFiles, WhatAWriteLeavesInTheFileAndReadsBack) {
  std::string longValue, longGbk;
  for (int i = 0; i < 75; ++i) longValue += "网站", longGbk += "\xCD\xF8\xD5\xBE";
  const struct { std::string before, section, key, value, after; } rows[] = {
      {Crlf("[A]|L=80|"), "A", "Root", "D:\\网站", Crlf("[A]|L=80|Root=D:\\\xCD\xF8\xD5\xBE|")},
      {Crlf("[\xCD\xF8]|\xC3\xFB=\xD6\xB5|"), "网", "名", "新", Crlf("[\xCD\xF8]|\xC3\xFB=\xD0\xC2|")},
      {Crlf("[s]|\xB0\x41=first|"), "s", "癮", "2", Crlf("[s]|\xB0\x41=first|\xB0\x61=2|")},
      {Crlf("[\xB0\x41]|k=1|"), "癮", "k", "2", Crlf("[\xB0\x41]|k=1|[\xB0\x61]|k=2|")},
      {Crlf("[\x80" "A]|k=1|"), "€a", "k", "2", Crlf("[\x80" "A]|k=2|")},
      {Crlf("[A]|k=1|"), "A", "Name", longValue, Crlf("[A]|k=1|Name=" + longGbk + "|")},
      {Crlf("[P]|; 上传|\xFF|x=\xCD|u = 2M|"), "P", "u", "8M", Crlf("[P]|; 上传|\xFF|x=\xCD|u=8M|")},
      {Crlf(BOM "[网站]|k=1|"), "网站", "k", "值 😀", Crlf(BOM "[网站]|k=值 😀|")},
      {Crlf(BOM "[站A]|站Key=1|"), "站a", "站KEY", "2", Crlf(BOM "[站A]|站KEY=2|")},
  };
  for (const auto& [before, section, key, value, after] : rows) {
    TempFolder folder;
    Put(folder.File("a.ini"), before);
    ASSERT_EQ(Outcome(WriteIniValue(folder.File("a.ini"), section, key, value)), "done") << key;
    EXPECT_EQ(Slurp(folder.File("a.ini")), after);
    EXPECT_EQ(Outcome(ReadIniValue(folder.File("a.ini"), section, key)), value);
    EXPECT_EQ(folder.Entries(), 1);
  }
}

// A missing file, folder or key reads as nothing (the procedure's fallback), a value the code page cannot hold and
// a UTF-16 file as an error (the fallback too); the procedure drops the value's leading spaces, and writes a
// missing file with the usual mode.
TEST(IniFiles, ReadsAndTheProcedures) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  const std::tuple<std::string, const char*, const char*> rows[] = {
      {"", "(none)", "-"}, {Crlf("[s]|j=1|"), "(none)", "-"}, {Crlf("[s]|k=\xFF\xFF|"), "BadEncoding", "-"},
      {Crlf("[s]|k=\xCD|"), "BadEncoding", "-"}, {"\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x31\0\r\0\n\0"s, "BadEncoding", "-"},
      {"\xFE\xFF\0[\0s\0]\0\r\0\n\0k\0=\0\x31\0\r\0\n"s, "BadEncoding", "-"}, {Crlf("[s]|k= |"), "", ""},
      {Crlf("[s]|k=\"  8 \"|"), "  8 ", "8 "},
  };
  for (const auto& [file, outcome, fallback] : rows) {
    if (!file.empty()) Put(path, file);
    EXPECT_EQ(Outcome(ReadIniValue(path, "s", "k")), outcome) << file;
    EXPECT_EQ(GetIniValue("s", "k", "-", path), fallback) << file;
  }
  EXPECT_EQ(Outcome(ReadIniValue(folder.File("x/a"), "s", "k")) + GetIniValue("s", "k", "-", folder.File("x/a")),
            "(none)-");
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(SetIniValue("Apache", "Listen", "8080", folder.File("T.ini")));
  ::umask(mask);
  ASSERT_TRUE(SetIniValue("Apache", "Root", "D:\\网站", folder.File("T.ini")));
  ASSERT_TRUE(SetIniValue("Apache", "Listen", "", folder.File("T.ini")));
  EXPECT_EQ(Slurp(folder.File("T.ini")), "[Apache]\r\nListen=\r\nRoot=D:\\\xCD\xF8\xD5\xBE\r\n");
  EXPECT_EQ(ModeOf(folder.File("T.ini")), 0644);
}

// After optional spaces (only spaces), the exact name, then a space, a tab or the end of the line.
TEST(DirectiveQualifies, WhichLinesAreTheDirectiveListen) {
  for (const char* line : {"Listen 80", "    Listen 80", "Listen\t80", "Listen \t 80", "Listen", "Listen ", "  Listen",
                           "Listen 80 # old", "Listen Listen", "Listen \xFF\x81"})
    EXPECT_TRUE(directive::Qualifies(line, "Listen")) << line;
  for (const char* line : {"", "    ", "\tListen 80", "  \tListen 80", "\vListen 80", "#Listen 80", "# Listen 80",
                           "ListenBacklog 511", "ListenBacklog", "listen 80", "LISTEN 80", "Liste", "Listen:80",
                           "Listen=80", "Listen\v80", "x Listen 80", "<Listen 80>", "\xA1\xA1Listen 80", BOM "Listen"})
    EXPECT_FALSE(directive::Qualifies(line, "Listen")) << line;
}

// The whole file after setting Listen to 8080, and how many lines that replaced; a second rewrite changes nothing.
// Lines end as the file's do: LF in a file that uses LF throughout, else CR LF, the last line included.
TEST(DirectiveApply, EveryQualifyingLineBecomesTheNewLine) {
  const struct { std::string before, after; int replaced; } rows[] = {
      {"Listen 80|", "Listen 8080|", 1}, {"#|    Listen 80|#|", "#|Listen 8080|#|", 1}, {"Listen|", "Listen 8080|", 1},
      {"Listen 80 # web|", "Listen 8080|", 1}, {"Listen 8080|", "Listen 8080|", 1}, {"Listen 80", "Listen 8080|", 1},
      {"Listen 80|Timeout 300|  Listen 127.0.0.1:81|", "Listen 8080|Timeout 300|Listen 8080|", 2},
      {"\tListen 80|#Listen 80|ListenBacklog 511|listen 80|Listen 80|",
       "\tListen 80|#Listen 80|ListenBacklog 511|listen 80|Listen 8080|", 1},
      {"\xFF\xFE\x81|Listen 80|\xA1|", "\xFF\xFE\x81|Listen 8080|\xA1|", 1}, {"# x|Listen 80", "# x|Listen 8080|", 1},
      {BOM "Listen 80|", BOM "Listen 8080|", 1}, {"# x\nListen 80\n\n", "# x\nListen 8080\n\n", 1}, {"", "", 0},
      {"# x\nListen 80", "# x\nListen 8080\n", 1}, {"# x\nListen 80|# y\n", "# x|Listen 8080|# y|", 1}, {BOM, BOM, 0},
      {"# x\rListen 80\r", "# x|Listen 8080|", 1}, {"# x\nTimeout 1", "# x\nTimeout 1\n", 0},
      {"||Listen 80||", "||Listen 8080||", 1}, {"Listen\0 80|Listen 80|"s, "Listen\0 80|Listen 8080|"s, 1},
      {"Listen 8\0"s "0|", "Listen 8080|", 1}, {"Listen 80\r|", "Listen 8080||", 1}, {"\n\n\n", "\n\n\n", 0},
      {"Listen 80\n\r", "Listen 8080||", 1}, {"Lis|ten 80|", "Lis|ten 80|", 0}, {BOM "  Listen", BOM "Listen 8080|", 1},
      {"\xEF\xBBListen 80\n", "\xEF\xBBListen 80\n", 0}, {"# x|" BOM "Listen", "# x|" BOM "Listen|", 0},
  };
  for (const auto& [before, expected, replaced] : rows) {
    const std::string after = Crlf(expected);
    for (const auto& rewrite : {directive::Apply(Crlf(before), "Listen", "Listen 8080"),
                                directive::Apply(after, "Listen", "Listen 8080")})
      EXPECT_EQ(rewrite.bytes + " " + std::to_string(rewrite.replaced), after + " " + std::to_string(replaced));
  }
}

// A file is written only when a line qualifies; the new line is UTF-8, which Apache reads paths in, while the other
// lines keep their bytes (here a comment in code page 936). A missing file is reported, never created.
TEST(ReplaceConfigDirective, RewritesQualifyingFilesOnly) {
  const struct { std::string before, name, value, after, outcome; } rows[] = {
      {Crlf("#Listen 1:80|Listen 80|  Listen 81|#ListenBacklog 5|ListenBacklog 5"), "Listen", "8080",
       Crlf("#Listen 1:80|Listen 8080|Listen 8080|#ListenBacklog 5|ListenBacklog 5|"), "2 replaced"},
      {"#Listen 80\nListenBacklog 511\r\n\tListen 80\rTimeout 300", "Listen", "8080",
       "#Listen 80\nListenBacklog 511\r\n\tListen 80\rTimeout 300", "0 replaced"},
      {Crlf("Root \"C:/w\"|# \xCD\xF8|"), "Root", "\"D:/网站\"", Crlf("Root \"D:/网站\"|# \xCD\xF8|"), "1 replaced"},
      {BOM "ServerName localhost\n", "ServerName", "😀.网站", BOM "ServerName 😀.网站\n", "1 replaced"},
      {Crlf("ServerAdmin a@b|"), "ServerAdmin", "", Crlf("ServerAdmin |"), "1 replaced"},
  };
  for (const auto& [before, name, value, after, outcome] : rows) {
    TempFolder folder;
    const std::string path = folder.File("httpd.conf");
    Put(path, before);
    EXPECT_EQ(Outcome(ReplaceConfigDirective(path, name, value)), outcome) << before;
    EXPECT_EQ(Slurp(path), after) << name;
    if (outcome != "0 replaced") continue;
    // Nothing to write, so a read-only file is no failure.
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(Outcome(ReplaceConfigDirective(path, name, value)), outcome);
  }
  TempFolder folder;
  EXPECT_EQ(Outcome(ReplaceConfigDirective(folder.File("httpd.conf"), "Listen", "8080")), "NotFound");
  EXPECT_EQ(Outcome(ReplaceConfigDirective(folder.File("conf/httpd.conf"), "Listen", "8080")), "NotFound");
  EXPECT_EQ(folder.Entries(), 0);
}

// Writes with one writer into a fresh folder: its outcome, and how many entries the folder holds, the file's mode
// and its bytes.
std::pair<std::string, std::string> Write(bool ini, const char* file, std::string bytes, int mode, const char* name,
                                          const char* value) {
  TempFolder folder;
  const std::string path = folder.File(file);
  if (!bytes.empty()) Put(path, bytes), std::filesystem::permissions(path, std::filesystem::perms(mode));
  const std::string outcome = ini ? Outcome(WriteIniValue(path, "s", name, value))
                                  : Outcome(ReplaceConfigDirective(path, name, value));
  const std::string entries = std::to_string(folder.Entries());
  return {outcome, entries + " " + std::to_string(bytes.empty() ? 0 : ModeOf(path)) + " " + Slurp(path)};
}

// A key Listen of [s] for the profile store, and a line Listen for the directive rewriter; no bytes: no file. The
// outcome of both writers, or of the profile store and of the directive rewriter when they differ.
// After a failed replace, what is on disk decides: the codes tell what Windows
// documents they leave ("ReplaceFileW function", Return value), but the
// temporary file is dropped only while the old file is still there as it was.
TEST(FileSafety, AFailedReplaceIsJudgedByWhatItLeft) {
  using T = TargetAfterFailedReplace;
  using A = AfterFailedReplace;
  const struct {
    unsigned long code;
    T left;
    A then;
  } rows[] = {
      {1175, T::Unchanged, A::DeleteTemporary},        // ERROR_UNABLE_TO_REMOVE_REPLACED: both keep their names
      {1176, T::Missing, A::MoveTemporaryIntoPlace},   // ERROR_UNABLE_TO_MOVE_REPLACEMENT: the old file removed
      {1177, T::Missing, A::MoveTemporaryIntoPlace},   // ..._2: the old file under another name
      {5, T::Missing, A::MoveTemporaryIntoPlace},      // whatever the code, a missing file gets the content
      {1176, T::Changed, A::KeepTemporary},            // another file took the name meanwhile
  };
  for (const auto& row : rows) EXPECT_EQ(RecoveryAfterFailedReplace(row.left), row.then) << row.code;
}

TEST(FileSafety, RefusalsOfBothWritersLeaveEverythingAsItWas) {
  const std::string f = "[s]\r\nListen 80\r\nListen=80\r\n";
  const std::string utf16le = "\xFF\xFEL\0i\0s\0t\0e\0n\0 \0\x38\0\x30\0\r\0\n\0"s;
  const std::string utf16be = "\xFE\xFF\0L\0i\0s\0t\0e\0n\0 \0\x38\0\x30\0\r\0\n"s;
  const struct { const char* file; std::string bytes; int mode; const char *name, *value, *outcome; } rows[] = {
      {"a", f, 0444, "Listen", "8080", "AccessDenied"}, {"a", f, 0555, "New", "8080", "AccessDenied/0 replaced"},
      {"x/a", "", 0, "Listen", "8080", "NotFound"}, {"a", utf16le, 0644, "Listen", "1", "BadEncoding"},
      {"a", utf16be, 0644, "Listen", "1", "BadEncoding"}, {"a", f, 0644, "Listen", "\xFF", "BadEncoding"},
      {"a", f, 0644, "😀", "1", "BadEncoding/0 replaced"},
      {"a", "", 0, "Listen", "😀", "BadEncoding/NotFound"}, {"a", f, 0644, "Listen", "8\r\nL 1", "InvalidArgument"},
      {"a", f, 0644, "Listen", "8080\n", "InvalidArgument"}, {"a", f, 0644, "Listen", "80\r80", "InvalidArgument"},
      {"a", f, 0644, "", "1", "InvalidArgument"}, {"a", f, 0644, " Listen", "1", "InvalidArgument"},
      {"a", f, 0644, "Listen\t", "1", "InvalidArgument"}, {"a", f, 0644, "Listen\r\n", "1", "InvalidArgument"},
      {"a", f, 0644, "Listen=", "1", "InvalidArgument/0 replaced"}, {"a", "", 0, "Listen", "1\n2", "InvalidArgument"},
  };
  for (const auto& [file, bytes, mode, name, value, outcome] : rows) {
    const auto ini = Write(true, file, bytes, mode, name, value), conf = Write(false, file, bytes, mode, name, value);
    const std::string unchanged = (bytes.empty() ? "0 " : "1 ") + std::to_string(mode) + " " + bytes;
    EXPECT_EQ(ini.first == conf.first ? ini.first : ini.first + "/" + conf.first, outcome) << name << "=" << value;
    EXPECT_TRUE(ini.second == unchanged && conf.second == unchanged) << name << "=" << value;
  }
  // The new file replaces the old one, which must not cost it its mode.
  for (int mode : {0600, 0640, 0664, 0755}) {
    const std::string kept = "1 " + std::to_string(mode) + " ";
    EXPECT_EQ(Write(true, "a", Crlf("[s]|Listen|"), mode, "Listen", "1").second, kept + Crlf("[s]|Listen=1|Listen|"));
    EXPECT_EQ(Write(false, "a", Crlf("[s]|Listen|"), mode, "Listen", "1").second, kept + Crlf("[s]|Listen 1|"));
  }
}

}  // namespace
