// The floor of the data folder's copy under a given system: what the files of
// a folder cost to make with nothing of the copy job around them, on one or
// more threads at once. Run by scripts/bench-copy.sh beside the job.
//   copy-floor touch FOLDER COPY THREADS   an empty new file per file of FOLDER
//                                          (CreateFileW, CloseHandle)
//   touch-posix                            the same with FILE_FLAG_POSIX_SEMANTICS
//   touch-nt, touch-ntrel, touch-ntrel-i   NtCreateFile without OBJ_CASE_INSENSITIVE
//                                          (its full path; the name in its folder's
//                                          handle; -i: with it)
//   copy-floor copy FOLDER COPY THREADS    CopyFileExW per file
//   copy-floor stream FOLDER COPY THREADS  CreateFileW, ReadFile, WriteFile (1 MiB);
//                                          stream-posix: the new file as touch-posix
// COPY must not exist; its folders are made first and not timed. Prints the
// seconds the files took.
#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "servers/data_copy_win32.h"
#include "ui/win32_text.h"

namespace {

struct Work {
  std::wstring mode;
  std::vector<std::pair<std::wstring, std::wstring>> files;
  std::atomic<size_t> next{0};
  std::atomic<unsigned> failures{0};
};

bool Stream(const std::wstring& from, const std::wstring& to, std::vector<char>& buffer, DWORD flags) {
  HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN | flags, nullptr);
  bool ok = out != INVALID_HANDLE_VALUE;
  DWORD read = 0;
  while (ok && ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read) {
    DWORD written = 0;
    ok = WriteFile(out, buffer.data(), read, &written, nullptr) && written == read;
  }
  CloseHandle(in);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  return ok;
}

DWORD WINAPI Worker(LPVOID data) {
  auto* work = static_cast<Work*>(data);
  const bool posix = work->mode.find(L"-posix") != std::wstring::npos;
  const DWORD flags = posix ? FILE_FLAG_POSIX_SEMANTICS : 0;
  std::vector<char> buffer(1 << 20);
  for (size_t i = work->next++; i < work->files.size(); i = work->next++) {
    const auto& [from, to] = work->files[i];
    bool ok = true;
    if (work->mode.rfind(L"touch-nt", 0) == 0) {
      const bool relative = work->mode.find(L"rel") != std::wstring::npos;
      const ULONG attributes = work->mode.find(L"-i") != std::wstring::npos ? OBJ_CASE_INSENSITIVE : 0;
      std::wstring name;
      HANDLE root = nullptr;
      if (relative) {
        const size_t slash = to.rfind(L'\\');
        root = CreateFileW(to.substr(0, slash).c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        name = to.substr(slash + 1);
      } else {
        name = L"\\??\\" + to;
      }
      UNICODE_STRING unicode{static_cast<USHORT>(name.size() * 2), static_cast<USHORT>(name.size() * 2), name.data()};
      OBJECT_ATTRIBUTES object;
      InitializeObjectAttributes(&object, &unicode, attributes, root, nullptr);
      IO_STATUS_BLOCK io{};
      HANDLE file = nullptr;
      ok = NtCreateFile(&file, GENERIC_WRITE | SYNCHRONIZE, &object, &io, nullptr, FILE_ATTRIBUTE_NORMAL, 0, FILE_CREATE,
                        FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0) >= 0;
      if (ok) CloseHandle(file);
      if (root) CloseHandle(root);
    } else if (work->mode.rfind(L"touch", 0) == 0) {
      HANDLE file = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
      ok = file != INVALID_HANDLE_VALUE && CloseHandle(file);
    } else if (work->mode == L"copy") {
      ok = CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS);
    } else {
      ok = Stream(from, to, buffer, flags);
    }
    if (!ok) ++work->failures;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace tellurix;
  if (argc != 5) {
    std::fprintf(stderr, "usage: copy-floor touch|copy|stream FOLDER COPY THREADS\n");
    return 2;
  }
  Work work;
  work.mode = argv[1];
  const std::string from = Narrow(argv[2]), to = Narrow(argv[3]);
  const int threads = std::max(1, _wtoi(argv[4]));
  Win32CopyFileSystem fs;
  Tree tree;
  if (ListTree(fs, from, tree) || fs.MakeFolder(to)) return 1;
  for (const auto& entry : tree.entries) {
    const std::string target = to + "\\" + entry.relative;
    if (entry.folder) {
      if (fs.MakeFolder(target)) return 1;
    } else {
      work.files.emplace_back(ApiPath(from + "\\" + entry.relative), ApiPath(target));
    }
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::vector<HANDLE> running;
  for (int i = 0; i < threads; ++i) running.push_back(CreateThread(nullptr, 0, Worker, &work, 0, nullptr));
  WaitForMultipleObjects(static_cast<DWORD>(running.size()), running.data(), TRUE, INFINITE);
  QueryPerformanceCounter(&end);
  for (HANDLE thread : running) CloseHandle(thread);
  std::printf("%ls threads %d files %u failures %u seconds %.3f\n", argv[1], threads,
              static_cast<unsigned>(work.files.size()), work.failures.load(),
              static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  return work.failures ? 1 : 0;
}
