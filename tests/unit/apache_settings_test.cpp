#include "dialogs/apache_settings.h"

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
#include <set>
#include <string>
#include <vector>

#include "dialogs/number_field.h"
#include "dialogs/settings_apply.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace {

using testfiles::TempFolder;
using testfiles::Slurp;
using testfiles::Put;

namespace fs = std::filesystem;
namespace d = ids::fapache;
using tellurix::ApacheForm;
using tellurix::FieldChange;
using tellurix::StackWrite;

const std::string kNotNumber = "Apache端口请填数字！";
const std::string kNotPositive = "Apache端口请填正整数！";
const std::string kRootMissing = "网站的目录不存在！";
const std::string kDone = "设置成功，重起Apache生效。";

// ---------------------------------------------------------------------------
// Controls

TEST(ApacheDialogControls, HaveTheirKindsCaptionsAndPlaces) {
  using K = tellurix::ControlLayout::Kind;
  struct Row {
    int id;
    K kind;
    std::string caption;
    int container;
    tellurix::Rect place;
  };
  const Row rows[] = {
      {d::Frame1, K::Frame, "Apache设置", 0, {16, 16, 321, 177}},
      {d::Label1, K::Label, "端口：", d::Frame1, {40, 24, 49, 17}},
      {d::listen, K::Edit, "", d::Frame1, {96, 24, 57, 18}},
      {d::Label2, K::Label, "网站目录：", d::Frame1, {16, 48, 73, 25}},
      {d::root, K::Edit, "", d::Frame1, {96, 48, 129, 18}},
      {d::Command3, K::Button, "浏览", d::Frame1, {240, 48, 41, 17}},
      {d::Label3, K::Label, "网站名称：", d::Frame1, {16, 80, 73, 25}},
      {d::sname, K::Edit, "", d::Frame1, {96, 80, 185, 18}},
      {d::Label4, K::Label, "站长信箱：", d::Frame1, {16, 112, 65, 17}},
      {d::admin, K::Edit, "", d::Frame1, {96, 112, 185, 18}},
      {d::Label5, K::Label, "默认首页：", d::Frame1, {16, 144, 65, 17}},
      {d::index, K::Edit, "", d::Frame1, {96, 144, 185, 18}},
      {d::Command2, K::Button, "取消", 0, {184, 200, 57, 25}},
      {d::Command1, K::Button, "确定", 0, {264, 200, 57, 25}},
  };
  const auto& table = tellurix::ApacheDialogControls();
  ASSERT_EQ(table.size(), std::size(rows));
  EXPECT_EQ(table.front().id, d::Frame1) << "the frame comes first, below the controls in it";
  std::set<int> seen;
  for (const Row& row : rows) {
    EXPECT_TRUE(seen.insert(row.id).second);
    auto found = std::find_if(table.begin(), table.end(), [&](const auto& c) { return c.id == row.id; });
    ASSERT_NE(found, table.end()) << "control " << row.id;
    EXPECT_EQ(found->kind, row.kind) << row.id;
    EXPECT_EQ(std::string(found->caption), row.caption) << row.id;
    EXPECT_EQ(found->container, row.container) << row.id;
    const tellurix::Rect p = found->place;
    EXPECT_EQ((std::vector<int>{p.left, p.top, p.width, p.height}),
              (std::vector<int>{row.place.left, row.place.top, row.place.width, row.place.height}))
        << row.id;
    const tellurix::Rect client = tellurix::ClientRect(*found, table);
    EXPECT_LE(client.left + client.width, tellurix::kApacheClientWidth) << row.id;
    EXPECT_LE(client.top + client.height, tellurix::kApacheClientHeight) << row.id;
  }
  EXPECT_EQ(tellurix::kApacheClientWidth, 352);
  EXPECT_EQ(tellurix::kApacheClientHeight, 228);
}

// ---------------------------------------------------------------------------
// Checks on "确定"

// The message a confirmation shows for this port text, with an existing site
// directory; empty when the port passes.
std::string PortMessage(const std::string& port) {
  ApacheForm form{port, "admin@localhost", "localhost", "/srv/www", "index.php"};
  auto problem = tellurix::CheckApacheForm(form, true);
  return problem ? std::string(*problem) : std::string();
}

