// The About dialog under Wine: its texts, picture and link, opened from both
// menus. The link's shortcuts land in the bench prefix's own Desktop folder; a
// recorder named explorer.exe in the ProgramDirectory, where Windows looks
// first, records the start that opens the main site.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>

#include "harness.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace e2e {
namespace {

namespace d = ids::fabout;

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kMainSiteStart = "explorer.exe http://www.mossgrove.example/?i";

struct Started {
  int show;
  std::string commandLine;
  bool operator==(const Started& other) const { return show == other.show && commandLine == other.commandLine; }
};
std::ostream& operator<<(std::ostream& os, const Started& s) { return os << "[" << s.show << "] " << s.commandLine; }

std::optional<std::wstring> ReadText(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return std::nullopt;
  return std::wstring(value);
}

// Gives a registry text value another text for as long as it lives, and then
// puts the old one back (or removes the value if there was none).
class RegistryOverride {
 public:
  RegistryOverride(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value)
      : root_(root), key_(key), name_(name ? name : L""), old_(ReadText(root, key, name)) {
    ok_ = Write(value);
  }
  ~RegistryOverride() {
    if (old_) {
      Write(*old_);
    } else {
      RegDeleteKeyValueW(root_, key_.c_str(), name_.empty() ? nullptr : name_.c_str());
    }
  }
  RegistryOverride(const RegistryOverride&) = delete;
  RegistryOverride& operator=(const RegistryOverride&) = delete;
  bool ok() const { return ok_; }

 private:
  bool Write(const std::wstring& value) {
    return RegSetKeyValueW(root_, key_.c_str(), name_.empty() ? nullptr : name_.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  HKEY root_;
  std::wstring key_, name_;
  std::optional<std::wstring> old_;
  bool ok_ = false;
};

// A shortcut's target as the shell reads the file back: the parsing name of the
// item its ID list ends in, which is the web address.
std::string LinkTarget(const std::wstring& path) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return "<no shell link object>";
  }
  std::string target = "<cannot load>";
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
      PIDLIST_ABSOLUTE items = nullptr;
      PWSTR name = nullptr;
      if (SUCCEEDED(link->GetIDList(&items)) && items &&
          SUCCEEDED(SHGetNameFromIDList(items, SIGDN_PARENTRELATIVEPARSING, &name))) {
        target = Narrow(name);
      } else {
        target = "<no target>";
      }
      CoTaskMemFree(name);
      CoTaskMemFree(items);
    }
    file->Release();
  }
  link->Release();
  return target;
}

ULONGLONG LastWrite(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

bool SetLastWrite(const std::wstring& path, ULONGLONG time) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME stamp{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  const bool ok = SetFileTime(file, nullptr, nullptr, &stamp) != FALSE;
  CloseHandle(file);
  return ok;
}

std::set<std::wstring> FilesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::string WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return Narrow(text);
}

// Whether the control shows pixels of exactly this colour (it must be on screen).
bool ShowsColour(HWND control, COLORREF colour) {
  RECT rect;
  if (!GetWindowRect(control, &rect)) return false;
  HDC screen = GetDC(nullptr);
  bool found = false;
  for (LONG y = rect.top; y < rect.bottom && !found; ++y) {
    for (LONG x = rect.left; x < rect.right && !found; ++x) found = GetPixel(screen, x, y) == colour;
  }
  ReleaseDC(nullptr, screen);
  return found;
}

int Brightness(COLORREF colour) {
  return (GetRValue(colour) * 299 + GetGValue(colour) * 587 + GetBValue(colour) * 114) / 1000;
}

// The system's link colour, or the selection colour where the link colour is
// missing or hardly differs from the dialog's background (as in Wine's light
// theme, whose link colour is a pale grey).
COLORREF LinkColour() {
  const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
  const bool standsOut = std::abs(Brightness(link) - Brightness(GetSysColor(COLOR_BTNFACE))) >= 64;
  return GetSysColorBrush(COLOR_HOTLIGHT) && standsOut ? link : GetSysColor(COLOR_HIGHLIGHT);
}

