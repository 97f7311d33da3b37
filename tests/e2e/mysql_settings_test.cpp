// The MySQL settings dialog of the real TellurixAdmin.exe under Wine: opened from
// both menus, typed into through window messages, the bytes of Tellurix.ini and
// MySQL\my.ini checked after each confirmation; and the root password change
// against a stand-in mysqladmin.exe (which records its arguments) and the
// recorder standing in for the MySQL client.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <memory>
#include <sstream>

#include "harness.h"
#include "resources/ids.h"

namespace e2e {
namespace {

namespace d = ids::fmysql;

constexpr char kDone[] = "设置成功，重起MSQL生效。";
constexpr char kChanged[] =
    "MySQL密码已经修改！\r\n\r\n接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n"
    "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";

std::wstring Caption(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// A shown #32770 window of the process with this caption; null when none.
HWND FindShown(DWORD processId, const std::wstring& caption) {
  for (HWND candidate = nullptr; (candidate = FindWindowExW(nullptr, candidate, L"#32770", nullptr));) {
    DWORD pid = 0;
    GetWindowThreadProcessId(candidate, &pid);
    if (pid == processId && IsWindowVisible(candidate) && Caption(candidate) == caption) return candidate;
  }
  return nullptr;
}

HWND WaitForShown(DWORD processId, const std::wstring& caption, std::chrono::milliseconds timeout = 10s) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindShown(processId, caption)) != nullptr; }, timeout);
  return found;
}

// Typing into and reading the dialog's controls from outside, as the system
// carries these messages between processes.
bool SetControlText(HWND dialog, int id, const std::string& text) {
  const std::wstring wide = Widen(text);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                             SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

std::string ControlText(HWND dialog, int id) {
  wchar_t text[512] = {};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           5000, &result)) {
    return "<no answer>";
  }
  return Narrow(text);
}

int Selected(HWND dialog, int id) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result)) return -2;
  return static_cast<int>(static_cast<LRESULT>(result));
}

void Select(HWND dialog, int id, int index) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(GetDlgItem(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG, 5000,
                      &result);
}

void Click(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool Answers(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result) != 0;
}

FILETIME WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}
bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// How many processes run this program image.
int Running(const wchar_t* image) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, image) == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// `text` with `from`, which must occur exactly once, replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at == std::string::npos || text.find(from, at + 1) != std::string::npos) {
    ADD_FAILURE() << "not exactly once: " << from;
    return text;
  }
  return text.replace(at, from.size(), to);
}

std::string Source(const std::string& relative) {
  return ReadBytes(Widen(std::string("Z:") + TELLURIX_SOURCE_DIR + "/" + relative));
}

// What the stand-ins wrote into the record file.
struct AdminRun {
  std::string commandLine;
  std::vector<std::string> arguments;
};
struct ClientStart {
  int show;
  std::string commandLine;
};
struct Recorded {
  std::vector<AdminRun> admin;
  std::vector<ClientStart> clients;
};

class MySQLDialog : public ::testing::Test {
 protected:
  // A ProgramDirectory whose name holds a space and Chinese characters.
  MySQLDialog() : directory_(L"MySQL 设置") {}

