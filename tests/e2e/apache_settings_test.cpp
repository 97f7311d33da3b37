// The Apache settings dialog of the real TellurixAdmin.exe under Wine: opened
// from both menus, read back and typed into through window messages, and the
// bytes of Tellurix.ini and Apache2\conf\httpd.conf checked after each
// confirmation. The ProgramDirectory's name holds a space and Chinese
// characters, which reach httpd.conf in the ANSI code page.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "resources/ids.h"

namespace e2e {
namespace {

namespace d = ids::fapache;

constexpr wchar_t kApache[] = L"Apache2";
constexpr wchar_t kCaption[] = L"Apache设置";
constexpr char kDone[] = "设置成功，重起Apache生效。";
constexpr char kRootMissing[] = "网站的目录不存在！";
constexpr char kNotNumber[] = "Apache端口请填数字！";
constexpr char kNotPositive[] = "Apache端口请填正整数！";

// UTF-8 to the ANSI code page, in which the panel stores both files.
std::string Ansi(const std::string& utf8) {
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n, nullptr, nullptr);
  return ansi;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// `bytes` with the one whole line `from` replaced by `to` (lines end in CR LF).
std::string WithLine(std::string bytes, const std::string& from, const std::string& to) {
  const std::string needle = "\r\n" + from + "\r\n";
  const size_t at = bytes.find(needle);
  if (at == std::string::npos || bytes.find(needle, at + 1) != std::string::npos) {
    ADD_FAILURE() << "httpd.conf does not hold the line \"" << from << "\" exactly once";
    return bytes;
  }
  return bytes.replace(at + 2, from.size(), to);
}

std::wstring Caption(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The shown #32770 windows of a process, in Z order.
std::vector<HWND> DialogsOf(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s->processId && IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770") s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND DialogCaptioned(DWORD processId, const std::wstring& caption) {
  for (HWND hwnd : DialogsOf(processId))
    if (Caption(hwnd) == caption) return hwnd;
  return nullptr;
}

// Whether some control of `window` shows exactly this text.
bool HasChildText(HWND window, const std::string& text) {
  struct Search {
    std::wstring wanted;
    bool found;
  } search{Widen(text), false};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t buffer[256] = {};
        SendMessageW(child, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer));
        if (s->wanted == buffer) s->found = true;
        return !s->found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

FILETIME LastWrite(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// A file as it was: bytes and last-write time.
struct Snapshot {
  std::string bytes;
  FILETIME written;
};
Snapshot Take(const std::wstring& path) { return {ReadBytes(path), LastWrite(path)}; }
::testing::AssertionResult Untouched(const std::wstring& path, const Snapshot& before) {
  const Snapshot now = Take(path);
  if (now.bytes != before.bytes) return ::testing::AssertionFailure() << Narrow(path) << " was rewritten";
  if (CompareFileTime(&now.written, &before.written) != 0)
    return ::testing::AssertionFailure() << Narrow(path) << " has a new last-write time";
  return ::testing::AssertionSuccess();
}

// The demo httpd.conf, read from the source tree through Wine's Z: drive.
std::string DemoHttpdConf() {
  std::wstring path = L"Z:" + Widen(TELLURIX_SOURCE_DIR) + L"/demo/stack/Apache2/conf/httpd.conf";
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return ReadBytes(path);
}

class ApacheDialog : public ::testing::Test {
 protected:
  ApacheDialog() : directory_(L"apache 设置") {}

  void SetUp() override {
    const std::wstring home = directory_.path();
    ASSERT_TRUE(CreateDirectoryW((home + L"\\Apache2").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((home + L"\\Apache2\\conf").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((home + L"\\www").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((home + L"\\网站 二").c_str(), nullptr));
    const std::string demo = DemoHttpdConf();
    ASSERT_NE(demo.find("@STACK@"), std::string::npos) << "demo httpd.conf not found";
    conf_ = Replaced(demo, "@STACK@", Ansi(Home()));
    ASSERT_TRUE(WriteBytes(ConfPath(), conf_));
  }
  void TearDown() override {
    // Close what is still open, so that the panel quits normally.
    if (panel_) {
      if (HWND box = MessageBoxNow()) PostMessageW(box, WM_COMMAND, IDOK, 0);
      if (dialog_ && IsWindow(dialog_)) PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
    }
    panel_.reset();
    SetFileAttributesW(ConfPath().c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  std::string Home() const { return Narrow(directory_.path()); }
  std::string Www() const { return Home() + "\\www"; }
  std::string Www2() const { return Home() + "\\网站 二"; }
  std::wstring ProfilePath() const { return directory_.path() + L"\\Tellurix.ini"; }
  std::wstring ConfPath() const { return directory_.path() + L"\\Apache2\\conf\\httpd.conf"; }

  // The profile as the panel left it last time.
  std::string StoredProfile() const {
    return Ansi("[Apache]\r\nListen=80\r\nServerAdmin=admin@localhost\r\nServerName=localhost\r\nDocumentRoot=" + Www() +
                "\r\nDirectoryIndex=index.php index.html\r\n");
  }
  void WriteProfile(const std::string& ansi) { ASSERT_TRUE(WriteBytes(ProfilePath(), ansi)); }

  void StartPanel() {
    panel_ = std::make_unique<Panel>(directory_.exe());
    ASSERT_TRUE(panel_->started()) << "no main window appeared";
    ASSERT_TRUE(panel_->WaitForLines(2));
  }

  // Chooses a menu entry of the panel and waits for the dialog.
  void Open(int entry = ids::apcheset) {
    panel_->Choose(entry);
    ASSERT_TRUE(WaitUntil([&] { return (dialog_ = DialogCaptioned(panel_->processId(), kCaption)) != nullptr; }))
        << "the dialog did not open";
  }
  bool Shown() const { return dialog_ != nullptr && IsWindow(dialog_) && IsWindowVisible(dialog_); }
  bool WaitForClose() const { return WaitUntil([&] { return !IsWindow(dialog_); }); }

  std::string Text(int id) const {
    wchar_t text[512] = {};
    SendDlgItemMessageW(dialog_, id, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return Narrow(text);
  }
  void Type(int id, const std::string& text) const {
    SendDlgItemMessageW(dialog_, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
  }
  // The five fields in the order port, directory, name, mailbox, home page.
  std::vector<std::string> Fields() const {
    return {Text(d::listen), Text(d::root), Text(d::sname), Text(d::admin), Text(d::index)};
  }
  void Press(int id) const {
    PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
  }

  HWND MessageBoxNow() const { return DialogCaptioned(panel_->processId(), L"TellurixAdmin"); }
  // Waits for the panel's message box, answers it with OK and returns its text.
  std::string Answer() const {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = MessageBoxNow()) != nullptr; }, 5s)) return "<no message>";
    const std::string text = MessageBoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (!WaitUntil([&] { return !IsWindow(box); })) return "<message did not close>";
    return text;
  }
  // Whether a message box is shown once the dialog has handled everything sent
  // so far: a handler that shows a second message has its box up before the
  // box's own loop answers this round trip.
  bool NoMessageAfterRoundTrip() const {
    DWORD_PTR ignored = 0;
    if (IsWindow(dialog_)) SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    SendMessageTimeoutW(panel_->window(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    return MessageBoxNow() == nullptr;
  }

  ProgramDirectory directory_;
  std::string conf_;  // httpd.conf as it was set up
  std::unique_ptr<Panel> panel_;
  HWND dialog_ = nullptr;
};

// --- Opening -------------------------------------------------------------------

TEST_F(ApacheDialog, OpensFromBothMenusWithItsControlsAndTheStoredValues) {
  WriteProfile(StoredProfile());
  StartPanel();
  for (int entry : {ids::apcheset, ids::apcheset2}) {
    SCOPED_TRACE(entry == ids::apcheset ? "apcheset" : "apcheset2");
    Open(entry);
    const struct {
      int id;
      const wchar_t* className;
      std::string caption;
    } controls[] = {
        {d::Frame1, L"Button", "Apache设置"}, {d::Label1, L"Static", "端口："},  {d::Label2, L"Static", "网站目录："},
        {d::Command3, L"Button", "浏览"},     {d::Label3, L"Static", "网站名称："}, {d::Label4, L"Static", "站长信箱："},
        {d::Label5, L"Static", "默认首页："}, {d::Command2, L"Button", "取消"},   {d::Command1, L"Button", "确定"},
    };
    for (const auto& control : controls) {
      HWND child = GetDlgItem(dialog_, control.id);
      ASSERT_NE(child, nullptr) << control.caption;
      EXPECT_EQ(_wcsicmp(ClassOf(child).c_str(), control.className), 0) << control.caption;
      EXPECT_EQ(Text(control.id), control.caption);
    }
    for (int edit : {d::listen, d::root, d::sname, d::admin, d::index})
      EXPECT_EQ(_wcsicmp(ClassOf(GetDlgItem(dialog_, edit)).c_str(), L"Edit"), 0) << edit;
    EXPECT_EQ(Fields(), (std::vector<std::string>{"80", Www(), "localhost", "admin@localhost", "index.php index.html"}));

    // 352 x 228 at 96 DPI, centred on the screen.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT client{}, window{};
    GetClientRect(dialog_, &client);
    GetWindowRect(dialog_, &window);
    EXPECT_EQ(client.right, MulDiv(352, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(228, dpi, 96));
    EXPECT_LE(std::abs((window.left + window.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
    EXPECT_LE(std::abs((window.top + window.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2), 1);

    Press(d::Command2);
    ASSERT_TRUE(WaitForClose());
  }
}

TEST_F(ApacheDialog, WithoutAProfileTheFieldsAreEmptyAndOnlyFilledOnesAreStored) {
  StartPanel();
  Open(ids::apcheset2);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"", "", "", "", ""}));
  Type(d::listen, "80");
  Type(d::root, Www());
  Press(d::Command1);
  EXPECT_EQ(Answer(), kDone);
  ASSERT_TRUE(WaitForClose());

  EXPECT_EQ(ReadBytes(ProfilePath()), Ansi("[Apache]\r\nListen=80\r\nDocumentRoot=" + Www() + "\r\n"));
  // "Listen 80" is written again as it was; only the directory line changes.
  EXPECT_EQ(ReadBytes(ConfPath()),
            WithLine(conf_, "DocumentRoot \"" + Ansi(Home()) + "/www\"", "DocumentRoot \"" + Ansi(Www()) + "\""));

  // The next opening shows what was stored.
  Open(ids::apcheset);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"80", Www(), "", "", ""}));
}

// --- Confirming ------------------------------------------------------------------

TEST_F(ApacheDialog, AConfirmationStoresEveryChangeAndRewritesHttpdConf) {
  WriteProfile(StoredProfile());
  StartPanel();
  Open();
  Type(d::listen, "8080");
  Type(d::root, Www2());
  Type(d::sname, "dev.local");
  Type(d::admin, "webmaster@example.test");
  Type(d::index, "default.htm index.php");
  Press(d::Command1);
  EXPECT_EQ(Answer(), kDone);
  ASSERT_TRUE(WaitForClose()) << "the dialog closes after the message";
  EXPECT_TRUE(NoMessageAfterRoundTrip()) << "the success message comes once";

  EXPECT_EQ(ReadBytes(ProfilePath()),
            Ansi("[Apache]\r\nListen=8080\r\nServerAdmin=webmaster@example.test\r\nServerName=dev.local\r\n"
                 "DocumentRoot=" + Www2() + "\r\nDirectoryIndex=default.htm index.php\r\n"));
  std::string expected = conf_;
  expected = WithLine(expected, "Listen 80", "Listen 8080");
  expected = WithLine(expected, "ServerAdmin admin@localhost", "ServerAdmin webmaster@example.test");
  expected = WithLine(expected, "ServerName localhost:80", "ServerName dev.local");
  // Backslashes as picked, inside quotes.
  expected = WithLine(expected, "DocumentRoot \"" + Ansi(Home()) + "/www\"", "DocumentRoot \"" + Ansi(Www2()) + "\"");
  expected = WithLine(expected, "    DirectoryIndex index.php index.html", "DirectoryIndex default.htm index.php");
  EXPECT_EQ(ReadBytes(ConfPath()), expected);

  // The next opening shows what was stored.
  Open(ids::apcheset2);
  EXPECT_EQ(Fields(),
            (std::vector<std::string>{"8080", Www2(), "dev.local", "webmaster@example.test", "default.htm index.php"}));
}

TEST_F(ApacheDialog, AnUnchangedConfirmationClosesSilentlyAndTouchesNoFile) {
  WriteProfile(StoredProfile());
  const Snapshot profile = Take(ProfilePath()), conf = Take(ConfPath());
  StartPanel();
  Open();
  Press(d::Command1);
  // A message would keep the dialog open until answered.
  ASSERT_TRUE(WaitForClose());
  EXPECT_TRUE(NoMessageAfterRoundTrip());
  EXPECT_TRUE(Untouched(ProfilePath(), profile));
  EXPECT_TRUE(Untouched(ConfPath(), conf));
}

TEST_F(ApacheDialog, AFailedCheckShowsOnlyTheFirstMessageKeepsTheTextAndWritesNothing) {
  WriteProfile(StoredProfile());
  const Snapshot profile = Take(ProfilePath()), conf = Take(ConfPath());
  StartPanel();
  Open();
  const std::string nowhere = Home() + "\\nowhere";
  const struct {
    std::string root, port, message;
  } table[] = {
      {nowhere, "abc", kRootMissing},  // both wrong: the directory is reported, not the port
      {nowhere, "81", kRootMissing},
      {"", "81", kRootMissing},
      {Www(), "abc", kNotNumber},
      {Www(), "", kNotNumber},
      {Www(), "1,000", kNotNumber},
      {Www(), "080", kNotPositive},
      {Www(), " 80", kNotPositive},
      {Www(), "8e1", kNotPositive},
      {Www(), "1234567890123456", kNotPositive},
  };
  for (const auto& row : table) {
    SCOPED_TRACE("root \"" + row.root + "\", port \"" + row.port + "\"");
    Type(d::root, row.root);
    Type(d::listen, row.port);
    Type(d::sname, "changed.local");
    Press(d::Command1);
    EXPECT_EQ(Answer(), row.message);
    EXPECT_TRUE(NoMessageAfterRoundTrip()) << "one message per confirmation";
    ASSERT_TRUE(Shown()) << "the dialog stays open";
    EXPECT_EQ(Fields(), (std::vector<std::string>{row.port, row.root, "changed.local", "admin@localhost",
                                                  "index.php index.html"}));
    EXPECT_TRUE(Untouched(ProfilePath(), profile));
    EXPECT_TRUE(Untouched(ConfPath(), conf));
  }
}

TEST_F(ApacheDialog, AVanishedSiteDirectoryBlocksEveryChangeUntilCorrected) {
  WriteProfile(Replaced(StoredProfile(), Ansi(Www()), Ansi(Home() + "\\gone")));
  const Snapshot profile = Take(ProfilePath()), conf = Take(ConfPath());
  StartPanel();
  Open();
  ASSERT_EQ(Text(d::root), Home() + "\\gone");
  Type(d::sname, "dev.local");
  Press(d::Command1);
  EXPECT_EQ(Answer(), kRootMissing);
  ASSERT_TRUE(Shown());
  EXPECT_TRUE(Untouched(ProfilePath(), profile));
  EXPECT_TRUE(Untouched(ConfPath(), conf));

  Type(d::root, Www());
  Press(d::Command1);
  EXPECT_EQ(Answer(), kDone);
  ASSERT_TRUE(WaitForClose());
  EXPECT_EQ(ReadBytes(ProfilePath()), Replaced(StoredProfile(), "ServerName=localhost\r\n", "ServerName=dev.local\r\n"));
  std::string expected = WithLine(conf_, "ServerName localhost:80", "ServerName dev.local");
  expected = WithLine(expected, "DocumentRoot \"" + Ansi(Home()) + "/www\"", "DocumentRoot \"" + Ansi(Www()) + "\"");
  EXPECT_EQ(ReadBytes(ConfPath()), expected);
}

TEST_F(ApacheDialog, CancelAndTheCloseBoxWriteNothing) {
  WriteProfile(StoredProfile());
  const Snapshot profile = Take(ProfilePath()), conf = Take(ConfPath());
  StartPanel();
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "取消");
    Open();
    Type(d::listen, "8080");
    Type(d::root, Www2());
    Type(d::sname, "dev.local");
    Type(d::admin, "");
    Type(d::index, "x.htm");
    if (closeBox) {
      PostMessageW(dialog_, WM_CLOSE, 0, 0);
    } else {
      Press(d::Command2);
    }
    ASSERT_TRUE(WaitForClose());
    EXPECT_TRUE(NoMessageAfterRoundTrip());
    EXPECT_TRUE(Untouched(ProfilePath(), profile));
    EXPECT_TRUE(Untouched(ConfPath(), conf));
  }
  // Nothing typed survives the closing.
  Open();
  EXPECT_EQ(Fields(), (std::vector<std::string>{"80", Www(), "localhost", "admin@localhost", "index.php index.html"}));
}

TEST_F(ApacheDialog, AReadOnlyHttpdConfIsNamedTheDialogStaysOpenAndTheProfileKeepsThePort) {
  WriteProfile(StoredProfile());
  ASSERT_TRUE(SetFileAttributesW(ConfPath().c_str(), FILE_ATTRIBUTE_READONLY));
  StartPanel();
  Open();
  Type(d::listen, "8080");
  Type(d::admin, "webmaster@example.test");
  Press(d::Command1);
  EXPECT_EQ(Answer(), "无法写入文件“" + Home() +
                          "\\Apache2\\conf\\httpd.conf”（文件是只读的，或正被其他程序使用）。"
                          "已经保存的设置保持不变，其余设置没有保存。");
  EXPECT_TRUE(NoMessageAfterRoundTrip()) << "no success message after a failed write";
  ASSERT_TRUE(Shown()) << "the dialog stays open";
  EXPECT_EQ(Text(d::listen), "8080");
  EXPECT_EQ(Text(d::admin), "webmaster@example.test");
  // The port reached the profile before httpd.conf refused it; the mailbox,
  // which comes after, was not tried.
  EXPECT_EQ(ReadBytes(ProfilePath()), Replaced(StoredProfile(), "Listen=80\r\n", "Listen=8080\r\n"));
  EXPECT_EQ(ReadBytes(ConfPath()), conf_);

  // Once the file can be written, the same confirmation goes through.
  ASSERT_TRUE(SetFileAttributesW(ConfPath().c_str(), FILE_ATTRIBUTE_NORMAL));
  Press(d::Command1);
  EXPECT_EQ(Answer(), kDone);
  ASSERT_TRUE(WaitForClose());
  EXPECT_EQ(ReadBytes(ProfilePath()),
            Replaced(Replaced(StoredProfile(), "Listen=80\r\n", "Listen=8080\r\n"), "ServerAdmin=admin@localhost",
                     "ServerAdmin=webmaster@example.test"));
  EXPECT_EQ(ReadBytes(ConfPath()),
            WithLine(WithLine(conf_, "Listen 80", "Listen 8080"), "ServerAdmin admin@localhost",
                     "ServerAdmin webmaster@example.test"));
}

TEST_F(ApacheDialog, ADirectiveMissingFromHttpdConfIsNamedAndNotAdded) {
  WriteProfile(StoredProfile());
  conf_ = WithLine(conf_, "ServerName localhost:80", "#ServerName localhost:80");
  ASSERT_TRUE(WriteBytes(ConfPath(), conf_));
  StartPanel();
  Open();
  Type(d::listen, "81");
  Type(d::sname, "dev.local");
  Press(d::Command1);
  EXPECT_EQ(Answer(), "设置已保存，但httpd.conf中没有ServerName指令，相应的设置不会生效（程序不会自动添加）。");
  ASSERT_TRUE(WaitForClose());
  EXPECT_TRUE(NoMessageAfterRoundTrip()) << "no success message besides";
  EXPECT_EQ(ReadBytes(ProfilePath()),
            Replaced(Replaced(StoredProfile(), "Listen=80\r\n", "Listen=81\r\n"), "ServerName=localhost\r\n",
                     "ServerName=dev.local\r\n"));
  EXPECT_EQ(ReadBytes(ConfPath()), WithLine(conf_, "Listen 80", "Listen 81"));
}

// --- Browsing ----------------------------------------------------------------------

TEST_F(ApacheDialog, BrowseOpensTheFolderPickerAndCancellingItEmptiesTheDirectory) {
  WriteProfile(StoredProfile());
  StartPanel();
  Open();
  ASSERT_EQ(Text(d::root), Www());
  Press(d::Command3);
  HWND picker = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND hwnd : DialogsOf(panel_->processId()))
      if (hwnd != dialog_ && Caption(hwnd) != L"TellurixAdmin") picker = hwnd;
    return picker != nullptr;
  })) << "no folder picker appeared";
  EXPECT_EQ(GetWindow(picker, GW_OWNER), dialog_) << "the picker belongs to the dialog";
  EXPECT_TRUE(HasChildText(picker, "请选择网站的目录")) << "the picker shows the instruction";
  PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(picker); }));
  EXPECT_TRUE(WaitUntil([&] { return Text(d::root).empty(); })) << "root still holds \"" << Text(d::root) << "\"";
  EXPECT_TRUE(NoMessageAfterRoundTrip());
  ASSERT_TRUE(Shown());
  EXPECT_EQ(Text(d::listen), "80") << "the other fields keep their texts";
}

