#include "app/commands.h"

#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

struct Route {
  Command command;
  int ids[3];  // 0: none
};

// Twin entries of the two menus run the same command as their first; the
// service entries run the command of the matching button.
constexpr Route kRoutes[] = {
    {Command::StartApache, {ids::starta, ids::astart, ids::astart2}},
    {Command::StopApache, {ids::stopa, ids::astop, ids::astop2}},
    {Command::RestartApache, {ids::restaraCom, ids::restarta, ids::restarta2}},
    {Command::StartMySQL, {ids::startm, ids::mstart, ids::mstart2}},
    {Command::StopMySQL, {ids::stopm, ids::mstop, ids::mstop2}},
    {Command::RestartMySQL, {ids::restartmCom, ids::restartm, ids::restartm2}},
    {Command::ShowFileMenu, {ids::Command1}},
    {Command::HideMe, {ids::hideme}},
    {Command::ShowMe, {ids::showme}},
    {Command::Quit, {ids::quit, ids::quit3}},
    {Command::PhpSettings, {ids::phpset, ids::phpset2}},
    {Command::ApacheSettings, {ids::apcheset, ids::apcheset2}},
    {Command::MySQLSettings, {ids::mysqlset, ids::mysqlset2}},
    {Command::SiteManager, {ids::zhanCom, ids::zhan1, ids::zhan2}},
    {Command::About, {ids::about, ids::about2}},
    {Command::EditPhpIni, {ids::phpini, ids::phpini2}},
    {Command::EditHttpdConf, {ids::httpdconf, ids::httpdconf2}},
    {Command::EditMySQLIni, {ids::mysqlini, ids::mysqlini2}},
    {Command::EditPhpMyAdminInc, {ids::phpmyadmininc, ids::phpmyadmininc2}},
    {Command::OpenWwwRoot, {ids::wwwroot, ids::wwwroot2}},
    {Command::OpenMySQLData, {ids::mysqldata, ids::mysqldata2}},
    {Command::OpenApacheLog, {ids::apachelog}},
    {Command::MySQLConsole, {ids::mysqlconsole, ids::mysqlconsole2}},
    {Command::ServiceControl, {ids::servicecontrol, ids::servicecontrol2}},
    {Command::HomePage, {ids::homepage, ids::homepage2}},
    {Command::PhpMyAdmin, {ids::phpmyadmin, ids::phpmyadmin2}},
    {Command::PhpInfo, {ids::phpinfo}},
    {Command::Update, {ids::update}},
};

using K = MenuNode::Kind;

MenuNode Item(std::string_view name, std::string_view caption, int id) {
  return {K::Command, name, caption, id, {}};
}
MenuNode Separator(std::string_view name) { return {K::Separator, name, "-", 0, {}}; }
MenuNode Submenu(std::string_view name, std::string_view caption, std::vector<MenuNode> children) {
  return {K::Submenu, name, caption, 0, std::move(children)};
}

MenuNode MakeFileMenu() {
  using namespace text;
  return Submenu(
      "file", "file",
      {
          Item("phpset", kMenuPhpSet, ids::phpset),
          Item("apcheset", kMenuApacheSet, ids::apcheset),
          Item("mysqlset", kMenuMySQLSet, ids::mysqlset),
          Submenu("configfile", kMenuConfigFile,
                  {Item("phpini", kMenuPhpIni, ids::phpini),
                   Item("httpdconf", kMenuHttpdConf, ids::httpdconf),
                   Item("mysqlini", kMenuMySQLIni, ids::mysqlini),
                   Item("phpmyadmininc", kMenuPhpMyAdminInc, ids::phpmyadmininc)}),
          Separator("sdaf"),
          Submenu("apacheservice", kMenuApacheService,
                  {Item("astart", kStart, ids::astart), Item("astop", kStop, ids::astop),
                   Item("restarta", kRestart, ids::restarta)}),
          Submenu("mysqlservice", kMenuMySQLService,
                  {Item("mstart", kStart, ids::mstart), Item("mstop", kStop, ids::mstop),
                   Item("restartm", kRestart, ids::restartm)}),
          Item("servicecontrol", kMenuServiceControl, ids::servicecontrol),
          Item("zhan2", kSiteManager, ids::zhan2),
          Separator("sa"),
          Item("phpmyadmin", kMenuPhpMyAdmin, ids::phpmyadmin),
          Item("mysqlconsole", kMenuMySQLConsole, ids::mysqlconsole),
          Item("homepage", kMenuHomePage, ids::homepage),
          Item("wwwroot", kMenuWwwRoot, ids::wwwroot),
          Item("mysqldata", kMenuMySQLData, ids::mysqldata),
          Item("apachelog", kMenuApacheLog, ids::apachelog),
          Separator("dsaf"),
          Item("update", kMenuUpdate, ids::update),
          Item("about", kMenuAboutFile, ids::about),
          Separator("sdffd"),
          Item("hideme", kMenuHideMe, ids::hideme),
          Item("quit", kMenuQuitFile, ids::quit),
      });
}

