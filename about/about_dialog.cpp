#include "about/about_dialog.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "about/shortcuts.h"
#include "ui/layout.h"
#include "ui/win32_controls.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"
#include "ui/dialog_window.h"
#include "resources/ids.h"
#include "resources/resource.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

namespace d = ids::fabout;

constexpr int kAboutClientWidth = 312;
constexpr int kAboutClientHeight = 192;

// The labels and the button, made from the table with the dialog's font.
const std::vector<ControlLayout>& AboutDialogControls() {
  using Kind = ControlLayout::Kind;
  static const std::vector<ControlLayout> table = {
      {d::Label2, Kind::Label, text::kAboutDescription, 0, {80, 32, 225, 41}},
      {d::Label3, Kind::Label, text::kAboutCopyright, 0, {40, 104, 241, 25}},
      {d::Command1, Kind::Button, text::kOk, 0, {216, 144, 73, 33}},
  };
  return table;
}
// The picture and the link need static styles of their own; they are made when
// the dialog opens.
constexpr Rect kImage1Place = {8, 24, 60, 60};
constexpr Rect kLabel1Place = {32, 144, 129, 25};

constexpr int kPointSize = 12;

struct BitmapTraits {
  using Handle = HBITMAP;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
using UniqueBitmap = UniqueHandle<BitmapTraits>;

// The fixed-pitch Chinese font of the description and the copyright line:
// Fixedsys where the system has it in the Chinese (GB2312) character set, else
// the fixed-pitch Song face, else whatever fixed-pitch Chinese font the system
// chooses.
HFONT CreateChineseFixedFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(kPointSize, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = GB2312_CHARSET;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  for (const wchar_t* face : {L"Fixedsys", L"NSimSun", L"新宋体", L"SimSun", L"宋体"}) {
    if (FontInstalled(face, GB2312_CHARSET)) {
      lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
      break;
    }
  }
  return CreateFontIndirectW(&font);
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

// Perceived brightness of a colour, 0 to 255.
int Brightness(COLORREF colour) {
  return (GetRValue(colour) * 299 + GetGValue(colour) * 587 + GetBValue(colour) * 114) / 1000;
}

// The system's colour for links where it stands out from the dialog's
// background; otherwise (systems without one, themes that use it as a pale
// hover shade in which the text would all but vanish) the selection colour.
COLORREF LinkColour() {
  constexpr int kLeastContrast = 64;
  if (GetSysColorBrush(COLOR_HOTLIGHT)) {
    const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
    if (std::abs(Brightness(link) - Brightness(GetSysColor(COLOR_BTNFACE))) >= kLeastContrast) return link;
  }
  return GetSysColor(COLOR_HIGHLIGHT);
}

// The emblem resource as straight-alpha BGRA pixels, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<BYTE> bgra;
};

// Empty when the resource is missing or is not a 32-bit bitmap with the
// standard channel order.
Picture LoadEmblem(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDB_EMBLEM), RT_BITMAP);
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  const size_t size = found ? SizeofResource(instance, found) : 0;
  BITMAPINFOHEADER header;
  if (!data || size < sizeof(header)) return {};
  std::memcpy(&header, data, sizeof(header));
  const long width = header.biWidth;
  const long height = std::labs(header.biHeight);
  if (header.biSize < sizeof(header) || header.biPlanes != 1 || header.biBitCount != 32 || width <= 0 ||
      width > 1024 || height == 0 || height > 1024) {
    return {};
  }
  size_t offset = header.biSize;
  if (header.biCompression == BI_BITFIELDS) {
    // The colour masks are part of a newer header, or follow a plain one.
    if (header.biSize == sizeof(header)) offset += 3 * sizeof(DWORD);
    DWORD masks[3];
    if (size < sizeof(header) + sizeof(masks)) return {};
    std::memcpy(masks, data + sizeof(header), sizeof(masks));
    if (masks[0] != 0x00FF0000 || masks[1] != 0x0000FF00 || masks[2] != 0x000000FF) return {};
  } else if (header.biCompression != BI_RGB) {
    return {};
  }
  const size_t stride = static_cast<size_t>(width) * 4;
  if (size < offset + stride * static_cast<size_t>(height)) return {};
  Picture picture{static_cast<int>(width), static_cast<int>(height), {}};
  picture.bgra.resize(stride * static_cast<size_t>(height));
  for (long y = 0; y < height; ++y) {
    const long source = header.biHeight < 0 ? y : height - 1 - y;  // positive heights run bottom-up
    std::memcpy(&picture.bgra[stride * static_cast<size_t>(y)], data + offset + stride * static_cast<size_t>(source),
                stride);
  }
  return picture;
}

// The picture blended onto `background` and scaled to `side` pixels square. The
// result has no alpha of its own, so the picture control shows it as it is on
// every system.
UniqueBitmap CreateEmblemBitmap(const Picture& picture, COLORREF background, int side) {
  if (picture.bgra.empty() || side <= 0) return {};
  std::vector<BYTE> blended(picture.bgra.size());
  const int backdrop[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (size_t i = 0; i < picture.bgra.size(); i += 4) {
    const int alpha = picture.bgra[i + 3];
    for (int c = 0; c < 3; ++c) {
      blended[i + c] = static_cast<BYTE>((picture.bgra[i + c] * alpha + backdrop[c] * (255 - alpha) + 127) / 255);
    }
    blended[i + 3] = 0;
  }
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
    linkFont_.reset(CreateLinkFont(dpi));
    for (int id : {d::Label2, d::Label3}) {
      if (chineseFont_) SendDlgItemMessageW(hwnd(), id, WM_SETFONT, reinterpret_cast<WPARAM>(chineseFont_.get()), TRUE);
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
          SetTextColor(reinterpret_cast<HDC>(wParam), LinkColour());
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
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, LinkLook, 0);
        break;
      default: break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }

  HWND link_ = nullptr;
  UniqueBitmap emblem_;  // shown by Image1, which does not own it
  UniqueFont chineseFont_, linkFont_;
};

}  // namespace

void ShowAbout(HWND owner) {
  AboutDialog dialog;
  dialog.ShowModal(owner);
}

}  // namespace tellurix