TEST_F(ApacheDialog, AFolderChosenInThePickerReplacesTheDirectory) {
  // The picker lists no hidden folders, and the temporary folder lies below
  // one; the folder to choose is made at the root of drive C: instead.
  const std::wstring chosen = L"C:\\网站 选择 " + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(chosen.c_str(), nullptr));
  struct Remove {
    std::wstring path;
    ~Remove() { RemoveDirectoryW(path.c_str()); }
  } remove{chosen};
  WriteProfile(StoredProfile());
  StartPanel();
  Open();
  Press(d::Command3);
  HWND picker = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND hwnd : DialogsOf(panel_->processId()))
      if (hwnd != dialog_ && Caption(hwnd) != L"TellurixAdmin") picker = hwnd;
    return picker != nullptr;
  })) << "no folder picker appeared";
  // The picker takes the path to select from the program that owns it, so the
  // path is placed in the panel's memory.
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, panel_->processId());
  ASSERT_NE(process, nullptr);
  const SIZE_T size = (chosen.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(remote, nullptr);
  const bool placed = WriteProcessMemory(process, remote, chosen.c_str(), size, nullptr);
  DWORD_PTR ignored = 0;
  if (placed) SendMessageTimeoutW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000, &ignored);
  PostMessageW(picker, WM_COMMAND, IDOK, 0);
  const bool closed = WaitUntil([&] { return !IsWindow(picker); });
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  ASSERT_TRUE(placed);
  ASSERT_TRUE(closed);
  EXPECT_TRUE(WaitUntil([&] { return Text(d::root) == Narrow(chosen); })) << "root holds \"" << Text(d::root) << "\"";
  EXPECT_TRUE(NoMessageAfterRoundTrip());
  ASSERT_TRUE(Shown());
  // The chosen folder is what the confirmation stores and writes.
  Press(d::Command1);
  EXPECT_EQ(Answer(), kDone);
  ASSERT_TRUE(WaitForClose());
  EXPECT_EQ(ReadBytes(ProfilePath()), Replaced(StoredProfile(), Ansi("DocumentRoot=" + Www()),
                                               Ansi("DocumentRoot=" + Narrow(chosen))));
  EXPECT_EQ(ReadBytes(ConfPath()), WithLine(conf_, "DocumentRoot \"" + Ansi(Home()) + "/www\"",
                                            "DocumentRoot \"" + Ansi(Narrow(chosen)) + "\""));
}

// --- Alongside the main window --------------------------------------------------------

class ApacheDialogWithService : public ApacheDialog {
 protected:
  void TearDown() override {
    ApacheDialog::TearDown();
    Services::Stop(kApache);
  }
};

TEST_F(ApacheDialogWithService, TheStatusMonitorKeepsTickingWhileTheDialogIsOpen) {
  ASSERT_TRUE(Services::Stop(kApache));
  WriteProfile(StoredProfile());
  StartPanel();
  Open();
  const size_t before = panel_->Lines().size();
  ASSERT_TRUE(Services::Start(kApache));
  EXPECT_TRUE(WaitUntil(
      [&] {
        const auto lines = panel_->Lines();
        for (size_t i = before; i < lines.size(); ++i)
          if (lines[i].rfind("Apache已经启动...    ", 0) == 0) return true;
        return false;
      },
      15s))
      << "no status line while the dialog was open";
  EXPECT_TRUE(Shown()) << "the dialog is still open";
  Press(d::Command2);
  EXPECT_TRUE(WaitForClose());
}

}  // namespace
}  // namespace e2e
