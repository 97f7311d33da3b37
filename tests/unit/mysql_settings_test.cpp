#include "dialogs/mysql_settings.h"

#include <gtest/gtest.h>

#include "tests/unit/test_files.h"
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

// Readable failures for the comparisons below.
bool operator==(const StackWrite& a, const StackWrite& b) {
  return a.kind == b.kind && a.file == b.file && a.section == b.section && a.key == b.key && a.value == b.value;
}
bool operator==(const FieldChange& a, const FieldChange& b) {
  return a.profileKey == b.profileKey && a.value == b.value && a.writes == b.writes;
}
std::ostream& operator<<(std::ostream& os, const StackWrite& w) {
  return os << (w.kind == StackWrite::Kind::IniEntry ? "ini " : "directive ") << w.file << " [" << w.section << "] "
            << w.key << "=" << w.value;
}
std::ostream& operator<<(std::ostream& os, const FieldChange& c) {
  os << "{profile " << c.profileKey << "=" << c.value << ";";
  for (const StackWrite& w : c.writes) os << " " << w << ";";
  return os << "}";
}

}  // namespace tellurix

namespace {

using testfiles::Slurp;
using testfiles::Put;

namespace fs = std::filesystem;
using namespace tellurix;
namespace d = ids::fmysql;
using K = ControlLayout::Kind;

// ---------------------------------------------------------------------------
// Controls

TEST(MySQLDialogControls, AreTheTwoFramesAndTheirControlsInPlace) {
  const struct {
    int id;
    K kind;
    std::string caption;
    int container;
    Rect place;
  } expected[] = {
      {d::Frame1, K::Frame, "MySQL设置", 0, {16, 16, 289, 137}},
      {d::Frame2, K::Frame, "修改MySQL密码", 0, {16, 160, 289, 81}},
      {d::Label1, K::Label, "端口：", d::Frame1, {16, 32, 41, 17}},
      {d::port, K::Edit, "", d::Frame1, {56, 32, 49, 18}},
      {d::Label2, K::Label, "最大连接数：", d::Frame1, {136, 32, 73, 17}},
      {d::connections, K::Edit, "", d::Frame1, {208, 32, 65, 18}},
      {d::Label4, K::Label, "字符集：", d::Frame1, {8, 64, 49, 17}},
      {d::character, K::DropList, "", d::Frame1, {56, 64, 65, 20}},
      {d::Label3, K::Label, "数据库引擎：", d::Frame1, {136, 64, 73, 17}},
      {d::engine, K::DropList, "", d::Frame1, {208, 64, 65, 20}},
      {d::Command1, K::Button, "确定", 0, {152, 120, 49, 25}},
      {d::Command2, K::Button, "取消", 0, {232, 120, 57, 25}},
      {d::Label5, K::Label, "原密码：", d::Frame2, {8, 24, 49, 17}},
      {d::oldpwd, K::Edit, "", d::Frame2, {56, 24, 73, 18}},
      {d::Label6, K::Label, "新密码：", d::Frame2, {136, 24, 49, 17}},
      {d::newpwd, K::Edit, "", d::Frame2, {184, 24, 81, 18}},
      {d::Label7, K::Label, "Tellurix默认密码为lumo", d::Frame2, {8, 48, 153, 17}},
      {d::Command3, K::Button, "确定", d::Frame2, {216, 48, 49, 25}},
  };
  const auto& table = MySQLDialogControls();
  ASSERT_EQ(table.size(), std::size(expected));
  for (size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(table[i].id, expected[i].id);
    EXPECT_EQ(table[i].kind, expected[i].kind);
    EXPECT_EQ(table[i].caption, expected[i].caption);
    EXPECT_EQ(table[i].container, expected[i].container);
    const Rect& got = table[i].place;
    const Rect& want = expected[i].place;
    EXPECT_EQ(std::vector<int>({got.left, got.top, got.width, got.height}),
              std::vector<int>({want.left, want.top, want.width, want.height}));
  }
}

TEST(MySQLDialogControls, FitTheClientAreaAndTheButtonsLieOverTheUpperFrame) {
  const auto& table = MySQLDialogControls();
  for (const ControlLayout& control : table) {
    const Rect r = ClientRect(control, table);
    EXPECT_LE(r.left + r.width, kMySQLClientWidth) << control.id;
    EXPECT_LE(r.top + r.height, kMySQLClientHeight) << control.id;
  }
  const Rect frame = table[0].place;
  ASSERT_EQ(table[0].id, d::Frame1);
  for (const ControlLayout& control : table) {
    if (control.id != d::Command1 && control.id != d::Command2) continue;
    const Rect r = ClientRect(control, table);
    // Inside Frame1, below its two rows of fields.
    EXPECT_GE(r.left, frame.left);
    EXPECT_LE(r.left + r.width, frame.left + frame.width);
    EXPECT_GE(r.top, frame.top + 64 + 20);
    EXPECT_LE(r.top + r.height, frame.top + frame.height);
  }
  // The client area is 4680 x 3795 twips at 15 twips per pixel.
  EXPECT_EQ(kMySQLClientWidth, 4680 / 15);
  EXPECT_EQ(kMySQLClientHeight, 3795 / 15);
}

TEST(MySQLDialogControls, ListTheirItemsInOrder) {
  EXPECT_EQ(MySQLCharacterSets(), (std::vector<std::string_view>{"utf8", "gb2312", "gbk", "latin1"}));
  EXPECT_EQ(MySQLEngines(), (std::vector<std::string_view>{"INNODB", "MyISAM"}));
}

// ---------------------------------------------------------------------------
// Loading

TEST(LoadMySQLForm, ReadsTheFourKeysInOrderIntoTheirFields) {
  std::vector<std::string> asked;
  const MySQLForm form = LoadMySQLForm([&](std::string_view key) {
    asked.emplace_back(key);
    return "<" + std::string(key) + ">";
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"port", "default-character-set", "default-storage-engine", "max_connections"}));
  EXPECT_EQ(form.port, "<port>");
  EXPECT_EQ(form.character, "<default-character-set>");
  EXPECT_EQ(form.engine, "<default-storage-engine>");
  EXPECT_EQ(form.connections, "<max_connections>");
}

