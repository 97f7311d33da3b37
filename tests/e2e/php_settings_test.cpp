// The PHP settings dialog of the real TellurixAdmin.exe under Wine: opened from
// both menus, read back and typed into through window messages, and the bytes of
// Tellurix.ini and PHP5\php.ini checked after each confirmation.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "harness.h"
#include "resources/ids.h"

namespace e2e {
namespace {

namespace d = ids::fphp;

constexpr wchar_t kApache[] = L"Apache2";
constexpr char kDone[] = "设置成功，重起Apache生效。";

// php.ini as users have it: comments, blanks around "=", a GBK comment
// ("注释") that must come back byte for byte, and a second section.
constexpr char kPhpIni[] =
    "[PHP]\r\n"
    "; \xd7\xa2\xca\xcd\r\n"
    "short_open_tag = On\r\n"
    "output_buffering = Off\r\n"
    "safe_mode = Off\r\n"
    "display_errors = On\r\n"
    "register_globals = Off\r\n"
    "max_execution_time = 30 ; comment\r\n"
    "upload_max_filesize = 2M\r\n"
    "post_max_size = 8M\r\n"
    "\r\n"
    "[Session]\r\n"
    "session.save_path = \"C:\\tmp\"\r\n";

// The profile as the panel left it last time (every switch spelled as listed).
constexpr char kProfile[] =
    "[Apache]\r\n"
    "Listen=80\r\n"
    "\r\n"
    "[PHP]\r\n"
    "short_open_tag=On\r\n"
    "output_buffering=Off\r\n"
    "safe_mode=Off\r\n"
    "display_errors=On\r\n"
    "register_globals=Off\r\n"
    "max_execution_time=30\r\n"
    "upload_max_filesize=2\r\n"
    "\r\n"
    "[MySQL]\r\n"
    "port=3306\r\n";

std::wstring Caption(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

struct TopLevelSearch {
  DWORD processId;
  std::wstring caption;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t className[64] = {};
  GetClassNameW(hwnd, className, 64);
  if (pid == search->processId && wcscmp(className, L"#32770") == 0 && IsWindowVisible(hwnd) &&
      Caption(hwnd) == search->caption) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// A shown dialog of the process with this caption; null when there is none.
HWND FindDialog(DWORD processId, const std::wstring& caption) {
  TopLevelSearch search{processId, caption, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

FILETIME LastWrite(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

bool operator==(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

class PhpDialog : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateDirectoryW((directory_.path() + L"\\PHP5").c_str(), nullptr)); }
  void TearDown() override {
    // Close what is still open, so that the panel quits normally.
    if (HWND box = MessageBoxNow()) PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (dialog_ && IsWindow(dialog_)) PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
    panel_.reset();
    Services::Stop(kApache);
  }

  std::wstring ProfilePath() const { return directory_.path() + L"\\Tellurix.ini"; }
  std::wstring PhpIniPath() const { return directory_.path() + L"\\PHP5\\php.ini"; }
  std::string Profile() const { return ReadBytes(ProfilePath()); }
  std::string PhpIni() const { return ReadBytes(PhpIniPath()); }

  void StartPanel() {
    panel_ = std::make_unique<Panel>(directory_.exe());
    ASSERT_TRUE(panel_->started()) << "no main window appeared";
    ASSERT_TRUE(panel_->WaitForLines(2));
  }

  // Chooses a menu entry of the panel and waits for the dialog.
  void Open(int entry) {
    panel_->Choose(entry);
    ASSERT_TRUE(WaitUntil([&] { return (dialog_ = FindDialog(panel_->processId(), L"PHP设置")) != nullptr; }))
        << "the dialog did not open";
  }

  int Selection(int id) const { return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0)); }
  std::string Item(int id, int index) const {
    wchar_t text[64] = {};
    SendDlgItemMessageW(dialog_, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return Narrow(text);
  }
  int ItemCount(int id) const { return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCOUNT, 0, 0)); }
  std::string Text(int id) const {
    wchar_t text[256] = {};
    SendDlgItemMessageW(dialog_, id, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return Narrow(text);
  }
  void Type(int id, const std::string& text) const {
    SendDlgItemMessageW(dialog_, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
  }
  void Choose(int id, int index) const {
    SendDlgItemMessageW(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  void Press(int id) const {
    PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
  }

  // The panel's message box, shown now; null when there is none.
  HWND MessageBoxNow() const { return panel_ ? FindDialog(panel_->processId(), L"TellurixAdmin") : nullptr; }
  // Waits for the message box, returns its text and presses its OK.
  std::string Acknowledge() const {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = MessageBoxNow()) != nullptr; }, 5s)) return "<no message>";
    const std::string text = MessageBoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (!WaitUntil([&] { return !IsWindow(box); }, 5s)) return "<message box stayed open>";
    return text;
  }
  // No message box shows up within a second.
  bool NoMessage() const {
    return !WaitUntil([&] { return MessageBoxNow() != nullptr; }, 1s);
  }
  bool DialogOpen() const { return IsWindow(dialog_) && IsWindowVisible(dialog_); }
  bool WaitForClose() const {
    return WaitUntil([&] { return !IsWindow(dialog_); }, 5s);
  }

  ProgramDirectory directory_{L"php settings"};
  std::unique_ptr<Panel> panel_;
  HWND dialog_ = nullptr;
};

TEST_F(PhpDialog, ShowsTheProfileAndWritesBothFilesOnConfirmation) {
  // A switch spelled "on" shows "Off", and is written so although nobody touched it.
  std::string profile = kProfile;
  profile.replace(profile.find("short_open_tag=On"), 17, "short_open_tag=on");
  ASSERT_TRUE(WriteBytes(ProfilePath(), profile));
  ASSERT_TRUE(WriteBytes(PhpIniPath(), kPhpIni));
  StartPanel();
  Open(ids::phpset);

  for (int id : {d::short_, d::buffer, d::safe, d::display, d::register_}) {
    ASSERT_EQ(ItemCount(id), 2) << id;
    EXPECT_EQ(Item(id, 0), "On") << id;
    EXPECT_EQ(Item(id, 1), "Off") << id;
  }
  EXPECT_EQ(Selection(d::short_), 1) << "\"on\" is not \"On\"";
  EXPECT_EQ(Selection(d::buffer), 1);
  EXPECT_EQ(Selection(d::safe), 1);
  EXPECT_EQ(Selection(d::display), 0);
  EXPECT_EQ(Selection(d::register_), 1);
  EXPECT_EQ(Text(d::max_time), "30");
  EXPECT_EQ(Text(d::upload_file), "2");
  EXPECT_EQ(Text(d::Label7), "M");

  Choose(d::register_, 0);
  Choose(d::display, 1);
  Type(d::max_time, "60");
  Type(d::upload_file, "8");
  Press(d::Command1);
  EXPECT_EQ(Acknowledge(), kDone);
  EXPECT_TRUE(WaitForClose()) << "the dialog closes after the message";
  EXPECT_TRUE(NoMessage()) << "the success message comes once";

  EXPECT_EQ(Profile(),
            "[Apache]\r\nListen=80\r\n\r\n[PHP]\r\nshort_open_tag=Off\r\noutput_buffering=Off\r\nsafe_mode=Off\r\n"
            "display_errors=Off\r\nregister_globals=On\r\nmax_execution_time=60\r\nupload_max_filesize=8\r\n\r\n"
            "[MySQL]\r\nport=3306\r\n");
  EXPECT_EQ(PhpIni(),
            "[PHP]\r\n; \xd7\xa2\xca\xcd\r\nshort_open_tag=Off\r\noutput_buffering = Off\r\nsafe_mode = Off\r\n"
            "display_errors=Off\r\nregister_globals=On\r\nmax_execution_time=60\r\nupload_max_filesize=8M\r\n"
            "post_max_size=8M\r\n\r\n[Session]\r\nsession.save_path = \"C:\\tmp\"\r\n");
  EXPECT_TRUE(panel_->Responsive());
}

TEST_F(PhpDialog, AnUnchangedConfirmationClosesSilentlyAndTouchesNoFile) {
  ASSERT_TRUE(WriteBytes(ProfilePath(), kProfile));
  ASSERT_TRUE(WriteBytes(PhpIniPath(), kPhpIni));
  // An old time, so that any rewrite would show.
  SYSTEMTIME old{2001, 1, 1, 1, 12, 0, 0, 0};
  FILETIME stamp;
  SystemTimeToFileTime(&old, &stamp);
  for (const std::wstring& path : {ProfilePath(), PhpIniPath()}) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
  }
  StartPanel();
  Open(ids::phpset2);
  Press(d::Command1);
  EXPECT_TRUE(WaitForClose());
  EXPECT_TRUE(NoMessage());
  EXPECT_EQ(Profile(), kProfile);
  EXPECT_EQ(PhpIni(), kPhpIni);
  EXPECT_TRUE(LastWrite(ProfilePath()) == stamp) << "Tellurix.ini was rewritten";
  EXPECT_TRUE(LastWrite(PhpIniPath()) == stamp) << "php.ini was rewritten";
}

TEST_F(PhpDialog, AFailedCheckKeepsTheDialogOpenWithWhatWasTypedAndWritesNothing) {
  ASSERT_TRUE(WriteBytes(ProfilePath(), kProfile));
  ASSERT_TRUE(WriteBytes(PhpIniPath(), kPhpIni));
  StartPanel();
  Open(ids::phpset);
  Choose(d::safe, 0);

  // Both fields wrong: only the run time is reported.
  Type(d::max_time, "abc");
  Type(d::upload_file, "");
  Press(d::Command1);
  EXPECT_EQ(Acknowledge(), "最长时间请填数字！");
  EXPECT_TRUE(NoMessage());
  EXPECT_TRUE(DialogOpen());
  EXPECT_EQ(Text(d::max_time), "abc");

  Type(d::max_time, "030");
  Press(d::Command1);
  EXPECT_EQ(Acknowledge(), "最长时间请填正整数！");

  Type(d::max_time, "60");
  Press(d::Command1);
  EXPECT_EQ(Acknowledge(), "上传文件的大小请填数字！");

  Type(d::upload_file, "1234567890123456");
  Press(d::Command1);
  EXPECT_EQ(Acknowledge(), "上传文件的大小请填正整数！");

  EXPECT_TRUE(DialogOpen());
  EXPECT_EQ(Text(d::max_time), "60");
  EXPECT_EQ(Text(d::upload_file), "1234567890123456");
  EXPECT_EQ(Selection(d::safe), 0);
  EXPECT_EQ(Profile(), kProfile);
  EXPECT_EQ(PhpIni(), kPhpIni);
}

TEST_F(PhpDialog, CancelAndTheCloseBoxWriteNothing) {
  ASSERT_TRUE(WriteBytes(ProfilePath(), kProfile));
  ASSERT_TRUE(WriteBytes(PhpIniPath(), kPhpIni));
  StartPanel();
  Open(ids::phpset);
  Choose(d::short_, 1);
  Type(d::max_time, "90");
  Press(d::Command2);
  EXPECT_TRUE(WaitForClose());
  EXPECT_TRUE(NoMessage());

  // Opened afresh: nothing of the last opening survives.
  Open(ids::phpset2);
  EXPECT_EQ(Selection(d::short_), 0);
  EXPECT_EQ(Text(d::max_time), "30");
  Type(d::upload_file, "64");
  PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);  // what the close box sends
  EXPECT_TRUE(WaitForClose());
  EXPECT_TRUE(NoMessage());
  EXPECT_EQ(Profile(), kProfile);
  EXPECT_EQ(PhpIni(), kPhpIni);
}