  void SetUp() override {
    const std::wstring home = directory_.path();
    ASSERT_TRUE(CreateDirectoryW((home + L"\\MySQL").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((home + L"\\MySQL\\bin").c_str(), nullptr));
    const std::wstring exe = PathFromEnvironment("TELLURIX_EXE");
    const std::wstring binaries = exe.substr(0, exe.rfind(L'\\'));
    // The file system does not tell MySQL from mysql: both programs sit in one folder.
    ASSERT_TRUE(CopyFileW((binaries + L"\\mysqladmin.exe").c_str(), AdminPath().c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((binaries + L"\\recorder.exe").c_str(), (home + L"\\mysql\\bin\\mysql.exe").c_str(), FALSE));
    profileBefore_ = Source("demo/stack/Tellurix.ini");
    myIniBefore_ = Source("demo/stack/MySQL/my.ini");
    ASSERT_FALSE(profileBefore_.empty());
    ASSERT_FALSE(myIniBefore_.empty());
    ASSERT_TRUE(WriteBytes(ProfilePath(), profileBefore_));
    ASSERT_TRUE(WriteBytes(MyIniPath(), myIniBefore_));
    record_ = home + L"\\recorded.txt";
    // Inherited by the panel, and from it by the programs it starts.
    SetEnvironmentVariableW(L"TELLURIX_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"TELLURIX_MYSQLADMIN_EXIT", nullptr);
    SetEnvironmentVariableW(L"TELLURIX_MYSQLADMIN_DELAY_MS", nullptr);
  }
  void TearDown() override {
    panel_.reset();
    SetEnvironmentVariableW(L"TELLURIX_RECORD", nullptr);
    SetEnvironmentVariableW(L"TELLURIX_MYSQLADMIN_EXIT", nullptr);
    SetEnvironmentVariableW(L"TELLURIX_MYSQLADMIN_DELAY_MS", nullptr);
  }

  std::wstring ProfilePath() const { return directory_.path() + L"\\Tellurix.ini"; }
  std::wstring MyIniPath() const { return directory_.path() + L"\\MySQL\\my.ini"; }
  std::wstring AdminPath() const { return directory_.path() + L"\\MySQL\\bin\\mysqladmin.exe"; }
  std::string Home() const { return Narrow(directory_.path()); }

  void StartPanel() {
    panel_ = std::make_unique<Panel>(directory_.exe());
    ASSERT_TRUE(panel_->started());
    ASSERT_TRUE(panel_->WaitForLines(2));
  }

  // Chooses the menu entry and waits for the dialog.
  HWND Open(int entry = ids::mysqlset) {
    panel_->Choose(entry);
    return WaitForShown(panel_->processId(), L"MySQL设置");
  }
  HWND WaitForBox(std::chrono::milliseconds timeout = 10s) const {
    return WaitForShown(panel_->processId(), L"TellurixAdmin", timeout);
  }
  // Closes a message box with the given button and waits until it is gone.
  static bool Answer(HWND box, int button) {
    PostMessageW(box, WM_COMMAND, button, 0);
    return WaitUntil([&] { return !IsWindow(box); });
  }
  // Clicks the button, and returns the text of the message box it brings up
  // after closing that box with OK.
  std::string ClickForMessage(HWND dialog, int id) {
    Click(dialog, id);
    HWND box = WaitForBox();
    if (!box) return "<no message>";
    const std::string text = MessageBoxText(box);
    if (!Answer(box, IDOK)) return "<message stays>";
    return text;
  }

  Recorded Record() const {
    Recorded record;
    std::istringstream lines(ReadBytes(record_));
    for (std::string line; std::getline(lines, line);) {
      const size_t bar = line.find('|');
      if (bar == std::string::npos) continue;
      const std::string kind = line.substr(0, bar), rest = line.substr(bar + 1);
      if (kind == "mysqladmin") {
        record.admin.push_back({rest, {}});
      } else if (kind == "arg" && !record.admin.empty()) {
        record.admin.back().arguments.push_back(rest);
      } else if (!kind.empty() && isdigit(static_cast<unsigned char>(kind[0]))) {
        record.clients.push_back({std::stoi(kind), rest});
      }
    }
    return record;
  }

  // The files as they are after only these changes to the demo stack's values.
  std::string ProfileWith(const std::string& port, const std::string& connections, const std::string& engine,
                          const std::string& character) const {
    return Replaced(profileBefore_,
                    "[MySQL]\r\nport=3306\r\nmax_connections=100\r\ndefault-storage-engine=MyISAM\r\n"
                    "default-character-set=utf8\r\n",
                    "[MySQL]\r\nport=" + port + "\r\nmax_connections=" + connections +
                        "\r\ndefault-storage-engine=" + engine + "\r\ndefault-character-set=" + character + "\r\n");
  }
  std::string MyIniWith(const std::string& port, const std::string& connections, const std::string& engine,
                        const std::string& character) const {
    std::string ini = Replaced(myIniBefore_, "[client]\r\nport=3306\r\n", "[client]\r\nport=" + port + "\r\n");
    ini = Replaced(ini, "listens on.\r\nport=3306\r\n", "listens on.\r\nport=" + port + "\r\n");
    ini = Replaced(ini, "[mysql]\r\ndefault-character-set=utf8\r\n",
                   "[mysql]\r\ndefault-character-set=" + character + "\r\n");
    ini = Replaced(ini, "given.\r\ndefault-character-set=utf8\r\n", "given.\r\ndefault-character-set=" + character + "\r\n");
    ini = Replaced(ini, "default-storage-engine=MyISAM\r\n", "default-storage-engine=" + engine + "\r\n");
    return Replaced(ini, "max_connections=100\r\n", "max_connections=" + connections + "\r\n");
  }

  ProgramDirectory directory_;
  std::wstring record_;
  std::string profileBefore_, myIniBefore_;
  std::unique_ptr<Panel> panel_;
};

// ---------------------------------------------------------------------------
// The settings

TEST_F(MySQLDialog, OpensFromBothMenusWithTheStoredValuesAndEmptyPasswords) {
  StartPanel();
  for (int entry : {ids::mysqlset, ids::mysqlset2}) {
    SCOPED_TRACE(entry);
    HWND dialog = Open(entry);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, d::port), "3306");
    EXPECT_EQ(ControlText(dialog, d::connections), "100");
    EXPECT_EQ(Selected(dialog, d::character), 0) << "utf8";
    EXPECT_EQ(Selected(dialog, d::engine), 1) << "MyISAM";
    EXPECT_EQ(ControlText(dialog, d::character), "utf8");
    EXPECT_EQ(ControlText(dialog, d::engine), "MyISAM");
    EXPECT_EQ(ControlText(dialog, d::oldpwd), "");
    EXPECT_EQ(ControlText(dialog, d::newpwd), "");
    EXPECT_EQ(ControlText(dialog, d::Label7), "Tellurix默认密码为lumo");
    Click(dialog, d::Command2);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  }
  EXPECT_EQ(ReadBytes(ProfilePath()), profileBefore_);
  EXPECT_EQ(ReadBytes(MyIniPath()), myIniBefore_);
}

TEST_F(MySQLDialog, TheListsShowOnlyExactlyEqualStoredValues) {
  StartPanel();
  const struct {
    std::string engine, character;
    int engineIndex, characterIndex;
  } table[] = {
      {"INNODB", "gbk", 0, 2},
      {"InnoDB", "latin1", 1, 3},  // mixed case is not INNODB
      {"", "utf-8", 1, -1},        // none of the four: no selection
      {"innodb", "GB2312", 1, -1},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.engine + " / " + row.character);
    ASSERT_TRUE(WriteBytes(ProfilePath(), "[MySQL]\r\nport=3306\r\nmax_connections=100\r\ndefault-storage-engine=" +
                                              row.engine + "\r\ndefault-character-set=" + row.character + "\r\n"));
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Selected(dialog, d::engine), row.engineIndex);
    EXPECT_EQ(Selected(dialog, d::character), row.characterIndex);
    Click(dialog, d::Command2);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  }
}