TEST(CharacterSetIndex, SelectsOnlyAnExactlyEqualItem) {
  const struct {
    std::string loaded;
    int index;
  } table[] = {
      {"utf8", 0},   {"gb2312", 1}, {"gbk", 2},     {"latin1", 3},  {"", -1},      {"UTF8", -1},
      {"utf-8", -1}, {"GBK", -1},   {" gbk", -1},   {"gbk ", -1},   {"latin2", -1}, {"big5", -1},
  };
  for (const auto& row : table) EXPECT_EQ(CharacterSetIndex(row.loaded), row.index) << "'" << row.loaded << "'";
}

TEST(EngineIndex, SelectsINNODBOnlyForExactlyINNODB) {
  const struct {
    std::string loaded;
    int index;
  } table[] = {
      {"INNODB", 0}, {"MyISAM", 1}, {"InnoDB", 1},  {"innodb", 1}, {"", 1},
      {"INNODB ", 1}, {"MYISAM", 1}, {"memory", 1},
  };
  for (const auto& row : table) EXPECT_EQ(EngineIndex(row.loaded), row.index) << "'" << row.loaded << "'";
}

// ---------------------------------------------------------------------------
// Checks

const std::string kFifteenNines = "999999999999999";
const std::string kSixteenDigits = "1000000000000000";

TEST(CheckMySQLForm, GivesEachFieldsMessageForItsTexts) {
  const struct {
    std::string text;
    bool number;  // whether it can be read as a number at all
  } wrong[] = {
      {"abc", false},  {"", false},     {"0", true},      {"-3306", true},        {"03306", true},
      {"+3306", true}, {" 3306", true}, {"3306.0", true}, {"3e3", true},          {kSixteenDigits, true},
      {"3306 ", true}, {"33 06", false}, {"3,306", false}, {"９９", false},
  };
  for (const auto& row : wrong) {
    SCOPED_TRACE("'" + row.text + "'");
    const auto port = CheckMySQLForm({row.text, "100", "MyISAM", "utf8"});
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(*port, row.number ? "MySQL端口请填正整数！" : "MySQL端口请填数字！");
    const auto connections = CheckMySQLForm({"3306", row.text, "MyISAM", "utf8"});
    ASSERT_TRUE(connections.has_value());
    EXPECT_EQ(*connections, row.number ? "MySQL最大连接数请填正整数！" : "MySQL最大连接数请填数字！");
  }
}

