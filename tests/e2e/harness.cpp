#include "harness.h"

#include <commctrl.h>

#include "resources/ids.h"

#include <cstdlib>
#include <thread>

namespace e2e {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
}

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::wstring PathFromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  if (!value || !*value) return {};
  std::wstring path = Widen(value);
  if (path[0] == L'/') path = L"Z:" + path;  // Wine maps the Unix root to Z:
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

ProgramDirectory::ProgramDirectory(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  // A space in the folder name, as in "Program Files", on purpose.
  path_ = std::wstring(temp) + (name.empty() ? L"tellurix e2e " : name + L" ") + std::to_wstring(GetCurrentProcessId()) +
          L"-" + std::to_wstring(++counter);
  CreateDirectoryW(path_.c_str(), nullptr);
  CopyFileW(PathFromEnvironment("TELLURIX_EXE").c_str(), exe().c_str(), FALSE);
}

namespace {

// Removes a folder and everything in it.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

ProgramDirectory::~ProgramDirectory() { RemoveTree(path_); }

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HWND WaitForMessageBox(DWORD processId, std::chrono::milliseconds timeout) {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        box = nullptr;
        // Message boxes carry the program's title; the dialogs have captions of their own.
        for (HWND candidate = nullptr; (candidate = FindWindowExW(nullptr, candidate, L"#32770", L"TellurixAdmin"));) {
          DWORD pid = 0;
          GetWindowThreadProcessId(candidate, &pid);
          if (pid == processId && IsWindowVisible(candidate)) box = candidate;
        }
        return box != nullptr;
      },
      timeout);
  return box;
}

std::string MessageBoxText(HWND box) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  return Narrow(text);
}

namespace {

struct FindContext {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
  auto* context = reinterpret_cast<FindContext*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t className[64] = {};
  GetClassNameW(hwnd, className, 64);
  if (pid == context->processId && wcscmp(className, context->className) == 0) {
    context->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND FindWindowOf(DWORD processId, const wchar_t* className) {
  FindContext context{processId, className, nullptr};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

}  // namespace

Panel::Panel(const std::wstring& exePath) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process_)) {
    return;
  }
  WaitUntil([&] {
    window_ = FindWindowOf(process_.dwProcessId, L"TellurixAdminForm1");
    return window_ != nullptr;
  });
}

Panel::~Panel() {
  if (process_.hProcess) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      if (window_) PostMessageW(window_, WM_COMMAND, MAKEWPARAM(ids::quit, 0), 0);
      if (WaitForSingleObject(process_.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

std::vector<std::string> Panel::Lines() const {
  HWND list = GetDlgItem(window_, ids::List1);
  std::vector<std::string> lines;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    std::wstring line(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<size_t>(length));
    lines.push_back(Narrow(line));
  }
  return lines;
}

bool Panel::WaitForLines(std::size_t count, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return Lines().size() >= count; }, timeout);
}

bool Panel::Enabled(int id) const { return IsWindowEnabled(GetDlgItem(window_, id)) != FALSE; }

std::string Panel::Text(int id) const {
  wchar_t buffer[256] = {};
  GetWindowTextW(GetDlgItem(window_, id), buffer, 256);
  return Narrow(buffer);
}

bool Panel::Responsive() const {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result) != 0;
}

void Panel::Click(int id) const {
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
}

