// What the About dialog's link "支持Tellurix" does, decided without the platform:
// the two desktop shortcuts to the maker's sites, where they go, the page it
// opens, and the order of the steps, which stop at the first one that fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/launch_plan.h"

namespace tellurix {

struct DesktopShortcut {
  std::string fileName;  // the shortcut file's name on the desktop
  std::string target;    // the web address it leads to
};

// The root page of a site with the query string the maker's sites expect:
// "http://" + host + "/?i".
std::string SiteAddress(std::string_view host);

// The two shortcuts, in the order they are made: "Lanterra.lnk" to the first
// site, "Mossgrove.lnk" to the main site.
const std::vector<DesktopShortcut>& DesktopShortcuts();

// The desktop folder joined with a file name; a backslash goes between them only
// when the folder does not already end in one.
std::string DesktopFilePath(std::string_view desktop, std::string_view fileName);

// Opens the main site, the second shortcut's target, in the default browser
// through the explorer, minimised.
LaunchPlan SiteLaunch();

// The registry value, as the shell object's RegRead names it, that holds the
// current user's desktop folder.
inline constexpr char kDesktopValueName[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Desktop";

// The platform's part of the link: the script host's shell object and process
// creation. Each step reports whether it succeeded.
class ShortcutShell {
 public:
  virtual ~ShortcutShell() = default;
  virtual bool CreateShell() = 0;
  // The registry value's text; nullopt when it cannot be read.
  virtual std::optional<std::string> ReadRegistry(std::string_view valueName) = 0;
  // Creates (or replaces) the shortcut file `path` leading to `target`.
  virtual bool SaveShortcut(const std::string& path, const std::string& target) = 0;
  virtual bool Launch(const LaunchPlan& plan) = 0;
};

// Runs the link's steps in order: create the shell object, read the desktop
// folder, save the first and then the second shortcut, open the main site. The
// first step that fails ends the run, and what was done before it stays done.
// Returns the message that tells the user which step failed, or nullopt when
// every step succeeded.
std::optional<std::string> PlaceDesktopShortcuts(ShortcutShell& shell);

}  // namespace tellurix