TEST(ApachePort, EachTextGetsItsMessage) {
  const std::string sixteen = "1234567890123456";
  const std::string fifteen = "123456789012345";
  const struct {
    std::string text;
    std::string message;  // empty: accepted
  } table[] = {
      // Cannot be read as a number at all.
      {"abc", kNotNumber},
      {"", kNotNumber},
      {" ", kNotNumber},
      {".", kNotNumber},
      {"e5", kNotNumber},
      {"1e", kNotNumber},
      {"1e+", kNotNumber},
      {"--1", kNotNumber},
      {"+-1", kNotNumber},
      {"1.2.3", kNotNumber},
      {"８０", kNotNumber},  // full-width digits are not digits of a number
      {"1,000", kNotNumber},  // no digit-group separators
      {"$80", kNotNumber},
      {"0x50", kNotNumber},
      {"8 0", kNotNumber},
      {"80abc", kNotNumber},
      {"80\n", kNotNumber},
      // A number, but not one to fifteen digits with a non-zero first digit.
      {"0", kNotPositive},
      {"00", kNotPositive},
      {"-80", kNotPositive},
      {"080", kNotPositive},
      {"+80", kNotPositive},
      {"80.0", kNotPositive},
      {"80.", kNotPositive},
      {".5", kNotPositive},
      {"8e1", kNotPositive},
      {"8E1", kNotPositive},
      {"1e-5", kNotPositive},
      {" 80", kNotPositive},
      {"80 ", kNotPositive},
      {"\t80", kNotPositive},
      {sixteen, kNotPositive},
      {"99999999999999999999", kNotPositive},
      {"1000000000000000", kNotPositive},
      // Accepted.
      {"81", ""},
      {"1", ""},
      {"8080", ""},
      {fifteen, ""},
      {"999999999999999", ""},
      {"100000000000000", ""},
  };
  for (const auto& row : table) EXPECT_EQ(PortMessage(row.text), row.message) << "port \"" << row.text << "\"";
}

TEST(ApachePort, ReadsAsNumberFollowsTheDocumentedGrammar) {
  // Blanks, a sign, digits with at most one point, an exponent, blanks.
  for (const char* text : {"8", "8.", ".5", "80.0", "+8", "-8", "\t8\t", " 8 ", "8e1", "8E+1", "8e-1", "1.5e3", "007"})
    EXPECT_TRUE(tellurix::ReadsAsNumber(text)) << "\"" << text << "\"";
  for (const char* text : {"", " ", ".", "e5", "+", "-", "8e", "8e+", "8..", ".e1", "++8", "+ 8", "1,000", "$8",
                           "0x8", "８", "8 8", "8\n", "8e1.5", "inf", "NaN"})
    EXPECT_FALSE(tellurix::ReadsAsNumber(text)) << "\"" << text << "\"";
}

TEST(ApachePort, AWholePositiveNumberIsOneToFifteenDigitsWithoutALeadingZero) {
  for (const char* text : {"1", "9", "10", "65535", "123456789012345"})
    EXPECT_TRUE(tellurix::IsPositiveWholeNumber(text)) << "\"" << text << "\"";
  for (const char* text : {"", "0", "01", "1234567890123456", "+1", "1.", " 1", "1 ", "1e1", "a"})
    EXPECT_FALSE(tellurix::IsPositiveWholeNumber(text)) << "\"" << text << "\"";
}

TEST(ApacheChecks, TheSiteDirectoryIsCheckedBeforeThePort) {
  const struct {
    std::string port;
    bool rootExists;
    std::string message;
  } table[] = {
      {"abc", false, kRootMissing},  // both wrong: only the directory is reported
      {"0", false, kRootMissing},
      {"80", false, kRootMissing},
      {"abc", true, kNotNumber},
      {"0", true, kNotPositive},
      {"80", true, ""},
  };
  for (const auto& row : table) {
    ApacheForm form{row.port, "", "", "/srv/www", ""};
    auto problem = tellurix::CheckApacheForm(form, row.rootExists);
    EXPECT_EQ(problem ? std::string(*problem) : std::string(), row.message)
        << "port \"" << row.port << "\", directory " << (row.rootExists ? "exists" : "missing");
  }
}

