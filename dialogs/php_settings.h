// The PHP settings dialog `fphp`: its controls, what it loads from the profile,
// what it checks on "确定" and what it writes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_layout.h"
#include "dialogs/settings_apply.h"

namespace tellurix {

// Named after the controls; `short` and `register` are C++ keywords.
struct PhpForm {
  std::string short_, buffer, safe, display, register_, max_time, upload_file;
};

inline constexpr int kPhpClientWidth = 392;
inline constexpr int kPhpClientHeight = 243;
const std::vector<ControlLayout>& PhpDialogControls();

// Reads the seven values from section "PHP" of the profile through `get`, in the
// order short_open_tag, output_buffering, safe_mode, display_errors,
// register_globals, max_execution_time, upload_max_filesize.
PhpForm LoadPhpForm(const std::function<std::string(std::string_view key)>& get);

// The items of the five on/off lists, in list order.
const std::vector<std::string_view>& SwitchItems();
// The item a loaded value selects: "On" only for exactly "On" (letter case
// counts); anything else, the empty text included, selects "Off".
int SwitchIndex(std::string_view loaded);

// The first check that fails, as its message: the run time, then the upload size.
std::optional<std::string_view> CheckPhpForm(const PhpForm& form);

// The writes for every value that differs from the loaded one, in the order
// short_open_tag, output_buffering, safe_mode, display_errors, register_globals,
// max_execution_time, upload_max_filesize.
std::vector<FieldChange> PhpChanges(const PhpForm& loaded, const PhpForm& current, const std::string& phpIni);

std::string PhpIniPath(std::string_view programDirectory);

}  // namespace tellurix