TEST(CheckMySQLForm, AcceptsOneToFifteenDigitsWithoutALeadingZero) {
  for (const std::string& text : {std::string("3307"), kFifteenNines, std::string("1")}) {
    EXPECT_EQ(CheckMySQLForm({text, text, "MyISAM", "utf8"}), std::nullopt) << text;
  }
  // The lists are not checked: any selection, or none, passes.
  EXPECT_EQ(CheckMySQLForm({"3306", "100", "", ""}), std::nullopt);
}

TEST(CheckMySQLForm, WithBothNumbersWrongShowsOnlyThePortMessage) {
  EXPECT_EQ(CheckMySQLForm({"abc", "abc", "", ""}), std::optional<std::string_view>("MySQL端口请填数字！"));
  EXPECT_EQ(CheckMySQLForm({"0", "", "", ""}), std::optional<std::string_view>("MySQL端口请填正整数！"));
}

// ---------------------------------------------------------------------------
// Changes

const std::string kMyIni = "C:\\Program Files\\Tellurix\\MySQL\\my.ini";

StackWrite Ini(const std::string& section, const std::string& key, const std::string& value) {
  return {StackWrite::Kind::IniEntry, kMyIni, section, key, value};
}

const MySQLForm kLoaded{"3306", "100", "MyISAM", "utf8"};

TEST(MySQLChanges, NoneWhenEveryTextIsAsLoaded) { EXPECT_TRUE(MySQLChanges(kLoaded, kLoaded, kMyIni).empty()); }

TEST(MySQLChanges, EachValueGoesToTheProfileAndItsSectionsOfMyIni) {
  const struct {
    const char* why;
    MySQLForm current;
    FieldChange change;
  } table[] = {
      {"port: client first, then the server",
       {"3307", "100", "MyISAM", "utf8"},
       {"port", "3307", {Ini("client", "port", "3307"), Ini("mysqld", "port", "3307")}}},
      {"connections: the server only",
       {"3306", "500", "MyISAM", "utf8"},
       {"max_connections", "500", {Ini("mysqld", "max_connections", "500")}}},
      {"engine: the server only",
       {"3306", "100", "INNODB", "utf8"},
       {"default-storage-engine", "INNODB", {Ini("mysqld", "default-storage-engine", "INNODB")}}},
      {"character set: the command-line client first, then the server",
       {"3306", "100", "MyISAM", "gbk"},
       {"default-character-set",
        "gbk",
        {Ini("mysql", "default-character-set", "gbk"), Ini("mysqld", "default-character-set", "gbk")}}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(MySQLChanges(kLoaded, row.current, kMyIni), std::vector<FieldChange>{row.change});
  }
}

TEST(MySQLChanges, ComeInTheOrderPortConnectionsEngineCharacterSet) {
  const std::vector<FieldChange> changes = MySQLChanges(kLoaded, {"3307", "500", "INNODB", "latin1"}, kMyIni);
  const std::vector<FieldChange> expected = {
      {"port", "3307", {Ini("client", "port", "3307"), Ini("mysqld", "port", "3307")}},
      {"max_connections", "500", {Ini("mysqld", "max_connections", "500")}},
      {"default-storage-engine", "INNODB", {Ini("mysqld", "default-storage-engine", "INNODB")}},
      {"default-character-set",
       "latin1",
       {Ini("mysql", "default-character-set", "latin1"), Ini("mysqld", "default-character-set", "latin1")}},
  };
  EXPECT_EQ(changes, expected);
}

TEST(MySQLChanges, ComparesExactlyAndCaseSensitively) {
  // A profile holding InnoDB opens with MyISAM selected: OK writes MyISAM.
  const MySQLForm loaded{"3306", "100", "InnoDB", "utf8"};
  EXPECT_EQ(MySQLChanges(loaded, {"3306", "100", "MyISAM", "utf8"}, kMyIni),
            (std::vector<FieldChange>{
                {"default-storage-engine", "MyISAM", {Ini("mysqld", "default-storage-engine", "MyISAM")}}}));
  // An emptied profile entry against a filled field is a change, however short.
  EXPECT_EQ(MySQLChanges({"", "", "", ""}, {"3306", "100", "MyISAM", "utf8"}, kMyIni).size(), 4u);
}

TEST(MySQLChanges, NeverWriteAnEmptyCharacterSet) {
  const struct {
    const char* why;
    std::string loadedCharacter;
  } table[] = {
      {"a stored value that is none of the items", "utf-8"},
      {"a stored value in another letter case", "GBK"},
      {"a missing entry", ""},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.why);
    const MySQLForm loaded{"3306", "100", "MyISAM", row.loadedCharacter};
    EXPECT_TRUE(MySQLChanges(loaded, {"3306", "100", "MyISAM", ""}, kMyIni).empty());
    // The other values are written all the same.
    const auto changes = MySQLChanges(loaded, {"3307", "100", "MyISAM", ""}, kMyIni);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].profileKey, "port");
  }
}

