// Program entry: one instance, one main window, one message loop.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/instance_lock.h"
#include "app/main_window.h"
#include "servers/service_repair.h"
#include "servers/service_system.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"
#include "resources/texts.h"

namespace {

enum ExitCode : int {
  kExitNormal = 0,
  kExitNoWindow = 1,
  kExitAlreadyRunning = 2,
};

// The program's arguments after its own name, as UTF-8.
std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  if (LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(tellurix::Narrow(words[i]));
    LocalFree(words);
  }
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Run elevated by the panel for one change of a service: no window, no lock.
  const tellurix::ServiceTool tool = tellurix::ParseServiceTool(Arguments());
  if (tool.isTool) return tool.service ? tellurix::SetServiceManual(*tool.service) : tellurix::kToolRefused;

  tellurix::InstanceLock lock;
  if (!lock.Acquire()) {
    tellurix::ShowMessage(nullptr, text::kAlreadyRunning);
    return kExitAlreadyRunning;
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  tellurix::MainWindow window;
  if (!window.Create(instance, &lock)) {
    tellurix::ShowMessage(nullptr, text::kNoMainWindow);
    return kExitNoWindow;
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window.hwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
