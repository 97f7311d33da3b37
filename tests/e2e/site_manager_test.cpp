// The site manager under Wine: opened from the main window's button and from
// both menus, it shows the example and the whole of vhosts.conf, saves the edited
// text whole, and never loses what the user typed or damages the file.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "harness.h"
#include "resources/ids.h"

namespace e2e {
namespace {

namespace d = ids::zhanform;

const std::string kExample =
    "<VirtualHost *:80>\r\n"
    "    ServerAdmin me@site.example\r\n"
    "    DocumentRoot \"D:/www\"\r\n"
    "    ServerName www.site.example\r\n"
    "    ServerAlias site.example\r\n"
    "</VirtualHost>";
const std::string kExplanation =
    "说明：\r\n"
    "ServerAdmin 信箱\r\n"
    "DocumentRoot 站点目录\r\n"
    "ServerName 域名\r\n"
    "ServerAlias 域名别名\r\n"
    "多站点请重复示例内容";
const std::string kSaved = "站点信息已保存，重起Apache生效。";
const std::string kBom = "\xEF\xBB\xBF";
// "站点" in code page 936, the panel's ANSI code page in the test bench.
const std::string kGbkSite = "\xD5\xBE\xB5\xE3";

// Bytes as escapes, so that a failure shows exactly which byte differs.
std::string Show(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string shown;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      shown += "\\x";
      shown += digits[c >> 4];
      shown += digits[c & 15];
    }
  }
  return shown;
}

// A visible top-level dialog window of the process with this caption.
HWND FindDialog(DWORD processId, const wchar_t* caption) {
  for (HWND candidate = nullptr; (candidate = FindWindowExW(nullptr, candidate, L"#32770", caption));) {
    DWORD pid = 0;
    GetWindowThreadProcessId(candidate, &pid);
    if (pid == processId && IsWindowVisible(candidate)) return candidate;
  }
  return nullptr;
}

// The text of a control of another process, asked from the control itself (the
// system's copy of an edit control's text is not kept up to date).
std::string ControlText(HWND control) {
  const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(control, WM_GETTEXT, static_cast<WPARAM>(length) + 1, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

void SetControlText(HWND control, const std::string& text) {
  const std::wstring wide = Widen(text);
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

// The selection of an edit control as (start, end).
std::pair<int, int> Selection(HWND edit) {
  const DWORD packed = static_cast<DWORD>(SendMessageW(edit, EM_GETSEL, 0, 0));
  return {LOWORD(packed), HIWORD(packed)};
}

class SiteManager : public ::testing::Test {
 protected:
  // A ProgramDirectory whose name holds a space and Chinese characters.
  SiteManager() : directory_(L"站点 管理") {}

  void SetUp() override {
    CreateDirectoryW((directory_.path() + L"\\Apache2").c_str(), nullptr);
    CreateDirectoryW((directory_.path() + L"\\Apache2\\conf").c_str(), nullptr);
    conf_ = directory_.path() + L"\\Apache2\\conf\\vhosts.conf";
  }
  void TearDown() override {
    panel_.reset();
    SetFileAttributesW(conf_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  void StartPanel() {
    panel_ = std::make_unique<Panel>(directory_.exe());
    ASSERT_TRUE(panel_->started());
    ASSERT_TRUE(panel_->WaitForLines(2));
  }

  // Opens the site manager with the button or a menu entry and waits for it.
  HWND Open(int opener) {
    if (opener == ids::zhanCom) {
      panel_->Click(opener);
    } else {
      panel_->Choose(opener);
    }
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindDialog(panel_->processId(), L"站点管理")) != nullptr; });
    return dialog;
  }

  // The message box the panel shows over the dialog.
  HWND WaitForBox() const {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindDialog(panel_->processId(), L"TellurixAdmin")) != nullptr; }, 5s);
    return box;
  }
  // Waits for the message box, reads it and presses OK.
  std::string Acknowledge() const {
    HWND box = WaitForBox();
    if (!box) return "<no message box>";
    const std::string text = MessageBoxText(box);
    if (GetDlgItem(box, IDCANCEL) != nullptr) return "<not OK only> " + text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (!WaitUntil([&] { return !IsWindow(box); })) return "<message box stays> " + text;
    return text;
  }

  static void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }
  static bool Closes(HWND dialog) { return WaitUntil([&] { return !IsWindow(dialog); }); }
  // Open after its thread has finished handling everything sent before.
  static bool StaysOpen(HWND dialog) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return IsWindow(dialog) && IsWindowVisible(dialog);
  }

  std::string Conf() const { return ReadBytes(conf_); }

  ProgramDirectory directory_;
  std::wstring conf_;
  std::unique_ptr<Panel> panel_;
};

