// The Apache, PHP and MySQL settings dialogs as data: which control shows which
// profile key, how a drop-down list shows a stored value, which checks run on
// "确定" in which order, and which stack files each changed value goes into. One
// shell (dialogs/settings_dialog.h) shows any of them; the decisions below are
// what it asks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/settings_apply.h"
#include "ui/layout.h"

namespace tellurix {

// Where a changed value goes after the profile.
struct StackTarget {
  std::string_view file;                     // below the program directory: "\PHP5\php.ini"
  std::string_view section;                  // an INI section; empty for a directive line of httpd.conf
  std::string_view key;                      // the entry or the directive
  std::string_view before = {}, after = {};  // written around the field's text
};

struct SettingsField {
  int control;
  std::string_view profileKey;
  std::vector<StackTarget> targets;          // in writing order
  std::vector<std::string_view> items = {};  // a drop-down list's items; none for a text box
  // The item that shows a stored value equal to none of the items (letter case
  // counts); -1 for no selection.
  int otherIndex = -1;
  // An empty selection is not a value: written, it would leave the stack's file
  // with an entry the server cannot use.
  bool skipEmpty = false;
};

struct SettingsCheck {
  enum class Kind { Folder, Number };
  Kind kind;
  int control;
  std::string_view failed;      // Folder: not an existing folder; Number: not a number at all
  std::string_view notWhole{};  // Number: not a whole positive number
};

struct SettingsForm {
  std::string_view caption;
  std::string_view section;  // of the profile
  int clientWidth, clientHeight;
  std::vector<ControlLayout> controls;
  std::vector<SettingsField> fields;  // in writing order
  std::vector<SettingsCheck> checks;  // in checking order
  int okButton, cancelButton;
  std::string_view doneMessage;
};

const SettingsForm& ApacheSettingsForm();
const SettingsForm& PhpSettingsForm();
const SettingsForm& MySQLSettingsForm();

// The fields' texts, in field order: a text box's text, a list's selected item
// (empty while none is selected).
using FieldTexts = std::vector<std::string>;

// The stored values, read through `get` (the profile key in, the value out).
FieldTexts LoadSettings(const SettingsForm& form, const std::function<std::string(std::string_view key)>& get);

// The item of a drop-down list that shows a stored value.
int ItemIndex(const SettingsField& field, std::string_view stored);

// The first check that fails, as its message. `isFolder` tells whether a text
// names an existing folder.
std::optional<std::string_view> CheckSettings(const SettingsForm& form, const FieldTexts& current,
                                              const std::function<bool(const std::string&)>& isFolder);

// The writes for every field whose text differs from the loaded one.
std::vector<FieldChange> SettingsChanges(const SettingsForm& form, const FieldTexts& loaded, const FieldTexts& current,
                                         std::string_view programDirectory);

}  // namespace tellurix