// A mouse click as the control itself receives it.
void MouseClick(HWND control, bool twice = false) {
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  if (twice) {
    PostMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }
}

class AboutDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const std::wstring recorder = RecorderPath();
    ASSERT_TRUE(CopyFileW(recorder.c_str(), (directory_.path() + L"\\explorer.exe").c_str(), FALSE));
    record_ = directory_.path() + L"\\recorded.txt";
    SetEnvironmentVariableW(L"TELLURIX_RECORD", record_.c_str());  // inherited by the panel
    // Wine's desktop integration would add a launcher file beside every saved
    // shortcut; it is none of the panel's doing.
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"winemenubuilder.exe=d");
    const auto desktop = ReadText(HKEY_CURRENT_USER, kShellFolders, L"Desktop");
    ASSERT_TRUE(desktop && !desktop->empty());
    desktop_ = *desktop;
    while (!desktop_.empty() && desktop_.back() == L'\\') desktop_.pop_back();
    RemoveShortcuts();
    panel_ = std::make_unique<Panel>(directory_.exe());
    ASSERT_TRUE(panel_->started());
    ASSERT_TRUE(panel_->WaitForLines(2));
  }
  void TearDown() override {
    panel_.reset();
    RemoveShortcuts();
    SetEnvironmentVariableW(L"TELLURIX_RECORD", nullptr);
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", nullptr);
    CoUninitialize();
  }

  static std::wstring RecorderPath() {
    std::wstring path = PathFromEnvironment("TELLURIX_EXE");
    return path.substr(0, path.rfind(L'\\')) + L"\\recorder.exe";
  }

  std::wstring Lanterra() const { return desktop_ + L"\\Lanterra.lnk"; }
  std::wstring Mossgrove() const { return desktop_ + L"\\Mossgrove.lnk"; }
  void RemoveShortcuts() const {
    for (const wchar_t* name : {L"Lanterra", L"Mossgrove"}) {
      for (const wchar_t* type : {L".lnk", L".desktop"}) DeleteFileW((desktop_ + L"\\" + name + type).c_str());
    }
  }

  // The visible About dialog of the panel, waited for.
  HWND WaitForAbout() const {
    HWND found = nullptr;
    WaitUntil([&] {
      found = nullptr;
      for (HWND candidate = nullptr; (candidate = FindWindowExW(nullptr, candidate, L"#32770", nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(candidate, &pid);
        if (pid == panel_->processId() && IsWindowVisible(candidate) && WindowText(candidate) == text::kAboutCaption)
          found = candidate;
      }
      return found != nullptr;
    });
    return found;
  }
  HWND OpenAbout(int entry) const {
    panel_->Choose(entry);
    return WaitForAbout();
  }
  // A message box the panel shows over the dialog.
  HWND WaitForBoxOver(HWND dialog) const {
    HWND box = nullptr;
    WaitUntil([&] {
      box = nullptr;
      for (HWND candidate = nullptr; (candidate = FindWindowExW(nullptr, candidate, L"#32770", nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(candidate, &pid);
        if (candidate != dialog && pid == panel_->processId() && IsWindowVisible(candidate)) box = candidate;
      }
      return box != nullptr;
    });
    return box;
  }
  static void ClickLink(HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(d::Label1, STN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, d::Label1)));
  }

  std::vector<Started> Recorded() const {
    std::vector<Started> starts;
    std::istringstream lines(ReadBytes(record_));
    for (std::string line; std::getline(lines, line);) {
      const size_t bar = line.find('|');
      if (bar != std::string::npos) starts.push_back({std::stoi(line.substr(0, bar)), line.substr(bar + 1)});
    }
    return starts;
  }
  bool WaitForStarts(size_t count) const {
    return WaitUntil([&] { return Recorded().size() >= count; }, 15s);
  }
  // Whether a recorder the panel started is still running (and may yet write).
  bool RecorderRunning() const {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return true;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool running = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !running; more = Process32NextW(snapshot, &entry)) {
      running = entry.th32ParentProcessID == panel_->processId() && _wcsicmp(entry.szExeFile, L"explorer.exe") == 0;
    }
    CloseHandle(snapshot);
    return running;
  }
  // Every start recorded once the panel's recorders have all finished. Only
  // starts made before the call are sure to be in it.
  std::vector<Started> SettledStarts() const {
    EXPECT_TRUE(WaitUntil([&] { return !RecorderRunning(); }, 15s));
    return Recorded();
  }
  static void CloseWithOk(HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(d::Command1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, d::Command1)));
  }

  ProgramDirectory directory_;
  std::wstring record_, desktop_;
  std::unique_ptr<Panel> panel_;
};

