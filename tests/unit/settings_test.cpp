// The settings dialogs as data (what loads, what is checked in which order, what
// is written where and in which order), the password change, every window's
// layout, and the small decisions of the About dialog, the phpinfo page and the
// tray icon.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "about/about_look.h"
#include "app/main_layout.h"
#include "app/quick_access.h"
#include "app/tray_policy.h"
#include "core/directive_rewriter.h"
#include "core/profile_store.h"
#include "core/text_lines.h"
#include "dialogs/mysql_settings.h"
#include "dialogs/settings_form.h"
#include "dialogs/site_manager.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
void Put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Every control lies inside its frame, and every frame inside the client area;
// identifiers are unique within a window.
TEST(Layout, EveryWindowsControlsFitTheirFramesAndHaveUniqueIds) {
  std::vector<ControlLayout> about = AboutDialogControls();
  about.push_back({ids::fabout::Image1, ControlLayout::Kind::Label, "", 0, kImage1Place});
  about.push_back({ids::fabout::Label1, ControlLayout::Kind::Label, "", 0, kLabel1Place});
  const struct {
    const char* name;
    std::vector<ControlLayout> table;
    int width, height;
  } windows[] = {
      {"main", MainWindowControls(), kMainClientWidth, kMainClientHeight},
      {"apache", ApacheSettingsForm().controls, ApacheSettingsForm().clientWidth, ApacheSettingsForm().clientHeight},
      {"php", PhpSettingsForm().controls, PhpSettingsForm().clientWidth, PhpSettingsForm().clientHeight},
      {"mysql", MySQLSettingsForm().controls, MySQLSettingsForm().clientWidth, MySQLSettingsForm().clientHeight},
      {"site", SiteManagerControls(), kSiteClientWidth, kSiteClientHeight},
      {"about", about, kAboutClientWidth, kAboutClientHeight},
  };
  for (const auto& window : windows) {
    std::set<int> seen;
    for (const ControlLayout& control : window.table) {
      SCOPED_TRACE(std::string(window.name) + " control " + std::to_string(control.id));
      EXPECT_TRUE(seen.insert(control.id).second);
      const Rect r = ClientRect(control, window.table);
      EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.left + r.width <= window.width && r.top + r.height <= window.height);
      if (control.container == 0) continue;
      const auto frame = std::find_if(window.table.begin(), window.table.end(),
                                      [&](const ControlLayout& c) { return c.id == control.container; });
      ASSERT_NE(frame, window.table.end());
      EXPECT_EQ(frame->kind, ControlLayout::Kind::Frame);
      EXPECT_LT(frame - window.table.begin(), &control - window.table.data()) << "frames come first";
      EXPECT_TRUE(control.place.left + control.place.width <= frame->place.width &&
                  control.place.top + control.place.height <= frame->place.height);
    }
  }
}

// Each form's fields are bound to a control of its own table, and every check
// names one of its fields.
TEST(SettingsForm, FieldsAndChecksNameControlsOfTheForm) {
  for (const SettingsForm* form : {&ApacheSettingsForm(), &PhpSettingsForm(), &MySQLSettingsForm()}) {
    std::set<int> controls, fields;
    for (const ControlLayout& c : form->controls) controls.insert(c.id);
    for (const SettingsField& f : form->fields) EXPECT_TRUE(controls.count(f.control) && fields.insert(f.control).second);
    for (const SettingsCheck& c : form->checks) EXPECT_TRUE(fields.count(c.control));
    EXPECT_TRUE(controls.count(form->okButton) && controls.count(form->cancelButton));
  }
}

TEST(SettingsForm, DropDownListsShowStoredValuesByExactItem) {
  const SettingsField& onOff = PhpSettingsForm().fields[0];
  const SettingsField& engine = MySQLSettingsForm().fields[2];
  const SettingsField& character = MySQLSettingsForm().fields[3];
  const struct { const SettingsField* field; const char* stored; int index; } rows[] = {
      {&onOff, "On", 0},       {&onOff, "Off", 1},      {&onOff, "on", 1},        {&onOff, "", 1},
      {&engine, "INNODB", 0},  {&engine, "InnoDB", 1},  {&engine, "MyISAM", 1},   {&engine, "", 1},
      {&character, "gbk", 2}, {&character, "latin1", 3}, {&character, "UTF8", -1}, {&character, "", -1},
  };
  for (const auto& row : rows) EXPECT_EQ(ItemIndex(*row.field, row.stored), row.index) << row.stored;
}

