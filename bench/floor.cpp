// The footprint floor: the least a tray program like the panel needs. A hidden
// window with a list and a button in the message font, a tray icon, a tooltip
// (the common controls, with the same manifest as the panel) and two process
// snapshots a second from a timer, as the panel's status monitor takes them.
// The footprint benchmark compares the panel's idle CPU time, memory and time
// to its tray icon with it.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

namespace {

int CountProcesses(const wchar_t* imageName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpW(entry.szExeFile, imageName) == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

NOTIFYICONDATAW g_icon{};

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      CountProcesses(L"httpd.exe");
      CountProcesses(L"mysqld-nt.exe");
      return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_DESTROY:
      Shell_NotifyIconW(NIM_DELETE, &g_icon);
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = FloorProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"TellurixFootprintFloor";
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"floor", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 0, 0,
                                400, 300, nullptr, nullptr, instance, nullptr);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 10, 10, 300, 200,
                              window, nullptr, instance, nullptr);
  HWND button = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE, 10, 220, 80, 24, window, nullptr,
                                instance, nullptr);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, window,
                             nullptr, instance, nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(button);
  tool.lpszText = const_cast<wchar_t*>(L"floor");
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  g_icon.cbSize = sizeof(g_icon);
  g_icon.hWnd = window;
  g_icon.uID = 1;
  g_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  g_icon.uCallbackMessage = WM_APP;
  g_icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  lstrcpynW(g_icon.szTip, L"floor", 64);
  Shell_NotifyIconW(NIM_ADD, &g_icon);
  SetTimer(window, 1, 1000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DeleteObject(font);
  return 0;
}
