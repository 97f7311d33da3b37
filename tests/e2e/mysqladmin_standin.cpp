// Stand-in for the stack's mysqladmin in the password-change tests. It appends to
// the UTF-8 file named by TELLURIX_RECORD its whole command line and then its
// argument vector as Windows splits it, one argument per line:
//   mysqladmin|<command line>
//   arg|<argument 0>
//   arg|<argument 1> ...
// (the recorder's lines in the same file start with a number instead). Then it
// waits TELLURIX_MYSQLADMIN_DELAY_MS milliseconds (default 0) and exits with the
// code TELLURIX_MYSQLADMIN_EXIT (default 0); a failing run prints a line on
// standard output and an error line on standard error, as the real tool does.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

unsigned long NumberFromEnvironment(const wchar_t* name, unsigned long fallback) {
  wchar_t value[32] = {};
  if (!GetEnvironmentVariableW(name, value, 32) || !*value) return fallback;
  return wcstoul(value, nullptr, 10);
}

void Print(DWORD stream, const std::string& line) {
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int wmain() {
  wchar_t record[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"TELLURIX_RECORD", record, MAX_PATH)) {
    std::string lines = "mysqladmin|" + Utf8(GetCommandLineW()) + "\n";
    int count = 0;
    if (wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
      for (int i = 0; i < count; ++i) lines += "arg|" + Utf8(arguments[i]) + "\n";
      LocalFree(arguments);
    }
    // One write of whole lines; the recorder may append after it.
    HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  Sleep(NumberFromEnvironment(L"TELLURIX_MYSQLADMIN_DELAY_MS", 0));
  const unsigned long code = NumberFromEnvironment(L"TELLURIX_MYSQLADMIN_EXIT", 0);
  if (code != 0) {
    Print(STD_OUTPUT_HANDLE, "mysqladmin: connect to server at 'localhost' failed\r\n");
    Print(STD_ERROR_HANDLE, "error: Access denied for user 'root'@'localhost' (using password: YES)\r\n");
  }
  return static_cast<int>(code);
}
