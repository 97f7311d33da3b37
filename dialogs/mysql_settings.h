// The MySQL settings dialog `fmysql`: its controls, what it loads from the
// profile, what it checks on "确定" and what it writes; and the decisions of the
// root password change in its lower frame (command lines and messages).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_layout.h"
#include "dialogs/settings_apply.h"

namespace tellurix {

// The texts of the four settings controls. For the two drop-down lists, the
// selected item, or the empty text while none is selected.
struct MySQLForm {
  std::string port, connections, engine, character;
};

inline constexpr int kMySQLClientWidth = 312;
inline constexpr int kMySQLClientHeight = 253;
const std::vector<ControlLayout>& MySQLDialogControls();

// The items of the two drop-down lists, in list order.
const std::vector<std::string_view>& MySQLCharacterSets();  // utf8, gb2312, gbk, latin1
const std::vector<std::string_view>& MySQLEngines();        // INNODB, MyISAM

// Reads the four values from section "MySQL" of the profile through `get`, in the
// order port, default-character-set, default-storage-engine, max_connections.
MySQLForm LoadMySQLForm(const std::function<std::string(std::string_view key)>& get);

// The item of `character` that shows a loaded character set: the one equal to
// it exactly (letter case included), or -1 for no selection.
int CharacterSetIndex(std::string_view loaded);
// The item of `engine` that shows a loaded storage engine: "INNODB" (0) only for
// exactly "INNODB", else "MyISAM" (1).
int EngineIndex(std::string_view loaded);

// The first check that fails, as its message: the port, then the connections,
// each first as a number, then as a whole positive number.
std::optional<std::string_view> CheckMySQLForm(const MySQLForm& form);

// The writes for every value that differs from the loaded one, in the order
// port, max_connections, default-storage-engine, default-character-set. An empty
// character set (no item selected) is never written.
std::vector<FieldChange> MySQLChanges(const MySQLForm& loaded, const MySQLForm& current, const std::string& myIni);

std::string MySQLIniPath(std::string_view programDirectory);

// --- The root password change -------------------------------------------------

// One argument as the C runtime and CommandLineToArgvW read it back: unchanged
// unless it is empty or holds a space, tab or double quote; then in double
// quotes, each quote as \" and the backslashes before a quote (or before the
// closing quote) doubled.
std::string QuoteArgument(std::string_view argument);

// The program that changes the password, without extension as the system's
// program search finds it.
std::string MySQLAdminProgram(std::string_view programDirectory);

// <mysqladmin> -uroot -p<old> password <new>, each password one argument.
std::string MySQLAdminCommandLine(std::string_view programDirectory, std::string_view oldPassword,
                                  std::string_view newPassword);

// The command-line client that lets the user log in with the new password.
std::string MySQLClientCommandLine(std::string_view programDirectory);

// How the run of mysqladmin ended.
struct PasswordToolRun {
  enum class Outcome { CannotStart, TimedOut, Exited };
  Outcome outcome = Outcome::Exited;
  unsigned long exitCode = 0;
  std::string output;  // what it printed (stdout and stderr), UTF-8
};

// What the dialog does after the run: the message it shows, and whether it then
// opens the client and empties both password boxes (only after a change).
struct PasswordConclusion {
  std::string message;
  bool changed;
};
PasswordConclusion ConcludePasswordChange(const PasswordToolRun& run, std::string_view programDirectory);

// How long the dialog waits for mysqladmin before ending it.
inline constexpr unsigned kPasswordToolTimeLimitMs = 30000;

}  // namespace tellurix
