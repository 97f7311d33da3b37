// The quick-access commands: which command line each one starts, in which window
// state. Values come from the profile afresh each time a command runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/commands.h"
#include "ui/launch_plan.h"

namespace tellurix {


struct QuickAccessSettings {
  std::string programDirectory;  // without a trailing backslash
  std::string listen;            // [Apache] Listen of Tellurix.ini
  std::string documentRoot;      // [Apache] DocumentRoot of Tellurix.ini
};

// The host by which the machine addresses itself.
inline constexpr char kLoopbackHost[] = "localhost";

// The command line of a quick-access command; nullopt for other commands.
std::optional<LaunchPlan> QuickAccessLaunch(Command command, const QuickAccessSettings& settings);


// The page the phpinfo command writes into the web root: 22 bytes.
inline constexpr std::string_view kPhpInfoPage = "<?   phpinfo();   ?>\r\n";
std::string PhpInfoPagePath(std::string_view documentRoot);

}  // namespace tellurix