void Panel::Choose(int id) const { PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void Panel::Tray(UINT mouseMessage) const {
  // The icon is a window of Wine's own notification area; a mouse message there
  // makes the shell notify the panel exactly as a user's click would.
  PostMessageW(TrayIconWindow(), mouseMessage, 0, 0);
}

int TrayIconCount() {
  HWND area = FindWindowW(L"__winex11_standalone_tray", nullptr);
  int count = 0;
  for (HWND icon = nullptr; area && (icon = FindWindowExW(area, icon, L"__winex11_tray_icon", nullptr));) ++count;
  return count;
}

bool StampedBetween(const std::string& line, const SYSTEMTIME& from, const SYSTEMTIME& to) {
  FILETIME start, end;
  SystemTimeToFileTime(&from, &start);
  SystemTimeToFileTime(&to, &end);
  ULARGE_INTEGER t{{start.dwLowDateTime, start.dwHighDateTime}};
  ULARGE_INTEGER last{{end.dwLowDateTime, end.dwHighDateTime}};
  constexpr ULONGLONG kSecond = 10000000;  // FILETIME counts 100 ns
  t.QuadPart -= t.QuadPart % kSecond;
  for (; t.QuadPart <= last.QuadPart; t.QuadPart += kSecond) {
    FILETIME moment{t.LowPart, t.HighPart};
    SYSTEMTIME local;
    FileTimeToSystemTime(&moment, &local);
    wchar_t text[64] = {};
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, text, 64);
    const std::string suffix = "    " + Narrow(text);
    if (line.size() > suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  }
  return false;
}

HWND TrayIconWindow() {
  HWND area = FindWindowW(L"__winex11_standalone_tray", nullptr);
  return area ? FindWindowExW(area, nullptr, L"__winex11_tray_icon", nullptr) : nullptr;
}

HWND Panel::WaitForPopupMenu() const {
  HWND menu = nullptr;
  WaitUntil(
      [&] {
        menu = FindWindowOf(process_.dwProcessId, L"#32768");
        return menu != nullptr && IsWindowVisible(menu);
      },
      5s);
  return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

void Panel::Key(UINT virtualKey) const {
  PostMessageW(window_, WM_KEYDOWN, virtualKey, 0);
  std::this_thread::sleep_for(100ms);
}

std::string Panel::Tooltip(int id) const {
  HWND tooltip = FindWindowOf(process_.dwProcessId, TOOLTIPS_CLASSW);
  if (!tooltip) return "<no tooltip window>";
  // The tooltip reads and writes the records in its own address space, so they
  // are placed there.
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId());
  if (!process) return "<no access>";
  constexpr SIZE_T kTextChars = 256;
  auto* remote = static_cast<BYTE*>(
      VirtualAllocEx(process, nullptr, sizeof(TOOLINFOW) + kTextChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window_, id));
  tool.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof(TOOLINFOW));
  wchar_t text[kTextChars] = {};
  WriteProcessMemory(process, remote, &tool, sizeof(tool), nullptr);
  WriteProcessMemory(process, remote + sizeof(TOOLINFOW), text, sizeof(text), nullptr);
  SendMessageW(tooltip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote));
  ReadProcessMemory(process, remote + sizeof(TOOLINFOW), text, sizeof(text) - sizeof(wchar_t), nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return Narrow(text);
}

bool Panel::ShowsColour(int id, COLORREF colour) const {
  RECT rect;
  GetWindowRect(GetDlgItem(window_, id), &rect);
  HDC screen = GetDC(nullptr);
  bool found = false;
  for (LONG y = rect.top; y < rect.bottom && !found; ++y) {
    for (LONG x = rect.left; x < rect.right && !found; ++x) {
      found = GetPixel(screen, x, y) == colour;
    }
  }
  ReleaseDC(nullptr, screen);
  return found;
}

bool Panel::WaitForExit(std::chrono::milliseconds timeout) const {
  return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

namespace {

bool ControlService(const wchar_t* name, bool start) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
  bool ok = false;
  if (service) {
    SERVICE_STATUS status{};
    if (start) {
      StartServiceW(service, 0, nullptr);
    } else {
      ::ControlService(service, SERVICE_CONTROL_STOP, &status);
    }
    const DWORD wanted = start ? SERVICE_RUNNING : SERVICE_STOPPED;
    ok = WaitUntil([&] { return QueryServiceStatus(service, &status) && status.dwCurrentState == wanted; }, 15s);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return ok;
}

}  // namespace

bool Services::Start(const wchar_t* name) { return ControlService(name, true); }
bool Services::Stop(const wchar_t* name) { return ControlService(name, false); }

bool Services::Running(const wchar_t* name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  const bool running = service && QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return running;
}

int SecondsOfLine(const std::string& line) {
  const size_t space = line.rfind(' ');
  if (space == std::string::npos) return -1;
  int h = 0, m = 0, s = 0;
  if (sscanf(line.c_str() + space + 1, "%d:%d:%d", &h, &m, &s) != 3) return -1;
  return h * 3600 + m * 60 + s;
}

}  // namespace e2e
