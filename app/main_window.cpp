#include "app/main_window.h"

#include <algorithm>

#include "app/main_layout.h"
#include "app/quick_access_runner.h"
#include "ui/launcher.h"
#include "ui/win32_controls.h"
#include "about/about_dialog.h"
#include "dialogs/settings_dialog.h"
#include "dialogs/site_manager_dialog.h"
#include "ui/win32_text.h"
#include "core/process_probe.h"
#include "resources/ids.h"
#include "resources/resource.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

// The MySQL settings are not saved while the rescue works on MySQL's data.
ServiceRunner* guardedServices = nullptr;
const char* RefuseMySQLSettingsDuringRescue(std::string_view section) {
  const bool busy = guardedServices && guardedServices->rescue().Busy();
  return busy && section == "MySQL" ? text::kRescueBusy : nullptr;
}

}  // namespace

namespace {

constexpr wchar_t kClassName[] = L"TellurixAdminForm1";

// Timers of the main window; the service runner has timers of its own.
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 1000;
constexpr UINT_PTR kTrayRetryTimer = 2;

// The tray icon reports through the mouse-move message, as the window's
// long-standing record does.
constexpr UINT kTrayCallbackMessage = WM_MOUSEMOVE;

HMENU BuildMenu(const MenuNode& node) {
  HMENU menu = CreatePopupMenu();
  for (const MenuNode& child : node.children) {
    switch (child.kind) {
      case MenuNode::Kind::Command:
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(child.id), Widen(child.caption).c_str());
        break;
      case MenuNode::Kind::Submenu:
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(BuildMenu(child)), Widen(child.caption).c_str());
        break;
      case MenuNode::Kind::Separator:
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        break;
    }
  }
  return menu;
}

}  // namespace