TEST_F(PhpDialog, FromNothingTheFirstConfirmationWritesEverythingAndTheNextOpeningShowsIt) {
  StartPanel();
  Open(ids::phpset2);
  for (int id : {d::short_, d::buffer, d::safe, d::display, d::register_}) EXPECT_EQ(Selection(id), 1) << id;
  EXPECT_EQ(Text(d::max_time), "");
  EXPECT_EQ(Text(d::upload_file), "");
  Press(d::Command1);
  EXPECT_EQ(Acknowledge(), "最长时间请填数字！") << "both numbers must be typed first";

  Choose(d::short_, 0);
  Choose(d::display, 0);
  Type(d::max_time, "45");
  Type(d::upload_file, "8");
  Press(d::Command1);
  EXPECT_EQ(Acknowledge(), kDone);
  EXPECT_TRUE(WaitForClose());
  EXPECT_EQ(Profile(),
            "[PHP]\r\nshort_open_tag=On\r\noutput_buffering=Off\r\nsafe_mode=Off\r\ndisplay_errors=On\r\n"
            "register_globals=Off\r\nmax_execution_time=45\r\nupload_max_filesize=8\r\n");
  EXPECT_EQ(PhpIni(),
            "[PHP]\r\nshort_open_tag=On\r\noutput_buffering=Off\r\nsafe_mode=Off\r\ndisplay_errors=On\r\n"
            "register_globals=Off\r\nmax_execution_time=45\r\nupload_max_filesize=8M\r\npost_max_size=8M\r\n");

  Open(ids::phpset);
  EXPECT_EQ(Selection(d::short_), 0);
  EXPECT_EQ(Selection(d::buffer), 1);
  EXPECT_EQ(Selection(d::safe), 1);
  EXPECT_EQ(Selection(d::display), 0);
  EXPECT_EQ(Selection(d::register_), 1);
  EXPECT_EQ(Text(d::max_time), "45");
  EXPECT_EQ(Text(d::upload_file), "8") << "the bare number next to \"M\"";
  Press(d::Command2);
  EXPECT_TRUE(WaitForClose());
}

