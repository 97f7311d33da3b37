// The program's Windows pieces that need Wine's own functions but no running
// panel: the last step of a file write and its documented failures, the codec in
// the code pages the program meets, and the About description's font.
// Winsock's headers go before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include "about/about_dialog.h"
#include "core/codepage.h"
#include "core/file_io.h"
#include "dialogs/settings_apply.h"
#include "harness.h"
#include "servers/event_log.h"
#include "servers/service_system.h"
#include "ui/launcher.h"
#include "ui/system_library.h"
#include "ui/win32_handles.h"

#include <objbase.h>

#include <algorithm>
#include <map>
#include <optional>

namespace e2e {
namespace {

using namespace tellurix;

// Stands in for ReplaceFileW with a backup name, leaving the files as its
// documentation ("ReplaceFileW function", Return value) says each failure does
// when lpBackupFileName is given: 1175 and 1176, the replaced and replacement
// files keep their names; 1177, the replaced file is under the backup name and
// the replacement keeps its own. Any other failure changes nothing; no failure is
// the real replace. `g_takenOver` has a program put something else under the
// file's name meanwhile.
DWORD g_failure = 0;
bool g_takenOver = false;
int FailingReplace(const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup) {
  if (g_failure == 0) return ReplaceFileW(replaced, replacement, backup, 0, nullptr, nullptr);
  if (g_failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileW(replaced, backup);
  if (g_takenOver) CreateDirectoryW(replaced, nullptr);
  SetLastError(g_failure);
  return FALSE;
}

// What each documented failure of the replace leaves, and what the user is told:
// the content written is never lost, and nothing is deleted that holds it.
TEST(Platform, AFailedReplaceNeverLosesTheOnlyCopy) {
  ProgramDirectory home(L"replace");
  const std::wstring file = home / L"httpd.conf";
  const std::string path = Narrow(file);
  SetReplaceFileStepForTesting(FailingReplace);
  using K = ErrorKind;
  const struct {
    DWORD failure;
    bool takenOver;
    const char* left;              // under the file's name ("" a folder)
    std::optional<K> kind;         // none: written
    std::vector<std::wstring> files;  // the folder's files afterwards, "~" the temporary file
  } rows[] = {
      {0, false, "new", std::nullopt, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_UNABLE_TO_REMOVE_REPLACED, false, "old", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT, false, "old", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, false, "new", std::nullopt, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_ACCESS_DENIED, false, "old", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_SHARING_VIOLATION, false, "old", K::AccessDenied, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_DISK_FULL, false, "old", K::DiskFull, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_HANDLE_DISK_FULL, false, "old", K::DiskFull, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_PATH_NOT_FOUND, false, "old", K::NotFound, {L"TellurixAdmin.exe", L"httpd.conf"}},
      {ERROR_INVALID_PARAMETER, false, "old", K::Other, {L"TellurixAdmin.exe", L"httpd.conf"}},
      // Moved away, and something else takes the name before the content can: the
      // old content stays under the backup name, the new one in the temporary file.
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, "", K::AccessDenied,
       {L"TellurixAdmin.exe", L"httpd.conf", L"httpd.conf.tellurix-old", L"~"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.failure << (row.takenOver ? " taken over" : ""));
    home.Put(L"httpd.conf", "old");
    g_failure = row.failure;
    g_takenOver = row.takenOver;
    const auto written = WriteFileAtomically(path, "new");
    EXPECT_EQ(written ? std::nullopt : std::optional<K>(written.error().kind), row.kind);
    EXPECT_EQ(ReadBytes(file), row.left);
    std::vector<std::wstring> files = FilesIn(Widen(home.home()));
    const std::string keptAt = written ? std::string() : written.error().keptAt;
    for (std::wstring& name : files) {
      if (name.rfind(L"tlx", 0) == 0) {
        // The temporary file is left only where the message names it, holding the content.
        EXPECT_EQ(keptAt, home.home() + "\\" + Narrow(name));
        EXPECT_EQ(ReadBytes(home / name), "new");
        EXPECT_EQ(CannotWriteMessage(written.error()),
                  "无法写入文件“" + path +
                      "”（文件是只读的，或正被其他程序使用）。已经保存的设置保持不变，其余设置没有保存。"
                      "文件的新内容保存在“" +
                      keptAt + "”，请手动改名为原文件名。");
        DeleteFileW((home / name).c_str());
        name = L"~";
      }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::wstring> expected = row.files;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files, expected);
    EXPECT_EQ(keptAt.empty(), std::count(row.files.begin(), row.files.end(), L"~") == 0);
    DeleteFileW((file + L".tellurix-old").c_str());
    RemoveDirectoryW(file.c_str());
  }
  SetReplaceFileStepForTesting(nullptr);
}

// Winsock as "Using SO_REUSEADDR and SO_EXCLUSIVEADDRUSE" (Microsoft's Winsock
// documentation) describes the defaults: a bind with no option set is how Apache
// (listen.c: no option before bind on Windows) and MySQL bind their ports, and an
// exclusive bind would fail with 10048 or 10013 where theirs succeeds. Wine
// ignores SO_EXCLUSIVEADDRUSE, so the options the probe sets are recorded here.
// The listener table is "GetExtendedTcpTable function": a buffer too small for
// the table as it is now gives ERROR_INSUFFICIENT_BUFFER and the size it needs,
// and a table may grow between two calls.
struct FakeWinsock {
  std::map<UINT_PTR, int> families;
  std::vector<std::tuple<int, int, int>> options;  // family, level, name
  std::vector<int> bound;                          // families
  std::vector<DWORD> tableSizes;                   // the size each call to the table offered
  int growBy = 2;                                  // rows the IPv4 table gains after it is first asked for
} g_winsock;
UINT_PTR WINAPI FakeSocket(int family, int, int) {
  const UINT_PTR socket = 100 + g_winsock.families.size();
  g_winsock.families[socket] = family;
  return socket;
}
int WINAPI FakeSetOption(UINT_PTR socket, int level, int name, const char*, int) {
  g_winsock.options.emplace_back(g_winsock.families[socket], level, name);
  return 0;
}
int WINAPI FakeBind(UINT_PTR socket, const sockaddr*, int) { return g_winsock.bound.push_back(g_winsock.families[socket]), 0; }
int WINAPI FakeClose(UINT_PTR) { return 0; }
int WINAPI FakeLastError() { return 0; }
int WINAPI RealParse(int family, const wchar_t* text, void* address) { return InetPtonW(family, text, address); }
DWORD WINAPI GrowingTable(void* table, DWORD* size, BOOL, ULONG family, int, ULONG) {
  g_winsock.tableSizes.push_back(*size);
  // IPv4: ports 80 (PID 4) and 3306 (PID 1200), then as many more as it grew by; IPv6: 443 (PID 1300).
  std::vector<MIB_TCPROW_OWNER_PID> rows4 = {{MIB_TCP_STATE_LISTEN, 0, htons(80), 0, 0, 4},
                                             {MIB_TCP_STATE_LISTEN, 0, htons(3306), 0, 0, 1200}};
  if (family == AF_INET && g_winsock.tableSizes.size() > 1) {
    for (int i = 0; i < g_winsock.growBy; ++i) {
      rows4.push_back({MIB_TCP_STATE_LISTEN, 0, htons(static_cast<u_short>(8000 + i)), 0, 0, 1400});
    }
  }
  const DWORD needed = family == AF_INET ? sizeof(DWORD) + rows4.size() * sizeof(MIB_TCPROW_OWNER_PID)
                                         : sizeof(MIB_TCP6TABLE_OWNER_PID);
  if (!table || *size < needed) {
    *size = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  if (family == AF_INET) {
    auto* out = static_cast<MIB_TCPTABLE_OWNER_PID*>(table);
    out->dwNumEntries = static_cast<DWORD>(rows4.size());
    std::copy(rows4.begin(), rows4.end(), out->table);
  } else {
    auto* out = static_cast<MIB_TCP6TABLE_OWNER_PID*>(table);
    *out = {};
    out->dwNumEntries = 1;
    out->table[0].dwLocalPort = htons(443);
    out->table[0].dwOwningPid = 1300;
    out->table[0].dwState = MIB_TCP_STATE_LISTEN;
  }
  return NO_ERROR;
}

TEST(Platform, PortsAreProbedAsTheServersBindThem) {
  const PortApi fake = {nullptr, FakeLastError, FakeSocket, FakeSetOption, FakeBind, FakeClose, RealParse, GrowingTable};
  SetPortApiForTesting(&fake);
  // All addresses, then each kind of address Apache's Listen names.
  EXPECT_EQ(BindError("", 80), 0u);
  EXPECT_EQ(BindError("127.0.0.1", 8080), 0u);
  EXPECT_EQ(BindError("::", 443), 0u);
  EXPECT_EQ(g_winsock.bound, (std::vector<int>{AF_INET, AF_INET6, AF_INET, AF_INET6}));
  // No option but keeping an IPv6 socket to IPv6, as Apache's [::] listener is.
  const std::vector<std::tuple<int, int, int>> v6only = {{AF_INET6, IPPROTO_IPV6, IPV6_V6ONLY},
                                                          {AF_INET6, IPPROTO_IPV6, IPV6_V6ONLY}};
  EXPECT_EQ(g_winsock.options, v6only);

  // The IPv4 table grows between the two calls: asked again, none of it is lost.
  std::vector<std::pair<unsigned, unsigned long>> listeners;
  for (const Listener& listener : TcpListeners()) listeners.emplace_back(listener.port, listener.processId);
  const std::vector<std::pair<unsigned, unsigned long>> expected = {{80, 4}, {3306, 1200}, {8000, 1400},
                                                                    {8001, 1400}, {443, 1300}};
  EXPECT_EQ(listeners, expected);
  EXPECT_GE(g_winsock.tableSizes.size(), 5u) << "IPv4: size, too small, whole; IPv6: size, whole";
  SetPortApiForTesting(nullptr);
}

// ReadEventLog's documentation (Remarks; KB 177199) warns that a seek read may fail
// with ERROR_INVALID_PARAMETER on a large log; a fresh handle read with
// EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ starts at the newest record
// and gives the records newest first, as many whole ones as the buffer holds
// (ERROR_INSUFFICIENT_BUFFER with the size of the next when none fits), then
// ERROR_HANDLE_EOF. Wine keeps no records, so the log is played here from
// EVENTLOGRECORD as it is documented.
struct PlayedLog {
  std::vector<std::string> records;  // oldest first, laid out
  size_t nextBack = 0;               // records already read backwards
  int seeks = 0, reads = 0;
} g_log;
std::string Laid(DWORD number, DWORD time, const char* source, DWORD eventId, const std::vector<std::string>& strings) {
  EVENTLOGRECORD header{};
  std::string names = std::string(source) + '\0' + "DEV-PC" + '\0';
  names.resize((names.size() + 3) / 4 * 4);
  std::string text;
  for (const std::string& string : strings) text += string + '\0';
  const DWORD stringsAt = sizeof(header) + static_cast<DWORD>(names.size());
  DWORD length = stringsAt + static_cast<DWORD>(text.size());
  length = (length + 3) / 4 * 4 + 4;
  header.Length = length;
  header.Reserved = 0x654C664C;
  header.RecordNumber = number;
  header.TimeGenerated = header.TimeWritten = time;
  header.EventID = eventId;
  header.EventType = EVENTLOG_ERROR_TYPE;
  header.NumStrings = static_cast<WORD>(strings.size());
  header.StringOffset = stringsAt;
  std::string record(reinterpret_cast<const char*>(&header), sizeof(header));
  record += names + text;
  record.resize(length - 4);
  record.append(reinterpret_cast<const char*>(&length), 4);
  return record;
}
std::string ApacheRecord(DWORD number, DWORD time, const std::string& line) {
  return Laid(number, time, "Apache Service", 3299,
              {"The Apache service named", "", "reported the following error:\r\n>>>", line, "", "", "", "", ""});
}
void* WINAPI PlayedOpen(const wchar_t*, const wchar_t* source) {
  g_log.nextBack = 0;  // a fresh handle starts at the newest record
  return std::wstring(source) == L"Application" ? &g_log : nullptr;
}
int WINAPI PlayedClose(void*) { return TRUE; }
int WINAPI PlayedOldest(void*, unsigned long* number) { return *number = 4998, TRUE; }
int WINAPI PlayedCount(void*, unsigned long* number) { return *number = 3, TRUE; }
int WINAPI PlayedRead(void*, unsigned long flags, unsigned long, void* buffer, unsigned long size, unsigned long* read,
                      unsigned long* needed) {
  *read = *needed = 0;
  ++g_log.reads;
  if (flags & EVENTLOG_SEEK_READ) {
    ++g_log.seeks;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!(flags & EVENTLOG_BACKWARDS_READ) || g_log.nextBack == g_log.records.size()) {
    SetLastError(ERROR_HANDLE_EOF);
    return FALSE;
  }
  auto* out = static_cast<char*>(buffer);
  while (g_log.nextBack < g_log.records.size()) {
    const std::string& record = g_log.records[g_log.records.size() - 1 - g_log.nextBack];
    if (*read + record.size() > size) break;
    std::copy(record.begin(), record.end(), out + *read);
    *read += static_cast<unsigned long>(record.size());
    ++g_log.nextBack;
  }
  if (*read == 0) {
    *needed = static_cast<unsigned long>(g_log.records[g_log.records.size() - 1 - g_log.nextBack].size());
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return TRUE;
}

TEST(Platform, ApacheLinesArriveFromALargeLogWithoutASeek) {
  const EventLogApi played = {PlayedOpen, PlayedClose, PlayedOldest, PlayedCount, PlayedRead};
  SetEventLogApiForTesting(&played);
  const DWORD start = 1796601600;
  // Three records before the start (the newest then: 5000), then Apache's two lines
  // of a failed start with another source's record between, larger than the
  // reading's first buffer.
  const std::string taken = "AH00072: make_sock: could not bind to address 0.0.0.0:80";
  // A log in daily use: thousands of records before those.
  for (DWORD number = 1; number < 4998; ++number) {
    g_log.records.push_back(Laid(number, start - 86400, "Service Control Manager", 7036, {"Apache2", "running"}));
  }
  g_log.records.insert(g_log.records.end(), {ApacheRecord(4998, start - 60, "AH00094: Command line: 'httpd.exe -d C:/T/Apache2'"),
                   Laid(4999, start - 30, "Service Control Manager", 7036, {"Apache2", "running"}),
                   ApacheRecord(5000, start - 5, "AH00489: Apache/2.4.58 (Win32) configured"),
                   ApacheRecord(5001, start, taken),
                   Laid(5002, start, "Service Control Manager", 7024, {std::string(100000, 'x')}),
                   ApacheRecord(5003, start + 1, "AH00451: no listening sockets available, shutting down")});
  ASSERT_EQ(NewestEventRecord(), 5000u) << "oldest 4998, three records when the start began";
  EXPECT_EQ(ApacheEventLinesSince(5000, start),
            (std::vector<std::string>{taken, "AH00451: no listening sockets available, shutting down"}));
  EXPECT_EQ(g_log.seeks, 0);
  EXPECT_LE(g_log.reads, 4) << "the reading stops at the first record before the start, not after 750 KB";
  // The log cleared since: its numbers begin at 1 again, and the time decides.
  g_log.records = {ApacheRecord(1, start - 2, "AH00094: Command line: 'httpd.exe -d C:/T/Apache2'"),
                   ApacheRecord(2, start + 1, taken)};
  EXPECT_EQ(ApacheEventLinesSince(5000, start), (std::vector<std::string>{taken}));
  SetEventLogApiForTesting(nullptr);
}

// "ShellExecuteEx function" (Remarks): COM must be initialised on the calling
// thread first, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE, since the verb
// may be handed to a COM handler. The prompt is played: it asks COM whether the
// apartment is there (S_FALSE: it was) and answers No.
HRESULT g_apartment = E_FAIL;
BOOL PromptAskingForCom(SHELLEXECUTEINFOW*) {
  g_apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (SUCCEEDED(g_apartment)) CoUninitialize();
  SetLastError(ERROR_CANCELLED);
  return FALSE;
}

// "Dynamic-Link Library Search Order" and "LoadLibraryExW function": without the
// search flags of AddDllDirectory (Windows 7 without its update), a DLL named by
// its full path has its own DLLs found from its folder first only with
// LOAD_WITH_ALTERED_SEARCH_PATH; with them, the system folder is searched alone.
std::vector<std::pair<std::wstring, DWORD>> g_loads;
HMODULE WINAPI RecordedLoad(const wchar_t* file, HANDLE reserved, DWORD flags) {
  g_loads.emplace_back(file, flags);
  return LoadLibraryExW(file, reserved, flags & LOAD_WITH_ALTERED_SEARCH_PATH);
}
bool Windows7WithoutUpdate() { return false; }
bool Windows8() { return true; }

TEST(Platform, ShellAndLibraryCallsAsDocumented) {
  SetShellExecuteStepForTesting(PromptAskingForCom);
  const auto run = RunElevated(nullptr, "C:\\T\\Apache2\\bin\\httpd.exe", "-k install -n \"Apache2\"", 1000);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->outcome, ProgramRun::Outcome::Declined);
  EXPECT_EQ(g_apartment, S_FALSE) << "COM was entered before the shell was asked";
  SetShellExecuteStepForTesting(nullptr);

  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  SetLoadLibraryExStepForTesting(RecordedLoad, Windows7WithoutUpdate);
  EXPECT_NE(SystemLibrary(L"iphlpapi.dll"), nullptr);
  SetLoadLibraryExStepForTesting(RecordedLoad, Windows8);
  EXPECT_NE(SystemLibrary(L"iphlpapi.dll"), nullptr);
  const std::vector<std::pair<std::wstring, DWORD>> expected = {
      {std::wstring(system) + L"\\iphlpapi.dll", LOAD_WITH_ALTERED_SEARCH_PATH}, {L"iphlpapi.dll", 0x00000800}};
  EXPECT_EQ(g_loads, expected);
  SetLoadLibraryExStepForTesting(nullptr, Windows8);
}

// The conversion flags must be ones WideCharToMultiByte takes for the code page, or every conversion fails: UTF-7
// takes none, and the system's code page may be UTF-8 itself. (Wine 8 has no GB18030 and no ISO-2022 code pages.)
TEST(Platform, CodecWorksInTheCodePagesItMeets) {
  const std::string chinese = "端口 80";
  const std::pair<unsigned, std::string> rows[] = {
      {936, "\xB6\xCB\xBF\xDA 80"}, {65001, chinese}, {65000, "+eu9T4w- 80"}};
  for (const auto& [codePage, bytes] : rows) {
    EXPECT_EQ(ToCodePage(chinese, codePage), bytes) << codePage;
    EXPECT_EQ(FromCodePage(bytes, codePage), chinese) << codePage;
  }
  // What a code page cannot hold is refused, never written as '?'.
  EXPECT_EQ(ToCodePage("站点 😀", 936), std::nullopt);
  EXPECT_EQ(ToCodePage("站点 😀", 65001), "站点 😀");
  EXPECT_EQ(ToCodePage("\xED\xA0\x80", 65001), std::nullopt) << "a lone surrogate";
  EXPECT_EQ(FromCodePage("\xC3", 65001), std::nullopt);
}

TEST(Platform, AboutDescriptionFitsItsLabel) {
  const std::wstring description = Widen(text::kAboutDescription);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  const SIZE box = {MulDiv(225, dpi, 96), MulDiv(41, dpi, 96)};  // Label2
  UniqueFont font(CreateFittingChineseFont(description, box, dpi));
  ASSERT_TRUE(font);
  HGDIOBJ previous = SelectObject(screen, font.get());
  RECT measured = {0, 0, box.cx, 0};
  DrawTextW(screen, description.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  EXPECT_LE(measured.bottom, box.cy);
  EXPECT_LE(measured.right, box.cx);
}

}  // namespace
}  // namespace e2e