// --- Opening ------------------------------------------------------------------

TEST_F(SiteManager, TheButtonAndBothMenuEntriesOpenItWithTheExampleAndTheWholeFile) {
  ASSERT_TRUE(WriteBytes(conf_, "<VirtualHost *:80>\n\tServerName a.example\r\n</VirtualHost>"));
  StartPanel();
  for (int opener : {ids::zhanCom, ids::zhan1, ids::zhan2}) {
    HWND dialog = Open(opener);
    ASSERT_NE(dialog, nullptr) << "opener " << opener;
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::Text1)), kExample);
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::Label3)), kExplanation);
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::Label2)), "示例");
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::Label1)), "请复制示例内容填到下面的框中做相应修改后保存");
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::Command1)), "保存");
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::Command2)), "取消");
    // Every line of the file followed by CR LF, the last included.
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::host)), "<VirtualHost *:80>\r\n\tServerName a.example\r\n</VirtualHost>\r\n");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, d::Command1)));
    // The example has no scroll bars, the file's text a vertical one; no button
    // is the default.
    const LONG_PTR text1 = GetWindowLongPtrW(GetDlgItem(dialog, d::Text1), GWL_STYLE);
    const LONG_PTR host = GetWindowLongPtrW(GetDlgItem(dialog, d::host), GWL_STYLE);
    EXPECT_TRUE((text1 & ES_MULTILINE) && !(text1 & WS_VSCROLL) && !(text1 & WS_HSCROLL));
    EXPECT_TRUE((host & ES_MULTILINE) && (host & WS_VSCROLL));
    for (int button : {d::Command1, d::Command2})
      EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(dialog, button), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    Press(dialog, d::Command2);
    ASSERT_TRUE(Closes(dialog));
  }
  EXPECT_EQ(Conf(), "<VirtualHost *:80>\n\tServerName a.example\r\n</VirtualHost>");
  EXPECT_TRUE(panel_->Responsive());
}

// --- Saving -------------------------------------------------------------------

TEST_F(SiteManager, AMissingFileOpensEmptyAndSavingCreatesItWithoutOuterSpaces) {
  StartPanel();
  HWND dialog = Open(ids::zhanCom);
  ASSERT_NE(dialog, nullptr);
  HWND host = GetDlgItem(dialog, d::host);
  EXPECT_EQ(ControlText(host), "");
  SetControlText(host, "  <VirtualHost *:80>\r\n\tServerName 站点.example\r\n</VirtualHost>\r\n\r\n  ");
  Press(dialog, d::Command1);
  EXPECT_EQ(Acknowledge(), kSaved);
  ASSERT_TRUE(Closes(dialog));
  // Leading tab, inner spaces and the trailing empty line stay; nothing is added.
  EXPECT_EQ(Show(Conf()), Show("<VirtualHost *:80>\r\n\tServerName " + kGbkSite + ".example\r\n</VirtualHost>\r\n\r\n"));
}

TEST_F(SiteManager, SavingWithoutAnEditNormalisesOnceAndThenChangesNothing) {
  ASSERT_TRUE(WriteBytes(conf_, "   <VirtualHost *:80>\n    ServerName a.example\r    DocumentRoot \"D:/www\"\r\n</VirtualHost>"));
  const std::string normal = "<VirtualHost *:80>\r\n    ServerName a.example\r\n    DocumentRoot \"D:/www\"\r\n</VirtualHost>\r\n";
  StartPanel();
  for (int opener : {ids::zhan1, ids::zhan2}) {
    HWND dialog = Open(opener);
    ASSERT_NE(dialog, nullptr);
    Press(dialog, d::Command1);
    // The message comes every time, changed or not.
    EXPECT_EQ(Acknowledge(), kSaved);
    ASSERT_TRUE(Closes(dialog));
    EXPECT_EQ(Show(Conf()), Show(normal)) << "opener " << opener;
  }
}