bool MainWindow::Create(HINSTANCE instance, InstanceLock* lock) {
  lock_ = lock;
  dpi_ = ScreenDpi();

  bigIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TELLURIX), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  smallIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TELLURIX), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = bigIcon_.get();
  windowClass.hIconSm = smallIcon_.get();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass)) return false;

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT frame = {0, 0, ScaleForDpi(kMainClientWidth, dpi_), ScaleForDpi(kMainClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  hwnd_ = CreateWindowExW(exStyle, kClassName, Widen(text::kAppTitle).c_str(), style, left, top, width, height,
                          nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  OnLoad();
  return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_COMMAND:
      // The message list tells of selections too; only a double-click does something.
      if (LOWORD(wParam) == ids::List1) {
        if (HIWORD(wParam) == LBN_DBLCLK) ShowWholeLine();
        return 0;
      }
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_MOUSEMOVE: OnMouseMove(wParam, lParam); return 0;
    case WM_SHOWWINDOW:
      if (wParam && measuredLines_ >= 0) {
        MeasureLines(measuredLines_);
        measuredLines_ = -1;
      }
      return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE: OnClose(); return 0;
    case WM_ENDSESSION: OnEndSession(wParam != FALSE); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case RescueRunner::kMessage:
      if (services_) services_->rescue().OnMessage(wParam, lParam);
      return 0;
    default:
      if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        OnTaskbarCreated();
        return 0;
      }
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void MainWindow::OnCreate() {
  // The icon first: a user at logon looks for it, and it needs none of the rest.
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  // Run as administrator, the panel must still hear a non-elevated Explorer restart.
  AllowShellMessage(hwnd_, taskbarCreated_);
  tray_.Init(hwnd_, smallIcon_.get(), kTrayCallbackMessage, Widen(text::kAppTitle).c_str());
  if (!tray_.Add()) SetTimer(hwnd_, kTrayRetryTimer, TrayRetry::kIntervalMs, nullptr);

  font_.reset(CreateMessageFont(100));
  // The status marks are drawn larger so that the state can be read at a glance.
  markFont_.reset(CreateMessageFont(150));
  CreateControls(hwnd_, MainWindowControls(), dpi_, font_.get(), markFont_.get());

  status_.Create(hwnd_);
  services_ = std::make_unique<ServiceRunner>(*this, hwnd_);
  guardedServices = services_.get();
  SetSaveGuard(RefuseMySQLSettingsDuringRescue);

  fileMenu_.reset(BuildMenu(FileMenu()));
  filezMenu_.reset(BuildMenu(FilezMenu()));
}

void MainWindow::OnLoad() {
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  // The window stays hidden: it was created without WS_VISIBLE.
  for (Server server : kServers) {
    Apply(server, StartupProbe(server, IsProcessRunning(TraitsOf(server).imageName)));
  }
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
}

void MainWindow::OnTimer(UINT_PTR timerId) {
  if (timerId == kTimer1) {
    OnTimer1Tick();
  } else if (timerId == kTrayRetryTimer) {
    OnTrayRetry();
  } else {
    services_->OnTimer(timerId);
  }
}

void MainWindow::OnTimer1Tick() {
  for (Server server : kServers) {
    const bool reported = server == Server::Apache ? apacheRunning_ : mySQLRunning_;
    const ServerTraits& traits = TraitsOf(server);
    const StatusUpdate update = MonitorTick(server, IsProcessRunning(traits.imageName, OwnRunningPrograms()), reported);
    Apply(server, update);
    services_->OnMonitorTick(traits.service, update.running);
  }
}

void MainWindow::Apply(Server server, const StatusUpdate& update) {
  if (!update.lineBefore.empty()) AppendLine(update.lineBefore);
  (server == Server::Apache ? apacheRunning_ : mySQLRunning_) = update.running;
  status_.Show(server, update.display, fileMenu_.get(), filezMenu_.get());
  if (!update.lineAfter.empty()) AppendLine(update.lineAfter);
}

void MainWindow::AppendLine(std::string_view message) {
  const std::wstring line = Widen(std::string(message) + LocalTimeText());
  HWND list = GetDlgItem(hwnd_, ids::List1);
  const LRESULT added = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  // Measured only while the window shows: a hidden panel leaves the glyphs of
  // its lines unloaded, and the lines are measured when it is shown.
  if (IsWindowVisible(hwnd_)) {
    MeasureLines(static_cast<int>(added));
  } else if (measuredLines_ < 0) {
    measuredLines_ = static_cast<int>(added);
  }
}

void MainWindow::MeasureLines(int from) {
  // The list scrolls sideways only once a line is wider than it is.
  HWND list = GetDlgItem(hwnd_, ids::List1);
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  HDC dc = GetDC(list);
  HGDIOBJ previous = SelectObject(dc, font_.get());
  int widest = widestLine_;
  for (int i = std::max(from, 0); i < count; ++i) {
    std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    line.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
    SIZE size{};
    GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
    widest = std::max(widest, static_cast<int>(size.cx) + 2 * GetSystemMetrics(SM_CXEDGE) + 4);
  }
  SelectObject(dc, previous);
  ReleaseDC(list, dc);
  if (widest > widestLine_) {
    widestLine_ = widest;
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widestLine_), 0);
  }
}

void MainWindow::ShowWholeLine() {
  HWND list = GetDlgItem(hwnd_, ids::List1);
  const LRESULT chosen = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (chosen == LB_ERR) return;
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(chosen), 0);
  if (length == LB_ERR) return;
  std::wstring line(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(chosen), reinterpret_cast<LPARAM>(line.data()));
  line.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
  // A plain message box: its text can be copied with Ctrl+C.
  ShowMessage(hwnd_, Narrow(line));
}

void MainWindow::Report(std::string_view line) {
  AppendLine(line);
  // A user who works from the tray sees it too: the lines of one event in one
  // balloon, since Windows shows balloons as notifications one after another.
  if (IsWindowVisible(hwnd_)) return;
  balloonLines_.emplace_back(line);
  if (eventDepth_ == 0) ShowBalloon();
}

void MainWindow::BeginEvent() { ++eventDepth_; }

void MainWindow::EndEvent() {
  if (--eventDepth_ == 0) ShowBalloon();
}

void MainWindow::ShowBalloon() {
  if (balloonLines_.empty()) return;
  tray_.Balloon(Widen(text::kAppTitle).c_str(), Widen(BalloonText(balloonLines_)).c_str());
  balloonLines_.clear();
}

bool MainWindow::Ask(std::string_view question) { return AskOkCancel(hwnd_, question); }

void MainWindow::Tell(std::string_view message) { ShowMessage(hwnd_, message); }

