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


// The page the phpinfo command writes into the web root before it opens it: 22 bytes.
inline constexpr std::string_view kPhpInfoPage = "<?   phpinfo();   ?>\r\n";

// Where the page goes, or the message that stops the command: without a web root
// (empty, or no folder) the page would land at the root of the current drive.
struct PhpInfoPage {
  std::string path;
  std::optional<std::string> problem;
};
PhpInfoPage PlacePhpInfoPage(std::string_view documentRoot, bool rootIsFolder);

}  // namespace tellurix
