// What each button and menu entry of the main window does, and the two popup
// menus as data. Portable: the Win32 layer builds real menus from these trees and
// routes WM_COMMAND through CommandFor().
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "servers/service_commands.h"

namespace tellurix {

enum class Command {
  // Service commands.
  StartApache,
  StopApache,
  RestartApache,
  StartMySQL,
  StopMySQL,
  RestartMySQL,
  // Window and menu commands.
  ShowFileMenu,
  HideMe,
  ShowMe,
  Quit,
  // Dialogs.
  PhpSettings,
  ApacheSettings,
  MySQLSettings,
  SiteManager,
  About,
  // Quick access.
  EditPhpIni,
  EditHttpdConf,
  EditMySQLIni,
  EditPhpMyAdminInc,
  OpenWwwRoot,
  OpenMySQLData,
  OpenApacheLog,
  MySQLConsole,
  ServiceControl,
  HomePage,
  PhpMyAdmin,
  PhpInfo,
  Update,
};

// The command run by the control or menu entry with this identifier; none for
// frames, labels, the list and identifiers the window does not know.
std::optional<Command> CommandFor(int id);

// The service command behind a command, if it is one.
std::optional<ServiceCommand> ServiceCommandFor(Command command);

struct MenuNode {
  enum class Kind { Command, Submenu, Separator };
  Kind kind;
  std::string_view name;     // the entry's name, as the controls are named
  std::string_view caption;  // "-" for a separator
  int id;                    // command identifier; 0 for submenus and separators
  std::vector<MenuNode> children;
};

// The menu opened by the "更多设置" button.
const MenuNode& FileMenu();
// The menu opened by the tray icon.
const MenuNode& FilezMenu();

}  // namespace tellurix
