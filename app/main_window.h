// Form1: the control panel's one main window. It owns the tray icon, the two
// popup menus, the message list and the reported state of both servers for the
// life of the process. The window procedure only routes: decisions come from the
// portable code (commands, status_monitor, service_commands, main_layout), the
// status display and the quick-access runner carry them out.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands.h"
#include "app/instance_lock.h"
#include "servers/service_runner.h"
#include "app/status_display.h"
#include "app/status_monitor.h"
#include "app/tray_icon.h"
#include "app/tray_policy.h"
#include "ui/win32_handles.h"

namespace tellurix {

class MainWindow : public ServiceRunner::Host {
 public:
  // Creates the window hidden, puts the icon in the tray and probes both servers.
  // `lock` is the single-instance lock, let go around a restart with
  // administrator rights.
  bool Create(HINSTANCE instance, InstanceLock* lock);
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnCreate();
  void OnLoad();
  void OnTimer(UINT_PTR timerId);
  void OnTimer1Tick();
  void OnCommand(int id);
  void OnMouseMove(WPARAM wParam, LPARAM lParam);
  void OnTaskbarCreated();
  void OnTrayRetry();
  void OnClose();
  void OnEndSession(bool ending);
  void OnDestroy();
  LRESULT OnCtlColorStatic(HDC dc, HWND control);

  void Run(Command command);
  void OpenDialog(void (*show)(HWND owner));
  void PopUp(HMENU menu);
  void ShowMe();
  void HideMe();
  void Quit();

  void Apply(Server server, const StatusUpdate& update);
  void AppendLine(std::string_view message);
  void MeasureLines(int from);  // widens the list's horizontal extent for lines from `from` on
  void ShowWholeLine();
  void ShowBalloon();  // the lines gathered for it, if any

  // What the service runner asks of the window.
  void Log(std::string_view line) override { AppendLine(line); }
  void Report(std::string_view line) override;
  void BeginEvent() override;
  void EndEvent() override;
  bool Ask(std::string_view question) override;
  void Tell(std::string_view message) override;
  bool RestartElevated() override;

  HWND hwnd_ = nullptr;
  UINT taskbarCreated_ = 0;
  int dpi_ = 96;
  UniqueFont font_, markFont_;
  UniqueIcon bigIcon_, smallIcon_;
  UniqueMenu fileMenu_, filezMenu_;
  TrayIcon tray_;
  TrayRetry trayRetry_;
  StatusDisplay status_;
  bool dialogOpen_ = false;
  int widestLine_ = 0;     // of the message list, in pixels
  int measuredLines_ = -1;  // the first line added while hidden and not measured yet; -1 for none
  int eventDepth_ = 0;
  std::vector<std::string> balloonLines_;  // reported while hidden, for the event's balloon

  // Reported state of each server, as the display last showed it.
  bool apacheRunning_ = false;
  bool mySQLRunning_ = false;

  InstanceLock* lock_ = nullptr;
  std::unique_ptr<ServiceRunner> services_;
};

}  // namespace tellurix
