// The data folder's copy, timed: lists the folder given, runs the panel's copy
// job into the second path as the panel would (its own thread, per cents posted
// to a window, this thread pumping messages), and prints the time and the peak
// working set before and after. Run by scripts/bench-copy.sh.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "servers/data_copy_win32.h"
#include "ui/win32_text.h"

namespace {

constexpr UINT kCopyMessage = WM_APP + 1;

double PeakMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return static_cast<double>(counters.PeakWorkingSetSize) / (1024 * 1024);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace tellurix;
  if (argc != 3) {
    std::fprintf(stderr, "usage: copy-bench FOLDER COPY\n");
    return 2;
  }
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  DataCopyPlan plan{Narrow(argv[1]), Narrow(argv[2]), {}};
  Win32CopyFileSystem fs;
  LARGE_INTEGER frequency, listing, listed, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&listing);
  if (ListTree(fs, plan.from, plan.tree)) return 1;
  QueryPerformanceCounter(&listed);
  const double idle = PeakMiB();
  std::printf("idle %.1f\n", idle);
  std::fflush(stdout);
  Sleep(1500);  // the script reads the process's own figures meanwhile

  DataCopyJob job;
  QueryPerformanceCounter(&start);
  if (!job.Start(window, kCopyMessage, plan)) return 1;
  unsigned messages = 0;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == kCopyMessage) {
      ++messages;
      if (message.wParam == DataCopyJob::kEnded) break;
      continue;
    }
    DispatchMessageW(&message);
  }
  const auto outcome = job.Collect();
  QueryPerformanceCounter(&end);
  const auto seconds = [&](LARGE_INTEGER from, LARGE_INTEGER to) {
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
  };
  std::printf("files %u bytes %llu list_s %.3f copy_s %.3f messages %u peak %.1f end %d\n",
              static_cast<unsigned>(plan.tree.files), static_cast<unsigned long long>(plan.tree.bytes),
              seconds(listing, listed), seconds(start, end), messages, PeakMiB(),
              outcome ? static_cast<int>(outcome->end) : -1);
  std::fflush(stdout);
  Sleep(1500);
  return outcome && outcome->end == CopyOutcome::End::Copied ? 0 : 1;
}
