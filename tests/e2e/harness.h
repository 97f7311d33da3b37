// Driving the real TellurixAdmin.exe from another process, as a user's clicks and
// the shell's notifications would: window messages in, window state and files out.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "resources/ids.h"
#include "resources/maker_sites.h"
#include "resources/texts.h"

namespace e2e {

using namespace std::chrono_literals;
using Edits = std::vector<std::pair<std::string, std::string>>;

// Polls `condition` until it holds or `timeout` passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Ansi(const std::string& utf8);  // the panel's files are in the ANSI code page
std::string FromAnsi(const std::string& ansi);
// `text` with every occurrence of each `from` replaced by its `to`; a `from` that
// does not occur fails the test.
std::string Edited(std::string text, const Edits& edits);
int SecondsOf(const std::string& line);  // the time of day a message-list line ends in

std::string SourceFile(const std::string& relative);  // of the source tree
std::string ReadBytes(const std::wstring& path);  // empty when missing
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// A file as it was; Untouched fails when its bytes, last-write time or attributes changed.
struct Snapshot {
  std::string bytes;
  FILETIME written;
  DWORD attributes;
};
Snapshot Take(const std::wstring& path);
::testing::AssertionResult Untouched(const std::wstring& path, const Snapshot& before);

// A fresh ProgramDirectory holding a copy of the panel, removed by the destructor.
// The panels started while it exists, and the stand-ins they start, record into Recorded().
class ProgramDirectory {
 public:
  explicit ProgramDirectory(const std::wstring& name);
  ~ProgramDirectory();
  std::string home() const { return Narrow(path_); }
  std::wstring exe() const { return path_ + L"\\TellurixAdmin.exe"; }
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }
  void Put(const std::wstring& relative, const std::string& bytes) const;  // with its folders
  void StandIn(const std::wstring& relative) const;  // the stand-in program under this name
  using Started = std::pair<int, std::string>;  // the show state and the command line
  std::vector<Started> Recorded() const;

 private:
  std::wstring path_;
};

// Starts or stops a stand-in service of the test bench, and waits for it.
bool SetService(const wchar_t* name, bool running);

// The bench's service as registered; while this exists a test may point it at
// another program, disable it or delete it: the destructor registers it again
// as it was (stopped, with its own program, started on demand).
class ServiceRegistration {
 public:
  explicit ServiceRegistration(const wchar_t* name);
  ~ServiceRegistration();
  const std::wstring& program() const { return program_; }
  bool Delete() const;
  // Quoted, as installers register it, with the arguments after it.
  bool PointAt(const std::wstring& program, const std::wstring& arguments = L"") const;
  bool SetStartType(DWORD startType) const;
  // The registration now: its start type and command line.
  std::pair<DWORD, std::wstring> Now() const;

 private:
  const wchar_t* name_;
  std::wstring program_;
};

// Dialog vocabulary, for any window of a panel.
HWND FrontDialog(DWORD processId, const std::string& caption, std::chrono::milliseconds timeout = 10s);
std::string Read(HWND window, int id);
void Type(HWND window, int id, const std::string& text);  // into an edit, or the list item with this text
void Press(HWND window, int id);                          // as a click of the button reports it
bool Closed(HWND window);
bool ShowsColour(HWND control, COLORREF colour);  // as drawn on the screen

// A program started with these arguments, ended by the destructor if it still runs.
class Process {
 public:
  explicit Process(const std::wstring& path, const std::wstring& arguments = L"");
  virtual ~Process();
  DWORD processId() const { return process_.dwProcessId; }
  bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD ExitCode() const;  // waited for; STILL_ACTIVE when it does not end
  // Waits for the program's message box, presses `button` and returns the box's text.
  std::string Answer(int button = IDOK, std::chrono::milliseconds timeout = 10s) const;

 protected:
  PROCESS_INFORMATION process_{};
};

// One running control panel, quit by the destructor.
class Panel : public Process {
 public:
  explicit Panel(const std::wstring& exe);
  ~Panel() override;
  bool started() const { return window_ && Lines().size() >= 2; }  // the window and both startup lines
  HWND window() const { return window_; }
  std::vector<std::string> Lines() const;
  // Index of the first line from `from` on that is `text` and the time; -1 when none comes.
  int WaitForLine(const std::string& text, size_t from = 0, std::chrono::milliseconds timeout = 15s) const;
  // The same for the first line that begins with `head`, whatever follows it.
  int WaitForLineStarting(const std::string& head, size_t from = 0, std::chrono::milliseconds timeout = 15s) const;
  // The lines from `from` on without their times; `quiet` leaves out the status
  // monitor's, which may see a failing server's program for the moment it runs.
  std::vector<std::string> TextsFrom(size_t from, bool quiet = false) const;
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(window_, id)) != FALSE; }
  bool Visible() const { return IsWindowVisible(window_) != FALSE; }
  bool Responsive() const {  // answers within half a second
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result) != 0;
  }
  std::string Tooltip(int id) const;
  void Choose(int entry) const { Press(window_, entry); }  // a menu entry sends what a button does
  HWND Open(int entry, const std::string& caption) const { return Choose(entry), FrontDialog(processId(), caption); }
  // No message box is up once `dialog` and the panel have handled all that was sent.
  bool NoMessage(HWND dialog = nullptr) const;
  void Tray(UINT mouseMessage) const;  // over the icon in Wine's notification area
  bool MenuShown() const;
  // Keys while a menu is open. Enter goes as the character it makes: the menu acts on
  // that, and a posted key-down would make it only behind the keys posted after it.
  void Keys(const std::vector<UINT>& keys) const {
    for (UINT key : keys) PostMessageW(window_, key == VK_RETURN ? WM_CHAR : WM_KEYDOWN, key, 0);
  }

 private:
  HWND window_ = nullptr;
};

int TrayIconCount();
// Whether the line ends in a time between `from` and `to`, written as the platform writes it.
bool StampedBetween(const std::string& line, SYSTEMTIME from, const SYSTEMTIME& to);

}  // namespace e2e
