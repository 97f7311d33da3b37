// The footprint floor: a bare Windows program that does nothing but take two
// process snapshots a second from a timer, as the panel's status monitor does.
// The footprint benchmark compares the panel's idle CPU time and memory with it.
#include <windows.h>
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  SetTimer(nullptr, 0, 1000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) {
      CountProcesses(L"httpd.exe");
      CountProcesses(L"mysqld-nt.exe");
    }
    DispatchMessageW(&message);
  }
  return 0;
}