TEST(SettingsForm, ChecksRunInOrderAndStopAtTheFirstFailure) {
  const SettingsForm& apache = ApacheSettingsForm();  // listen, admin, sname, root, index
  const SettingsForm& php = PhpSettingsForm();        // five switches, max_time, upload_file
  const SettingsForm& mysql = MySQLSettingsForm();    // port, connections, engine, character
  auto folder = [](const std::string& path) { return path == "D:\\www"; };
  const struct {
    const SettingsForm* form;
    FieldTexts texts;
    const char* message;  // empty: accepted
  } rows[] = {
      {&apache, {"x", "", "", "D:\\nowhere", ""}, text::kRootMissing},  // the folder before the port
      {&apache, {"x", "", "", "D:\\www", ""}, text::kApachePortNotNumber},
      {&apache, {"8.0", "", "", "D:\\www", ""}, text::kApachePortNotPositive},
      {&apache, {"8080", "", "", "D:\\www", ""}, ""},
      {&php, {"On", "On", "On", "On", "On", "3O", "x"}, text::kMaxTimeNotNumber},
      {&php, {"On", "On", "On", "On", "On", "1e3", "x"}, text::kMaxTimeNotPositive},
      {&php, {"On", "On", "On", "On", "On", "30", "x"}, text::kUploadNotNumber},
      {&php, {"On", "On", "On", "On", "On", "30", "08"}, text::kUploadNotPositive},
      {&mysql, {"33o6", "x", "", ""}, text::kMySQLPortNotNumber},
      {&mysql, {"-1", "x", "", ""}, text::kMySQLPortNotPositive},
      {&mysql, {"3306", " 1", "", ""}, text::kConnectionsNotPositive},
      {&mysql, {"3306", "1,000", "", ""}, text::kConnectionsNotNumber},
      {&mysql, {"3306", "100", "", ""}, ""},
  };
  for (const auto& row : rows) {
    const auto problem = CheckSettings(*row.form, row.texts, folder);
    EXPECT_EQ(problem.value_or(""), row.message) << row.form->caption << " " << row.texts[0];
  }
}

// One line per write: "section key=value" (directives without a section), in order.
std::vector<std::string> Writes(const std::vector<FieldChange>& changes) {
  std::vector<std::string> lines;
  for (const FieldChange& change : changes) {
    lines.push_back("profile " + change.profileKey + "=" + change.value);
    for (const StackWrite& w : change.writes) {
      lines.push_back(fs::path(w.file).filename().string() + (w.section.empty() ? "" : " [" + w.section + "]") + " " +
                      w.key + "=" + w.value);
    }
  }
  return lines;
}

