// The Apache settings dialog `fapache`: its controls, what it loads from the
// profile, what it checks on "确定" and what it writes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_layout.h"
#include "dialogs/settings_apply.h"

namespace tellurix {

struct ApacheForm {
  std::string listen, admin, sname, root, index;
};

inline constexpr int kApacheClientWidth = 352;
inline constexpr int kApacheClientHeight = 228;
const std::vector<ControlLayout>& ApacheDialogControls();

// Reads the five values from section "Apache" of the profile through `get`, in the
// order ServerAdmin, Listen, ServerName, DocumentRoot, DirectoryIndex.
ApacheForm LoadApacheForm(const std::function<std::string(std::string_view key)>& get);

// The first check that fails, as its message: the site directory must exist
// (`rootExists` tells whether the text of `root` names one), then the port.
std::optional<std::string_view> CheckApacheForm(const ApacheForm& form, bool rootExists);

// The writes for every value that differs from the loaded one, in the order port,
// mailbox, site name, site directory, home page.
std::vector<FieldChange> ApacheChanges(const ApacheForm& loaded, const ApacheForm& current,
                                       const std::string& httpdConf);

std::string HttpdConfPath(std::string_view programDirectory);

}  // namespace tellurix