TEST(ApacheChecks, TheOtherFieldsAreNotValidated) {
  ApacheForm form{"80", "", "", "", ""};
  EXPECT_EQ(tellurix::CheckApacheForm(form, true), std::nullopt);
  form = {"80", "no mail \"at\" all", "名 字", "x", "\t"};
  EXPECT_EQ(tellurix::CheckApacheForm(form, true), std::nullopt);
}

// ---------------------------------------------------------------------------
// Loading

TEST(ApacheLoad, ReadsTheFiveKeysInOrderAndFillsTheMatchingFields) {
  std::vector<std::string> calls;
  const ApacheForm form = tellurix::LoadApacheForm([&](std::string_view key) {
    calls.emplace_back(key);
    return "<" + std::string(key) + ">";
  });
  EXPECT_EQ(calls, (std::vector<std::string>{"ServerAdmin", "Listen", "ServerName", "DocumentRoot", "DirectoryIndex"}));
  EXPECT_EQ(form.listen, "<Listen>");
  EXPECT_EQ(form.admin, "<ServerAdmin>");
  EXPECT_EQ(form.sname, "<ServerName>");
  EXPECT_EQ(form.root, "<DocumentRoot>");
  EXPECT_EQ(form.index, "<DirectoryIndex>");
}

TEST(ApacheLoad, MissingEntriesGiveEmptyFields) {
  const ApacheForm form = tellurix::LoadApacheForm([](std::string_view) { return std::string(); });
  EXPECT_EQ(form.listen, "");
  EXPECT_EQ(form.admin, "");
  EXPECT_EQ(form.sname, "");
  EXPECT_EQ(form.root, "");
  EXPECT_EQ(form.index, "");
}

// ---------------------------------------------------------------------------
// The writes of a confirmation

const std::string kConf = "/stack/Apache2/conf/httpd.conf";

// One change as text: the profile entry, then each write into the stack.
std::string Describe(const FieldChange& change) {
  std::string text = change.profileKey + "=" + change.value;
  for (const StackWrite& w : change.writes) {
    text += " | ";
    text += w.kind == StackWrite::Kind::Directive ? "directive " : "ini ";
    text += w.file + " [" + w.section + "] " + w.key + " " + w.value;
  }
  return text;
}
std::vector<std::string> Describe(const std::vector<FieldChange>& changes) {
  std::vector<std::string> texts;
  for (const auto& change : changes) texts.push_back(Describe(change));
  return texts;
}
std::string Line(const std::string& key, const std::string& profileValue, const std::string& directiveValue) {
  return key + "=" + profileValue + " | directive " + kConf + " [] " + key + " " + directiveValue;
}

const ApacheForm kLoaded{"80", "admin@localhost", "localhost", "D:\\www", "index.php index.html"};

TEST(ApacheChanges, EveryChangedValueInTheOrderPortMailboxNameDirectoryHomePage) {
  const ApacheForm current{"8080", "root@example.test", "dev.local", "E:\\sites\\网站 一", "default.htm"};
  EXPECT_EQ(Describe(tellurix::ApacheChanges(kLoaded, current, kConf)),
            (std::vector<std::string>{
                Line("Listen", "8080", "8080"),
                Line("ServerAdmin", "root@example.test", "root@example.test"),
                Line("ServerName", "dev.local", "dev.local"),
                // Stored as typed, written in quotes with the backslashes kept.
                Line("DocumentRoot", "E:\\sites\\网站 一", "\"E:\\sites\\网站 一\""),
                Line("DirectoryIndex", "default.htm", "default.htm"),
            }));
}

TEST(ApacheChanges, OnlyValuesThatDifferExactlyFromTheLoadedOnes) {
  const struct {
    const char* what;
    ApacheForm current;
    std::vector<std::string> expected;
  } table[] = {
      {"nothing changed", kLoaded, {}},
      {"letter case of the name", {"80", "admin@localhost", "LocalHost", "D:\\www", "index.php index.html"},
       {Line("ServerName", "LocalHost", "LocalHost")}},
      {"letter case of the directory", {"80", "admin@localhost", "localhost", "d:\\WWW", "index.php index.html"},
       {Line("DocumentRoot", "d:\\WWW", "\"d:\\WWW\"")}},
      {"a trailing space", {"80", "admin@localhost ", "localhost", "D:\\www", "index.php index.html"},
       {Line("ServerAdmin", "admin@localhost ", "admin@localhost ")}},
      {"emptied fields", {"80", "", "localhost", "", ""},
       {Line("ServerAdmin", "", ""), Line("DocumentRoot", "", "\"\""), Line("DirectoryIndex", "", "")}},
      {"home page and port", {"81", "admin@localhost", "localhost", "D:\\www", "index.htm"},
       {Line("Listen", "81", "81"), Line("DirectoryIndex", "index.htm", "index.htm")}},
      {"forward slashes stay", {"80", "admin@localhost", "localhost", "D:/www", "index.php index.html"},
       {Line("DocumentRoot", "D:/www", "\"D:/www\"")}},
  };
  for (const auto& row : table)
    EXPECT_EQ(Describe(tellurix::ApacheChanges(kLoaded, row.current, kConf)), row.expected) << row.what;
}

