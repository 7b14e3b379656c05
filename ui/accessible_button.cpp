#include "ui/accessible_button.h"

#include <oleacc.h>

#include <new>
#include <string>

#include "system/system_functions.h"
#include "ui/window_helpers.h"

namespace {

// oleacc.dll is loaded only when a screen reader first asks, from the system folder, and kept.
struct Oleacc {
  decltype(kCreateStdAccessibleObject.Find()) createStandard;
  decltype(kLresultFromObject.Find()) resultFrom;
  decltype(kSysAllocString.Find()) allocString;
  decltype(kCoInitialize.Find()) initializeCom;
};

const Oleacc& OleaccFunctions() {
  static const Oleacc functions = [] {
    Oleacc f{kCreateStdAccessibleObject.Find(), kLresultFromObject.Find(), nullptr, nullptr};
    if (f.createStandard) {  // both already loaded by oleacc itself
      f.allocString = kSysAllocString.Find();
      f.initializeCom = kCoInitialize.Find();
    }
    return f;
  }();
  return functions;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object does all the work but for the name, the role and, for a push button, the
// default action.
class NamedAccessible final : public IAccessible {
 public:
  // role 0 keeps the standard object's.
  NamedAccessible(HWND control, IAccessible* standard, LONG role, bool pressable)
      : control_(control), standard_(standard), role_(role), pressable_(pressable) {}
  NamedAccessible(const NamedAccessible&) = delete;
  NamedAccessible& operator=(const NamedAccessible&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (!object) return E_POINTER;
    if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(id, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override {
    return standard_->Invoke(member, id, locale, flags, params, result, exception, badArgument);
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child) || !role || !role_) return standard_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = role_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    const Oleacc& oleacc = OleaccFunctions();
    if (!IsSelf(child) || !action || !oleacc.allocString || !pressable_)
      return standard_->get_accDefaultAction(child, action);
    *action = oleacc.allocString(L"Нажать");  // the window's own language
    return *action ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child) || !pressable_) return standard_->accDoDefaultAction(child);
    // Posted: a reader waiting on this call must not wait for the box the click opens.
    return PostMessageW(control_, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return standard_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    const Oleacc& oleacc = OleaccFunctions();
    if (!IsSelf(child) || !name || !oleacc.allocString) return standard_->get_accName(child, name);
    // The window text, which such a control never draws; not every system's object reads it.
    *name = oleacc.allocString(HwndText(control_).c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return standard_->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return standard_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~NamedAccessible() { standard_->Release(); }

  LONG references_ = 1;
  HWND control_;
  IAccessible* standard_;  // owned: one reference
  LONG role_;
  bool pressable_;
};

LRESULT AccessibleObject(HWND control, WPARAM flags, LPARAM objectId, LONG role, bool pressable) {
  if (static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  const Oleacc& oleacc = OleaccFunctions();
  if (!oleacc.createStandard || !oleacc.resultFrom) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(oleacc.createStandard(control, OBJID_CLIENT, __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&standard))) ||
      !standard)
    return 0;
  auto* object = new (std::nothrow) NamedAccessible(control, standard, role, pressable);
  if (!object) {
    standard->Release();
    return 0;
  }
  LRESULT result = oleacc.resultFrom(__uuidof(IAccessible), flags, object);
  // Handing the object over takes COM on this thread; a thread that never started it starts it
  // here, once, for the rest of the run.
  if (result == static_cast<LRESULT>(CO_E_NOTINITIALIZED) && oleacc.initializeCom &&
      SUCCEEDED(oleacc.initializeCom(nullptr)))
    result = oleacc.resultFrom(__uuidof(IAccessible), flags, object);
  object->Release();  // the result holds its own reference
  return result > 0 ? result : 0;
}

// role 0 keeps the control's own.
LRESULT NamedControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, LONG role) {
  if (message == WM_GETOBJECT) {
    if (LRESULT object = AccessibleObject(control, wParam, lParam, role, false)) return object;
  }
  return HwndCallPrevious(control, message, wParam, lParam);
}

LRESULT CALLBACK NamedControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  return NamedControlMessage(control, message, wParam, lParam, 0);
}

LRESULT CALLBACK NamedPictureProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  return NamedControlMessage(control, message, wParam, lParam, ROLE_SYSTEM_GRAPHIC);
}

}  // namespace

LRESULT PushButtonAccessibleObject(HWND button, WPARAM flags, LPARAM objectId) {
  return AccessibleObject(button, flags, objectId, ROLE_SYSTEM_PUSHBUTTON, true);
}

void NameForScreenReaders(HWND control, const std::wstring& name) {
  HwndSetText(control, name.c_str());
  HwndSubclass(control, NamedControlProc);
}

void NamePictureForScreenReaders(HWND picture, const std::wstring& name) {
  HwndSetText(picture, name.c_str());
  HwndSubclass(picture, NamedPictureProc);
}