MenuNode MakeFilezMenu() {
  using namespace text;
  return Submenu(
      "filez", "filez",
      {
          Item("homepage2", kMenuHomePage, ids::homepage2),
          Item("phpinfo", kMenuPhpInfo, ids::phpinfo),
          Item("wwwroot2", kMenuWwwRoot, ids::wwwroot2),
          Separator("dsg"),
          Item("mysqldata2", kMenuMySQLData, ids::mysqldata2),
          Item("mysqlconsole2", kMenuMySQLConsole, ids::mysqlconsole2),
          Item("phpmyadmin2", kMenuPhpMyAdmin, ids::phpmyadmin2),
          Separator("sdf"),
          Item("servicecontrol2", kMenuServiceControl, ids::servicecontrol2),
          Submenu("mysqlservice2", kMenuMySQLService,
                  {Item("mstart2", kStart, ids::mstart2), Item("mstop2", kStop, ids::mstop2),
                   Item("restartm2", kRestart, ids::restartm2)}),
          Submenu("apacheservice2", kMenuApacheService,
                  {Item("astart2", kStart, ids::astart2), Item("astop2", kStop, ids::astop2),
                   Item("restarta2", kRestart, ids::restarta2)}),
          Separator("dsfdfg"),
          Item("zhan1", kSiteManager, ids::zhan1),
          Submenu("configfile2", kMenuConfigFile,
                  {Item("phpini2", kMenuPhpIni, ids::phpini2),
                   Item("httpdconf2", kMenuHttpdConf, ids::httpdconf2),
                   Item("mysqlini2", kMenuMySQLIni, ids::mysqlini2),
                   Item("phpmyadmininc2", kMenuPhpMyAdminInc, ids::phpmyadmininc2)}),
          Item("mysqlset2", kMenuMySQLSet, ids::mysqlset2),
          Item("apcheset2", kMenuApacheSet, ids::apcheset2),
          Item("phpset2", kMenuPhpSet, ids::phpset2),
          Separator("dsf"),
          Item("about2", kMenuAboutFilez, ids::about2),
          Item("showme", kMenuShowMe, ids::showme),
          Item("quit3", kMenuQuitFilez, ids::quit3),
      });
}

}  // namespace

std::optional<Command> CommandFor(int id) {
  if (id == 0) return std::nullopt;
  for (const Route& route : kRoutes) {
    for (int routed : route.ids) {
      if (routed == id) return route.command;
    }
  }
  return std::nullopt;
}

const MenuNode& FileMenu() {
  static const MenuNode menu = MakeFileMenu();
  return menu;
}

const MenuNode& FilezMenu() {
  static const MenuNode menu = MakeFilezMenu();
  return menu;
}

std::optional<ServiceCommand> ServiceCommandFor(Command command) {
  switch (command) {
    case Command::StartApache: return ServiceCommand{Service::Apache2, ServiceAction::Start};
    case Command::StopApache: return ServiceCommand{Service::Apache2, ServiceAction::Stop};
    case Command::RestartApache: return ServiceCommand{Service::Apache2, ServiceAction::Restart};
    case Command::StartMySQL: return ServiceCommand{Service::MySQL, ServiceAction::Start};
    case Command::StopMySQL: return ServiceCommand{Service::MySQL, ServiceAction::Stop};
    case Command::RestartMySQL: return ServiceCommand{Service::MySQL, ServiceAction::Restart};
    default: return std::nullopt;
  }
}

}  // namespace tellurix