TEST(ApacheChanges, FromAnEmptyProfileOnlyTheFilledFieldsAreWritten) {
  const ApacheForm empty{};
  const ApacheForm current{"80", "", "", "C:\\www", "index.php"};
  EXPECT_EQ(Describe(tellurix::ApacheChanges(empty, current, kConf)),
            (std::vector<std::string>{Line("Listen", "80", "80"), Line("DocumentRoot", "C:\\www", "\"C:\\www\""),
                                      Line("DirectoryIndex", "index.php", "index.php")}));
}

TEST(ApacheChanges, HttpdConfLiesBelowTheProgramDirectory) {
  // Natively the backslashes of the fixed relative path become the separator.
  EXPECT_EQ(tellurix::HttpdConfPath("/opt/tellurix stack"), "/opt/tellurix stack/Apache2/conf/httpd.conf");
}

// ---------------------------------------------------------------------------
// Applying the writes to real files



const std::string& DemoHttpdConf() {
  static const std::string bytes = Slurp(std::string(TELLURIX_SOURCE_DIR) + "/demo/stack/Apache2/conf/httpd.conf");
  return bytes;
}

// `bytes` with the one whole line `from` replaced by `to` (lines end in CR LF).
std::string WithLine(std::string bytes, const std::string& from, const std::string& to) {
  const std::string needle = "\r\n" + from + "\r\n";
  const size_t at = bytes.find(needle);
  if (at == std::string::npos || bytes.find(needle, at + 1) != std::string::npos) {
    ADD_FAILURE() << "the demo httpd.conf does not hold the line \"" << from << "\" exactly once";
    return bytes;
  }
  return bytes.replace(at + 2, from.size(), to);
}

// A program directory with the profile and a copy of the demo httpd.conf.
class ApacheApply : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(DemoHttpdConf().empty()) << "demo httpd.conf not found";
    fs::create_directories(folder_.path() + "/Apache2/conf");
    Put(conf_, DemoHttpdConf());
  }
  void TearDown() override {
    // Make everything removable again.
    for (const std::string& path : {conf_, profile_})
      if (fs::exists(path)) ::chmod(path.c_str(), 0644);
  }

  tellurix::ApplyOutcome Apply(const ApacheForm& loaded, const ApacheForm& current) {
    return tellurix::ApplyChanges(profile_, "Apache", tellurix::ApacheChanges(loaded, current, conf_));
  }

  TempFolder folder_;
  const std::string conf_ = tellurix::HttpdConfPath(folder_.path());
  const std::string profile_ = folder_.path() + "/Tellurix.ini";
};

