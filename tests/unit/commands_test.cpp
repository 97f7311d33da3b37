#include "app/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "resources/ids.h"

namespace {

using tellurix::Command;
using tellurix::CommandFor;
using tellurix::MenuNode;

// Flattens a menu tree: "name|caption" per entry, "-" per separator, entries of a
// submenu prefixed by the submenu's name and "/".
void Flatten(const MenuNode& menu, const std::string& prefix, std::vector<std::string>& out) {
  for (const MenuNode& node : menu.children) {
    if (node.kind == MenuNode::Kind::Separator) {
      out.push_back(prefix + std::string(node.caption));
      continue;
    }
    out.push_back(prefix + std::string(node.name) + "|" + std::string(node.caption));
    if (node.kind == MenuNode::Kind::Submenu) Flatten(node, prefix + std::string(node.name) + "/", out);
  }
}

std::vector<std::string> Flat(const MenuNode& menu) {
  std::vector<std::string> out;
  Flatten(menu, "", out);
  return out;
}

// Every node of a tree, submenus included.
void Walk(const MenuNode& menu, std::vector<const MenuNode*>& out) {
  for (const MenuNode& node : menu.children) {
    out.push_back(&node);
    Walk(node, out);
  }
}

TEST(PopupMenus, FileMenuEntriesInOrder) {
  EXPECT_EQ(tellurix::FileMenu().caption, "file");
  const std::vector<std::string> expected = {
      "phpset|PHP 设置", "apcheset|Apache 设置", "mysqlset|MySQL 设置", "configfile|配置文件",
      "configfile/phpini|php-ini", "configfile/httpdconf|httpd-conf",
      "configfile/mysqlini|MySQL-ini", "configfile/phpmyadmininc|phpMyAdmin-inc", "-",
      "apacheservice|Apache 服务", "apacheservice/astart|启动", "apacheservice/astop|停止",
      "apacheservice/restarta|重启", "mysqlservice|MySQL 服务", "mysqlservice/mstart|启动",
      "mysqlservice/mstop|停止", "mysqlservice/restartm|重启", "servicecontrol|系统服务管理",
      "zhan2|站点管理", "-", "phpmyadmin|phpMyAdmin", "mysqlconsole|MySQL Console",
      "homepage|My HomePage", "wwwroot|WWW-root", "mysqldata|MySQL Data", "apachelog|Apache log",
      "-", "update|Update(更新)...", "about|About(关于) ...", "-", "hideme|Hide Me (隐藏)",
      "quit|Quit (退出)"};
  EXPECT_EQ(Flat(tellurix::FileMenu()), expected);
}

// The tray menu has its own order and slightly different captions.
TEST(PopupMenus, FilezMenuEntriesInOrder) {
  EXPECT_EQ(tellurix::FilezMenu().caption, "filez");
  const std::vector<std::string> expected = {
      "homepage2|My HomePage", "phpinfo|phpinfo", "wwwroot2|WWW-root", "-",
      "mysqldata2|MySQL Data", "mysqlconsole2|MySQL Console", "phpmyadmin2|phpMyAdmin", "-",
      "servicecontrol2|系统服务管理", "mysqlservice2|MySQL 服务", "mysqlservice2/mstart2|启动",
      "mysqlservice2/mstop2|停止", "mysqlservice2/restartm2|重启", "apacheservice2|Apache 服务",
      "apacheservice2/astart2|启动", "apacheservice2/astop2|停止", "apacheservice2/restarta2|重启",
      "-", "zhan1|站点管理", "configfile2|配置文件", "configfile2/phpini2|php-ini",
      "configfile2/httpdconf2|httpd-conf", "configfile2/mysqlini2|MySQL-ini",
      "configfile2/phpmyadmininc2|phpMyAdmin-inc", "mysqlset2|MySQL 设置", "apcheset2|Apache 设置",
      "phpset2|PHP 设置", "-", "about2|About(关于)...", "showme|Show Me (显示)",
      "quit3|Quit(退出)"};
  EXPECT_EQ(Flat(tellurix::FilezMenu()), expected);
}

// Every button and menu entry runs its command: a twin in the tray menu runs its
// first's command, and the service entries run the matching button's command.
TEST(CommandRouting, EveryEntryRunsItsCommand) {
  const std::vector<std::pair<Command, std::vector<int>>> routes = {
      {Command::StartApache, {ids::starta, ids::astart, ids::astart2}},
      {Command::StopApache, {ids::stopa, ids::astop, ids::astop2}},
      {Command::RestartApache, {ids::restaraCom, ids::restarta, ids::restarta2}},
      {Command::StartMySQL, {ids::startm, ids::mstart, ids::mstart2}},
      {Command::StopMySQL, {ids::stopm, ids::mstop, ids::mstop2}},
      {Command::RestartMySQL, {ids::restartmCom, ids::restartm, ids::restartm2}},
      {Command::SiteManager, {ids::zhanCom, ids::zhan1, ids::zhan2}},
      {Command::ShowFileMenu, {ids::Command1}},
      {Command::PhpSettings, {ids::phpset, ids::phpset2}},
      {Command::ApacheSettings, {ids::apcheset, ids::apcheset2}},
      {Command::MySQLSettings, {ids::mysqlset, ids::mysqlset2}},
      {Command::EditPhpIni, {ids::phpini, ids::phpini2}},
      {Command::EditHttpdConf, {ids::httpdconf, ids::httpdconf2}},
      {Command::EditMySQLIni, {ids::mysqlini, ids::mysqlini2}},
      {Command::EditPhpMyAdminInc, {ids::phpmyadmininc, ids::phpmyadmininc2}},
      {Command::ServiceControl, {ids::servicecontrol, ids::servicecontrol2}},
      {Command::PhpMyAdmin, {ids::phpmyadmin, ids::phpmyadmin2}},
      {Command::MySQLConsole, {ids::mysqlconsole, ids::mysqlconsole2}},
      {Command::HomePage, {ids::homepage, ids::homepage2}},
      {Command::OpenWwwRoot, {ids::wwwroot, ids::wwwroot2}},
      {Command::OpenMySQLData, {ids::mysqldata, ids::mysqldata2}},
      {Command::About, {ids::about, ids::about2}},
      {Command::Quit, {ids::quit, ids::quit3}},
      // Entries without a twin.
      {Command::OpenApacheLog, {ids::apachelog}},
      {Command::PhpInfo, {ids::phpinfo}},
      {Command::Update, {ids::update}},
      {Command::HideMe, {ids::hideme}},
      {Command::ShowMe, {ids::showme}},
  };
  std::set<int> checked;
  for (const auto& [command, idList] : routes) {
    for (int id : idList) {
      EXPECT_EQ(CommandFor(id), command) << "id " << id;
      checked.insert(id);
    }
  }
  // The table above covers every command entry of both menus, each id used once.
  std::vector<const MenuNode*> nodes;
  Walk(tellurix::FileMenu(), nodes);
  Walk(tellurix::FilezMenu(), nodes);
  std::set<int> seen;
  for (const MenuNode* node : nodes) {
    if (node->kind != MenuNode::Kind::Command) {
      EXPECT_EQ(node->id, 0) << node->name;  // submenus and separators run nothing
      continue;
    }
    EXPECT_TRUE(seen.insert(node->id).second) << "duplicate id of " << node->name;
    EXPECT_EQ(checked.count(node->id), 1u) << node->name << " not routed above";
  }
  EXPECT_EQ(seen.size(), 25u + 24u);
}

// Frames, labels, status marks, the list and unknown identifiers run nothing.
TEST(CommandRoutingNone, PassiveControlsAndUnknownIds) {
  for (int id : {ids::Frame1, ids::Label1, ids::la, ids::Label2, ids::lm, ids::Apache, ids::Frame3,
                 ids::Frame2, ids::List1, 0, -1, 9999}) {
    EXPECT_FALSE(CommandFor(id).has_value()) << id;
  }
}

}  // namespace
