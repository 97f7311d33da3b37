// The copy of MySQL's data folder as the panel runs it: the job on its own
// thread, CopyFileExW under Wine, on a real tree in the prefix (nested folders,
// Chinese names, a read-only file, a path longer than MAX_PATH), its progress
// messages, a cancel, a file another program holds, and the checks before it.
#include "harness.h"
#include "servers/data_copy_win32.h"
#include "servers/service_diagnosis.h"
#include "ui/progress_window.h"

#include <commctrl.h>

#include <atomic>
#include <map>
#include <random>

namespace e2e {
namespace {

using namespace tellurix;
using End = CopyOutcome::End;
constexpr UINT kCopyMessage = WM_APP + 40;

std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

std::string Pseudorandom(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

void MakeFolders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(Long(path.substr(0, at)).c_str(), nullptr);
  }
  CreateDirectoryW(Long(path).c_str(), nullptr);
}

void Write(const std::wstring& path, const std::string& bytes) {
  MakeFolders(path.substr(0, path.rfind(L'\\')));
  HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  CloseHandle(file);
}

// Every folder and file under a root: bytes (or "<folder>") and the read-only mark.
using Contents = std::map<std::wstring, std::pair<std::string, bool>>;
void Walk(const std::wstring& root, const std::wstring& relative, Contents& contents) {
  WIN32_FIND_DATAW found{};
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  HANDLE find = FindFirstFileW(Long(folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    const bool readOnly = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      contents[path] = {"<folder>", readOnly};
      Walk(root, path, contents);
    } else {
      contents[path] = {ReadBytes(Long(root + L"\\" + path)), readOnly};
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}
Contents ContentsOf(const std::wstring& root) {
  Contents contents;
  Walk(root, L"", contents);
  return contents;
}

void RemoveAll(const std::wstring& root) {
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(Long(root + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = root + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveAll(path);
      } else {
        SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Long(path).c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(Long(root).c_str());
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// A data folder in the prefix, removed with whatever sits beside it by the destructor.
class DataFolder {
 public:
  explicit DataFolder(const std::wstring& name, int bigFiles = 0) : base_(L"C:\\tellurix-copy-" + name) {
    RemoveAll(base_);
    data_ = base_ + L"\\MySQL\\data";
    Write(data_ + L"\\ibdata1", Pseudorandom(2 * 1024 * 1024 + 5, 1));
    Write(data_ + L"\\ib_logfile0", Pseudorandom(1024 * 1024, 2));
    Write(data_ + L"\\ib_logfile1", Pseudorandom(1024 * 1024, 3));
    Write(data_ + L"\\TELLURIX-PC.err", "InnoDB: Database page corruption on disk or a failed file read of page 7.\r\n");
    Write(data_ + L"\\mysql\\user.frm", Pseudorandom(10630, 4));
    Write(data_ + L"\\mysql\\user.MYD", Pseudorandom(4321, 5));
    Write(data_ + L"\\商城\\订单.ibd", Pseudorandom(98304, 6));
    Write(data_ + L"\\a\\b\\c\\db.opt", "default-character-set=utf8\r\n");
    MakeFolders(data_ + L"\\test");
    // Deep enough that the copy's path is longer than MAX_PATH.
    std::wstring deep = data_ + L"\\深层";
    while (deep.size() < MAX_PATH + 20) deep += L"\\folder-of-a-long-name";
    Write(deep + L"\\t1.frm", Pseudorandom(700, 7));
    for (int i = 0; i < bigFiles; ++i) Write(data_ + L"\\big\\part" + std::to_wstring(i) + L".ibd", Pseudorandom(4 << 20, 10 + i));
    SetFileAttributesW(Long(data_ + L"\\mysql\\user.frm").c_str(), FILE_ATTRIBUTE_READONLY);
    copy_ = data_ + L"-备份-test";
    before_ = ContentsOf(data_);
  }
  ~DataFolder() { RemoveAll(base_); }
  DataCopyPlan Plan() const {
    DataCopyPlan plan{Narrow(data_), Narrow(copy_), {}};
    Win32CopyFileSystem fs;
    EXPECT_FALSE(ListTree(fs, plan.from, plan.tree));
    return plan;
  }
  const std::wstring& data() const { return data_; }
  const std::wstring& copy() const { return copy_; }
  const Contents& before() const { return before_; }
  // Only the data folder as it was, nothing beside it.
  ::testing::AssertionResult Untouched() const {
    if (ContentsOf(data_) != before_) return ::testing::AssertionFailure() << "the data folder changed";
    const auto beside = FilesIn(base_ + L"\\MySQL");
    if (beside != std::vector<std::wstring>{L"data"}) {
      return ::testing::AssertionFailure() << beside.size() << " entries beside the data folder";
    }
    return ::testing::AssertionSuccess();
  }

 private:
  std::wstring base_, data_, copy_;
  Contents before_;
};

// A window that only receives the job's messages.
class Receiver {
 public:
  Receiver() : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
  ~Receiver() { DestroyWindow(window_); }
  HWND hwnd() const { return window_; }
  // Pumps until the job says it ended; `onPercent` sees each per cent.
  bool WaitForEnd(std::vector<unsigned>& percents, const std::function<void(unsigned)>& onPercent = {}) {
    const DWORD deadline = GetTickCount() + 60000;
    MSG message;
    while (GetTickCount() < deadline) {
      if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        continue;
      }
      if (message.hwnd == window_ && message.message == kCopyMessage) {
        if (message.wParam == DataCopyJob::kEnded) return true;
        percents.push_back(static_cast<unsigned>(message.lParam));
        if (onPercent) onPercent(percents.back());
        continue;
      }
      DispatchMessageW(&message);
    }
    return false;
  }

 private:
  HWND window_;
};

TEST(Copy, APanelThatQuitsMidCopyWaitsUntilTheCopyIsRemoved) {
  DataFolder folder(L"quit", 12);
  Receiver receiver;
  DataCopyJob job;
  ASSERT_TRUE(job.Start(receiver.hwnd(), kCopyMessage, folder.Plan()));
  // The panel's question comes while the copy runs; yes cancels and waits.
  std::optional<CopyOutcome> outcome;
  std::vector<unsigned> percents;
  ASSERT_TRUE(receiver.WaitForEnd(percents, [&](unsigned percent) {
    if (percent >= 10 && !outcome) outcome = job.CancelAndWait();
  }));
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->end, End::Cancelled);
  EXPECT_FALSE(job.Running());
  EXPECT_FALSE(Exists(folder.copy()));
  EXPECT_TRUE(folder.Untouched());
}

TEST(Copy, AFileAnotherProgramHoldsFailsTheCopyAndIsNamed) {
  DataFolder folder(L"held");
  const std::wstring held = folder.data() + L"\\商城\\订单.ibd";
  // Open without sharing, as a running server or a virus scanner may hold it.
  HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  Receiver receiver;
  DataCopyJob job;
  ASSERT_TRUE(job.Start(receiver.hwnd(), kCopyMessage, folder.Plan()));
  std::vector<unsigned> percents;
  ASSERT_TRUE(receiver.WaitForEnd(percents));
  CloseHandle(holder);
  const auto outcome = job.Collect();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->end, End::Failed);
  EXPECT_EQ(outcome->failedPath, Narrow(held));
  EXPECT_EQ(outcome->reason, SystemErrorText(ERROR_SHARING_VIOLATION));
  EXPECT_NE(outcome->reason, std::to_string(ERROR_SHARING_VIOLATION));  // the system's words, not a number
  EXPECT_TRUE(outcome->leftBehind.empty());
  EXPECT_FALSE(Exists(folder.copy()));
  EXPECT_TRUE(folder.Untouched());
  const auto lines = CopyEndLines(*outcome, Narrow(folder.copy()));
  EXPECT_EQ(lines[0], "复制“" + Narrow(held) + "”失败：" + outcome->reason + "...    ");
  EXPECT_EQ(lines[1], "已复制的文件已删除，数据文件夹没有改动...    ");
}

// Copies as "CopyFileExW function" and "LPPROGRESS_ROUTINE callback function"
// (Microsoft Learn) say Windows does and Wine 8 does not: the routine first with
// CALLBACK_STREAM_SWITCH, then with CALLBACK_CHUNK_FINISHED after each chunk
// and the bytes transferred so far; PROGRESS_CANCEL cancels the copy, deletes
// the destination file, and the function fails with ERROR_REQUEST_ABORTED.
// The destination gets the source's attributes.
std::atomic<int> g_chunksAfterCancel{-1};
BOOL WINAPI DocumentedCopy(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID data, LPBOOL, DWORD flags) {
  HANDLE source = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (source == INVALID_HANDLE_VALUE) return FALSE;
  HANDLE target = CreateFileW(to, GENERIC_WRITE, 0, nullptr, (flags & COPY_FILE_FAIL_IF_EXISTS) ? CREATE_NEW : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    CloseHandle(source);
    SetLastError(error);
    return FALSE;
  }
  LARGE_INTEGER size{}, done{};
  GetFileSizeEx(source, &size);
  DWORD answer = progress(size, done, size, done, 1, CALLBACK_STREAM_SWITCH, source, target, data);
  std::vector<char> chunk(64 * 1024);
  DWORD got = 0, put = 0;
  while (answer == PROGRESS_CONTINUE && ReadFile(source, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0) {
    WriteFile(target, chunk.data(), got, &put, nullptr);
    done.QuadPart += got;
    answer = progress(size, done, size, done, 1, CALLBACK_CHUNK_FINISHED, source, target, data);
  }
  CloseHandle(source);
  CloseHandle(target);
  if (answer == PROGRESS_CANCEL) {
    // The most chunks left of any file stopped (two may stop at once).
    const int left = static_cast<int>((size.QuadPart - done.QuadPart) / static_cast<LONGLONG>(chunk.size()));
    for (int seen = g_chunksAfterCancel; seen < left && !g_chunksAfterCancel.compare_exchange_weak(seen, left);) {
    }
    DeleteFileW(to);
    SetLastError(ERROR_REQUEST_ABORTED);
    return FALSE;
  }
  SetFileAttributesW(to, GetFileAttributesW(from));
  return TRUE;
}

TEST(Copy, OnWindowsABigFileReportsItsProgressAndStopsInTheMiddle) {
  SetCopyFileStepForTesting(DocumentedCopy);
  {
    DataFolder folder(L"chunks");
    Receiver receiver;
    DataCopyJob job;
    ASSERT_TRUE(job.Start(receiver.hwnd(), kCopyMessage, folder.Plan()));
    std::vector<unsigned> percents;
    ASSERT_TRUE(receiver.WaitForEnd(percents));
    const auto outcome = job.Collect();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->end, End::Copied) << outcome->failedPath << ": " << outcome->reason;
    EXPECT_FALSE(job.Running());
    EXPECT_FALSE(job.Collect()) << "collected once";
    const Contents copied = ContentsOf(folder.copy());
    EXPECT_EQ(copied, folder.before());  // every byte, every folder, the read-only mark
    EXPECT_TRUE(copied.at(L"mysql\\user.frm").second);
    EXPECT_GE(percents.size(), 60u);  // ibdata1, half of the bytes, alone says about 50
    for (size_t i = 1; i < percents.size(); ++i) EXPECT_LT(percents[i - 1], percents[i]);
  }
  {
    DataFolder folder(L"chunks-cancel");
    Receiver receiver;
    DataCopyJob job;
    g_chunksAfterCancel = -1;
    ASSERT_TRUE(job.Start(receiver.hwnd(), kCopyMessage, folder.Plan()));
    std::vector<unsigned> percents;
    // ib_logfile0 and ib_logfile1 are the first half; ibdata1 is under way at 60 %.
    ASSERT_TRUE(receiver.WaitForEnd(percents, [&](unsigned percent) {
      if (percent >= 60) job.Cancel();
    }));
    const auto outcome = job.Collect();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->end, End::Cancelled);
    EXPECT_GT(g_chunksAfterCancel, 0);  // stopped inside the file
    EXPECT_FALSE(Exists(folder.copy()));
    EXPECT_TRUE(folder.Untouched());
  }
  SetCopyFileStepForTesting(nullptr);
}

// The bench's MySQL service runs the stand-in as C:\stack\MySQL\bin\mysqld-nt.exe.
TEST(Copy, IsRefusedWhileTheStacksServerRuns) {
  const std::wstring data = L"C:\\stack\\MySQL\\data";
  Write(data + L"\\ibdata1", Pseudorandom(1000, 1));
  ASSERT_TRUE(SetService(L"MySQL", true));
  DataCopyCheck check = CheckDataCopy("C:\\stack");
  ASSERT_TRUE(SetService(L"MySQL", false));
  ASSERT_EQ(check.refusals.size(), 2u);
  EXPECT_EQ(check.refusals[0], "MySQL正在运行，请先停止MySQL再复制数据文件夹...    ");
  EXPECT_EQ(check.refusals[1].find("mysqld-nt.exe（PID "), 0u) << check.refusals[1];

  check = CheckDataCopy("C:\\stack");
  EXPECT_EQ(check.refusals, std::vector<std::string>{});
  EXPECT_EQ(check.plan.from, "C:\\stack\\MySQL\\data");
  EXPECT_EQ(check.plan.to.rfind("C:\\stack\\MySQL\\data-备份-", 0), 0u) << check.plan.to;
  EXPECT_EQ(check.plan.to.size(), std::string("C:\\stack\\MySQL\\data-备份-20240305-070809").size());
  EXPECT_EQ(check.plan.tree.files, 1u);
  EXPECT_EQ(check.plan.tree.bytes, 1000u);
  RemoveAll(data);

  check = CheckDataCopy("C:\\stack");
  EXPECT_EQ(check.refusals, std::vector<std::string>{"MySQL的数据文件夹不存在：C:\\stack\\MySQL\\data...    "});
}

// The step's window: its texts, its bar, and one cancel however the user asks.
TEST(Copy, TheProgressWindowShowsThePercentAndCancelsOnce) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                               nullptr);
  int cancels = 0;
  {
    ProgressWindow progress;
    ASSERT_TRUE(progress.Open(owner, text::kDataCopyCaption, "正在复制到：C:\\stack\\MySQL\\data-备份-1", text::kCancel,
                              [&] { ++cancels; }));
    HWND window = progress.hwnd();
    EXPECT_EQ(GetWindow(window, GW_OWNER), owner);
    EXPECT_TRUE(IsWindowVisible(window));
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    EXPECT_EQ(Narrow(caption), text::kDataCopyCaption);
    EXPECT_EQ(Read(window, ProgressWindow::kLineId), "正在复制到：C:\\stack\\MySQL\\data-备份-1");
    EXPECT_EQ(Read(window, IDCANCEL), text::kCancel);
    HWND bar = GetDlgItem(window, ProgressWindow::kBarId);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    progress.SetPercent(42);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 42);
    progress.SetLine(text::kDataCopyCancelling);
    EXPECT_EQ(Read(window, ProgressWindow::kLineId), text::kDataCopyCancelling);

    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));  // as a click reports it
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
    SendMessageW(window, WM_CLOSE, 0, 0);  // the window's close box asks the same, and only once
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(IsWindow(window));  // it stays until the step has ended
    progress.Close();
    EXPECT_FALSE(IsWindow(window));
  }
  {
    ProgressWindow progress;
    ASSERT_TRUE(progress.Open(owner, "x", "y", text::kCancel, [&] { ++cancels; }));
    SendMessageW(progress.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(cancels, 2);
  }
  DestroyWindow(owner);
}

}  // namespace
}  // namespace e2e