TEST(SettingsForm, OnlyChangedFieldsAreWrittenProfileFirstInFieldOrder) {
  const auto apache = SettingsChanges(ApacheSettingsForm(), {"80", "a@b", "s", "C:\\old", "i"},
                                      {"8080", "a@b", "s", "D:\\My Site\\", "i"}, "/stack");
  EXPECT_EQ(Writes(apache), (std::vector<std::string>{"profile Listen=8080", "httpd.conf Listen=8080",
                                                      "profile DocumentRoot=D:\\My Site\\",
                                                      "httpd.conf DocumentRoot=\"D:\\My Site\\\""}));
  EXPECT_EQ(apache[0].writes[0].file, "/stack/Apache2/conf/httpd.conf");
  const auto php = SettingsChanges(PhpSettingsForm(), {"Off", "On", "Off", "On", "Off", "30", "2"},
                                   {"On", "On", "Off", "On", "Off", "30", "8"}, "/stack");
  EXPECT_EQ(Writes(php), (std::vector<std::string>{"profile short_open_tag=On", "php.ini [PHP] short_open_tag=On",
                                                   "profile upload_max_filesize=8", "php.ini [PHP] upload_max_filesize=8M",
                                                   "php.ini [PHP] post_max_size=8M"}));
  // No selected character set is no value: nothing is written for it.
  const auto mysql = SettingsChanges(MySQLSettingsForm(), {"3306", "100", "MyISAM", "weird"},
                                     {"3307", "100", "INNODB", ""}, "/stack");
  EXPECT_EQ(Writes(mysql), (std::vector<std::string>{"profile port=3307", "my.ini [client] port=3307",
                                                     "my.ini [mysqld] port=3307", "profile default-storage-engine=INNODB",
                                                     "my.ini [mysqld] default-storage-engine=INNODB"}));
  EXPECT_TRUE(SettingsChanges(MySQLSettingsForm(), {"1", "2", "MyISAM", "gbk"}, {"1", "2", "MyISAM", "gbk"}, "/s").empty());
  EXPECT_EQ(LoadSettings(MySQLSettingsForm(), [](std::string_view key) { return std::string(key) + "!"; }),
            (FieldTexts{"port!", "max_connections!", "default-storage-engine!", "default-character-set!"}));
}

class Stack : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home / "Apache2" / "conf");
    Put(profile, "[Apache]\r\nListen=80\r\n");
    Put(httpd, "# web server\r\nListen 80\r\nServerName old\r\nDocumentRoot \"C:/www\"\r\n");
  }
  void TearDown() override {
    chmod(httpd.c_str(), 0644);
    fs::remove_all(home);
  }
  fs::path home = fs::temp_directory_path() / ("tellurix-settings-" + std::to_string(::getpid()));
  fs::path profile = home / "Tellurix.ini", httpd = home / "Apache2" / "conf" / "httpd.conf";
};

// A Chinese site folder is stored in the profile in code page 936, which the panel reads it in, and written into
// httpd.conf in UTF-8, which Apache reads paths in ("我的网站" is CE D2 B5 C4 CD F8 D5 BE in code page 936).
TEST_F(Stack, ConfirmingWritesBothFilesOrStopsAtTheFirstFailedWrite) {
  const SettingsForm& form = ApacheSettingsForm();
  const FieldTexts loaded{"80", "", "old", "", ""}, typed{"8080", "me@here", "old", "D:\\我的网站", "index.php"};
  ApplyOutcome done = ApplyChanges(profile.string(), "Apache", SettingsChanges(form, loaded, typed, home.string()));
  const std::string stored =
      "[Apache]\r\nListen=8080\r\nServerAdmin=me@here\r\n"
      "DocumentRoot=D:\\\xCE\xD2\xB5\xC4\xCD\xF8\xD5\xBE\r\nDirectoryIndex=index.php\r\n";
  EXPECT_EQ(Slurp(profile), stored);
  EXPECT_EQ(Slurp(httpd), "# web server\r\nListen 8080\r\nServerName old\r\nDocumentRoot \"D:\\我的网站\"\r\n");
  // ServerAdmin and DirectoryIndex have no line in httpd.conf: the user is told of both, the dialog closes.
  Conclusion said = Conclude(done, text::kApacheDone);
  EXPECT_TRUE(said.close);
  EXPECT_EQ(said.message.value_or(""),
            "设置已保存，但httpd.conf中没有ServerAdmin、DirectoryIndex指令，相应的设置不会生效（程序不会自动添加）。");

  // A read-only httpd.conf: the first profile value is stored, nothing after the
  // failed write is tried, and the dialog stays open.
  chmod(httpd.c_str(), 0444);
  done = ApplyChanges(profile.string(), "Apache",
                      SettingsChanges(form, typed, {"81", "x", "new", "D:\\我的网站", "index.php"}, home.string()));
  EXPECT_EQ(Slurp(profile), std::string(stored).replace(stored.find("=8080"), 5, "=81"));
  EXPECT_EQ(Slurp(httpd), "# web server\r\nListen 8080\r\nServerName old\r\nDocumentRoot \"D:\\我的网站\"\r\n");
  said = Conclude(done, text::kApacheDone);
  EXPECT_FALSE(said.close);
  EXPECT_EQ(*said.message, std::string(text::kWriteFailedBefore) + httpd.string() + text::kWriteFailedMiddle +
                               text::kWriteFailedAccessDenied + text::kWriteFailedAfter);
  EXPECT_EQ(Conclude(ApplyOutcome{}, text::kApacheDone).message, std::nullopt);
}