TEST_F(AboutDialog, OpensFromBothMenusWithItsTextsPictureAndLinkAndClosesWithOk) {
  for (int entry : {ids::about, ids::about2}) {
    SCOPED_TRACE(entry);
    HWND dialog = OpenAbout(entry);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, d::Label2)), text::kAboutDescription);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, d::Label3)), text::kAboutCopyright);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, d::Label1)), "支持Tellurix");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, d::Command1)), "确定");

    // 312 x 192 pixels of client area at 96 DPI, centred on the screen.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT client, frame;
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(client.right, MulDiv(312, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(192, dpi, 96));
    EXPECT_NEAR(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2, 1);
    EXPECT_NEAR(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2, 1);

    // The emblem: a bitmap with the white letter and the green dot.
    HWND image = GetDlgItem(dialog, d::Image1);
    EXPECT_NE(SendMessageW(image, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_TRUE(WaitUntil([&] { return ShowsColour(image, RGB(0, 192, 0)) && ShowsColour(image, RGB(255, 255, 255)); },
                          5s));
    // Only the link reports clicks, and it is drawn in the link colour.
    HWND link = GetDlgItem(dialog, d::Label1);
    EXPECT_TRUE(GetWindowLongW(link, GWL_STYLE) & SS_NOTIFY);
    for (int id : {d::Image1, d::Label2, d::Label3})
      EXPECT_FALSE(GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & SS_NOTIFY) << id;
    EXPECT_TRUE(WaitUntil([&] { return ShowsColour(link, LinkColour()); }, 5s));

    CloseWithOk(dialog);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(panel_->Responsive());
  }
  EXPECT_TRUE(SettledStarts().empty());
  EXPECT_FALSE(Exists(Lanterra()));
}

TEST_F(AboutDialog, LinkPlacesBothShortcutsAndOpensTheMainSiteMinimised) {
  HWND dialog = OpenAbout(ids::about2);
  ASSERT_NE(dialog, nullptr);
  const std::set<std::wstring> before = FilesIn(desktop_);

  // The picture and the other labels are not links; a double click on the link
  // counts as one click. Closing comes after the clicks in the panel's queue, so
  // once the dialog is gone every start they caused has been made.
  for (int id : {d::Image1, d::Label2, d::Label3}) MouseClick(GetDlgItem(dialog, id));
  MouseClick(GetDlgItem(dialog, d::Label1), /*twice=*/true);
  CloseWithOk(dialog);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(SettledStarts(), (std::vector<Started>{{SW_SHOWMINIMIZED, kMainSiteStart}}));
  EXPECT_EQ(LinkTarget(Lanterra()), "http://www.lanterra.example/?i");
  EXPECT_EQ(LinkTarget(Mossgrove()), "http://www.mossgrove.example/?i");
  std::set<std::wstring> expected = before;
  expected.insert({L"Lanterra.lnk", L"Mossgrove.lnk"});
  EXPECT_EQ(FilesIn(desktop_), expected);

  // Clicking again, in a new opening, replaces both files and opens the page
  // again; the dialog stays open.
  constexpr ULONGLONG kLongAgo = 126227808000000000ULL;  // 2001-01-01
  ASSERT_TRUE(SetLastWrite(Lanterra(), kLongAgo));
  ASSERT_TRUE(SetLastWrite(Mossgrove(), kLongAgo));
  dialog = OpenAbout(ids::about);
  ASSERT_NE(dialog, nullptr);
  ClickLink(dialog);
  ASSERT_TRUE(WaitForStarts(2));
  EXPECT_EQ(SettledStarts(),
            (std::vector<Started>{{SW_SHOWMINIMIZED, kMainSiteStart}, {SW_SHOWMINIMIZED, kMainSiteStart}}));
  EXPECT_GT(LastWrite(Lanterra()), kLongAgo);
  EXPECT_GT(LastWrite(Mossgrove()), kLongAgo);
  EXPECT_EQ(FilesIn(desktop_), expected);
  EXPECT_EQ(LinkTarget(Mossgrove()), "http://www.mossgrove.example/?i");
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(panel_->Responsive());
}

TEST_F(AboutDialog, ADesktopThatCannotHoldTheShortcutIsReportedAndNothingElseIsDone) {
  HWND dialog = OpenAbout(ids::about);
  ASSERT_NE(dialog, nullptr);
  const std::wstring missing = L"C:\\no such desktop " + std::to_wstring(GetCurrentProcessId());
  {
    RegistryOverride desktop(HKEY_CURRENT_USER, kShellFolders, L"Desktop", missing);
    ASSERT_TRUE(desktop.ok());
    ClickLink(dialog);
    HWND box = WaitForBoxOver(dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), std::string(text::kShortcutNotSavedBefore) + Narrow(missing) + "\\Lanterra.lnk" +
                                       text::kShortcutNotSavedAfter);
    EXPECT_EQ(WindowText(box), text::kAppTitle);
    EXPECT_TRUE(SettledStarts().empty());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  }
  EXPECT_FALSE(Exists(missing));
  EXPECT_FALSE(Exists(Lanterra()));
  EXPECT_FALSE(Exists(Mossgrove()));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(panel_->Responsive());

  // With the desktop back the same dialog's link works.
  ClickLink(dialog);
  ASSERT_TRUE(WaitForStarts(1));
  EXPECT_EQ(SettledStarts(), (std::vector<Started>{{SW_SHOWMINIMIZED, kMainSiteStart}}));
  EXPECT_TRUE(Exists(Lanterra()));
  EXPECT_TRUE(Exists(Mossgrove()));
}