TEST_F(MySQLDialog, AFullConfirmationWritesTheProfileAndMyIniAndAReopenedDialogShowsIt) {
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::port, "3307"));
  ASSERT_TRUE(SetControlText(dialog, d::connections, "500"));
  Select(dialog, d::engine, 0);
  Select(dialog, d::character, 2);
  EXPECT_EQ(ClickForMessage(dialog, d::Command1), kDone);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(ReadBytes(ProfilePath()), ProfileWith("3307", "500", "INNODB", "gbk"));
  EXPECT_EQ(ReadBytes(MyIniPath()), MyIniWith("3307", "500", "INNODB", "gbk"));

  dialog = Open(ids::mysqlset2);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, d::port), "3307");
  EXPECT_EQ(ControlText(dialog, d::connections), "500");
  EXPECT_EQ(ControlText(dialog, d::engine), "INNODB");
  EXPECT_EQ(ControlText(dialog, d::character), "gbk");
}

TEST_F(MySQLDialog, OnlyThePortChangedRewritesOnlyThePortLines) {
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::port, "3307"));
  EXPECT_EQ(ClickForMessage(dialog, d::Command1), kDone);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(ReadBytes(ProfilePath()), ProfileWith("3307", "100", "MyISAM", "utf8"));
  EXPECT_EQ(ReadBytes(MyIniPath()), MyIniWith("3307", "100", "MyISAM", "utf8"));
}

