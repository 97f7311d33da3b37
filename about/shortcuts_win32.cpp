#include "about/shortcuts.h"

#include <windows.h>
#include <oleauto.h>

#include <string_view>
#include <utility>

#include "about/shortcut_plan.h"
#include "ui/launcher.h"
#include "ui/system_library.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

// COM and OLE automation, loaded when the shortcuts are first made.
struct OleApi {
  decltype(&::CLSIDFromProgID) classOf = nullptr;
  decltype(&::CoCreateInstance) create = nullptr;
  decltype(&::VariantInit) variantInit = nullptr;
  decltype(&::VariantClear) variantClear = nullptr;
  decltype(&::SysAllocStringLen) allocString = nullptr;
  decltype(&::SysFreeString) freeString = nullptr;
  decltype(&::SysStringLen) stringLength = nullptr;
};
OleApi ole;

bool LoadOle() {
  if (ole.stringLength) return true;
  OleApi found;
  const bool com = EnterComApartment() &&
                   SystemFunctions(L"ole32.dll")
                       .Find(found.classOf, "CLSIDFromProgID")
                       .Find(found.create, "CoCreateInstance")
                       .complete();
  const bool automation = com && SystemFunctions(L"oleaut32.dll")
                                     .Find(found.variantInit, "VariantInit")
                                     .Find(found.variantClear, "VariantClear")
                                     .Find(found.allocString, "SysAllocStringLen")
                                     .Find(found.freeString, "SysFreeString")
                                     .Find(found.stringLength, "SysStringLen")
                                     .complete();
  if (automation) ole = found;
  return automation;
}

// A VARIANT that is cleared (its text freed, its object released) when it goes.
class Variant {
 public:
  Variant() { ole.variantInit(&value_); }
  explicit Variant(std::string_view text) : Variant() {
    const std::wstring wide = Widen(text);
    value_.bstrVal = ole.allocString(wide.data(), static_cast<UINT>(wide.size()));
    if (value_.bstrVal) value_.vt = VT_BSTR;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ole.variantClear(&value_); }

  VARIANT* get() { return &value_; }
  const VARIANT& value() const { return value_; }
  // Takes the object out of a VT_DISPATCH value; empty for any other kind.
  ComPtr<IDispatch> TakeObject() {
    if (value_.vt != VT_DISPATCH || !value_.pdispVal) return {};
    ComPtr<IDispatch> object(value_.pdispVal);
    value_.vt = VT_EMPTY;
    value_.pdispVal = nullptr;
    return object;
  }

 private:
  VARIANT value_;
};

// IDispatch's calls take the null interface id (IID_NULL) in their reserved argument.
constexpr IID kNullId{};

// Calls a method or sets a property of an automation object by name, with at
// most one argument, as a script would.
bool Invoke(IDispatch* object, const wchar_t* name, WORD kind, Variant* argument, Variant* result) {
  DISPID member = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(object->GetIDsOfNames(kNullId, names, 1, LOCALE_USER_DEFAULT, &member))) return false;
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{};
  if (argument) {
    parameters.rgvarg = argument->get();
    parameters.cArgs = 1;
  }
  if (kind == DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &putId;
    parameters.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT hr = object->Invoke(member, kNullId, LOCALE_USER_DEFAULT, kind, &parameters,
                                    result ? result->get() : nullptr, &exception, &badArgument);
  // The object's own description of a failure is not shown; the step is named instead.
  if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
  ole.freeString(exception.bstrSource);
  ole.freeString(exception.bstrDescription);
  ole.freeString(exception.bstrHelpFile);
  return SUCCEEDED(hr);
}

// The steps on the script host's shell object "wscript.shell", bound late as a
// script binds it. The object lives as long as this does.
class ScriptShell final : public ShortcutShell {
 public:
  bool CreateShell() override {
    CLSID id;
    if (!LoadOle() || FAILED(ole.classOf(L"wscript.shell", &id))) return false;
    return SUCCEEDED(ole.create(id, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, __uuidof(IDispatch),
                                shell_.out()));
  }

  std::optional<std::string> ReadRegistry(std::string_view valueName) override {
    Variant name(valueName);
    Variant value;
    if (!Invoke(shell_.get(), L"RegRead", DISPATCH_METHOD, &name, &value)) return std::nullopt;
    // A folder is text (REG_SZ or REG_EXPAND_SZ); a number or binary value names none.
    if (value.value().vt != VT_BSTR) return std::nullopt;
    const BSTR text = value.value().bstrVal;
    return Narrow(std::wstring_view(text, ole.stringLength(text)));
  }

  bool SaveShortcut(const std::string& path, const std::string& target) override {
    Variant file(path);
    Variant made;
    if (!Invoke(shell_.get(), L"CreateShortcut", DISPATCH_METHOD, &file, &made)) return false;
    const ComPtr<IDispatch> shortcut = made.TakeObject();
    if (!shortcut) return false;
    Variant address(target);
    return Invoke(shortcut.get(), L"TargetPath", DISPATCH_PROPERTYPUT, &address, nullptr) &&
           Invoke(shortcut.get(), L"Save", DISPATCH_METHOD, nullptr, nullptr);
  }

  bool Launch(const LaunchPlan& plan) override {
    return tellurix::Launch(plan);
  }

 private:
  ComPtr<IDispatch> shell_;
};

}  // namespace

std::optional<std::string> MakeDesktopShortcuts() {
  ScriptShell shell;
  return PlaceDesktopShortcuts(shell);
}

}  // namespace tellurix