TEST_F(ApacheApply, WritesTheProfileAndRewritesTheDirectiveLines) {
  const std::string profileBefore =
      "; the panel's settings\r\n[Apache]\r\nListen=80\r\nServerAdmin=admin@localhost\r\nServerName=localhost\r\n"
      "DocumentRoot=C:\\stack\\www\r\nDirectoryIndex=index.php index.html\r\n\r\n[PHP]\r\nshort_open_tag=On\r\n";
  Put(profile_, profileBefore);
  const ApacheForm loaded{"80", "admin@localhost", "localhost", "C:\\stack\\www", "index.php index.html"};
  const ApacheForm current{"8080", "webmaster@example.test", "dev.local", "D:\\网站", "default.htm"};

  const auto outcome = Apply(loaded, current);
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.failure.has_value()) << outcome.failure->path << ": " << outcome.failure->detail;
  EXPECT_TRUE(outcome.missingDirectives.empty());

  // The profile and httpd.conf are stored in the ANSI code page (936): 网站 is CD F8 D5 BE.
  EXPECT_EQ(Slurp(profile_),
            "; the panel's settings\r\n[Apache]\r\nListen=8080\r\nServerAdmin=webmaster@example.test\r\n"
            "ServerName=dev.local\r\nDocumentRoot=D:\\\xCD\xF8\xD5\xBE\r\nDirectoryIndex=default.htm\r\n\r\n[PHP]\r\n"
            "short_open_tag=On\r\n");
  std::string expected = DemoHttpdConf();
  expected = WithLine(expected, "Listen 80", "Listen 8080");
  expected = WithLine(expected, "ServerAdmin admin@localhost", "ServerAdmin webmaster@example.test");
  expected = WithLine(expected, "ServerName localhost:80", "ServerName dev.local");
  expected = WithLine(expected, "DocumentRoot \"@STACK@/www\"", "DocumentRoot \"D:\\\xCD\xF8\xD5\xBE\"");
  // The indented line loses its indentation; comments that name a directive stay.
  expected = WithLine(expected, "    DirectoryIndex index.php index.html", "DirectoryIndex default.htm");
  EXPECT_EQ(Slurp(conf_), expected);
  EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"Apache2", "Apache2/conf", "Apache2/conf/httpd.conf", "Tellurix.ini"}))
      << "no temporary files are left behind";

  const auto conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message, kDone);
  EXPECT_TRUE(conclusion.close);
}

TEST_F(ApacheApply, AMissingProfileIsCreatedWithTheChangedEntriesInTheirOrder) {
  const ApacheForm current{"80", "", "", "C:\\www", "index.php"};
  const auto outcome = Apply(ApacheForm{}, current);
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(Slurp(profile_), "[Apache]\r\nListen=80\r\nDocumentRoot=C:\\www\r\nDirectoryIndex=index.php\r\n");
  std::string expected = WithLine(DemoHttpdConf(), "DocumentRoot \"@STACK@/www\"", "DocumentRoot \"C:\\www\"");
  expected = WithLine(expected, "    DirectoryIndex index.php index.html", "DirectoryIndex index.php");
  // "Listen 80" is rewritten to the same text.
  EXPECT_EQ(Slurp(conf_), expected);
  EXPECT_EQ(tellurix::Conclude(outcome, text::kApacheDone).message, kDone);
}

TEST_F(ApacheApply, AnEmptiedFieldIsStoredEmptyAndItsDirectiveKeepsOnlyTheSpace) {
  Put(profile_, "[Apache]\r\nServerAdmin=admin@localhost\r\n");
  ApacheForm loaded{"80", "admin@localhost", "localhost", "C:\\www", "index.php"};
  ApacheForm current = loaded;
  current.admin = "";
  const auto outcome = Apply(loaded, current);
  EXPECT_TRUE(outcome.written);
  EXPECT_EQ(Slurp(profile_), "[Apache]\r\nServerAdmin=\r\n");
  EXPECT_EQ(Slurp(conf_), WithLine(DemoHttpdConf(), "ServerAdmin admin@localhost", "ServerAdmin "));
}

TEST_F(ApacheApply, OnlyLinesThatAreTheDirectiveItselfAreRewritten) {
  const std::string before =
      "#Listen 80\r\n"
      "Listen 80\r\n"
      "   Listen 8000\r\n"
      "\tListen 80\r\n"
      "ListenBacklog 511\r\n"
      "Listen\t127.0.0.1:80\r\n"
      "Listen\r\n"
      "listen 80\r\n"
      "Listener 80\r\n";
  Put(conf_, before);
  ApacheForm loaded{"80", "", "", "", ""};
  ApacheForm current = loaded;
  current.listen = "81";
  const auto outcome = Apply(loaded, current);
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_TRUE(outcome.missingDirectives.empty());
  EXPECT_EQ(Slurp(conf_),
            "#Listen 80\r\n"
            "Listen 81\r\n"
            "Listen 81\r\n"
            "\tListen 80\r\n"
            "ListenBacklog 511\r\n"
            "Listen 81\r\n"
            "Listen 81\r\n"
            "listen 80\r\n"
            "Listener 80\r\n");
}