TEST(MySQLIniPath, IsBelowTheProgramDirectory) {
  EXPECT_EQ(MySQLIniPath("/opt/tellurix"), "/opt/tellurix/MySQL/my.ini");
}

// ---------------------------------------------------------------------------
// Applying the changes to real files


std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at == std::string::npos || text.find(from, at + 1) != std::string::npos) {
    ADD_FAILURE() << "not exactly once: " << from;
    return text;
  }
  return text.replace(at, from.size(), to);
}

// A copy of the demo stack's profile and my.ini in a fresh program directory.
class MySQLApply : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tellurix-mysql-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    home_ = pattern;
    fs::create_directories(home_ + "/MySQL");
    profileBefore_ = Slurp(std::string(TELLURIX_SOURCE_DIR) + "/demo/stack/Tellurix.ini");
    myIniBefore_ = Slurp(std::string(TELLURIX_SOURCE_DIR) + "/demo/stack/MySQL/my.ini");
    ASSERT_FALSE(profileBefore_.empty());
    ASSERT_FALSE(myIniBefore_.empty());
    Put(Profile(), profileBefore_);
    Put(MyIni(), myIniBefore_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(home_, ignored);
  }

  std::string Profile() const { return home_ + "/Tellurix.ini"; }
  std::string MyIni() const { return MySQLIniPath(home_); }
  ApplyOutcome Apply(const MySQLForm& current) {
    return ApplyChanges(Profile(), "MySQL", MySQLChanges(kDemo, current, MyIni()));
  }

  // What the demo profile holds in section MySQL.
  const MySQLForm kDemo{"3306", "100", "MyISAM", "utf8"};
  std::string home_, profileBefore_, myIniBefore_;
};

TEST_F(MySQLApply, OnlyThePortChangesTheClientAndServerPortLinesAndNothingElse) {
  const ApplyOutcome outcome = Apply({"3307", "100", "MyISAM", "utf8"});
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(Slurp(Profile()), Replaced(profileBefore_, "[MySQL]\r\nport=3306\r\n", "[MySQL]\r\nport=3307\r\n"));
  std::string expected = Replaced(myIniBefore_, "[client]\r\nport=3306\r\n", "[client]\r\nport=3307\r\n");
  expected = Replaced(expected, "listens on.\r\nport=3306\r\n", "listens on.\r\nport=3307\r\n");
  EXPECT_EQ(Slurp(MyIni()), expected);
  EXPECT_EQ(Conclude(outcome, text::kMySQLDone).message, std::optional<std::string>("设置成功，重起MSQL生效。"));
}