// Each kind of failed write is told with its own reason.
TEST(CannotWriteMessage, EachKindOfFailureHasItsReason) {
  const std::pair<ErrorKind, const char*> rows[] = {
      {ErrorKind::NotFound, "文件或文件夹不存在"},
      {ErrorKind::AccessDenied, "文件是只读的，或正被其他程序使用"},
      {ErrorKind::DiskFull, "磁盘已满"},
      {ErrorKind::BadEncoding, "其中有系统编码无法保存的文字"},
      {ErrorKind::InvalidArgument, "内容中有不能写入的换行等字符"},
      {ErrorKind::Other, "写入失败"},
  };
  for (const auto& [kind, reason] : rows) {
    EXPECT_EQ(CannotWriteMessage(Error{kind, "C:\\T\\MySQL\\my.ini", "detail"}),
              std::string("无法写入文件“C:\\T\\MySQL\\my.ini”（") + reason +
                  "）。已经保存的设置保持不变，其余设置没有保存。");
  }
}

// The value of the first line that is the directive `name`, with / for \\ (Apache takes either in a path).
std::optional<std::string> DirectiveValue(const std::string& file, std::string_view name) {
  for (const TextLine& line : SplitLines(file)) {
    if (!directive::Qualifies(line.text, name)) continue;
    std::string value(TrimBlanks(line.text.substr(line.text.find(name) + name.size())));
    std::replace(value.begin(), value.end(), '\\', '/');
    return value;
  }
  return std::nullopt;
}

// The demo's profile holds a value for every field of the three dialogs, the one the demo's files hold under the
// field's own name: opening a dialog shows what the servers read, and "确定" without a change writes nothing.
TEST(DemoStack, TheProfileHoldsWhatTheFilesHold) {
  const std::string home = TELLURIX_SOURCE_DIR "/demo/stack", profile = Slurp(home + "/Tellurix.ini");
  for (const SettingsForm* form : {&ApacheSettingsForm(), &PhpSettingsForm(), &MySQLSettingsForm()}) {
    SCOPED_TRACE(form->caption);
    const FieldTexts stored = LoadSettings(
        *form, [&](std::string_view key) { return ini::Lookup(profile, form->section, key).value_or(""); });
    FieldTexts shown = stored;  // a list shows the item the stored value selects
    for (size_t i = 0; i < shown.size(); ++i) {
      const SettingsField& field = form->fields[i];
      EXPECT_NE(stored[i], "") << field.profileKey;
      const int item = ItemIndex(field, stored[i]);
      if (!field.items.empty()) shown[i] = item < 0 ? "" : field.items[static_cast<size_t>(item)];
    }
    EXPECT_TRUE(SettingsChanges(*form, stored, shown, home).empty());
    for (const FieldChange& change : SettingsChanges(*form, FieldTexts(stored.size()), stored, home)) {
      for (const StackWrite& write : change.writes) {
        if (write.key != change.profileKey) continue;  // post_max_size follows an upload size set in the dialog
        const std::string file = Slurp(write.file);
        std::string value = write.value;
        std::replace(value.begin(), value.end(), '\\', '/');
        EXPECT_EQ(write.kind == StackWrite::Kind::IniEntry ? ini::Lookup(file, write.section, write.key)
                                                           : DirectiveValue(file, write.key),
                  value)
            << write.key;
      }
    }
  }
}