TEST_F(SiteManager, AUtf8FileWithChineseCommentsIsSavedBackAsUtf8) {
  // The first line is no valid text in code page 936 (a lone lead byte before a
  // space), so the file can only be UTF-8.
  const std::string lines[] = {"# 本文件 由站点管理写入", "<VirtualHost *:80>", "    ServerName 站点.example",
                               "    # 中文注释：主站", "</VirtualHost>"};
  std::string lf, crlf;
  for (const std::string& line : lines) {
    lf += line + "\n";
    crlf += line + "\r\n";
  }
  for (const std::string& mark : {std::string(), kBom}) {
    ASSERT_TRUE(WriteBytes(conf_, mark + lf));
    StartPanel();
    for (int round = 1; round <= 2; ++round) {
      HWND dialog = Open(ids::zhanCom);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(ControlText(GetDlgItem(dialog, d::host)), crlf) << "round " << round;
      Press(dialog, d::Command1);
      EXPECT_EQ(Acknowledge(), kSaved);
      ASSERT_TRUE(Closes(dialog));
      EXPECT_EQ(Show(Conf()), Show(mark + crlf)) << "round " << round << (mark.empty() ? "" : ", with mark");
    }
    panel_.reset();
  }
}

// --- Leaving without saving -----------------------------------------------------

TEST_F(SiteManager, CancelAndTheCloseBoxWriteNothing) {
  const std::string original = "<VirtualHost *:80>\n</VirtualHost>";
  ASSERT_TRUE(WriteBytes(conf_, original));
  StartPanel();
  HWND dialog = Open(ids::zhanCom);
  ASSERT_NE(dialog, nullptr);
  SetControlText(GetDlgItem(dialog, d::host), "changed");
  Press(dialog, d::Command2);
  ASSERT_TRUE(Closes(dialog));
  EXPECT_EQ(Conf(), original);

  dialog = Open(ids::zhan2);
  ASSERT_NE(dialog, nullptr);
  SetControlText(GetDlgItem(dialog, d::host), "changed");
  PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(Closes(dialog));
  EXPECT_EQ(Conf(), original);

  // Without a file, leaving creates none.
  ASSERT_TRUE(DeleteFileW(conf_.c_str()));
  dialog = Open(ids::zhan1);
  ASSERT_NE(dialog, nullptr);
  SetControlText(GetDlgItem(dialog, d::host), "changed");
  Press(dialog, d::Command2);
  ASSERT_TRUE(Closes(dialog));
  EXPECT_FALSE(Exists(conf_));
  EXPECT_TRUE(panel_->Responsive());
}

// --- Failures -----------------------------------------------------------------

TEST_F(SiteManager, AReadOnlyFileIsNamedAndTheDialogKeepsTheTypedText) {
  ASSERT_TRUE(WriteBytes(conf_, "old\r\n"));
  ASSERT_TRUE(SetFileAttributesW(conf_.c_str(), FILE_ATTRIBUTE_READONLY));
  StartPanel();
  HWND dialog = Open(ids::zhanCom);
  ASSERT_NE(dialog, nullptr);
  HWND host = GetDlgItem(dialog, d::host);
  const std::string typed = "<VirtualHost *:80>\r\n    ServerName 站点.example\r\n</VirtualHost>\r\n";
  SetControlText(host, typed);
  Press(dialog, d::Command1);
  EXPECT_EQ(Acknowledge(), "无法写入文件“" + Narrow(conf_) +
                               "”（文件是只读的，或正被其他程序使用）。已经保存的设置保持不变，其余设置没有保存。");
  ASSERT_TRUE(StaysOpen(dialog));
  EXPECT_EQ(ControlText(host), typed);
  EXPECT_EQ(Conf(), "old\r\n");

  // Once the file can be written, the same text saves.
  ASSERT_TRUE(SetFileAttributesW(conf_.c_str(), FILE_ATTRIBUTE_NORMAL));
  Press(dialog, d::Command1);
  EXPECT_EQ(Acknowledge(), kSaved);
  ASSERT_TRUE(Closes(dialog));
  EXPECT_EQ(Show(Conf()), Show("<VirtualHost *:80>\r\n    ServerName " + kGbkSite + ".example\r\n</VirtualHost>\r\n"));
}

TEST_F(SiteManager, ACharacterTheCodePageLacksIsNamedAndNothingIsWritten) {
  ASSERT_TRUE(WriteBytes(conf_, "# " + kGbkSite + "\r\n"));
  StartPanel();
  HWND dialog = Open(ids::zhan1);
  ASSERT_NE(dialog, nullptr);
  HWND host = GetDlgItem(dialog, d::host);
  ASSERT_EQ(ControlText(host), "# 站点\r\n");
  const std::string typed = "# 站点 😀\r\n";
  SetControlText(host, typed);
  Press(dialog, d::Command1);
  EXPECT_EQ(Acknowledge(),
            "站点信息中的“😀”无法用文件的编码（系统编码）保存，站点信息没有保存。请删去或改写这个字符后再保存。");
  ASSERT_TRUE(StaysOpen(dialog));
  EXPECT_EQ(ControlText(host), typed);
  EXPECT_EQ(Conf(), "# " + kGbkSite + "\r\n");
}