TEST_F(ApacheApply, ADirectiveWithoutALineIsNamedAndNotAdded) {
  std::string conf = WithLine(DemoHttpdConf(), "ServerName localhost:80", "#ServerName localhost:80");
  conf = WithLine(conf, "    DirectoryIndex index.php index.html", "    DirectoryIndexes index.php");
  Put(conf_, conf);
  Put(profile_, "[Apache]\r\n");
  const ApacheForm loaded{"80", "admin@localhost", "localhost", "C:\\www", "index.php"};
  const ApacheForm current{"81", "admin@localhost", "dev.local", "C:\\www", "home.htm"};

  const auto outcome = Apply(loaded, current);
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.missingDirectives, (std::vector<std::string>{"ServerName", "DirectoryIndex"}));
  // Every value is still stored in the profile.
  EXPECT_EQ(Slurp(profile_), "[Apache]\r\nListen=81\r\nServerName=dev.local\r\nDirectoryIndex=home.htm\r\n");
  EXPECT_EQ(Slurp(conf_), WithLine(conf, "Listen 80", "Listen 81"));

  const auto conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message,
            "设置已保存，但httpd.conf中没有ServerName、DirectoryIndex指令，相应的设置不会生效（程序不会自动添加）。");
  EXPECT_TRUE(conclusion.close);
}

TEST_F(ApacheApply, ListenBacklogAloneDoesNotCountAsAListenLine) {
  const std::string conf = "ListenBacklog 511\r\nServerName localhost\r\n";
  Put(conf_, conf);
  const ApacheForm loaded{"80", "", "", "", ""};
  ApacheForm current = loaded;
  current.listen = "81";
  const auto outcome = Apply(loaded, current);
  EXPECT_EQ(outcome.missingDirectives, std::vector<std::string>{"Listen"});
  EXPECT_EQ(Slurp(conf_), conf);
  EXPECT_EQ(tellurix::Conclude(outcome, text::kApacheDone).message,
            "设置已保存，但httpd.conf中没有Listen指令，相应的设置不会生效（程序不会自动添加）。");
}

TEST_F(ApacheApply, AReadOnlyHttpdConfStopsTheWritesAndIsNamed) {
  ASSERT_EQ(::chmod(conf_.c_str(), 0444), 0);
  Put(profile_, "[Apache]\r\nListen=80\r\nServerAdmin=admin@localhost\r\n");
  const ApacheForm loaded{"80", "admin@localhost", "localhost", "C:\\www", "index.php"};
  const ApacheForm current{"8080", "root@example.test", "localhost", "C:\\www", "index.php"};

  const auto outcome = Apply(loaded, current);
  EXPECT_TRUE(outcome.written) << "the port reached the profile";
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(outcome.failure->kind, tellurix::ErrorKind::AccessDenied);
  EXPECT_EQ(outcome.failure->path, conf_);
  // What was written before the failure stays; nothing after it is tried.
  EXPECT_EQ(Slurp(profile_), "[Apache]\r\nListen=8080\r\nServerAdmin=admin@localhost\r\n");
  EXPECT_EQ(Slurp(conf_), DemoHttpdConf());

  const auto conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message, "无法写入文件“" + conf_ +
                                    "”（文件是只读的，或正被其他程序使用）。已经保存的设置保持不变，其余设置没有保存。");
  EXPECT_FALSE(conclusion.close) << "the dialog stays open with what was typed";
}

TEST_F(ApacheApply, AReadOnlyProfileStopsBeforeHttpdConf) {
  const std::string profileBefore = "[Apache]\r\nListen=80\r\n";
  Put(profile_, profileBefore);
  ASSERT_EQ(::chmod(profile_.c_str(), 0444), 0);
  const ApacheForm loaded{"80", "", "", "", ""};
  ApacheForm current = loaded;
  current.listen = "81";

  const auto outcome = Apply(loaded, current);
  EXPECT_FALSE(outcome.written);
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(outcome.failure->path, profile_);
  EXPECT_EQ(Slurp(profile_), profileBefore);
  EXPECT_EQ(Slurp(conf_), DemoHttpdConf());
  const auto conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  ASSERT_TRUE(conclusion.message.has_value());
  EXPECT_EQ(conclusion.message->rfind("无法写入文件“" + profile_ + "”", 0), 0u) << *conclusion.message;
  EXPECT_FALSE(conclusion.close);
}

