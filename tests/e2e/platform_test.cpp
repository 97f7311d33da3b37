// The program's Windows pieces that need Wine's own functions but no running
// panel: the last step of a file write and its documented failures, the codec in
// the code pages the program meets, and the About description's font.
#include "about/about_dialog.h"
#include "core/codepage.h"
#include "core/file_io.h"
#include "dialogs/settings_apply.h"
#include "harness.h"
#include "ui/win32_handles.h"

#include <optional>

namespace e2e {
namespace {

using namespace tellurix;

// Stands in for ReplaceFileW: leaves the files as the documented failure does
// and reports it.
DWORD g_failure = 0;
int FailingReplace(const wchar_t* replaced, const wchar_t* replacement) {
  (void)replacement;
  // After 1177 the old file has been moved away (to a name nobody told us).
  if (g_failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileW(replaced, (std::wstring(replaced) + L".gone").c_str());
  // And where it cannot be put back, something else has taken its name.
  if (g_failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 + 100) {
    MoveFileW(replaced, (std::wstring(replaced) + L".gone").c_str());
    CreateDirectoryW(replaced, nullptr);
  }
  SetLastError(g_failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 + 100 ? ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 : g_failure);
  return FALSE;
}

// What each documented failure of the replace leaves, and the kind of failure the user is told of.
TEST(Platform, AFailedReplaceNeverLosesTheOnlyCopy) {
  ProgramDirectory home(L"replace");
  const std::wstring file = home / L"httpd.conf";
  const std::string path = Narrow(file);
  SetReplaceFileStepForTesting(FailingReplace);
  using K = ErrorKind;
  const struct {
    DWORD failure;
    const char* left;
    std::optional<K> kind;  // none: written
  } rows[] = {
      {ERROR_UNABLE_TO_REMOVE_REPLACED, "old", K::AccessDenied},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT, "old", K::AccessDenied},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, "new", std::nullopt},
      {ERROR_ACCESS_DENIED, "old", K::AccessDenied},
      {ERROR_SHARING_VIOLATION, "old", K::AccessDenied},
      {ERROR_DISK_FULL, "old", K::DiskFull},
      {ERROR_HANDLE_DISK_FULL, "old", K::DiskFull},
      {ERROR_PATH_NOT_FOUND, "old", K::NotFound},
      {ERROR_INVALID_PARAMETER, "old", K::Other},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.failure);
    home.Put(L"httpd.conf", "old");
    g_failure = row.failure;
    const auto written = WriteFileAtomically(path, "new");
    EXPECT_EQ(written ? std::nullopt : std::optional<K>(written.error().kind), row.kind);
    EXPECT_EQ(ReadBytes(file), row.left);
    DeleteFileW((file + L".gone").c_str());
    EXPECT_EQ(FilesIn(Widen(home.home())).size(), 2u) << "the panel and the file: no temporary file left";
  }
  // Moved away and nothing can take its place: the new content stays where the message says.
  home.Put(L"httpd.conf", "old");
  g_failure = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 + 100;
  const auto written = WriteFileAtomically(path, "new");
  SetReplaceFileStepForTesting(nullptr);
  ASSERT_FALSE(written);
  const std::string keptAt = written.error().keptAt;
  EXPECT_EQ(ReadBytes(Widen(keptAt)), "new");
  EXPECT_EQ(keptAt.substr(0, keptAt.rfind('\\')), home.home());
  EXPECT_EQ(CannotWriteMessage(written.error()),
            "无法写入文件“" + path +
                "”（文件是只读的，或正被其他程序使用）。已经保存的设置保持不变，其余设置没有保存。"
                "文件的新内容保存在“" +
                keptAt + "”，请手动改名为原文件名。");
  RemoveDirectoryW(file.c_str());
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