TEST_F(MySQLApply, APortLineOfAnotherSectionIsNotTouched) {
  myIniBefore_ += "[mysqldump]\r\nport=3306\r\nquick\r\n";
  Put(MyIni(), myIniBefore_);
  Apply({"3307", "100", "MyISAM", "utf8"});
  std::string expected = Replaced(myIniBefore_, "[client]\r\nport=3306\r\n", "[client]\r\nport=3307\r\n");
  expected = Replaced(expected, "listens on.\r\nport=3306\r\n", "listens on.\r\nport=3307\r\n");
  EXPECT_EQ(Slurp(MyIni()), expected);
}

TEST_F(MySQLApply, EveryValueChangedRewritesItsLinesInBothFiles) {
  const ApplyOutcome outcome = Apply({"3307", "500", "INNODB", "gbk"});
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(Slurp(Profile()), Replaced(profileBefore_,
                                       "[MySQL]\r\nport=3306\r\nmax_connections=100\r\ndefault-storage-engine=MyISAM\r\n"
                                       "default-character-set=utf8",
                                       "[MySQL]\r\nport=3307\r\nmax_connections=500\r\ndefault-storage-engine=INNODB\r\n"
                                       "default-character-set=gbk"));
  std::string expected = Replaced(myIniBefore_, "[client]\r\nport=3306\r\n", "[client]\r\nport=3307\r\n");
  expected = Replaced(expected, "listens on.\r\nport=3306\r\n", "listens on.\r\nport=3307\r\n");
  expected = Replaced(expected, "[mysql]\r\ndefault-character-set=utf8\r\n", "[mysql]\r\ndefault-character-set=gbk\r\n");
  expected = Replaced(expected, "given.\r\ndefault-character-set=utf8\r\n", "given.\r\ndefault-character-set=gbk\r\n");
  expected = Replaced(expected, "default-storage-engine=MyISAM\r\n", "default-storage-engine=INNODB\r\n");
  expected = Replaced(expected, "max_connections=100\r\n", "max_connections=500\r\n");
  EXPECT_EQ(Slurp(MyIni()), expected);
}

TEST_F(MySQLApply, NoSelectedCharacterSetLeavesBothFilesAsTheyWere) {
  const ApplyOutcome outcome = ApplyChanges(Profile(), "MySQL",
                                            MySQLChanges({"3306", "100", "MyISAM", "utf-8"}, {"3306", "100", "MyISAM", ""}, MyIni()));
  EXPECT_FALSE(outcome.written);
  EXPECT_EQ(Slurp(Profile()), profileBefore_);
  EXPECT_EQ(Slurp(MyIni()), myIniBefore_);
  const Conclusion conclusion = Conclude(outcome, text::kMySQLDone);
  EXPECT_FALSE(conclusion.message.has_value()) << "nothing written, nothing said";
  EXPECT_TRUE(conclusion.close);
}

TEST_F(MySQLApply, AReadOnlyMyIniStopsAfterTheProfileAndIsNeverCalledASuccess) {
  ASSERT_EQ(::chmod(MyIni().c_str(), 0444), 0);
  const ApplyOutcome outcome = Apply({"3307", "500", "MyISAM", "utf8"});
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(outcome.failure->kind, ErrorKind::AccessDenied);
  EXPECT_EQ(outcome.failure->path, MyIni());
  // The port reached the profile before my.ini refused it; the connections
  // were not tried.
  EXPECT_EQ(Slurp(Profile()), Replaced(profileBefore_, "[MySQL]\r\nport=3306\r\n", "[MySQL]\r\nport=3307\r\n"));
  EXPECT_EQ(Slurp(MyIni()), myIniBefore_);
  const Conclusion conclusion = Conclude(outcome, text::kMySQLDone);
  EXPECT_FALSE(conclusion.close);
  EXPECT_EQ(conclusion.message, std::optional<std::string>("无法写入文件“" + MyIni() +
                                                           "”（文件是只读的，或正被其他程序使用）。已经保存的设置保持不变，其余设置没有保存。"));
}

