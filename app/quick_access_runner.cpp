#include "app/quick_access_runner.h"

#include "app/quick_access.h"
#include "core/file_io.h"
#include "core/profile_store.h"
#include "resources/texts.h"
#include "ui/launcher.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

bool WritePhpInfoPage(HWND owner, const std::string& documentRoot) {
  const PhpInfoPage page = PlacePhpInfoPage(documentRoot, IsFolder(documentRoot));
  if (page.problem) {
    ShowMessage(owner, *page.problem);
    return false;
  }
  if (!WriteFileAtomically(page.path, kPhpInfoPage)) {
    ShowMessage(owner, std::string(text::kCannotWriteFile) + page.path);
    return false;
  }
  return true;
}

}  // namespace

void RunQuickAccess(HWND owner, Command command) {
  const QuickAccessSettings settings{ProgramDirectory(), GetIniValue("Apache", "Listen", "", "Tellurix.ini"),
                                     GetIniValue("Apache", "DocumentRoot", "", "Tellurix.ini")};
  const auto plan = QuickAccessLaunch(command, settings);
  if (!plan) return;
  if (command == Command::PhpInfo && !WritePhpInfoPage(owner, settings.documentRoot)) return;
  if (!Launch(*plan)) ShowMessage(owner, std::string(text::kCannotStart) + plan->commandLine);
}

}  // namespace tellurix