bool MainWindow::RestartElevated() {
  // The new panel must find the lock free and put its own icon in the tray.
  tray_.Delete();
  if (lock_) lock_->Release();
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (StartElevated(hwnd_, Narrow(self))) {
    Quit();
    return true;
  }
  if (lock_) lock_->Acquire();
  if (!tray_.Add()) SetTimer(hwnd_, kTrayRetryTimer, TrayRetry::kIntervalMs, nullptr);
  return false;
}

void MainWindow::OnCommand(int id) {
  if (auto command = CommandFor(id)) Run(*command);
}

void MainWindow::Run(Command command) {
  if (auto service = ServiceCommandFor(command)) {
    services_->Run(*service);
    return;
  }
  switch (command) {
    case Command::ShowFileMenu: PopUp(fileMenu_.get()); break;
    case Command::HideMe: HideMe(); break;
    case Command::ShowMe: ShowMe(); break;
    case Command::Quit: Quit(); break;
    case Command::ApacheSettings: OpenDialog(ShowApacheSettings); break;
    case Command::About: OpenDialog(ShowAbout); break;
    case Command::SiteManager: OpenDialog(ShowSiteManager); break;
    case Command::MySQLSettings: OpenDialog(ShowMySQLSettings); break;
    case Command::PhpSettings: OpenDialog(ShowPhpSettings); break;
    default:
      RunQuickAccess(hwnd_, command);
      break;
  }
}

void MainWindow::OpenDialog(void (*show)(HWND owner)) {
  // One settings dialog at a time: asking again (say, from the tray menu) brings
  // the open one to the front instead of stacking a second one.
  if (dialogOpen_) {
    SetForegroundWindow(GetLastActivePopup(hwnd_));
    return;
  }
  dialogOpen_ = true;
  show(hwnd_);
  dialogOpen_ = false;
}

void MainWindow::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  // The tray icon's notifications arrive here with the mouse message in the low
  // word; a real pointer move over the window is told apart by wParam.
  if (!tray_.IsNotification(wParam)) return;
  switch (LOWORD(lParam)) {
    case WM_LBUTTONUP:
      // Without the foreground the tray menu would not close when the user
      // clicks elsewhere.
      SetForegroundWindow(hwnd_);
      PopUp(filezMenu_.get());
      break;
    case WM_RBUTTONUP:
      SetForegroundWindow(hwnd_);
      break;
    default:
      break;
  }
}

void MainWindow::PopUp(HMENU menu) {
  POINT cursor{};
  GetCursorPos(&cursor);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, hwnd_, nullptr);
  // A null message after the menu closes makes the next click elsewhere close a
  // tray menu at once (a long-known quirk of menus of background windows).
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void MainWindow::OnTaskbarCreated() {
  // Explorer (re)started: the icon must be added anew, and tried again until
  // the new shell takes it.
  if (tray_.Add()) {
    KillTimer(hwnd_, kTrayRetryTimer);
  } else {
    SetTimer(hwnd_, kTrayRetryTimer, TrayRetry::kIntervalMs, nullptr);
  }
}

void MainWindow::OnTrayRetry() {
  // The first attempt that the shell takes ends the retries.
  if (tray_.Add()) {
    KillTimer(hwnd_, kTrayRetryTimer);
    trayRetry_ = TrayRetry();
    return;
  }
  if (trayRetry_.Failed()) ShowMe();
}

void MainWindow::ShowMe() {
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
}

void MainWindow::HideMe() { ShowWindow(hwnd_, SW_HIDE); }

void MainWindow::Quit() {
  // A step of the rescue ends safely first, or the panel stays.
  if (services_ && !services_->rescue().MayQuit()) return;
  tray_.Delete();
  DestroyWindow(hwnd_);
}

void MainWindow::OnClose() {
  // The close box and the system menu only hide the window; the program goes on
  // in the tray.
  HideMe();
}

void MainWindow::OnEndSession(bool ending) {
  if (ending) tray_.Delete();
}

void MainWindow::OnDestroy() {
  tray_.Delete();
  PostQuitMessage(0);
}

LRESULT MainWindow::OnCtlColorStatic(HDC dc, HWND control) {
  COLORREF colour = 0;
  if (!status_.MarkColour(control, &colour)) {
    return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  }
  SetTextColor(dc, colour);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace tellurix
