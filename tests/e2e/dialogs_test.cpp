// The dialogs of the real TellurixAdmin.exe under Wine: the three settings
// dialogs with the exact bytes they leave in Tellurix.ini and the stack's files,
// the password change, the site manager and the About dialog's link.
#include "harness.h"

#include <algorithm>
#include <tuple>

namespace e2e {
namespace {

using Started = ProgramDirectory::Started;

TEST(Dialogs, SettingsAreShownCheckedAndWrittenSafely) {
  namespace a = ids::fapache;
  namespace p = ids::fphp;
  namespace m = ids::fmysql;
  ProgramDirectory home(L"设置 settings");
  // A site folder with Chinese in its name (the home's is Chinese too): Tellurix.ini keeps it in the ANSI code
  // page, httpd.conf gets it in UTF-8.
  const std::string h = home.home(), www = h + "\\www", www2 = h + "\\我的网站 二";
  std::string stack = h;
  std::replace(stack.begin(), stack.end(), '\\', '/');
  CreateDirectoryW(Widen(www).c_str(), nullptr);
  CreateDirectoryW(Widen(www2).c_str(), nullptr);
  // The demo's profile, which has a value for every field.
  home.Put(L"Tellurix.ini", Ansi(Edited(SourceFile("demo/stack/Tellurix.ini"), {{"@STACK@", h}})));
  const struct {
    int entry, reopen;
    const char* caption;
    std::wstring file;
    int ok;
    // Control, its profile key, text shown, text typed, in the order the fields are stored; the file's changes.
    std::vector<std::tuple<int, std::string, std::string, std::string>> fields;
    Edits changes;
    int bad;
    std::string badText;
    const char *badMessage, *done;
    bool lock;  // the write fails on a file another program holds open, else on a read-only one
    bool utf8;  // the new lines are UTF-8 (Apache's files), else in the ANSI code page
  } cases[] = {
      {ids::apcheset, ids::apcheset2, text::kApacheCaption, L"Apache2\\conf\\httpd.conf", a::Command1,
       {{a::listen, "Listen", "80", "8080"}, {a::admin, "ServerAdmin", "admin@localhost", "web@example.test"},
        {a::sname, "ServerName", "localhost:80", "dev.local"}, {a::root, "DocumentRoot", www, www2},
        {a::index, "DirectoryIndex", "index.php index.html", "default.htm index.php"}},
       {{"\nListen 80\r", "\nListen 8080\r"}, {"\nServerAdmin admin@localhost\r", "\nServerAdmin web@example.test\r"},
        {"\nServerName localhost:80\r", "\nServerName dev.local\r"},
        {"\nDocumentRoot \"" + stack + "/www\"\r", "\nDocumentRoot \"" + www2 + "\"\r"},
        {"\n    DirectoryIndex index.php index.html\r", "\nDirectoryIndex default.htm index.php\r"}},
       a::listen, "abc", text::kApachePortNotNumber, text::kApacheDone, false, true},
      {ids::phpset, ids::phpset2, text::kPhpCaption, L"PHP5\\php.ini", p::Command1,
       {{p::short_, "short_open_tag", "On", "Off"}, {p::buffer, "output_buffering", "Off", "On"},
        {p::safe, "safe_mode", "Off", "On"}, {p::display, "display_errors", "On", "Off"},
        {p::register_, "register_globals", "Off", "On"}, {p::max_time, "max_execution_time", "30", "60"},
        {p::upload_file, "upload_max_filesize", "2", "8"}},
       {{"\nshort_open_tag = On\r", "\nshort_open_tag=Off\r"}, {"\nsafe_mode = Off\r", "\nsafe_mode=On\r"},
        {"\noutput_buffering = Off\r", "\noutput_buffering=On\r"}, {"\npost_max_size = 8M\r", "\npost_max_size=8M\r"},
        {"\nregister_globals = Off\r", "\nregister_globals=On\r"}, {"display_errors = On\r", "display_errors=Off\r"},
        {"\nmax_execution_time = 30\r", "\nmax_execution_time=60\r"},
        {"\nupload_max_filesize = 2M\r", "\nupload_max_filesize=8M\r"}},
       p::max_time, "030", text::kMaxTimeNotPositive, text::kPhpDone, true, false},
      {ids::mysqlset, ids::mysqlset2, text::kMySQLCaption, L"MySQL\\my.ini", m::Command1,
       {{m::port, "port", "3306", "3307"}, {m::connections, "max_connections", "100", "500"},
        {m::engine, "default-storage-engine", "MyISAM", "INNODB"},
        {m::character, "default-character-set", "utf8", "gbk"}},
       {{"\nport=3306\r", "\nport=3307\r"}, {"\nmax_connections=100\r", "\nmax_connections=500\r"},
        {"\ndefault-storage-engine=MyISAM\r", "\ndefault-storage-engine=INNODB\r"},
        {"\ndefault-character-set=utf8\r", "\ndefault-character-set=gbk\r"}},
       m::connections, "3e3", text::kConnectionsNotPositive, text::kMySQLDone, false, false},
  };
  for (const auto& c : cases) {
    std::string source = Narrow(c.file);
    std::replace(source.begin(), source.end(), '\\', '/');
    home.Put(c.file, Ansi(Edited(SourceFile("demo/stack/" + source), {{"@STACK@", stack}})));
  }
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    const std::wstring profilePath = home / L"Tellurix.ini", filePath = home / c.file;
    constexpr DWORD kAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;  // kept by a write
    ASSERT_TRUE(SetFileAttributesW(filePath.c_str(), kAttributes));
    const Snapshot profile = Take(profilePath), file = Take(filePath);
    Edits stored;  // the profile's lines of the fields, as shown and as typed
    for (const auto& [id, key, shown, typed] : c.fields)
      stored.push_back({"\n" + key + "=" + shown + "\r", "\n" + key + "=" + typed + "\r"});
    HWND dialog = panel.Open(c.entry, c.caption);
    ASSERT_NE(dialog, nullptr);
    for (const auto& [id, key, shown, typed] : c.fields) EXPECT_EQ(Read(dialog, id), shown) << key;
    // The demo's settings confirmed as they are shown write nothing.
    Press(dialog, c.ok);
    EXPECT_TRUE(Closed(dialog) && panel.NoMessage());
    EXPECT_TRUE(Untouched(profilePath, profile) && Untouched(filePath, file)) << "written unchanged";
    dialog = panel.Open(c.entry, c.caption);
    ASSERT_NE(dialog, nullptr);
    if (c.entry == ids::apcheset) {
      // The folder picker, a shell object (COM entered on first use): cancelled, the folder stays.
      Press(dialog, a::Command3);
      HWND picker = nullptr;
      EXPECT_TRUE(WaitUntil([&] {
        for (HWND w = nullptr; !picker && (w = FindWindowExW(nullptr, w, L"#32770", nullptr));) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner == panel.processId() && w != dialog && IsWindowVisible(w)) picker = w;
        }
        return picker != nullptr;
      }));
      PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
      EXPECT_TRUE(Closed(picker));
      EXPECT_EQ(Read(dialog, a::root), www);
    }