TEST(PasswordChange, EachPasswordIsOneArgument) {
  const struct { const char* old; const char* fresh; const char* line; } rows[] = {
      {"", "new", "C:\\T\\MySQL\\bin\\mysqladmin -uroot --password= password new"},
      {"a b", "x\"y", "C:\\T\\MySQL\\bin\\mysqladmin -uroot \"-pa b\" password \"x\\\"y\""},
      {"p\\", "q\\ \\", "C:\\T\\MySQL\\bin\\mysqladmin -uroot -pp\\ password \"q\\ \\\\\""},
      {"old", "", "C:\\T\\MySQL\\bin\\mysqladmin -uroot -pold password \"\""},
  };
  for (const auto& row : rows) EXPECT_EQ(MySQLAdminCommandLine("C:\\T", row.old, row.fresh), row.line);
  EXPECT_EQ(MySQLAdminCommandLine("C:\\My T", "a", "b"), "\"C:\\My T\\MySQL\\bin\\mysqladmin\" -uroot -pa password b");
  EXPECT_EQ(QuoteArgument("a\\\\\"b"), "\"a\\\\\\\\\\\"b\"");
}

TEST(PasswordChange, OnlyAReportedChangeOpensTheClient) {
  using O = ProgramRun::Outcome;
  const std::string changed = std::string(text::kPasswordChanged1) + "\r\n\r\n" + text::kPasswordChanged2 +
                              "\r\n\r\n" + text::kPasswordChanged3;
  auto expect = [](O outcome, unsigned long code, const char* output, const std::string& message, bool changed) {
    const PasswordConclusion c = ConcludePasswordChange(ProgramRun{outcome, code, output}, "C:\\T");
    EXPECT_EQ(c.message, message) << output;
    EXPECT_EQ(c.changed, changed);
  };
  expect(O::Exited, 0, "whatever", changed, true);
  expect(O::Exited, 1, "\r\n  Access denied  \r\n", std::string(text::kPasswordNotChanged) + "Access denied", false);
  expect(O::Exited, 7, " \r\n",
         std::string(text::kPasswordNotChanged) + text::kPasswordToolExitCodeBefore + "7" + text::kPasswordToolExitCodeAfter,
         false);
  expect(O::TimedOut, 0, "half", text::kPasswordToolTimedOut, false);
  expect(O::CannotStart, 0, "", std::string(text::kCannotStart) + "C:\\T\\MySQL\\bin\\mysqladmin", false);
}

std::string Dib(int width, int height, int bits, unsigned compression, std::vector<unsigned> masks, size_t pixels) {
  std::string dib(40, '\0');
  auto put = [&](size_t at, unsigned value) { for (int i = 0; i < 4; ++i) dib[at + i] = char(value >> (8 * i)); };
  put(0, 40), put(4, unsigned(width)), put(8, unsigned(height)), put(12, 1u | unsigned(bits) << 16), put(16, compression);
  for (unsigned mask : masks) dib.append(4, '\0'), put(dib.size() - 4, mask);
  for (size_t i = 0; i < pixels; ++i) dib += std::string{char(i), char(10 + i), char(20 + i), char(i ? 255 : 0)};
  return dib;
}

TEST(AboutLook, EmblemIsReadTopRowFirstOrRefused) {
  const Picture bottomUp = ParseEmblem(Dib(1, 2, 32, 0, {}, 2));
  ASSERT_EQ(bottomUp.bgra.size(), 8u);
  EXPECT_EQ(bottomUp.bgra[0], 1) << "the last row of a bottom-up bitmap is the top one";
  const Picture topDown = ParseEmblem(Dib(1, -2, 32, 3, {0xFF0000, 0xFF00, 0xFF}, 2));
  ASSERT_EQ(topDown.height, 2);
  EXPECT_EQ(topDown.bgra[0], 0);
  for (const std::string& bad : {Dib(1, 2, 24, 0, {}, 2), Dib(1, 2, 32, 3, {0xFF, 0xFF00, 0xFF0000}, 2),
                                 Dib(1, 2, 32, 1, {}, 2), Dib(2, 2, 32, 0, {}, 3), Dib(2000, 1, 32, 0, {}, 2000),
                                 std::string(39, '\0')}) {
    EXPECT_TRUE(ParseEmblem(bad).bgra.empty());
  }
  // Transparent pixels take the dialog's colour, opaque ones keep theirs.
  EXPECT_EQ(BlendOnto(bottomUp, 0x00332211), (std::vector<std::uint8_t>{1, 11, 21, 0, 0x33, 0x22, 0x11, 0}));
}