TEST_F(AboutDialog, AMissingShellObjectIsReportedBeforeAnythingIsMade) {
  HWND dialog = OpenAbout(ids::about);
  ASSERT_NE(dialog, nullptr);
  {
    // The program identifier now names a class nobody registered.
    RegistryOverride progId(HKEY_CLASSES_ROOT, L"WScript.Shell\\CLSID", nullptr,
                            L"{6E0A3F14-2D55-4C1B-9A7E-0B1C2D3E4F50}");
    ASSERT_TRUE(progId.ok());
    ClickLink(dialog);
    HWND box = WaitForBoxOver(dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), text::kShortcutNoShell);
    EXPECT_TRUE(SettledStarts().empty());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  }
  EXPECT_FALSE(Exists(Lanterra()));
  EXPECT_FALSE(Exists(Mossgrove()));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(panel_->Responsive());
  ClickLink(dialog);
  ASSERT_TRUE(WaitForStarts(1));
  EXPECT_EQ(SettledStarts(), (std::vector<Started>{{SW_SHOWMINIMIZED, kMainSiteStart}}));
}

TEST_F(AboutDialog, AnExplorerThatCannotStartIsReportedAfterBothShortcuts) {
  // Not a program: starting it fails, and Windows looks no further.
  ASSERT_TRUE(WriteBytes(directory_.path() + L"\\explorer.exe", "not a program\r\n"));
  HWND dialog = OpenAbout(ids::about2);
  ASSERT_NE(dialog, nullptr);
  ClickLink(dialog);
  HWND box = WaitForBoxOver(dialog);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), std::string(text::kSiteNotOpenedBefore) + kMainSiteStart + text::kSiteNotOpenedAfter);
  EXPECT_EQ(LinkTarget(Lanterra()), "http://www.lanterra.example/?i");
  EXPECT_EQ(LinkTarget(Mossgrove()), "http://www.mossgrove.example/?i");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(panel_->Responsive());
}

}  // namespace
}  // namespace e2e