TEST_F(PhpDialog, AReadOnlyPhpIniIsReportedTheDialogStaysOpenAndTheProfileKeepsTheValue) {
  ASSERT_TRUE(WriteBytes(ProfilePath(), kProfile));
  ASSERT_TRUE(WriteBytes(PhpIniPath(), kPhpIni));
  ASSERT_TRUE(SetFileAttributesW(PhpIniPath().c_str(), FILE_ATTRIBUTE_READONLY));
  StartPanel();
  Open(ids::phpset);
  Type(d::max_time, "60");
  Type(d::upload_file, "8");
  Press(d::Command1);
  const std::string message = Acknowledge();
  EXPECT_NE(message.find("php.ini"), std::string::npos) << message;
  EXPECT_EQ(message.find("设置成功"), std::string::npos) << message;
  EXPECT_TRUE(NoMessage()) << "one message only";
  EXPECT_TRUE(DialogOpen());
  EXPECT_EQ(Text(d::max_time), "60");

  std::string profile = kProfile;
  profile.replace(profile.find("max_execution_time=30"), 21, "max_execution_time=60");
  EXPECT_EQ(Profile(), profile) << "the run time is stored; the upload size was not tried";
  EXPECT_EQ(PhpIni(), kPhpIni);
  EXPECT_TRUE(GetFileAttributesW(PhpIniPath().c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(PhpDialog, TheStatusMonitorKeepsTickingWhileTheDialogIsOpen) {
  ASSERT_TRUE(Services::Stop(kApache));
  StartPanel();
  Open(ids::phpset);
  const std::size_t before = panel_->Lines().size();
  ASSERT_TRUE(Services::Start(kApache));
  EXPECT_TRUE(WaitUntil(
      [&] {
        const auto lines = panel_->Lines();
        for (std::size_t i = before; i < lines.size(); ++i)
          if (lines[i].rfind("Apache已经启动...    ", 0) == 0) return true;
        return false;
      },
      15s))
      << "no status line while the dialog was open";
  EXPECT_TRUE(DialogOpen());
  Press(d::Command2);
  EXPECT_TRUE(WaitForClose());
}

}  // namespace
}  // namespace e2e
