// A program to start, as the whole command line and the window state it starts
// in; and the quoting rules that keep each path and argument one piece of it.
// Portable: app/, dialogs/ and about/ decide their launches with these, and the
// launcher (ui/launcher.h) carries them out.
#pragma once

#include <string>
#include <string_view>

namespace tellurix {

enum class ShowState { Hide = 0, Normal = 1, Minimized = 2 };  // the SW_ values

struct LaunchPlan {
  std::string commandLine;
  ShowState show;
};

// A path as it stands in a command line: in quotes when it holds a space (so that
// Windows cannot start "C:\Program.exe" for "C:\Program Files\..."), else as it is.
std::string QuotedPath(std::string_view path);

// One argument as the C runtime and CommandLineToArgvW read it back: unchanged
// unless it is empty or holds a space, tab or double quote; then in double
// quotes, each quote as \" and the backslashes before a quote (or before the
// closing quote) doubled.
std::string QuoteArgument(std::string_view argument);

// How a program that was waited for ended (ui/launcher.h runs it).
struct ProgramRun {
  // Declined: the user answered No to the administrator prompt of an elevated run.
  enum class Outcome { CannotStart, Declined, TimedOut, Exited };
  Outcome outcome = Outcome::Exited;
  unsigned long exitCode = 0;
  std::string output;  // what it printed (standard output and error), UTF-8
};

}  // namespace tellurix
