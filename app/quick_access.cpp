#include "app/quick_access.h"

#include "resources/maker_sites.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

std::string LocalAddress(const QuickAccessSettings& settings, std::string_view path) {
  std::string line = std::string("explorer.exe http://") + kLoopbackHost;
  // Only exactly "80" is the default port; "080" or an empty value goes in as it is.
  if (settings.listen != "80") line += ":" + settings.listen;
  return line + std::string(path);
}

}  // namespace


PhpInfoPage PlacePhpInfoPage(std::string_view documentRoot, bool rootIsFolder) {
  if (documentRoot.empty()) return {{}, std::string(text::kNoDocumentRoot)};
  if (!rootIsFolder) return {{}, std::string(text::kDocumentRootMissing) + std::string(documentRoot)};
  return {std::string(documentRoot) + "\\phpinfo.php", std::nullopt};
}

std::optional<LaunchPlan> QuickAccessLaunch(Command command, const QuickAccessSettings& settings) {
  const std::string& home = settings.programDirectory;
  const std::string& root = settings.documentRoot;
  auto edit = [](const std::string& file) { return LaunchPlan{"notepad.exe " + QuotedPath(file), ShowState::Normal}; };
  auto open = [](const std::string& folder) {
    return LaunchPlan{"explorer.exe " + QuotedPath(folder), ShowState::Normal};
  };
  switch (command) {
    case Command::EditPhpIni: return edit(home + "\\PHP5\\php.ini");
    case Command::EditHttpdConf: return edit(home + "\\Apache2\\conf\\httpd.conf");
    case Command::EditMySQLIni: return edit(home + "\\MySQL\\my.ini");
    case Command::EditPhpMyAdminInc: return edit(root + "\\phpMyAdmin\\libraries\\config.default.php");
    case Command::OpenWwwRoot: return open(root);
    case Command::OpenMySQLData: return open(home + "\\MySQL\\data");
    case Command::OpenApacheLog: return open(home + "\\Apache2\\logs");
    case Command::MySQLConsole:
      return LaunchPlan{QuotedPath(home + "\\mysql\\bin\\mysql.exe") + " -uroot -p", ShowState::Normal};
    case Command::ServiceControl: return LaunchPlan{"cmd /c services.msc", ShowState::Hide};
    case Command::HomePage: return LaunchPlan{LocalAddress(settings, ""), ShowState::Minimized};
    case Command::PhpMyAdmin: return LaunchPlan{LocalAddress(settings, "/phpMyAdmin"), ShowState::Minimized};
    case Command::PhpInfo: return LaunchPlan{LocalAddress(settings, "/phpinfo.php"), ShowState::Minimized};
    case Command::Update:
      return LaunchPlan{std::string("explorer.exe http://") + sites::kMainSiteHost + "/tellurix/", ShowState::Minimized};
    default: return std::nullopt;
  }
}

}  // namespace tellurix
