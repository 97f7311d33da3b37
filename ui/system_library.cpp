#include "ui/system_library.h"

#include <objbase.h>

#include "ui/win32_text.h"

namespace tellurix {

namespace {

HMODULE WINAPI SystemLoadLibraryEx(const wchar_t* file, HANDLE reserved, DWORD flags) {
  return LoadLibraryExW(file, reserved, flags);
}
LoadLibraryExStep loadLibraryEx = SystemLoadLibraryEx;
bool (*hasSearchFlags)() = [] {
  return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
};

// Where LoadLibraryEx knows LOAD_LIBRARY_SEARCH_SYSTEM32 (Windows 8, or 7 with
// the update that brought AddDllDirectory), the system folder is searched
// alone; elsewhere the DLL is named by its full path in that folder, and the
// DLLs it needs in turn are looked for from that folder first too, not from the
// program's (LOAD_WITH_ALTERED_SEARCH_PATH).
HMODULE LoadFromSystemFolder(const wchar_t* name) {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (hasSearchFlags()) return loadLibraryEx(name, nullptr, kSearchSystem32);
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return loadLibraryEx((std::wstring(folder, length) + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
LibraryLoader loader = LoadFromSystemFolder;

}  // namespace

void SetLibraryLoaderForTesting(LibraryLoader replacement) {
  loader = replacement ? replacement : LoadFromSystemFolder;
}

void SetLoadLibraryExStepForTesting(LoadLibraryExStep step, bool (*searchFlagsKnown)()) {
  loadLibraryEx = step ? step : SystemLoadLibraryEx;
  if (searchFlagsKnown) hasSearchFlags = searchFlagsKnown;
}

HMODULE SystemLibrary(const wchar_t* name) {
  // Loaded for good: a module loaded twice only counts up, and the panel never
  // lets go of what it loaded.
  return loader(name);
}

void SystemFunctions::Miss(const char* function) {
  missing_ = Narrow(dll_) + (function ? "!" + std::string(function) : std::string());
}

bool EnterComApartment() {
  static const bool entered = [] {
    HRESULT(WINAPI * initialize)(void*, DWORD) = nullptr;
    if (!SystemFunctions(L"ole32.dll").Find(initialize, "CoInitializeEx").complete()) return false;
    // As the shell asks of its callers (ShellExecuteEx among them).
    initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    return true;
  }();
  return entered;
}

}  // namespace tellurix
