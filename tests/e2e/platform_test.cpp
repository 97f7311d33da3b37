// The program's Windows pieces that need Wine's own functions but no running
// panel: the last step of a file write and its documented failures, the codec in
// the code pages the program meets, and the About description's font.
#include "about/about_dialog.h"
#include "core/codepage.h"
#include "core/file_io.h"
#include "harness.h"
#include "ui/win32_handles.h"

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

TEST(Platform, AFailedReplaceNeverLosesTheOnlyCopy) {
  ProgramDirectory home(L"replace");
  const std::wstring file = home / L"httpd.conf";
  const std::string path = Narrow(file);
  SetReplaceFileStepForTesting(FailingReplace);
  const struct {
    DWORD failure;
    const char* left;
    bool written;
  } rows[] = {
      {ERROR_UNABLE_TO_REMOVE_REPLACED, "old", false},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT, "old", false},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, "new", true},
      {ERROR_ACCESS_DENIED, "old", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.failure);
    home.Put(L"httpd.conf", "old");
    g_failure = row.failure;
    const auto written = WriteFileAtomically(path, "new");
    EXPECT_EQ(bool(written), row.written);
    EXPECT_EQ(ReadBytes(file), row.left);
    DeleteFileW((file + L".gone").c_str());
    EXPECT_EQ(FilesIn(Widen(home.home())).size(), 2u) << "the panel and the file: no temporary file left";
  }
  // Moved away and nothing can take its place: the new content stays where the error says.
  home.Put(L"httpd.conf", "old");
  g_failure = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 + 100;
  const auto written = WriteFileAtomically(path, "new");
  SetReplaceFileStepForTesting(nullptr);
  ASSERT_FALSE(written);
  ASSERT_FALSE(written.error().keptAt.empty());
  EXPECT_EQ(ReadBytes(Widen(written.error().keptAt)), "new");
  RemoveDirectoryW(file.c_str());
}

TEST(Platform, CodecWorksInTheChineseAndTheUtf8CodePage) {
  const std::string chinese = "端口 80";
  EXPECT_EQ(ToCodePage(chinese, 936), std::string("\xB6\xCB\xBF\xDA 80"));
  EXPECT_EQ(ToCodePage(chinese, 65001), chinese);
  EXPECT_EQ(FromCodePage("\xB6\xCB\xBF\xDA 80", 936), chinese);
  EXPECT_EQ(FromCodePage(chinese, 65001), chinese);
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
