// Driving the real TellurixAdmin.exe from another process, as a user's clicks and
// the shell's notifications would: window messages in, window state out.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `timeout` passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// A Unix path from the environment (the test bench passes its files that way)
// turned into the Windows path Wine maps it to.
std::wstring PathFromEnvironment(const char* variable);

// A fresh ProgramDirectory for one test, removed again by the destructor.
class ProgramDirectory {
 public:
  // `name` is the folder's name inside the temporary folder; empty for a
  // generated one.
  explicit ProgramDirectory(const std::wstring& name = L"");
  ~ProgramDirectory();
  ProgramDirectory(const ProgramDirectory&) = delete;
  ProgramDirectory& operator=(const ProgramDirectory&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring exe() const { return path_ + L"\\TellurixAdmin.exe"; }

 private:
  std::wstring path_;
};

// One running control panel.
class Panel {
 public:
  explicit Panel(const std::wstring& exePath);
  ~Panel();  // quits the panel, or ends its process if it does not quit
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  bool started() const { return window_ != nullptr; }
  HWND window() const { return window_; }
  DWORD processId() const { return process_.dwProcessId; }
  HANDLE process() const { return process_.hProcess; }

  std::vector<std::string> Lines() const;                 // List1, first to last
  bool WaitForLines(std::size_t count, std::chrono::milliseconds timeout = 10s) const;
  bool Enabled(int id) const;
  std::string Text(int id) const;
  bool Visible() const { return IsWindowVisible(window_) != FALSE; }
  bool Responsive() const;  // answers a message within half a second

  void Click(int id) const;        // a button click, as the control reports it
  void Choose(int id) const;       // a menu entry chosen
  void Tray(UINT mouseMessage) const;  // a mouse message over the tray icon
  HWND WaitForPopupMenu() const;   // the menu window shown by this panel, or null
  void Key(UINT virtualKey) const;

  // Text of the tooltip of a control, read from the panel's tooltip window.
  std::string Tooltip(int id) const;
  // Whether the control shows pixels of exactly this colour (window must be shown).
  bool ShowsColour(int id, COLORREF colour) const;

  bool WaitForExit(std::chrono::milliseconds timeout = 10s) const;

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// The stand-in services registered in the test bench's Wine prefix.
class Services {
 public:
  static bool Start(const wchar_t* name);  // waits until running
  static bool Stop(const wchar_t* name);   // waits until stopped
  static bool Running(const wchar_t* name);
};

// The panel's icon in Wine's notification area (the test bench runs one panel
// at a time); null when no icon is shown.
HWND TrayIconWindow();
int TrayIconCount();

// Whether the line ends in the time of day of some moment between `from` and
// `to` (local time, whole seconds), written in the user's time format.
bool StampedBetween(const std::string& line, const SYSTEMTIME& from, const SYSTEMTIME& to);

// Whole files, for setting up and checking what the panel reads and writes.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);  // empty when missing
bool Exists(const std::wstring& path);

// The message box a process shows (a #32770 window captioned with the program's
// title, its text in the static control 0xFFFF), waited for; null when none appears.
HWND WaitForMessageBox(DWORD processId, std::chrono::milliseconds timeout = 5s);
std::string MessageBoxText(HWND box);

// Parses the time at the end of a message-list line ("...    H:mm:ss") into
// seconds since midnight; -1 when the line does not end in a time.
int SecondsOfLine(const std::string& line);

}  // namespace e2e