TEST_F(MySQLDialog, AnUnchangedConfirmationClosesSilentlyAndTouchesNoFile) {
  const FILETIME profileTime = WriteTime(ProfilePath()), myIniTime = WriteTime(MyIniPath());
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Click(dialog, d::Command1);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  // A message would have been shown before the dialog closed.
  EXPECT_EQ(FindShown(panel_->processId(), L"TellurixAdmin"), nullptr);
  EXPECT_EQ(ReadBytes(ProfilePath()), profileBefore_);
  EXPECT_EQ(ReadBytes(MyIniPath()), myIniBefore_);
  EXPECT_TRUE(SameTime(WriteTime(ProfilePath()), profileTime));
  EXPECT_TRUE(SameTime(WriteTime(MyIniPath()), myIniTime));
}

TEST_F(MySQLDialog, AWrongNumberShowsItsMessageAndKeepsTheDialogAsTyped) {
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  const struct {
    std::string port, connections, message;
  } table[] = {
      {"abc", "abc", "MySQL端口请填数字！"},  // both wrong: only the port is named
      {"", "100", "MySQL端口请填数字！"},
      {"03306", "100", "MySQL端口请填正整数！"},
      {"3306", "x", "MySQL最大连接数请填数字！"},
      {"3306", "3e3", "MySQL最大连接数请填正整数！"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.port + " / " + row.connections);
    ASSERT_TRUE(SetControlText(dialog, d::port, row.port));
    ASSERT_TRUE(SetControlText(dialog, d::connections, row.connections));
    EXPECT_EQ(ClickForMessage(dialog, d::Command1), row.message);
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(Answers(dialog));
    EXPECT_EQ(ControlText(dialog, d::port), row.port);
    EXPECT_EQ(ControlText(dialog, d::connections), row.connections);
  }
  EXPECT_EQ(ReadBytes(ProfilePath()), profileBefore_);
  EXPECT_EQ(ReadBytes(MyIniPath()), myIniBefore_);
}

TEST_F(MySQLDialog, AReadOnlyMyIniIsNamedAndNeverCalledASuccess) {
  ASSERT_TRUE(SetFileAttributesW(MyIniPath().c_str(), FILE_ATTRIBUTE_READONLY));
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::port, "3307"));
  ASSERT_TRUE(SetControlText(dialog, d::connections, "500"));
  EXPECT_EQ(ClickForMessage(dialog, d::Command1),
            "无法写入文件“" + Home() +
                "\\MySQL\\my.ini”（文件是只读的，或正被其他程序使用）。已经保存的设置保持不变，其余设置没有保存。");
  // No success message follows, and the dialog stays open with what was typed.
  EXPECT_EQ(FindShown(panel_->processId(), L"TellurixAdmin"), nullptr);
  ASSERT_TRUE(IsWindow(dialog));
  EXPECT_EQ(ControlText(dialog, d::port), "3307");
  // The port reached the profile before my.ini refused it; nothing after it was tried.
  EXPECT_EQ(ReadBytes(ProfilePath()), ProfileWith("3307", "100", "MyISAM", "utf8"));
  EXPECT_EQ(ReadBytes(MyIniPath()), myIniBefore_);
}