    // A failed check: its message, the dialog open as typed, nothing written.
    Type(dialog, c.bad, c.badText);
    Press(dialog, c.ok);
    EXPECT_EQ(panel.Answer(), c.badMessage);
    EXPECT_TRUE(panel.NoMessage(dialog) && IsWindowVisible(dialog)) << "one message, and the dialog stays";
    EXPECT_EQ(Read(dialog, c.bad), c.badText);
    EXPECT_TRUE(Untouched(profilePath, profile));
    EXPECT_TRUE(Untouched(filePath, file));

    // A file that cannot be written is named and left as it was; the first value had reached the profile.
    for (const auto& [id, key, shown, typed] : c.fields) Type(dialog, id, typed);
    if (!c.lock) SetFileAttributesW(filePath.c_str(), kAttributes | FILE_ATTRIBUTE_READONLY);
    const Snapshot refused = Take(filePath);
    // Held open by a program that lets others read the file but not replace it: the read goes through, the
    // replace fails, and the temporary file made for it must not stay behind.
    HANDLE lock = c.lock
                      ? CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : nullptr;
    Press(dialog, c.ok);
    EXPECT_EQ(panel.Answer(), text::kWriteFailedBefore + Narrow(filePath) + text::kWriteFailedMiddle +
                                  text::kWriteFailedAccessDenied + text::kWriteFailedAfter);
    EXPECT_TRUE(panel.NoMessage(dialog) && IsWindowVisible(dialog)) << "no success, and the dialog stays";
    if (lock) CloseHandle(lock);
    EXPECT_TRUE(Untouched(filePath, refused));
    EXPECT_EQ(ReadBytes(profilePath), Ansi(Edited(FromAnsi(profile.bytes), {stored[0]})));