TEST(AboutLook, LinkColourStandsOutOrFallsBackToTheSelectionColour) {
  const std::uint32_t face = 0xF0F0F0, highlight = 0xD77800;
  EXPECT_EQ(LinkColour(0xCC6600, face, highlight), 0xCC6600u);
  EXPECT_EQ(LinkColour(0xF8E0C0, face, highlight), highlight) << "a pale hover shade";
  EXPECT_EQ(LinkColour(std::nullopt, face, highlight), highlight);
}

TEST(AboutLook, TheDescriptionTakesTheLargestSizeThatFits) {
  std::vector<int> tried;
  auto fitsBelow = [&](int limit) {
    return [&tried, limit](int size) { return tried.push_back(size), size <= limit; };
  };
  EXPECT_EQ(LargestFittingSize(115, 60, fitsBelow(100)), 100);
  EXPECT_EQ(tried, (std::vector<int>{115, 110, 105, 100}));
  EXPECT_EQ(LargestFittingSize(115, 60, fitsBelow(10)), 60) << "the smallest size when none fits";
}

TEST(SmallDecisions, PhpInfoPageAndTrayRetry) {
  EXPECT_EQ(PlacePhpInfoPage("", false).problem, std::string(text::kNoDocumentRoot));
  EXPECT_EQ(PlacePhpInfoPage("D:\\www", false).problem, std::string(text::kDocumentRootMissing) + "D:\\www");
  EXPECT_EQ(PlacePhpInfoPage("D:\\www", true).path, "D:\\www\\phpinfo.php");
  // A real pointer move has wParam 0, so 0 is never the icon's identifier.
  EXPECT_EQ(TrayIconId(0), 1u);
  EXPECT_EQ(TrayIconId(0x100000000ull), 1u);
  EXPECT_EQ(TrayIconId(0x2A0F4), 0x2A0F4u);
  TrayRetry retry;
  std::vector<bool> shown;
  for (int i = 0; i < 7; ++i) shown.push_back(retry.Failed());
  EXPECT_EQ(shown, (std::vector<bool>{false, false, false, false, true, false, false}));
}

// One event's lines make one balloon: without their ends, a line each, cut to
// the 255 UTF-16 units a balloon holds, never inside a character.
TEST(SmallDecisions, OneBalloonForTheLinesOfAnEvent) {
  const std::string a250(250, 'a'), han85 = [] {
    std::string text;
    for (int i = 0; i < 85; ++i) text += "端";
    return text;
  }();
  const struct {
    std::vector<std::string> lines;
    std::string balloon;
  } rows[] = {
      {{"MySQL启动失败：正在启动服务 MySQL。 服务请求超时。...    ", "端口3306已被mysqld.exe（PID 1234）占用...    "},
       "MySQL启动失败：正在启动服务 MySQL。 服务请求超时。\n端口3306已被mysqld.exe（PID 1234）占用"},
      {{"正在启动Apache...    "}, "正在启动Apache"},
      {{"a line without the end"}, "a line without the end"},
      {{a250 + "...    ", "bcde"}, a250 + "\nbcde"},           // 255 units: whole
      {{a250 + "...    ", "bcdef"}, a250 + "\nbcd…"},          // 256: 254 and the "…"
      {{han85, han85, han85}, han85 + "\n" + han85 + "\n" + han85.substr(0, 3 * 82) + "…"},
      {{std::string(253, 'x') + "😀"}, std::string(253, 'x') + "😀"},  // a surrogate pair is two units
      {{std::string(254, 'x') + "😀"}, std::string(254, 'x') + "…"},   // and is not split
      {{std::string(252, 'x') + "😀yz"}, std::string(252, 'x') + "😀…"},
  };
  for (const auto& row : rows) EXPECT_EQ(BalloonText(row.lines), row.balloon) << row.lines.front();
}

}  // namespace
}  // namespace tellurix
