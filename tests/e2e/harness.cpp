#include "harness.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
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

namespace {

std::wstring ToWide(UINT codePage, const std::string& bytes) {
  std::wstring wide(bytes.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

std::string FromWide(UINT codePage, const std::wstring& wide) {
  std::string out(wide.size() * 4, '\0');
  out.resize(static_cast<size_t>(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                                     out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

std::wstring BuildFile(const std::wstring& name) {
  // The test bench passes the panel's Unix path; Wine maps the Unix root to Z:.
  std::wstring path = L"Z:" + Widen(std::getenv("TELLURIX_EXE") ? std::getenv("TELLURIX_EXE") : "");
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path.substr(0, path.rfind(L'\\') + 1) + name;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

void RemoveTree(const std::wstring& folder) {
  for (const std::wstring& name : FilesIn(folder)) {
    const std::wstring path = folder + L"\\" + name;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) RemoveTree(path);
  }
  RemoveDirectoryW(folder.c_str());
}

// The top-level windows of a process with this class (and caption), in Z order.
std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className, const wchar_t* caption = nullptr) {
  std::vector<HWND> found;
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, caption));) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == processId) found.push_back(window);
  }
  return found;
}

HWND TrayArea() { return FindWindowW(L"__winex11_standalone_tray", nullptr); }

}  // namespace

std::wstring Widen(const std::string& utf8) { return ToWide(CP_UTF8, utf8); }
std::string Narrow(const std::wstring& wide) { return FromWide(CP_UTF8, wide); }
std::string Ansi(const std::string& utf8) { return FromWide(CP_ACP, Widen(utf8)); }
std::string FromAnsi(const std::string& ansi) { return Narrow(ToWide(CP_ACP, ansi)); }

std::string Edited(std::string text, const Edits& edits) {
  for (const auto& [from, to] : edits) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "no \"" << from << "\" to replace";
    for (; at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
  }
  return text;
}

int SecondsOf(const std::string& line) {
  int h = -1, m = 0, s = 0;
  sscanf(line.c_str() + line.rfind(' ') + 1, "%d:%d:%d", &h, &m, &s);
  return h * 3600 + m * 60 + s;
}

std::string SourceFile(const std::string& relative) {
  return ReadBytes(Widen(std::string("Z:") + TELLURIX_SOURCE_DIR + "/" + relative));
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) names.push_back(found.cFileName);
  }
  FindClose(search);
  return names;
}

Snapshot Take(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return {ReadBytes(path), data.ftLastWriteTime, data.dwFileAttributes};
}

::testing::AssertionResult Untouched(const std::wstring& path, const Snapshot& before) {
  const Snapshot now = Take(path);
  const bool same = now.bytes == before.bytes && CompareFileTime(&now.written, &before.written) == 0;
  if (same && now.attributes == before.attributes) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Narrow(path) << " was changed";
}

ProgramDirectory::ProgramDirectory(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = temp + name + L" " + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(path_.c_str(), nullptr);
  CopyFileW(BuildFile(L"TellurixAdmin.exe").c_str(), exe().c_str(), FALSE);
  // Inherited by the panel and from it by the stand-ins it starts.
  SetEnvironmentVariableW(L"TELLURIX_RECORD", (path_ + L"\\recorded.txt").c_str());
  // Wine's desktop integration would add launcher files beside saved shortcuts.
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"winemenubuilder.exe=d");
}

ProgramDirectory::~ProgramDirectory() { RemoveTree(path_); }

void ProgramDirectory::Put(const std::wstring& relative, const std::string& bytes) const {
  for (size_t slash = relative.find(L'\\'); slash != std::wstring::npos; slash = relative.find(L'\\', slash + 1))
    CreateDirectoryW((*this / relative.substr(0, slash)).c_str(), nullptr);
  SetFileAttributesW((*this / relative).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(WriteBytes(*this / relative, bytes)) << Narrow(relative);
}

void ProgramDirectory::StandIn(const std::wstring& relative) const {
  Put(relative, "");
  EXPECT_TRUE(CopyFileW(BuildFile(L"httpd.exe").c_str(), (*this / relative).c_str(), FALSE)) << Narrow(relative);
}

std::vector<ProgramDirectory::Started> ProgramDirectory::Recorded() const {
  std::vector<Started> starts;
  std::istringstream lines(ReadBytes(*this / L"recorded.txt"));
  for (std::string line; std::getline(lines, line);)
    starts.push_back({atoi(line.c_str()), line.substr(line.find('|') + 1)});
  return starts;
}

Process::Process(const std::wstring& path, const std::wstring& arguments) {
  // Without a window manager on the bench Wine waits two seconds for each managed
  // window it hides; unmanaged windows go at once.
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed", REG_SZ, L"N", 4);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring commandLine = L"\"" + path + L"\" " + arguments;
  CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_);
}