    // Once the file can be written the same confirmation goes through.
    SetFileAttributesW(filePath.c_str(), kAttributes);
    Press(dialog, c.ok);
    EXPECT_EQ(panel.Answer(), c.done);
    EXPECT_TRUE(Closed(dialog));
    EXPECT_EQ(ReadBytes(profilePath), Ansi(Edited(FromAnsi(profile.bytes), stored)));
    // Lines of the ANSI code page around a changed line of Apache's keep their bytes.
    Edits changes;
    for (const auto& [from, to] : c.changes) changes.push_back({Ansi(from), c.utf8 ? to : Ansi(to)});
    EXPECT_EQ(ReadBytes(filePath), Edited(file.bytes, changes));
    EXPECT_EQ(GetFileAttributesW(filePath.c_str()), kAttributes);
    EXPECT_EQ(FilesIn(filePath.substr(0, filePath.rfind(L'\\'))).size(), 1u) << "a temporary file was left";

    // Reopened from the other menu it shows what was stored; confirming that unchanged writes nothing.
    dialog = panel.Open(c.reopen, c.caption);
    ASSERT_NE(dialog, nullptr);
    for (const auto& [id, key, shown, typed] : c.fields) EXPECT_EQ(Read(dialog, id), typed) << key;
    const Snapshot profileNow = Take(profilePath), fileNow = Take(filePath);
    Press(dialog, c.ok);
    EXPECT_TRUE(Closed(dialog) && panel.NoMessage());
    EXPECT_TRUE(Untouched(profilePath, profileNow) && Untouched(filePath, fileNow)) << "written unchanged";
  }
  EXPECT_EQ(FilesIn(home / L".").size(), 7u) << "a temporary file was left beside Tellurix.ini";
}

std::vector<std::string> Arguments(const std::string& commandLine) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(Widen(commandLine).c_str(), &count);
  std::vector<std::string> split;
  for (int i = 0; i < count; ++i) split.push_back(Narrow(arguments[i]));
  LocalFree(arguments);
  return split;
}