// A file that cannot be read, or is no text the dialog can show, is reported
// when the dialog opens; the dialog opens empty and cannot save over it.
TEST_F(SiteManager, AFileThatCannotBeShownIsReportedAndNeverSavedOver) {
  const std::string path = Narrow(conf_);
  const std::string notText = "# \x81\x7F\r\n";  // invalid in code page 936 and in UTF-8
  const struct {
    const char* what;
    bool folder;
    std::string message;
  } table[] = {
      {"a folder of that name", true,
       "无法读取文件“" + path + "”（这是一个文件夹）。为免覆盖文件原有的内容，这次不能保存。"},
      {"neither code page 936 nor UTF-8", false,
       "文件“" + path + "”既不是系统编码的文本，也不是UTF-8文本，无法在这里编辑。为免损坏文件，这次不能保存。"},
  };
  StartPanel();
  for (const auto& row : table) {
    if (row.folder) {
      ASSERT_TRUE(CreateDirectoryW(conf_.c_str(), nullptr));
    } else {
      ASSERT_TRUE(RemoveDirectoryW(conf_.c_str()));
      ASSERT_TRUE(WriteBytes(conf_, notText));
    }
    HWND dialog = Open(ids::zhanCom);
    ASSERT_NE(dialog, nullptr) << row.what;
    EXPECT_EQ(Acknowledge(), row.message) << row.what;
    ASSERT_TRUE(StaysOpen(dialog)) << row.what;
    EXPECT_EQ(ControlText(GetDlgItem(dialog, d::host)), "") << row.what;
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, d::Command1))) << row.what;
    // Even a save that reaches the dialog does nothing.
    SetControlText(GetDlgItem(dialog, d::host), "x");
    Press(dialog, d::Command1);
    ASSERT_TRUE(StaysOpen(dialog)) << row.what;
    EXPECT_EQ(FindDialog(panel_->processId(), L"TellurixAdmin"), nullptr) << row.what;
    Press(dialog, d::Command2);
    ASSERT_TRUE(Closes(dialog)) << row.what;
    if (row.folder) {
      EXPECT_TRUE(GetFileAttributesW(conf_.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    } else {
      EXPECT_EQ(Show(Conf()), Show(notText));
    }
  }
}

// --- The example ----------------------------------------------------------------

TEST_F(SiteManager, AClickInTheExampleSelectsAllOfItAlsoAfterAnEdit) {
  StartPanel();
  HWND dialog = Open(ids::zhanCom);
  ASSERT_NE(dialog, nullptr);
  HWND example = GetDlgItem(dialog, d::Text1);
  const auto click = [&] {
    PostMessageW(example, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(example, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  };
  const int length = static_cast<int>(Widen(kExample).size());
  SendMessageW(example, EM_SETSEL, 2, 5);
  ASSERT_EQ(Selection(example), std::make_pair(2, 5));
  click();
  EXPECT_TRUE(WaitUntil([&] { return Selection(example) == std::make_pair(0, length); }))
      << Selection(example).first << "," << Selection(example).second;

  const std::string edited = "<VirtualHost *:8080>\r\n</VirtualHost>";
  SetControlText(example, edited);
  SendMessageW(example, EM_SETSEL, 0, 0);
  click();
  const int editedLength = static_cast<int>(Widen(edited).size());
  EXPECT_TRUE(WaitUntil([&] { return Selection(example) == std::make_pair(0, editedLength); }))
      << Selection(example).first << "," << Selection(example).second;
  // Clicking in the file's text does not select it all.
  HWND host = GetDlgItem(dialog, d::host);
  SetControlText(host, "abc\r\n");
  SendMessageW(host, EM_SETSEL, 1, 1);
  PostMessageW(host, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  PostMessageW(host, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
  ASSERT_TRUE(StaysOpen(dialog));
  EXPECT_EQ(Selection(host), std::make_pair(0, 0));
  Press(dialog, d::Command2);
  EXPECT_TRUE(Closes(dialog));
}

}  // namespace
}  // namespace e2e
