#include <windows.h>
#include <tlhelp32.h>

#include "core/process_probe.h"

namespace tellurix {

int IsProcessRunning(std::string_view imageName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  // The wide record keeps names intact whatever the ANSI code page is.
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (ImageNameIs(entry.szExeFile, MAX_PATH, imageName)) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

}  // namespace tellurix