TEST(Dialogs, PasswordChangeRunsMysqladmin) {
  namespace d = ids::fmysql;
  ProgramDirectory home(L"密码 password");
  home.StandIn(L"MySQL\\bin\\mysqladmin.exe");
  home.StandIn(L"mysql\\bin\\mysql.exe");  // the file system does not tell MySQL from mysql
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  HWND dialog = panel.Open(ids::mysqlset, text::kMySQLCaption);
  ASSERT_NE(dialog, nullptr);
  // An empty new password is refused, and a cancelled question runs nothing.
  Type(dialog, d::oldpwd, "lumo");
  Press(dialog, d::Command3);
  EXPECT_EQ(panel.Answer(), text::kNewPasswordEmpty);
  Type(dialog, d::newpwd, "secret");
  Press(dialog, d::Command3);
  EXPECT_EQ(panel.Answer(IDCANCEL), text::kConfirmPasswordChange);
  EXPECT_TRUE(panel.NoMessage(dialog));
  EXPECT_TRUE(home.Recorded().empty());

  const std::string changed = std::string(text::kPasswordChanged1) + "\r\n\r\n" + text::kPasswordChanged2 + "\r\n\r\n" +
                              text::kPasswordChanged3;
  const Started client{SW_SHOWNORMAL, "\"" + home.home() + "\\mysql\\bin\\mysql.exe\" -uroot -p"};
  // Each password is one argument; an empty old password is an empty one, not a prompt.
  const struct {
    std::string oldPassword, newPassword, passwordArgument;
  } table[] = {{"old pass", "new pass word", "-pold pass"},
               {"say \"hi\"", "a\\\"b c\\", "-psay \"hi\""},
               {"", "x password y", "--password="},
               {"旧 密码", "新 密码", "-p旧 密码"}};
  size_t n = 0;
  for (const auto& row : table) {
    SCOPED_TRACE(row.oldPassword + " -> " + row.newPassword);
    Type(dialog, d::oldpwd, row.oldPassword);
    Type(dialog, d::newpwd, row.newPassword);
    Press(dialog, d::Command3);
    EXPECT_EQ(panel.Answer(), text::kConfirmPasswordChange);
    EXPECT_EQ(panel.Answer(), changed);
    ASSERT_TRUE(WaitUntil([&] { return home.Recorded().size() == n + 2; }));
    const auto recorded = home.Recorded();
    EXPECT_EQ(Arguments(recorded[n].second),
              (std::vector<std::string>{home.home() + "\\MySQL\\bin\\mysqladmin", "-uroot", row.passwordArgument,
                                        "password", row.newPassword}));
    EXPECT_EQ(recorded[n + 1], client);
    EXPECT_TRUE(WaitUntil([&] { return Read(dialog, d::oldpwd).empty() && Read(dialog, d::newpwd).empty(); }));
    n += 2;
  }

  // A failure says what mysqladmin printed on both outputs, and both texts stay for another try.
  const std::string said = "mysqladmin: connect to server at 'localhost' failed\r\n"
                           "error: Access denied for user 'root'@'localhost' (using password: YES)";
  home.Put(L"MySQL\\bin\\mysqladmin.txt", "1 0\r\n" + said + "\r\n");
  Type(dialog, d::oldpwd, "wrong");
  Type(dialog, d::newpwd, "secret");
  Press(dialog, d::Command3);
  EXPECT_EQ(panel.Answer(), text::kConfirmPasswordChange);
  EXPECT_EQ(panel.Answer(), text::kPasswordNotChanged + said);
  EXPECT_TRUE(Read(dialog, d::oldpwd) == "wrong" && Read(dialog, d::newpwd) == "secret");

  // One that never ends is ended at the time limit; meanwhile the panel answers.
  home.Put(L"MySQL\\bin\\mysqladmin.txt", "0 120000\r\n");
  Press(dialog, d::Command3);
  EXPECT_EQ(panel.Answer(), text::kConfirmPasswordChange);
  ASSERT_TRUE(WaitUntil([&] { return home.Recorded().size() == n + 2; })) << "mysqladmin did not start";
  EXPECT_TRUE(panel.Responsive() && panel.NoMessage(dialog));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, d::Command3))) << "the wait shows";
  EXPECT_EQ(panel.Answer(IDOK, 40s), text::kPasswordToolTimedOut);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, d::Command3)) != FALSE; }));
  // A program still running cannot be deleted.
  EXPECT_TRUE(DeleteFileW((home / L"MySQL\\bin\\mysqladmin.exe").c_str())) << "mysqladmin was left running";
  EXPECT_TRUE(Read(dialog, d::oldpwd) == "wrong" && Read(dialog, d::newpwd) == "secret");
  EXPECT_EQ(home.Recorded().size(), n + 2) << "no client after a failure or a time-out";
}

