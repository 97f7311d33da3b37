// tellurix-conf: the control panel's configuration primitives for scripts and
// tests, built natively and for Windows from the same core.
//
//   tellurix-conf get FILE SECTION KEY
//   tellurix-conf set FILE SECTION KEY VALUE
//   tellurix-conf directive FILE NAME VALUE
//
// Text is UTF-8 natively and the console's code page on Windows. INI files keep
// the ANSI code page (natively CP936, or the iconv name in TELLURIX_CODEPAGE);
// a directive line is written in UTF-8, as Apache reads it.
// Exit status: 0 done, 1 the file could not be read or written, 2 wrong usage,
// 3 no such key, 4 no line with that directive.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/directive_rewriter.h"
#include "core/profile_store.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using tellurix::Error;

void Print(FILE* stream, const std::string& utf8) {
#ifdef _WIN32
  // Text for the console's code page (or the console itself, which takes UTF-16).
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), static_cast<int>(wide.size()));
  HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  const UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetACP();
  int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
#else
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
#endif
}

int Fail(const Error& error) {
  Print(stderr, "tellurix-conf: " + error.path + ": " + error.detail + "\n");
  return 1;
}

int Usage() {
  Print(stderr,
        "usage: tellurix-conf get FILE SECTION KEY\n"
        "       tellurix-conf set FILE SECTION KEY VALUE\n"
        "       tellurix-conf directive FILE NAME VALUE\n");
  return 2;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage();
  const std::string& command = args[1];
  if (command == "get" && args.size() == 5) {
    auto value = tellurix::ReadIniValue(args[2], args[3], args[4]);
    if (!value) return Fail(value.error());
    if (!*value) {
      Print(stderr, "tellurix-conf: " + args[2] + ": no key " + args[4] + " in section [" + args[3] + "]\n");
      return 3;
    }
    Print(stdout, **value + "\n");
    return 0;
  }
  if (command == "set" && args.size() == 6) {
    auto done = tellurix::WriteIniValue(args[2], args[3], args[4], args[5]);
    return done ? 0 : Fail(done.error());
  }
  if (command == "directive" && args.size() == 5) {
    auto replaced = tellurix::ReplaceConfigDirective(args[2], args[3], args[4]);
    if (!replaced) return Fail(replaced.error());
    if (*replaced == 0) {
      Print(stderr, "tellurix-conf: " + args[2] + ": no line with the directive " + args[3] + "; nothing changed\n");
      return 4;
    }
    Print(stdout, std::to_string(*replaced) + (*replaced == 1 ? " line" : " lines") + " replaced\n");
    return 0;
  }
  return Usage();
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const int size = static_cast<int>(wcslen(argv[i]));
    std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, argv[i], size, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    args.push_back(utf8);
  }
  return Run(args);
}
#else
int main(int argc, char** argv) {
  if (const char* codePage = std::getenv("TELLURIX_CODEPAGE")) tellurix::SetAnsiCodePage(codePage);
  return Run(std::vector<std::string>(argv, argv + argc));
}
#endif
