#include "ui/win32_controls.h"

#include "ui/win32_text.h"

namespace tellurix {

void CreateControls(HWND parent, const std::vector<ControlLayout>& table, int dpi, HFONT font, HFONT markFont) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  for (const ControlLayout& control : table) {
    const Rect place = ClientRect(control, table);
    const wchar_t* windowClass = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    int height = ScaleForDpi(place.height, dpi);
    switch (control.kind) {
      case ControlLayout::Kind::Frame: style |= BS_GROUPBOX; break;
      case ControlLayout::Kind::Button: style |= BS_PUSHBUTTON | WS_TABSTOP; break;
      case ControlLayout::Kind::Label: windowClass = L"STATIC"; break;
      // SS_NOTIFY lets a tooltip see the pointer over the mark.
      case ControlLayout::Kind::StatusMark: windowClass = L"STATIC"; style |= SS_NOTIFY; break;
      case ControlLayout::Kind::List:
        windowClass = L"LISTBOX";
        style |= WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlLayout::Kind::Edit:
        windowClass = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      // Lines wrap at the right edge (no ES_AUTOHSCROLL); Enter breaks the line
      // instead of pressing a dialog button.
      case ControlLayout::Kind::MultiLineEdit:
      case ControlLayout::Kind::ScrollingMultiLineEdit:
        windowClass = L"EDIT";
        style |= WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
        if (control.kind == ControlLayout::Kind::ScrollingMultiLineEdit) style |= WS_VSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlLayout::Kind::DropList:
        windowClass = L"COMBOBOX";
        style |= WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL;
        // A combo box's height includes its drop-down part.
        height = ScaleForDpi(place.height * 6, dpi);
        break;
    }
    HWND child = CreateWindowExW(exStyle, windowClass, Widen(control.caption).c_str(), style,
                                 ScaleForDpi(place.left, dpi), ScaleForDpi(place.top, dpi),
                                 ScaleForDpi(place.width, dpi), height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    HFONT chosen = control.kind == ControlLayout::Kind::StatusMark && markFont ? markFont : font;
    if (chosen) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), FALSE);
  }
}

HFONT CreateMessageFont(int percent) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, percent, 100);
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

namespace {
int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}
}  // namespace

bool FontInstalled(const wchar_t* face, BYTE charset) {
  LOGFONTW font{};
  font.lfCharSet = charset;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &font, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

HFONT CreateFontOfFirstFace(std::initializer_list<const wchar_t*> faces, int tenthsOfPoint, int dpi, LOGFONTW font,
                            bool fallbackToMessageFont) {
  font.lfHeight = -MulDiv(tenthsOfPoint, dpi, 720);
  if (font.lfWeight == 0) font.lfWeight = FW_NORMAL;
  for (const wchar_t* face : faces) {
    if (FontInstalled(face, font.lfCharSet)) {
      lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
      return CreateFontIndirectW(&font);
    }
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (fallbackToMessageFont && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    lstrcpynW(font.lfFaceName, metrics.lfMessageFont.lfFaceName, LF_FACESIZE);
    font.lfCharSet = metrics.lfMessageFont.lfCharSet;
  }
  return CreateFontIndirectW(&font);
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace tellurix