TEST(Dialogs, SiteManagerReadsEitherEncodingAndSavesUtf8) {
  namespace d = ids::zhanform;
  ProgramDirectory home(L"站点 sites");
  const std::wstring conf = home / L"Apache2\\conf\\vhosts.conf";
  // UTF-8 whose bytes are valid in code page 936 too, where they would read garbled; LF line ends.
  const std::string lines =
      "# 虚拟主机 站点配置\r\n<VirtualHost *:80>\r\n    DocumentRoot \"D:/我的网站\"\r\n</VirtualHost>\r\n";
  home.Put(L"Apache2\\conf\\vhosts.conf", Edited(lines, {{"\r\n", "\n"}}));
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  HWND dialog = panel.Open(ids::zhanCom, text::kSiteManagerCaption);  // the main window's button
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Read(dialog, d::host), lines);
  Type(dialog, d::host, lines + "# 主站\r\n");
  Press(dialog, d::Command1);
  EXPECT_EQ(panel.Answer(), text::kSiteSaved);
  EXPECT_TRUE(Closed(dialog));
  EXPECT_EQ(ReadBytes(conf), lines + "# 主站\r\n");

  // A file an older tool wrote in the ANSI code page reads from it and is saved in UTF-8, with a character the
  // code page lacks. Escape, as the editor and the dialog manager pass it on, throws nothing away.
  home.Put(L"Apache2\\conf\\vhosts.conf", Ansi("# 站点\r\n"));
  dialog = panel.Open(ids::zhan1, text::kSiteManagerCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Read(dialog, d::host), "# 站点\r\n");
  Type(dialog, d::host, "# 站点 😀\r\n");
  PostMessageW(GetDlgItem(dialog, d::host), WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(GetDlgItem(dialog, d::host), WM_CHAR, VK_ESCAPE, 0);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(panel.NoMessage(dialog));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(Read(dialog, d::host), "# 站点 😀\r\n");
  Press(dialog, d::Command1);
  EXPECT_EQ(panel.Answer(), text::kSiteSaved);
  EXPECT_TRUE(Closed(dialog));
  EXPECT_EQ(ReadBytes(conf), "# 站点 😀\r\n");

  // Longer than an edit control lets the user type into (30,000 characters under Wine, 32,767 under Windows):
  // shown whole, and a key typed into it is kept.
  std::string hosts;
  for (int i = 0; hosts.size() < 120000; ++i)
    hosts += "<VirtualHost *:80>\r\n    ServerName 站点" + std::to_string(i) + ".example\r\n</VirtualHost>\r\n";
  ASSERT_GT(Widen(hosts).size(), 40000u);
  home.Put(L"Apache2\\conf\\vhosts.conf", hosts);
  dialog = panel.Open(ids::zhan2, text::kSiteManagerCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(Read(dialog, d::host) == hosts) << "not shown whole";
  PostMessageW(GetDlgItem(dialog, d::host), WM_CHAR, L'#', 0);  // the caret starts at the beginning
  EXPECT_TRUE(WaitUntil([&] { return Read(dialog, d::host).size() == hosts.size() + 1; })) << "the key was refused";
  Press(dialog, d::Command1);
  EXPECT_EQ(panel.Answer(), text::kSiteSaved);
  EXPECT_TRUE(Closed(dialog));
  EXPECT_TRUE(ReadBytes(conf) == "#" + hosts) << "not saved whole with the key";

  // Neither UTF-8 nor the code page (0x7F ends no character of code page 936): the dialog says so, shows its save
  // button disabled, and a click that reaches it anyway writes nothing.
  home.Put(L"Apache2\\conf\\vhosts.conf", "# \x81\x7F\r\n");
  const Snapshot notText = Take(conf);
  dialog = panel.Open(ids::zhanCom, text::kSiteManagerCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(panel.Answer(), text::kSiteNotTextBefore + Narrow(conf) + text::kSiteNotTextAfter);
  EXPECT_EQ(Read(dialog, d::host), "");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, d::Command1)));
  Press(dialog, d::Command1);
  EXPECT_TRUE(panel.NoMessage(dialog) && IsWindowVisible(dialog));
  Press(dialog, d::Command2);
  EXPECT_TRUE(Closed(dialog));
  EXPECT_TRUE(Untouched(conf, notText));
}

TEST(Dialogs, AboutLinkPlacesShortcutsAndOpensTheSiteMinimised) {
  ProgramDirectory home(L"关于 about");
  home.StandIn(L"explorer.exe");  // found in the panel's own folder first
  wchar_t desktop[MAX_PATH] = {};
  DWORD size = sizeof(desktop);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         L"Desktop", RRF_RT_REG_SZ, nullptr, desktop, &size),
            ERROR_SUCCESS);
  const std::pair<std::wstring, const char*> links[] = {{L"\\Lanterra.lnk", sites::kFirstSiteHost},
                                                        {L"\\Mossgrove.lnk", sites::kMainSiteHost}};
  for (const auto& link : links) DeleteFileW((desktop + link.first).c_str());
  Panel panel(home.exe());
  ASSERT_TRUE(panel.started());
  HWND dialog = panel.Open(ids::about, text::kAboutCaption);
  ASSERT_NE(dialog, nullptr);
  Press(dialog, ids::fabout::Label1);  // the link reports its click as STN_CLICKED, which is BN_CLICKED's 0
  ASSERT_TRUE(WaitUntil([&] { return !home.Recorded().empty(); }));
  const std::string site = "explorer.exe http://" + std::string(sites::kMainSiteHost) + "/?i";
  EXPECT_EQ(home.Recorded(), (std::vector<Started>{{SW_SHOWMINIMIZED, site}}));
  for (const auto& [name, host] : links) {
    const std::wstring path = desktop + name;
    const std::string bytes = ReadBytes(path);
    // A shell link: its header size and class, then the address it leads to.
    const std::string header("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 20);
    EXPECT_EQ(bytes.substr(0, 20), header) << Narrow(path);
    EXPECT_NE(bytes.find(std::string("http://") + host + "/?i"), std::string::npos) << Narrow(path);
    DeleteFileW(path.c_str());
  }
  PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
  EXPECT_TRUE(Closed(dialog));
}

}  // namespace
}  // namespace e2e
