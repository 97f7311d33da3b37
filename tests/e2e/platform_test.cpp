// The program's Windows pieces that need Wine's own functions but no running
// panel: the last step of a file write and its documented failures, the codec in
// the code pages the program meets, and the About description's font.
#include "about/about_dialog.h"
#include "core/codepage.h"
#include "core/file_io.h"
#include "dialogs/settings_apply.h"
#include "harness.h"
#include "ui/win32_handles.h"

#include <algorithm>
#include <optional>

namespace e2e {
namespace {

using namespace tellurix;

// Stands in for ReplaceFileW without a backup name, leaving the files as its
// documentation ("ReplaceFileW function", Return value) says each failure does:
// 1175, both files keep their names; 1176, the replaced file is gone and the
// replacement keeps its name; 1177, the replaced file has another name and the
// replacement keeps its name. Any other failure changes nothing. `g_takenOver`
// has a program put something else under the file's name meanwhile.
DWORD g_failure = 0;
bool g_takenOver = false;
int FailingReplace(const wchar_t* replaced, const wchar_t* replacement) {
  (void)replacement;
  if (g_failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT) DeleteFileW(replaced);
  if (g_failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileW(replaced, (std::wstring(replaced) + L".gone").c_str());
  if (g_takenOver) CreateDirectoryW(replaced, nullptr);
  SetLastError(g_failure);
  return FALSE;
}

// What each documented failure of the replace leaves, and what the user is told:
// the content written is never lost, and nothing is deleted that holds it.
TEST(Platform, AFailedReplaceNeverLosesTheOnlyCopy) {
  ProgramDirectory home(L"replace");
  const std::wstring file = home / L"httpd.conf";
  const std::string path = Narrow(file);
  SetReplaceFileStepForTesting(FailingReplace);
  using K = ErrorKind;
  const struct {
    DWORD failure;
    bool takenOver;
    const char* left;              // under the file's name ("" a folder)
    std::optional<K> kind;         // none: written
    std::vector<std::wstring> files;  // the folder's files afterwards, "~" the temporary file
  } rows[] = {
      {ERROR_UNABLE_TO_REMOVE_REPLACED, false, "old", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT, false, "new", std::nullopt, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, false, "new", std::nullopt,
       {L"TellurixAdmin.exe", L"httpd.conf", L"httpd.conf.gone"}},
      {ERROR_ACCESS_DENIED, false, "old", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_SHARING_VIOLATION, false, "old", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_DISK_FULL, false, "old", K::DiskFull, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_HANDLE_DISK_FULL, false, "old", K::DiskFull, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_PATH_NOT_FOUND, false, "old", K::NotFound, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_INVALID_PARAMETER, false, "old", K::Other, {L"TellurixAdmin.exe", L"httpd.conf"}},
      // Removed or moved away, and something else takes the name before the content can.
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT, true, "", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf", L"~"}},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, "", K::AccessDenied,
       {L"TellurixAdmin.exe", L"httpd.conf", L"httpd.conf.gone", L"~"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.failure << (row.takenOver ? " taken over" : ""));
    home.Put(L"httpd.conf", "old");
    g_failure = row.failure;
    g_takenOver = row.takenOver;
    const auto written = WriteFileAtomically(path, "new");
    EXPECT_EQ(written ? std::nullopt : std::optional<K>(written.error().kind), row.kind);
    EXPECT_EQ(ReadBytes(file), row.left);
    std::vector<std::wstring> files = FilesIn(Widen(home.home()));
    const std::string keptAt = written ? std::string() : written.error().keptAt;
    for (std::wstring& name : files) {
      if (name.rfind(L"tlx", 0) == 0) {
        // The temporary file is left only where the message names it, holding the content.
        EXPECT_EQ(keptAt, home.home() + "\\" + Narrow(name));
        EXPECT_EQ(ReadBytes(home / name), "new");
        EXPECT_EQ(CannotWriteMessage(written.error()),
                  "无法写入文件“" + path +
                      "”（文件是只读的，或正被其他程序使用）。已经保存的设置保持不变，其余设置没有保存。"
                      "文件的新内容保存在“" +
                      keptAt + "”，请手动改名为原文件名。");
        DeleteFileW((home / name).c_str());
        name = L"~";
      }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::wstring> expected = row.files;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files, expected);
    EXPECT_EQ(keptAt.empty(), std::count(row.files.begin(), row.files.end(), L"~") == 0);
    DeleteFileW((file + L".gone").c_str());
    RemoveDirectoryW(file.c_str());
  }
  SetReplaceFileStepForTesting(nullptr);
}

// The conversion flags must be ones WideCharToMultiByte takes for the code page, or every conversion fails: UTF-7
// takes none, and the system's code page may be UTF-8 itself. (Wine 8 has no GB18030 and no ISO-2022 code pages.)
TEST(Platform, CodecWorksInTheCodePagesItMeets) {
  const std::string chinese = "端口 80";
  const std::pair<unsigned, std::string> rows[] = {
      {936, "\xB6\xCB\xBF\xDA 80"}, {65001, chinese}, {65000, "+eu9T4w- 80"}};
  for (const auto& [codePage, bytes] : rows) {
    EXPECT_EQ(ToCodePage(chinese, codePage), bytes) << codePage;
    EXPECT_EQ(FromCodePage(bytes, codePage), chinese) << codePage;
  }
  // What a code page cannot hold is refused, never written as '?'.
  EXPECT_EQ(ToCodePage("站点 😀", 936), std::nullopt);
  EXPECT_EQ(ToCodePage("站点 😀", 65001), "站点 😀");
  EXPECT_EQ(ToCodePage("\xED\xA0\x80", 65001), std::nullopt) << "a lone surrogate";
  EXPECT_EQ(FromCodePage("\xC3", 65001), std::nullopt);
}

TEST(Platform, AboutDescriptionFitsItsLabel) {
  const std::wstring description = Widen(text::kAboutDescription);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  const SIZE box = {MulDiv(225, dpi, 96), MulDiv(41, dpi, 96)};  // Label2
  UniqueFont font(CreateFittingChineseFont(description, box, dpi));
  ASSERT_TRUE(font);
  HGDIOBJ previous = SelectObject(screen, font.get());
  RECT measured = {0, 0, box.cx, 0};
  DrawTextW(screen, description.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  EXPECT_LE(measured.bottom, box.cy);
  EXPECT_LE(measured.right, box.cx);
}

}  // namespace
}  // namespace e2e