TEST_F(MySQLApply, AMissingMySQLFolderIsReportedAfterTheProfileWrite) {
  fs::remove_all(home_ + "/MySQL");
  const ApplyOutcome outcome = Apply({"3306", "100", "MyISAM", "latin1"});
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(outcome.failure->path, MyIni());
  EXPECT_EQ(Slurp(Profile()),
            Replaced(profileBefore_, "default-character-set=utf8", "default-character-set=latin1"));
  EXPECT_FALSE(Conclude(outcome, text::kMySQLDone).close);
}

// ---------------------------------------------------------------------------
// The password change

// How a Windows program gets its arguments back from its command line: the
// rules of CommandLineToArgvW and of the C runtime. The program name ends at
// the first blank, or at the closing quote when it starts with one, without any
// escapes. After it, arguments are separated by blanks outside quotes; 2n
// backslashes before a quote give n and the quote opens or closes quoting;
// 2n+1 give n and a literal quote; other backslashes are literal; inside quotes
// a doubled quote is a literal quote.
std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  const size_t n = line.size();
  std::string program;
  if (i < n && line[i] == '"') {
    ++i;
    while (i < n && line[i] != '"') program += line[i++];
    if (i < n) ++i;
  } else {
    while (i < n && line[i] != ' ' && line[i] != '\t') program += line[i++];
  }
  arguments.push_back(program);
  for (;;) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    std::string argument;
    bool quoted = false;
    while (i < n) {
      const char c = line[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        size_t backslashes = 0;
        while (i < n && line[i] == '\\') ++backslashes, ++i;
        if (i < n && line[i] == '"') {
          argument.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(backslashes, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          argument += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      argument += c;
      ++i;
    }
    arguments.push_back(argument);
  }
  return arguments;
}

TEST(SplitCommandLine, FollowsTheWindowsRules) {
  // The re-implementation itself, on the classic examples.
  EXPECT_EQ(SplitCommandLine(R"(p "a b c" d e)"), (std::vector<std::string>{"p", "a b c", "d", "e"}));
  EXPECT_EQ(SplitCommandLine(R"(p "ab\"c" "\\" d)"), (std::vector<std::string>{"p", "ab\"c", "\\", "d"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\b d"e f"g h)"), (std::vector<std::string>{"p", "a\\\\\\b", "de fg", "h"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\"b c d)"), (std::vector<std::string>{"p", "a\\\"b", "c", "d"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\\"b c" d e)"), (std::vector<std::string>{"p", "a\\\\b c", "d", "e"}));
  EXPECT_EQ(SplitCommandLine(R"("C:\Program Files\x" "" y)"), (std::vector<std::string>{"C:\\Program Files\\x", "", "y"}));
}

TEST(QuoteArgument, LeavesPlainTextAndQuotesTheRest) {
  const struct {
    std::string argument, quoted;
  } table[] = {
      {"lumo", "lumo"},
      {"back\\slash", "back\\slash"},  // no quote after it: backslashes stay single
      {"", "\"\""},
      {"two words", "\"two words\""},
      {"tab\there", "\"tab\there\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},
      {"ends in \\", "\"ends in \\\\\""},
      {"\"", "\"\\\"\""},
  };
  for (const auto& row : table) EXPECT_EQ(QuoteArgument(row.argument), row.quoted) << row.argument;
}

TEST(MySQLAdminCommandLine, SpellsTheToolAndItsArgumentsExactly) {
  const struct {
    std::string home, oldPassword, newPassword, commandLine;
  } table[] = {
      {"C:\\Tellurix", "lumo", "secret", "C:\\Tellurix\\MySQL\\bin\\mysqladmin -uroot -plumo password secret"},
      {"D:\\Program Files\\Tellurix", "old pass", "new \"quoted\" pass",
       "\"D:\\Program Files\\Tellurix\\MySQL\\bin\\mysqladmin\" -uroot \"-pold pass\" password \"new \\\"quoted\\\" pass\""},
      {"C:\\Tellurix", "", "", "C:\\Tellurix\\MySQL\\bin\\mysqladmin -uroot --password= password \"\""},
      {"C:\\Tellurix", "", "lumo", "C:\\Tellurix\\MySQL\\bin\\mysqladmin -uroot --password= password lumo"},
  };
  for (const auto& row : table) {
    EXPECT_EQ(MySQLAdminCommandLine(row.home, row.oldPassword, row.newPassword), row.commandLine);
  }
}

TEST(MySQLAdminCommandLine, GivesEachPasswordAsExactlyOneArgument) {
  const std::string passwords[] = {
      "lumo",        "two words",   " leading",       "trailing ",        "tab\there",     "say \"hi\"",
      "\"",          "\"\"",        "a\\\"b",         "a\\\\\"b c",       "ends in \\",    "ends\\",
      "\\\\server",  "中文 密码",   "x password y",   "lumo status",      "-",             "%PATH% ^&|<>",
      "'single'",    "",
  };
  for (const std::string& home : {std::string("C:\\Tellurix"), std::string("C:\\Program Files\\泰勒 Tellurix")}) {
    for (const std::string& oldPassword : passwords) {
      for (const std::string& newPassword : passwords) {
        const std::string line = MySQLAdminCommandLine(home, oldPassword, newPassword);
        SCOPED_TRACE(line);
        const std::vector<std::string> expected = {home + "\\MySQL\\bin\\mysqladmin", "-uroot",
                                                   oldPassword.empty() ? "--password=" : "-p" + oldPassword,
                                                   "password", newPassword};
        ASSERT_EQ(SplitCommandLine(line), expected);
      }
    }
  }
}

TEST(MySQLClientCommandLine, AsksForThePasswordInTheClientsWindow) {
  EXPECT_EQ(MySQLClientCommandLine("C:\\Tellurix"), "C:\\Tellurix\\mysql\\bin\\mysql.exe -uroot -p");
  EXPECT_EQ(MySQLClientCommandLine("C:\\Program Files\\Tellurix"),
            "\"C:\\Program Files\\Tellurix\\mysql\\bin\\mysql.exe\" -uroot -p");
}

TEST(ConcludePasswordChange, OnlyAReportedChangeIsCalledOne) {
  using Outcome = PasswordToolRun::Outcome;
  const std::string home = "C:\\Program Files\\Tellurix";
  const std::string changed =
      "MySQL密码已经修改！\r\n\r\n接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n"
      "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";
  const struct {
    const char* why;
    Outcome outcome;
    unsigned long exitCode;
    std::string output;
    std::string message;
    bool changed;
  } table[] = {
      {"exit code 0", Outcome::Exited, 0, "", changed, true},
      {"exit code 0 with a warning printed", Outcome::Exited, 0, "Warning: something\r\n", changed, true},
      {"an error, trimmed",
       Outcome::Exited, 1, " \r\nerror: Access denied for user 'root'\r\n\t",
       "MySQL密码没有修改：error: Access denied for user 'root'",
       false},
      {"two lines keep their line break",
       Outcome::Exited, 1, "mysqladmin: connect failed\r\nerror: Access denied\r\n",
       "MySQL密码没有修改：mysqladmin: connect failed\r\nerror: Access denied",
       false},
      {"nothing printed: the exit code", Outcome::Exited, 2, "\r\n ", "MySQL密码没有修改：mysqladmin的退出代码为2。", false},
      {"cannot start", Outcome::CannotStart, 0, "", "无法启动程序：" + home + "\\MySQL\\bin\\mysqladmin", false},
      {"time limit", Outcome::TimedOut, 0, "", "mysqladmin在30秒内没有结束，已被终止。MySQL密码可能没有修改。", false},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.why);
    PasswordToolRun run;
    run.outcome = row.outcome;
    run.exitCode = row.exitCode;
    run.output = row.output;
    const PasswordConclusion conclusion = ConcludePasswordChange(run, home);
    EXPECT_EQ(conclusion.message, row.message);
    EXPECT_EQ(conclusion.changed, row.changed);
  }
  // The message names the time limit the dialog really waits.
  EXPECT_NE(std::string(text::kPasswordToolTimedOut).find(std::to_string(kPasswordToolTimeLimitMs / 1000) + "秒"),
            std::string::npos);
}

}  // namespace