// ---------------------------------------------------------------------------
// The password change

TEST_F(MySQLDialog, CancellingTheQuestionRunsNothingAndKeepsBothTexts) {
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::oldpwd, "lumo"));
  ASSERT_TRUE(SetControlText(dialog, d::newpwd, "secret"));
  Click(dialog, d::Command3);
  HWND question = WaitForBox();
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(MessageBoxText(question), "你确定要修改密码？？");
  EXPECT_NE(GetDlgItem(question, IDOK), nullptr);
  EXPECT_NE(GetDlgItem(question, IDCANCEL), nullptr);
  ASSERT_TRUE(Answer(question, IDCANCEL));
  EXPECT_TRUE(Answers(dialog));
  EXPECT_EQ(FindShown(panel_->processId(), L"TellurixAdmin"), nullptr);
  const Recorded record = Record();
  EXPECT_TRUE(record.admin.empty());
  EXPECT_TRUE(record.clients.empty());
  EXPECT_EQ(ControlText(dialog, d::oldpwd), "lumo");
  EXPECT_EQ(ControlText(dialog, d::newpwd), "secret");
}

TEST_F(MySQLDialog, EachPasswordReachesMysqladminAsExactlyOneArgument) {
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  const struct {
    std::string oldPassword, newPassword;
  } table[] = {
      {"lumo", "secret"},
      {"old pass", "new pass word"},
      {"say \"hi\"", "a\\\"b c\\"},
      {"", "x password y"},  // an empty old password is an empty password, not a prompt
      {"旧 密码", ""},
  };
  const std::string client = "\"" + Home() + "\\mysql\\bin\\mysql.exe\" -uroot -p";
  for (size_t i = 0; i < std::size(table); ++i) {
    const auto& row = table[i];
    SCOPED_TRACE("[" + row.oldPassword + "] -> [" + row.newPassword + "]");
    ASSERT_TRUE(SetControlText(dialog, d::oldpwd, row.oldPassword));
    ASSERT_TRUE(SetControlText(dialog, d::newpwd, row.newPassword));
    Click(dialog, d::Command3);
    HWND question = WaitForBox();
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(Answer(question, IDOK));
    HWND done = WaitForBox();
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageBoxText(done), kChanged);
    // The client is started only once the message is closed.
    EXPECT_EQ(Record().clients.size(), i);
    ASSERT_TRUE(Answer(done, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return Record().clients.size() == i + 1; }));

    const Recorded record = Record();
    ASSERT_EQ(record.admin.size(), i + 1);
    const std::vector<std::string> expected = {Home() + "\\MySQL\\bin\\mysqladmin", "-uroot",
                                               row.oldPassword.empty() ? "--password=" : "-p" + row.oldPassword,
                                               "password", row.newPassword};
    EXPECT_EQ(record.admin.back().arguments, expected) << record.admin.back().commandLine;
    EXPECT_EQ(record.clients.back().show, SW_SHOWNORMAL);
    EXPECT_EQ(record.clients.back().commandLine, client);
    EXPECT_TRUE(WaitUntil([&] { return ControlText(dialog, d::oldpwd).empty() && ControlText(dialog, d::newpwd).empty(); }));
    EXPECT_TRUE(IsWindowVisible(dialog));
  }
}

