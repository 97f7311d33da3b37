// tlxdrive: drives a running TellurixAdmin from scripts (the demo and the
// footprint benchmark), through the same window messages a user's clicks send.
//   tlxdrive wait            waits up to 20 s for the main window
//   tlxdrive click NAME      clicks a button or chooses a menu entry by name
//   tlxdrive rect            prints the main window's client area: X Y WIDTH HEIGHT
//   tlxdrive answer ok|cancel
//                            waits up to 20 s for the panel's message box and answers it
//   tlxdrive icon-time EXE   starts EXE (the panel or the footprint floor), prints the
//                            milliseconds until its tray icon is in the notification
//                            area, then quits it as its user would
//   tlxdrive quit            quits the running panel or footprint floor as its user would
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "resources/ids.h"

namespace {

struct Named {
  const wchar_t* name;
  int id;
};

constexpr Named kEntries[] = {
    {L"starta", ids::starta},     {L"stopa", ids::stopa},   {L"restaraCom", ids::restaraCom},
    {L"startm", ids::startm},     {L"stopm", ids::stopm},   {L"restartmCom", ids::restartmCom},
    {L"showme", ids::showme},     {L"hideme", ids::hideme}, {L"quit", ids::quit},
    {L"apcheset", ids::apcheset}, {L"phpset", ids::phpset}, {L"mysqlset", ids::mysqlset},
    {L"zhanCom", ids::zhanCom},   {L"about", ids::about},
};

HWND MainWindow() { return FindWindowW(L"TellurixAdminForm1", nullptr); }

// The panel's message boxes are dialogs of its process captioned with its title.
HWND MessageBoxOf(HWND window) {
  DWORD panel = 0;
  GetWindowThreadProcessId(window, &panel);
  for (HWND box = FindWindowW(L"#32770", L"TellurixAdmin"); box;
       box = FindWindowExW(nullptr, box, L"#32770", L"TellurixAdmin")) {
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    if (owner == panel && IsWindowVisible(box)) return box;
  }
  return nullptr;
}

// The icons in Wine's own notification area (the bench has no other).
int TrayIcons() {
  HWND area = FindWindowW(L"__winex11_standalone_tray", nullptr);
  int count = 0;
  for (HWND icon = nullptr; area && (icon = FindWindowExW(area, icon, L"__winex11_tray_icon", nullptr));) ++count;
  return count;
}

// Quits the panel or the floor (of one process, or any) as its user would, so
// that its tray icon goes with it: the panel by its Quit entry (its close box
// only hides it), the floor by closing it.
void Quit(DWORD processId) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, nullptr, nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (processId != 0 && owner != processId) continue;
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (wcscmp(name, L"TellurixAdminForm1") == 0) PostMessageW(window, WM_COMMAND, MAKEWPARAM(ids::quit, 0), 0);
    if (wcscmp(name, L"TellurixFootprintFloor") == 0) PostMessageW(window, WM_CLOSE, 0, 0);
  }
}

int IconTime(const wchar_t* program) {
  const int before = TrayIcons();
  std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "tlxdrive: cannot start %ls\n", program);
    return 1;
  }
  bool shown = false;
  for (int i = 0; i < 20000 && !shown; ++i) {
    shown = TrayIcons() > before;
    if (!shown) Sleep(1);
  }
  QueryPerformanceCounter(&now);
  if (shown) std::printf("%.1f\n", 1000.0 * double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart));
  Quit(process.dwProcessId);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return shown ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tlxdrive wait | click NAME | rect | answer ok|cancel | icon-time EXE | quit\n");
    return 2;
  }
  if (wcscmp(argv[1], L"icon-time") == 0 && argc == 3) return IconTime(argv[2]);
  if (wcscmp(argv[1], L"quit") == 0) return Quit(0), 0;
  if (wcscmp(argv[1], L"wait") == 0) {
    for (int i = 0; i < 200; ++i) {
      if (MainWindow()) return 0;
      Sleep(100);
    }
    std::fprintf(stderr, "tlxdrive: no TellurixAdmin window\n");
    return 1;
  }
  HWND window = MainWindow();
  if (!window) {
    std::fprintf(stderr, "tlxdrive: no TellurixAdmin window\n");
    return 1;
  }
  if (wcscmp(argv[1], L"click") == 0 && argc == 3) {
    for (const Named& entry : kEntries) {
      if (wcscmp(entry.name, argv[2]) == 0) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(entry.id, BN_CLICKED), 0);
        return 0;
      }
    }
    std::fprintf(stderr, "tlxdrive: unknown control %ls\n", argv[2]);
    return 2;
  }
  if (wcscmp(argv[1], L"answer") == 0 && argc == 3) {
    for (int i = 0; i < 200; ++i) {
      if (HWND box = MessageBoxOf(window)) {
        PostMessageW(box, WM_COMMAND, wcscmp(argv[2], L"ok") == 0 ? IDOK : IDCANCEL, 0);
        // Gone before the next command looks for a box.
        for (int j = 0; j < 100 && IsWindowVisible(box); ++j) Sleep(100);
        return 0;
      }
      Sleep(100);
    }
    std::fprintf(stderr, "tlxdrive: no message box\n");
    return 1;
  }
  if (wcscmp(argv[1], L"rect") == 0) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
  }
  std::fprintf(stderr, "tlxdrive: unknown command\n");
  return 2;
}
