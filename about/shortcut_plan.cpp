#include "about/shortcut_plan.h"

#include "resources/maker_sites.h"
#include "resources/texts.h"

namespace tellurix {

std::string SiteAddress(std::string_view host) { return "http://" + std::string(host) + "/?i"; }

const std::vector<DesktopShortcut>& DesktopShortcuts() {
  static const std::vector<DesktopShortcut> shortcuts = {
      {"Lanterra.lnk", SiteAddress(sites::kFirstSiteHost)},
      {"Mossgrove.lnk", SiteAddress(sites::kMainSiteHost)},
  };
  return shortcuts;
}

std::string DesktopFilePath(std::string_view desktop, std::string_view fileName) {
  std::string path(desktop);
  if (path.empty() || path.back() != '\\') path += '\\';
  return path + std::string(fileName);
}

LaunchPlan SiteLaunch() { return {"explorer.exe " + DesktopShortcuts().back().target, ShowState::Minimized}; }

std::optional<std::string> PlaceDesktopShortcuts(ShortcutShell& shell) {
  if (!shell.CreateShell()) return std::string(text::kShortcutNoShell);
  const std::optional<std::string> desktop = shell.ReadRegistry(kDesktopValueName);
  // An empty value names no folder; the shortcuts would land in the root of
  // whatever drive is current.
  if (!desktop || desktop->empty()) return std::string(text::kShortcutNoDesktop);
  for (const DesktopShortcut& shortcut : DesktopShortcuts()) {
    const std::string path = DesktopFilePath(*desktop, shortcut.fileName);
    if (!shell.SaveShortcut(path, shortcut.target)) {
      return text::kShortcutNotSavedBefore + path + text::kShortcutNotSavedAfter;
    }
  }
  const LaunchPlan site = SiteLaunch();
  if (!shell.Launch(site)) return text::kSiteNotOpenedBefore + site.commandLine + text::kSiteNotOpenedAfter;
  return std::nullopt;
}

}  // namespace tellurix
