// The Windows half of the core under Wine: whole-file replacement that keeps a
// file's attributes, refuses read-only and locked files without touching them,
// and the tellurix-conf tool as scripts use it.
#include <gtest/gtest.h>

#include "core/directive_rewriter.h"
#include "core/file_io.h"
#include "core/profile_store.h"
#include "harness.h"

namespace e2e {
namespace {

class FileSafety : public ::testing::Test {
 protected:
  std::wstring Make(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = directory_.path() + L"\\" + name;
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }
  // Files the test made, and any temporary file left behind.
  int FileCount() const {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((directory_.path() + L"\\*").c_str(), &found);
    int count = 0;
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::wstring(found.cFileName) != L"TellurixAdmin.exe")
        ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
  }
  ProgramDirectory directory_{L"file safety"};
};

constexpr char kIni[] = "[PHP]\r\nshort_open_tag = On\r\n; 注释\r\n";

TEST_F(FileSafety, AWriteReplacesTheWholeFileAndKeepsItsAttributes) {
  const std::wstring path = Make(L"php.ini", kIni);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(tellurix::WriteIniValue(Narrow(path), "PHP", "short_open_tag", "Off"));
  EXPECT_EQ(ReadBytes(path), "[PHP]\r\nshort_open_tag=Off\r\n; 注释\r\n");
  EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(FileCount(), 1) << "no temporary file is left behind";
}

TEST_F(FileSafety, AReadOnlyFileIsRefusedAndLeftAsItWas) {
  const std::wstring path = Make(L"httpd.conf", "Listen 80\r\n");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  auto replaced = tellurix::ReplaceConfigDirective(Narrow(path), "Listen", "8080");
  ASSERT_FALSE(replaced);
  EXPECT_EQ(replaced.error().kind, tellurix::ErrorKind::AccessDenied);
  auto written = tellurix::WriteIniValue(Narrow(path), "PHP", "x", "1");
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().kind, tellurix::ErrorKind::AccessDenied);
  EXPECT_EQ(ReadBytes(path), "Listen 80\r\n");
  EXPECT_EQ(FileCount(), 1);
}

TEST_F(FileSafety, AFileLockedByAnotherProgramIsRefusedAndLeftAsItWas) {
  const std::wstring path = Make(L"my.ini", "[mysqld]\r\nport=3306\r\n");
  // Another program holding the file open without sharing it.
  HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  auto written = tellurix::WriteIniValue(Narrow(path), "mysqld", "port", "3307");
  CloseHandle(lock);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().kind, tellurix::ErrorKind::AccessDenied);
  EXPECT_EQ(ReadBytes(path), "[mysqld]\r\nport=3306\r\n");
  EXPECT_EQ(FileCount(), 1);
}

TEST_F(FileSafety, AMissingFolderIsReportedAndAMissingConfigFileIsNotCreated) {
  auto written = tellurix::WriteIniValue(Narrow(directory_.path() + L"\\no such folder\\Tellurix.ini"), "A", "b", "c");
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().kind, tellurix::ErrorKind::NotFound);
  auto replaced = tellurix::ReplaceConfigDirective(Narrow(directory_.path() + L"\\httpd.conf"), "Listen", "80");
  ASSERT_FALSE(replaced);
  EXPECT_EQ(replaced.error().kind, tellurix::ErrorKind::NotFound);
  EXPECT_EQ(FileCount(), 0);
}

// Runs tellurix-conf.exe with the arguments and returns its exit code and output.
struct ToolRun {
  DWORD code;
  std::string out;
};
ToolRun Conf(const std::wstring& arguments) {
  std::wstring tool = PathFromEnvironment("TELLURIX_EXE");
  tool = tool.substr(0, tool.rfind(L'\\')) + L"\\tellurix-conf.exe";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + tool + L"\" " + arguments;
  ToolRun run{999, {}};
  if (CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(writeEnd);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) run.out.append(buffer, got);
    WaitForSingleObject(process.hProcess, 10000);
    GetExitCodeProcess(process.hProcess, &run.code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  } else {
    CloseHandle(writeEnd);
  }
  CloseHandle(readEnd);
  return run;
}

TEST_F(FileSafety, TheCommandLineToolSetsGetsAndRewrites) {
  const std::wstring ini = Make(L"Tellurix.ini", "");
  const std::wstring conf = Make(L"httpd.conf", "Listen 80\r\n#Listen 81\r\nListenBacklog 5\r\n");
  const std::wstring q = L"\"";
  EXPECT_EQ(Conf(L"set " + q + ini + q + L" Apache DocumentRoot " + q + L"D:\\网站 根目录" + q).code, 0u);
  // The file holds the code page's bytes; the output is in the console's code page,
  // with Windows line breaks.
  ToolRun got = Conf(L"get " + q + ini + q + L" apache documentroot");
  EXPECT_EQ(got.code, 0u);
  std::wstring wide = Widen("D:\\网站 根目录\r\n");
  std::string ansi(64, '\0');
  ansi.resize(static_cast<size_t>(
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), 64, nullptr, nullptr)));
  EXPECT_EQ(got.out, ansi);
  EXPECT_EQ(ReadBytes(ini), "[Apache]\r\nDocumentRoot=" + ansi);
  EXPECT_EQ(Conf(L"get " + q + ini + q + L" Apache Listen").code, 3u) << "no such key";

  ToolRun rewrite = Conf(L"directive " + q + conf + q + L" Listen 8080");
  EXPECT_EQ(rewrite.code, 0u);
  EXPECT_EQ(rewrite.out, "1 line replaced\r\n");
  EXPECT_EQ(ReadBytes(conf), "Listen 8080\r\n#Listen 81\r\nListenBacklog 5\r\n");
  EXPECT_EQ(Conf(L"directive " + q + conf + q + L" ServerName x").code, 4u) << "no such directive";
  EXPECT_EQ(Conf(L"directive " + q + conf + q + L" Listen").code, 2u) << "usage";
  SetFileAttributesW(conf.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Conf(L"directive " + q + conf + q + L" Listen 9090").code, 1u);
  EXPECT_EQ(ReadBytes(conf), "Listen 8080\r\n#Listen 81\r\nListenBacklog 5\r\n");
}

}  // namespace
}  // namespace e2e
