// The root password change in the lower frame of the MySQL settings dialog:
// the command lines it runs and what it tells the user afterwards.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/launch_plan.h"

namespace tellurix {

// The message that stops a change before the confirmation question: an empty
// new password would silently remove the root password. (An empty old password
// is valid: a fresh installation may have none.)
std::optional<std::string_view> NewPasswordProblem(std::string_view newPassword);

// The program that changes the password, without extension as the system's
// program search finds it.
std::string MySQLAdminProgram(std::string_view programDirectory);

// <mysqladmin> -uroot -p<old> password <new>, each password one argument.
std::string MySQLAdminCommandLine(std::string_view programDirectory, std::string_view oldPassword,
                                  std::string_view newPassword);

// The command-line client that lets the user log in with the new password.
std::string MySQLClientCommandLine(std::string_view programDirectory);

// What the dialog does after the run: the message it shows, and whether it then
// opens the client and empties both password boxes (only after a change).
struct PasswordConclusion {
  std::string message;
  bool changed;
};
PasswordConclusion ConcludePasswordChange(const ProgramRun& run, std::string_view programDirectory);

// How long the dialog waits for mysqladmin before ending it.
inline constexpr unsigned kPasswordToolTimeLimitMs = 30000;

}  // namespace tellurix