TEST_F(ApacheApply, AMissingConfFolderIsReportedAndNothingIsCreated) {
  fs::remove_all(folder_.path() + "/Apache2");
  const ApacheForm loaded{"80", "", "", "", ""};
  ApacheForm current = loaded;
  current.listen = "81";

  const auto outcome = Apply(loaded, current);
  EXPECT_TRUE(outcome.written);
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(outcome.failure->kind, tellurix::ErrorKind::NotFound);
  EXPECT_EQ(Slurp(profile_), "[Apache]\r\nListen=81\r\n");
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"Tellurix.ini"});
  const auto conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message,
            "无法写入文件“" + conf_ + "”（文件或文件夹不存在）。已经保存的设置保持不变，其余设置没有保存。");
  EXPECT_FALSE(conclusion.close);
}

TEST_F(ApacheApply, NothingChangedTouchesNoFileShowsNothingAndCloses) {
  const std::string profileBefore = "[Apache]\r\nListen=80\r\n";
  Put(profile_, profileBefore);
  struct stat confBefore {}, profileStatBefore {};
  ASSERT_EQ(::stat(conf_.c_str(), &confBefore), 0);
  ASSERT_EQ(::stat(profile_.c_str(), &profileStatBefore), 0);

  const auto outcome = Apply(kLoaded, kLoaded);
  EXPECT_FALSE(outcome.written);
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_TRUE(outcome.missingDirectives.empty());
  EXPECT_EQ(Slurp(profile_), profileBefore);
  EXPECT_EQ(Slurp(conf_), DemoHttpdConf());
  struct stat confAfter {}, profileStatAfter {};
  ASSERT_EQ(::stat(conf_.c_str(), &confAfter), 0);
  ASSERT_EQ(::stat(profile_.c_str(), &profileStatAfter), 0);
  // Same inode: an atomic rewrite would have replaced the file.
  EXPECT_EQ(confAfter.st_ino, confBefore.st_ino);
  EXPECT_EQ(profileStatAfter.st_ino, profileStatBefore.st_ino);

  const auto conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message, std::nullopt);
  EXPECT_TRUE(conclusion.close);
}

// ---------------------------------------------------------------------------
// What the user is told

TEST(ApacheConclusion, AFailureOutranksMissingDirectivesAndSuccess) {
  tellurix::ApplyOutcome outcome;
  outcome.written = true;
  outcome.missingDirectives = {"ServerName"};
  outcome.failure = tellurix::Error{tellurix::ErrorKind::AccessDenied, "C:\\s\\Apache2\\conf\\httpd.conf", "x"};
  auto conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message, "无法写入文件“C:\\s\\Apache2\\conf\\httpd.conf”（文件是只读的，或正被其他程序使用）。"
                                "已经保存的设置保持不变，其余设置没有保存。");
  EXPECT_FALSE(conclusion.close);

  outcome.failure.reset();
  conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message,
            "设置已保存，但httpd.conf中没有ServerName指令，相应的设置不会生效（程序不会自动添加）。");
  EXPECT_TRUE(conclusion.close);

  outcome.missingDirectives.clear();
  conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message, kDone);
  EXPECT_TRUE(conclusion.close);

  outcome.written = false;
  conclusion = tellurix::Conclude(outcome, text::kApacheDone);
  EXPECT_EQ(conclusion.message, std::nullopt);
  EXPECT_TRUE(conclusion.close);
}

TEST(ApacheConclusion, EveryKindOfWriteFailureNamesTheFileAndTheReason) {
  using tellurix::ErrorKind;
  const struct {
    ErrorKind kind;
    std::string reason;
  } table[] = {
      {ErrorKind::NotFound, "文件或文件夹不存在"},
      {ErrorKind::AccessDenied, "文件是只读的，或正被其他程序使用"},
      {ErrorKind::DiskFull, "磁盘已满"},
      {ErrorKind::BadEncoding, "其中有系统编码无法保存的文字"},
      {ErrorKind::InvalidArgument, "内容中有不能写入的换行等字符"},
      {ErrorKind::Other, "写入失败"},
  };
  for (const auto& row : table) {
    EXPECT_EQ(tellurix::CannotWriteMessage({row.kind, "D:\\网站\\Tellurix.ini", "detail"}),
              "无法写入文件“D:\\网站\\Tellurix.ini”（" + row.reason + "）。已经保存的设置保持不变，其余设置没有保存。");
  }
}

}  // namespace