TEST_F(MySQLDialog, AFailedChangeSaysWhatMysqladminSaidOpensNoClientAndKeepsTheTexts) {
  SetEnvironmentVariableW(L"TELLURIX_MYSQLADMIN_EXIT", L"1");
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::oldpwd, "wrong"));
  ASSERT_TRUE(SetControlText(dialog, d::newpwd, "secret"));
  Click(dialog, d::Command3);
  HWND question = WaitForBox();
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(Answer(question, IDOK));
  HWND failed = WaitForBox();
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(MessageBoxText(failed),
            "MySQL密码没有修改：mysqladmin: connect to server at 'localhost' failed\r\n"
            "error: Access denied for user 'root'@'localhost' (using password: YES)");
  ASSERT_TRUE(Answer(failed, IDOK));
  EXPECT_TRUE(Answers(dialog));
  EXPECT_EQ(FindShown(panel_->processId(), L"TellurixAdmin"), nullptr);
  const Recorded record = Record();
  EXPECT_EQ(record.admin.size(), 1u);
  EXPECT_TRUE(record.clients.empty());
  EXPECT_EQ(ControlText(dialog, d::oldpwd), "wrong");
  EXPECT_EQ(ControlText(dialog, d::newpwd), "secret");
}

TEST_F(MySQLDialog, AMissingMysqladminIsNamed) {
  ASSERT_TRUE(DeleteFileW(AdminPath().c_str()));
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::newpwd, "secret"));
  Click(dialog, d::Command3);
  HWND question = WaitForBox();
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(Answer(question, IDOK));
  HWND missing = WaitForBox();
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(MessageBoxText(missing), "无法启动程序：" + Home() + "\\MySQL\\bin\\mysqladmin");
  ASSERT_TRUE(Answer(missing, IDOK));
  EXPECT_TRUE(Answers(dialog));
  EXPECT_TRUE(Record().clients.empty());
  EXPECT_EQ(ControlText(dialog, d::newpwd), "secret");
}

TEST_F(MySQLDialog, TheDialogAndTheMainWindowKeepAnsweringWhileMysqladminRuns) {
  SetEnvironmentVariableW(L"TELLURIX_MYSQLADMIN_DELAY_MS", L"4000");
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::newpwd, "secret"));
  Click(dialog, d::Command3);
  HWND question = WaitForBox();
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(Answer(question, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return Record().admin.size() == 1; }));
  // mysqladmin has started and sleeps: no message yet, and both windows answer.
  EXPECT_EQ(FindShown(panel_->processId(), L"TellurixAdmin"), nullptr);
  EXPECT_TRUE(Answers(dialog));
  EXPECT_TRUE(panel_->Responsive());
  EXPECT_EQ(ControlText(dialog, d::newpwd), "secret");
  HWND done = WaitForBox(15s);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(MessageBoxText(done), kChanged);
  ASSERT_TRUE(Answer(done, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return Record().clients.size() == 1; }));
}

TEST_F(MySQLDialog, AMysqladminThatNeverEndsIsStoppedAtTheTimeLimit) {
  SetEnvironmentVariableW(L"TELLURIX_MYSQLADMIN_DELAY_MS", L"120000");
  StartPanel();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, d::oldpwd, "lumo"));
  ASSERT_TRUE(SetControlText(dialog, d::newpwd, "secret"));
  Click(dialog, d::Command3);
  HWND question = WaitForBox();
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(Answer(question, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return Record().admin.size() == 1; }));
  EXPECT_EQ(Running(L"mysqladmin.exe"), 1);
  HWND stopped = WaitForBox(45s);
  ASSERT_NE(stopped, nullptr);
  EXPECT_EQ(MessageBoxText(stopped), "mysqladmin在30秒内没有结束，已被终止。MySQL密码可能没有修改。");
  ASSERT_TRUE(Answer(stopped, IDOK));
  EXPECT_TRUE(Record().clients.empty());
  EXPECT_EQ(ControlText(dialog, d::oldpwd), "lumo");
  EXPECT_EQ(ControlText(dialog, d::newpwd), "secret");
  EXPECT_EQ(Running(L"mysqladmin.exe"), 0) << "the stand-in was ended, not left sleeping";
}

}  // namespace
}  // namespace e2e