Process::~Process() {
  if (running()) TerminateProcess(process_.hProcess, 99);
  WaitForSingleObject(process_.hProcess, 5000);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
}

DWORD Process::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  WaitForSingleObject(process_.hProcess, 10000);
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

bool SetService(const wchar_t* name, bool running) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  running ? StartServiceW(service, 0, nullptr) : ControlService(service, SERVICE_CONTROL_STOP, &status);
  const DWORD wanted = running ? SERVICE_RUNNING : SERVICE_STOPPED;
  const bool ok = WaitUntil([&] { return QueryServiceStatus(service, &status) && status.dwCurrentState == wanted; });
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return ok;
}

namespace {

// Opens the service with `access` and passes it to `use`; false when it cannot be opened.
bool WithService(const wchar_t* name, DWORD access, const std::function<bool(SC_HANDLE)>& use) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceW(manager, name, access);
  const bool done = service && use(service);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return done;
}

}  // namespace

ServiceRegistration::ServiceRegistration(const wchar_t* name) : name_(name) { program_ = Now().second; }

ServiceRegistration::~ServiceRegistration() {
  Delete();
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  CloseServiceHandle(CreateServiceW(manager, name_, name_, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                    SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, program_.c_str(), nullptr, nullptr,
                                    nullptr, nullptr, nullptr));
  CloseServiceHandle(manager);
}

bool ServiceRegistration::Delete() const {
  SetService(name_, false);
  return WithService(name_, DELETE, [](SC_HANDLE service) { return DeleteService(service) != FALSE; });
}

bool ServiceRegistration::PointAt(const std::wstring& program, const std::wstring& arguments) const {
  const std::wstring quoted = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  return WithService(name_, SERVICE_CHANGE_CONFIG, [&](SC_HANDLE service) {
    return ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, quoted.c_str(),
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
  });
}

bool ServiceRegistration::SetStartType(DWORD startType) const {
  return WithService(name_, SERVICE_CHANGE_CONFIG, [&](SC_HANDLE service) {
    return ChangeServiceConfigW(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr) != FALSE;
  });
}

std::pair<DWORD, std::wstring> ServiceRegistration::Now() const {
  std::pair<DWORD, std::wstring> now{0, L""};
  WithService(name_, SERVICE_QUERY_CONFIG, [&](SC_HANDLE service) {
    DWORD size = 0;
    QueryServiceConfigW(service, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, config, size, &size)) return false;
    now = {config->dwStartType, config->lpBinaryPathName};
    return true;
  });
  return now;
}

HWND FrontDialog(DWORD processId, const std::string& caption, std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : WindowsOf(processId, L"#32770", Widen(caption).c_str())) {
          if (IsWindowVisible(window)) found = window;
        }
        return found != nullptr;
      },
      timeout);
  return found;
}

