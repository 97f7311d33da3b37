// Windows' own DLLs that only some commands need (Winsock and the IP helper for
// the port checks, COM and OLE automation for the folder picker and the desktop
// shortcuts): loaded from the system folder the first time a command uses them,
// and kept, so that an idle panel maps none of them.
#pragma once

#include <windows.h>

#include <string>

namespace tellurix {

// A function found by GetProcAddress, as the type it has (through void*, which
// the compilers take for any function type).
template <typename Function>
Function AsFunction(FARPROC found) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// The DLL, loaded from the system folder only, never from the program's folder
// or the current one; nullptr when it cannot be loaded.
HMODULE SystemLibrary(const wchar_t* name);

// The functions a command needs from one DLL, found together: Find fills each
// in turn and stops at the first that is missing, which `missing` then names
// ("ws2_32.dll" or "ws2_32.dll!WSAStartup").
class SystemFunctions {
 public:
  explicit SystemFunctions(const wchar_t* dll) : dll_(dll), module_(SystemLibrary(dll)) {
    if (!module_) Miss(nullptr);
  }
  template <typename Function>
  SystemFunctions& Find(Function& function, const char* name) {
    FARPROC found = module_ && missing_.empty() ? GetProcAddress(module_, name) : nullptr;
    function = AsFunction<Function>(found);
    if (!found && missing_.empty()) Miss(name);
    return *this;
  }
  bool complete() const { return missing_.empty(); }
  const std::string& missing() const { return missing_; }

 private:
  void Miss(const char* function);
  const wchar_t* dll_;
  HMODULE module_;
  std::string missing_;
};

// COM on this thread in a single-threaded apartment without OLE 1 DDE, as the
// shell's folder picker, its automation objects and ShellExecuteEx need it;
// entered once, on first use, by the window's thread. False when ole32.dll
// cannot be loaded.
bool EnterComApartment();

// How the DLLs are loaded, replaceable by tests that take one away; nullptr
// puts the system's back.
using LibraryLoader = HMODULE (*)(const wchar_t* name);
void SetLibraryLoaderForTesting(LibraryLoader loader);
// LoadLibraryExW itself, and whether the system knows the search flags of
// AddDllDirectory, replaceable by tests that play a Windows 7 without the
// update. nullptr puts the system's back.
using LoadLibraryExStep = HMODULE(WINAPI*)(const wchar_t* file, HANDLE reserved, DWORD flags);
void SetLoadLibraryExStepForTesting(LoadLibraryExStep step, bool (*searchFlagsKnown)() = nullptr);

}  // namespace tellurix
