#include "about/about_dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "about/about_look.h"
#include "about/shortcuts.h"
#include "resources/ids.h"
#include "resources/resource.h"
#include "resources/texts.h"
#include "ui/dialog_window.h"
#include "ui/layout.h"
#include "ui/win32_controls.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

namespace d = ids::fabout;

constexpr int kPointSize = 12;

// The fixed-pitch Chinese font of the description and the copyright line:
// Fixedsys where the system has it in the Chinese (GB2312) character set, else
// the fixed-pitch Song face, else whatever fixed-pitch Chinese font the system
// chooses.
HFONT CreateChineseFixedFont(int dpi) {
  LOGFONTW font{};
  font.lfCharSet = GB2312_CHARSET;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  return CreateFontOfFirstFace({L"Fixedsys", L"NSimSun", L"新宋体", L"SimSun", L"宋体"}, kPointSize * 10, dpi, font,
                               false);
}

// Bold and underlined, so that the label reads as a link.
HFONT CreateLinkFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(kPointSize, dpi, 72);
  font.lfWeight = FW_BOLD;
  font.lfUnderline = TRUE;
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(font.lfFaceName, L"Arial", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

COLORREF LinkColourNow() {
  const bool hasLink = GetSysColorBrush(COLOR_HOTLIGHT) != nullptr;
  return LinkColour(hasLink ? std::optional<std::uint32_t>(GetSysColor(COLOR_HOTLIGHT)) : std::nullopt,
                    GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_HIGHLIGHT));
}

Picture LoadEmblem(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDB_EMBLEM), RT_BITMAP);
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return data ? ParseEmblem(std::string_view(data, SizeofResource(instance, found))) : Picture{};
}

// The picture blended onto `background` and scaled to `side` pixels square.
UniqueBitmap CreateEmblemBitmap(const Picture& picture, COLORREF background, int side) {
  if (picture.bgra.empty() || side <= 0) return {};
  const std::vector<std::uint8_t> blended = BlendOnto(picture, background);
  BITMAPINFO source{};
  source.bmiHeader.biSize = sizeof(source.bmiHeader);
  source.bmiHeader.biWidth = picture.width;
  source.bmiHeader.biHeight = -picture.height;
  source.bmiHeader.biPlanes = 1;
  source.bmiHeader.biBitCount = 32;
  source.bmiHeader.biCompression = BI_RGB;

  BITMAPINFO target = source;
  target.bmiHeader.biWidth = side;
  target.bmiHeader.biHeight = -side;
  target.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &bits, nullptr, 0));
  HDC memory = CreateCompatibleDC(nullptr);
  if (!bitmap || !memory) {
    if (memory) DeleteDC(memory);
    return {};
  }
  HGDIOBJ previous = SelectObject(memory, bitmap.get());
  SetStretchBltMode(memory, HALFTONE);
  SetBrushOrgEx(memory, 0, 0, nullptr);
  const int copied = StretchDIBits(memory, 0, 0, side, side, 0, 0, picture.width, picture.height, blended.data(),
                                   &source, DIB_RGB_COLORS, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
  if (copied <= 0) return {};  // 0, or GDI_ERROR (-1)
  return bitmap;
}

}  // namespace