std::string Read(HWND window, int id) {
  // Asked from the control itself: the system's copy of an edit control's text is not kept up to date.
  HWND control = GetDlgItem(window, id);
  std::wstring text(static_cast<size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  const LRESULT length = SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

void Type(HWND window, int id, const std::string& text) {
  HWND control = GetDlgItem(window, id);
  const std::wstring wide = Widen(text);
  wchar_t name[32] = {};
  GetClassNameW(control, name, 32);
  const bool list = _wcsicmp(name, L"ComboBox") == 0;
  const auto typed = reinterpret_cast<LPARAM>(wide.c_str());
  const LRESULT item = list ? SendMessageW(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), typed) : 0;
  EXPECT_NE(item, CB_ERR) << "no item " << text;
  SendMessageW(control, list ? CB_SETCURSEL : WM_SETTEXT, static_cast<WPARAM>(item), list ? 0 : typed);
}

void Press(HWND window, int id) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

bool Closed(HWND window) { return WaitUntil([&] { return !IsWindow(window); }); }

std::string Process::Answer(int button, std::chrono::milliseconds timeout) const {
  HWND box = FrontDialog(processId(), text::kAppTitle, timeout);
  if (!box) return "<no message>";
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  PostMessageW(box, WM_COMMAND, button, 0);
  return Closed(box) ? Narrow(text) : "<the message stays>";
}

bool ShowsColour(HWND control, COLORREF colour) {
  RECT rect;
  GetWindowRect(control, &rect);
  HDC screen = GetDC(nullptr);
  bool found = false;
  for (LONG y = rect.top; y < rect.bottom && !found; ++y) {
    for (LONG x = rect.left; x < rect.right && !found; ++x) found = GetPixel(screen, x, y) == colour;
  }
  ReleaseDC(nullptr, screen);
  return found;
}

Panel::Panel(const std::wstring& exe) : Process(exe) {
  // Until its window and startup lines are there, or it says why not.
  WaitUntil([&] {
    const auto windows = WindowsOf(processId(), L"TellurixAdminForm1");
    window_ = windows.empty() ? nullptr : windows[0];
    return started() || FrontDialog(processId(), text::kAppTitle, 0ms);
  });
}

Panel::~Panel() {
  if (running()) Choose(ids::quit);
  WaitForSingleObject(process_.hProcess, 5000);
}

std::vector<std::string> Panel::Lines() const {
  HWND list = GetDlgItem(window_, ids::List1);
  std::vector<std::string> lines;
  for (LRESULT i = 0, count = SendMessageW(list, LB_GETCOUNT, 0, 0); i < count; ++i) {
    std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    line.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
    lines.push_back(Narrow(line));
  }
  return lines;
}

namespace {
// The index of the first line of the panel from `from` on that `matches`; -1 when none comes.
int WaitForMatch(const Panel& panel, const std::function<bool(const std::string&)>& matches, size_t from,
                 std::chrono::milliseconds timeout) {
  int found = -1;
  WaitUntil(
      [&] {
        const auto lines = panel.Lines();
        for (size_t i = from; i < lines.size() && found < 0; ++i) found = matches(lines[i]) ? static_cast<int>(i) : -1;
        return found >= 0;
      },
      timeout);
  return found;
}
}  // namespace

int Panel::WaitForLine(const std::string& text, size_t from, std::chrono::milliseconds timeout) const {
  return WaitForMatch(
      *this,
      [&](const std::string& line) {
        // The text, then the time right after it and nothing more.
        const std::string time = line.rfind(text, 0) == 0 ? line.substr(text.size()) : "";
        return !time.empty() && time.find_first_not_of("0123456789:") == std::string::npos;
      },
      from, timeout);
}

int Panel::WaitForLineStarting(const std::string& head, size_t from, std::chrono::milliseconds timeout) const {
  return WaitForMatch(*this, [&](const std::string& line) { return line.rfind(head, 0) == 0; }, from, timeout);
}

std::vector<std::string> Panel::TextsFrom(size_t from, bool quiet) const {
  std::vector<std::string> texts;
  const auto lines = Lines();
  for (size_t i = from; i < lines.size(); ++i) {
    const std::string text = lines[i].substr(0, lines[i].rfind("    ") + 4);
    const bool monitor = text == text::kApacheStarted || text == text::kApacheStopped || text == text::kMySQLStarted ||
                         text == text::kMySQLStopped;
    if (!quiet || !monitor) texts.push_back(text);
  }
  return texts;
}

std::string Panel::Tooltip(int id) const {
  // The tooltip reads and writes the records in its own address space, so they are placed there.
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId());
  constexpr SIZE_T kChars = 256;
  auto* remote = static_cast<BYTE*>(
      VirtualAllocEx(process, nullptr, sizeof(TOOLINFOW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window_, id));
  tool.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof(TOOLINFOW));
  wchar_t text[kChars] = {};
  WriteProcessMemory(process, remote, &tool, sizeof(tool), nullptr);
  SendMessageW(WindowsOf(processId(), TOOLTIPS_CLASSW).at(0), TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote));
  ReadProcessMemory(process, remote + sizeof(TOOLINFOW), text, sizeof(text) - sizeof(wchar_t), nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return Narrow(text);
}

bool Panel::NoMessage(HWND dialog) const {
  // A handler that shows a message has its box up before the box's own loop answers a round trip.
  DWORD_PTR ignored = 0;
  if (dialog && IsWindow(dialog)) SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  return FrontDialog(processId(), text::kAppTitle, 0ms) == nullptr;
}

void Panel::Tray(UINT mouseMessage) const {
  // The icon is a window of Wine's own notification area; a mouse message there
  // makes the shell notify the panel as a user's click would.
  PostMessageW(FindWindowExW(TrayArea(), nullptr, L"__winex11_tray_icon", nullptr), mouseMessage, 0, 0);
}

bool Panel::MenuShown() const {
  const auto menus = WindowsOf(processId(), L"#32768");
  return std::any_of(menus.begin(), menus.end(), [](HWND menu) { return IsWindowVisible(menu) != FALSE; });
}

int TrayIconCount() {
  int count = 0;
  for (HWND icon = nullptr; (icon = FindWindowExW(TrayArea(), icon, L"__winex11_tray_icon", nullptr));) ++count;
  return count;
}

bool StampedBetween(const std::string& line, SYSTEMTIME from, const SYSTEMTIME& to) {
  const int at = SecondsOf(line), first = from.wHour * 3600 + from.wMinute * 60 + from.wSecond;
  from.wHour = WORD(at / 3600), from.wMinute = WORD(at / 60 % 60), from.wSecond = WORD(at % 60);
  wchar_t time[64] = {};
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &from, nullptr, time, 64);
  const std::string suffix = "    " + Narrow(time);
  return line.size() > suffix.size() && line.substr(line.size() - suffix.size()) == suffix && first <= at &&
         at <= to.wHour * 3600 + to.wMinute * 60 + to.wSecond;
}

}  // namespace e2e
