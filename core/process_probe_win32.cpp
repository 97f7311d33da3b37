#include <windows.h>
#include <tlhelp32.h>

#include "core/process_probe.h"

#include <algorithm>

namespace tellurix {

namespace {

// Calls `visit` with each process entry of a fresh snapshot until it returns true.
template <typename Visit>
void EachProcess(Visit visit) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  // The wide record keeps names intact whatever the ANSI code page is.
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !visit(entry); more = Process32NextW(snapshot, &entry)) {
  }
  CloseHandle(snapshot);
}

std::string NameOf(const PROCESSENTRY32W& entry) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, entry.szExeFile, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, entry.szExeFile, -1, utf8.data(), size, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);
  return utf8;
}

}  // namespace

int IsProcessRunning(std::string_view imageName, const std::vector<unsigned long>& except) {
  int count = 0;
  EachProcess([&](const PROCESSENTRY32W& entry) {
    const bool own = std::find(except.begin(), except.end(), entry.th32ProcessID) != except.end();
    if (!own && ImageNameIs(entry.szExeFile, MAX_PATH, imageName)) ++count;
    return false;
  });
  return count;
}

std::optional<std::string> ImageNameOf(unsigned long processId) {
  std::optional<std::string> name;
  EachProcess([&](const PROCESSENTRY32W& entry) {
    if (entry.th32ProcessID != processId) return false;
    name = NameOf(entry);
    return true;
  });
  return name;
}

std::vector<NamedProcess> NamedProcesses(bool fullPaths) {
  std::vector<NamedProcess> processes;
  EachProcess([&](const PROCESSENTRY32W& entry) {
    processes.push_back({entry.th32ProcessID, NameOf(entry), {}});
    if (!fullPaths) return false;
    HANDLE opened = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (!opened) return false;
    std::wstring image(32768, L'\0');
    DWORD length = static_cast<DWORD>(image.size());
    if (QueryFullProcessImageNameW(opened, 0, image.data(), &length) && length > 0) {
      const int size = WideCharToMultiByte(CP_UTF8, 0, image.data(), static_cast<int>(length), nullptr, 0, nullptr, nullptr);
      processes.back().fullPath.resize(static_cast<size_t>(size));
      WideCharToMultiByte(CP_UTF8, 0, image.data(), static_cast<int>(length), processes.back().fullPath.data(), size,
                          nullptr, nullptr);
    }
    CloseHandle(opened);
    return false;
  });
  return processes;
}

}  // namespace tellurix