HFONT CreateFittingChineseFont(std::wstring_view text, SIZE box, int dpi) {
  HDC screen = GetDC(nullptr);
  // Smaller sizes are asked of the face the system actually chose, so that a
  // size step never switches to yet another substitute.
  wchar_t face[LF_FACESIZE] = {};
  LOGFONTW wanted{};
  UniqueFont font(CreateChineseFixedFont(dpi));
  if (font) GetObjectW(font.get(), sizeof(wanted), &wanted);
  auto fits = [&](HFONT candidate) {
    HGDIOBJ previous = SelectObject(screen, candidate);
    if (!face[0]) GetTextFaceW(screen, LF_FACESIZE, face);
    RECT measured = {0, 0, box.cx, 0};
    DrawTextW(screen, text.data(), static_cast<int>(text.size()), &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(screen, previous);
    return measured.bottom <= box.cy;
  };
  if (font && !fits(font.get())) {
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    auto sized = [&](int tenths) {
      wanted.lfHeight = -MulDiv(tenths, dpi, 720);
      return UniqueFont(CreateFontIndirectW(&wanted));
    };
    font = sized(LargestFittingSize(kPointSize * 10 - 5, 60, [&](int tenths) {
      const UniqueFont candidate = sized(tenths);
      return candidate && fits(candidate.get());
    }));
  }
  ReleaseDC(nullptr, screen);
  return font.release();
}

namespace {

class AboutDialog : public DialogWindow {
 public:
  AboutDialog() : DialogWindow(text::kAboutCaption, kAboutClientWidth, kAboutClientHeight, AboutDialogControls()) {}

 private:
  void OnInit() override {
    const int dpi = ScreenDpi();
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd(), GWLP_HINSTANCE));

    // A plain picture: without SS_NOTIFY a click on it does nothing.
    HWND image = CreateStatic(d::Image1, SS_BITMAP, kImage1Place, dpi, instance);
    emblem_ =
        CreateEmblemBitmap(LoadEmblem(instance), GetSysColor(COLOR_BTNFACE), ScaleForDpi(kImage1Place.width, dpi));
    if (image && emblem_) SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(emblem_.get()));

    // SS_NOTIFY makes the label report its clicks.
    link_ = CreateStatic(d::Label1, SS_NOTIFY, kLabel1Place, dpi, instance);
    SetWindowTextW(link_, Widen(text::kAboutSupport).c_str());

    chineseFont_.reset(CreateChineseFixedFont(dpi));
    const Rect& place = AboutDialogControls()[0].place;  // Label2, the description
    descriptionFont_.reset(CreateFittingChineseFont(
        Widen(text::kAboutDescription), {ScaleForDpi(place.width, dpi), ScaleForDpi(place.height, dpi)}, dpi));
    linkFont_.reset(CreateLinkFont(dpi));
    const struct {
      int id;
      HFONT font;
    } labels[] = {{d::Label2, descriptionFont_.get()}, {d::Label3, chineseFont_.get()}};
    for (const auto& label : labels) {
      if (label.font) SendDlgItemMessageW(hwnd(), label.id, WM_SETFONT, reinterpret_cast<WPARAM>(label.font), TRUE);
    }
    if (linkFont_) SendMessageW(link_, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), TRUE);

    SetWindowSubclass(hwnd(), LinkLook, 0, reinterpret_cast<DWORD_PTR>(this));
  }

  void OnCommand(int id) override {
    switch (id) {
      case d::Command1: Close(); break;
      case d::Label1: OnLabel1Click(); break;
      default: break;
    }
  }

  // Places the two desktop shortcuts and opens the main site. A failing step is
  // reported; the dialog stays open either way.
  void OnLabel1Click() {
    if (auto failure = MakeDesktopShortcuts()) Message(*failure);
  }

  HWND CreateStatic(int id, DWORD style, const Rect& place, int dpi, HINSTANCE instance) {
    return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | style, ScaleForDpi(place.left, dpi),
                           ScaleForDpi(place.top, dpi), ScaleForDpi(place.width, dpi), ScaleForDpi(place.height, dpi),
                           hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  }

  // What makes Label1 look and behave like a link: its colour, the hand over
  // it, and one action per click (the second click of a double click and the
  // label's other notifications do not run it again).
  static LRESULT CALLBACK LinkLook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<AboutDialog*>(data);
    switch (message) {
      case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == self->link_) {
          const LRESULT brush = DefSubclassProc(hwnd, message, wParam, lParam);
          SetTextColor(reinterpret_cast<HDC>(wParam), LinkColourNow());
          return brush;
        }
        break;
      case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == self->link_ && LOWORD(lParam) == HTCLIENT) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
        break;
      case WM_COMMAND:
        if (LOWORD(wParam) == d::Label1 && HIWORD(wParam) != STN_CLICKED) return 0;
        break;
      case WM_NCDESTROY: RemoveWindowSubclass(hwnd, LinkLook, 0); break;
      default: break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }

  HWND link_ = nullptr;
  UniqueBitmap emblem_;  // shown by Image1, which does not own it
  UniqueFont chineseFont_, descriptionFont_, linkFont_;
};

}  // namespace

void ShowAbout(HWND owner) {
  AboutDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
