// The objects behind accessible.h. A form's object has its controls as children in reading
// order: the buttons as objects of their own (the ones their windows answer with), the labels
// and pictures, which are no windows, as simple child ids. Every method answers with an HRESULT:
// nothing may be thrown into the system's frames of a COM call.
#include "accessible.h"

#include <ole2.h>
#include <oleacc.h>
#include <rpc.h>

#include <climits>

#include "checkbox.h"
#include "engine.h"
#include "form.h"

namespace platform {
namespace {

// oleacc.dll is no KnownDLL: imported, it would be looked for beside the launcher before any of
// our code runs. So the system's accessibility functions are loaded when a client first asks.
struct SystemFunctions {
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
    HRESULT(WINAPI* createStdAccessibleObject)(HWND, LONG, REFIID, void**) = nullptr;
    BSTR(WINAPI* sysAllocStringLen)(const OLECHAR*, UINT) = nullptr;
    HRESULT(WINAPI* coInitializeEx)(void*, DWORD) = nullptr;

    bool loaded() const { return lresultFromObject && createStdAccessibleObject && sysAllocStringLen && coInitializeEx; }
};

// From the system folder and nowhere else, whatever the process's search order.
HMODULE loadSystemDll(const wchar_t* name) {
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    // Systems that predate the flag reject it; there the folder's full path does the same.
    wchar_t path[MAX_PATH];
    const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    if (folder == 0 || folder + 1 + static_cast<UINT>(lstrlenW(name)) >= MAX_PATH) return nullptr;
    path[folder] = L'\\';
    lstrcpyW(path + folder + 1, name);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <class Function>
void bind(Function& function, HMODULE module, const char* name) {
    if (module) function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

SystemFunctions loadSystemFunctions() {
    SystemFunctions system;
    const HMODULE oleacc = loadSystemDll(L"oleacc.dll");
    bind(system.lresultFromObject, oleacc, "LresultFromObject");
    bind(system.createStdAccessibleObject, oleacc, "CreateStdAccessibleObject");
    bind(system.sysAllocStringLen, loadSystemDll(L"oleaut32.dll"), "SysAllocStringLen");
    bind(system.coInitializeEx, loadSystemDll(L"ole32.dll"), "CoInitializeEx");
    // Handing an object over takes COM on this thread. A single-threaded apartment brings
    // every call in through the message loop, so the objects see the controls only from the
    // thread that owns them.
    if (system.loaded()) system.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return system;
}

// Loaded once, on the one thread. A plain flag, not a function's static: that would need the C++
// run time's thread-safe guard, and with it the exception support the product leaves out.
SystemFunctions theSystem;
bool theSystemTried = false;

const SystemFunctions& systemFunctions() {
    if (!theSystemTried) {
        theSystem = loadSystemFunctions();
        theSystemTried = true;
    }
    return theSystem;
}

// What a client reads of one element: the form, a button, a label or a picture.
struct Element {
    LONG role = 0;
    const wchar_t* name = nullptr;  // nullptr or empty: none
    bool nameHasMarker = false;     // a caption, whose '&' marks an access key
    LONG state = 0;
    const wchar_t* defaultAction = nullptr;  // nullptr: none
    RECT screen = {};                        // where it shows, in screen pixels
    HWND window = nullptr;                   // the element's own window, if it has one
};

LONG windowState(HWND window) {
    LONG state = STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == window) state |= STATE_SYSTEM_FOCUSED;
    if (!IsWindowEnabled(window)) state |= STATE_SYSTEM_UNAVAILABLE;
    if (!IsWindowVisible(window)) state |= STATE_SYSTEM_INVISIBLE;
    return state;
}

RECT clientOnScreen(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

Element describeForm(const Form& form) {
    Element element;
    element.role = ROLE_SYSTEM_CLIENT;
    element.name = form.def().caption;
    element.state = windowState(form.hwnd());
    element.screen = clientOnScreen(form.hwnd());
    element.window = form.hwnd();
    return element;
}

Element describeButton(const CheckBox& box) {
    Element element;
    element.role = ROLE_SYSTEM_PUSHBUTTON;
    element.name = box.def().caption;
    element.nameHasMarker = true;
    // Checked is the pressed-in look.
    element.state = windowState(box.hwnd()) | (box.checked() ? STATE_SYSTEM_PRESSED : 0);
    element.defaultAction = L"Press";
    GetWindowRect(box.hwnd(), &element.screen);
    element.window = box.hwnd();
    return element;
}

// A label or a picture: drawn by the form, so only the part inside its client area shows.
Element describeDrawn(const Form& form, const ControlDef& control) {
    Element element;
    element.role = control.kind == ControlKind::Label ? ROLE_SYSTEM_STATICTEXT : ROLE_SYSTEM_GRAPHIC;
    // A picture carries no text, and none is made up for it.
    element.name = control.kind == ControlKind::Label ? control.caption : nullptr;
    element.state = STATE_SYSTEM_READONLY | (IsWindowVisible(form.hwnd()) ? 0 : STATE_SYSTEM_INVISIBLE);
    RECT box = form.controlBox(control);
    RECT client = {};
    GetClientRect(form.hwnd(), &client);
    if (IntersectRect(&box, &box, &client)) MapWindowPoints(form.hwnd(), nullptr, reinterpret_cast<POINT*>(&box), 2);
    element.screen = box;
    return element;
}

Element describeControl(const Form& form, const ControlDef& control) {
    if (control.kind != ControlKind::GraphicalCheckBox) return describeDrawn(form, control);
    const CheckBox* box = form.checkBoxOf(control);
    return box && box->hwnd() ? describeButton(*box) : Element{};
}

// Reading order: the controls by tab index, then those that take no focus, each in stored order.
bool readsBefore(const FormDef& def, std::size_t a, std::size_t b) {
    const int first = def.controls[a].tabIndex < 0 ? INT_MAX : def.controls[a].tabIndex;
    const int second = def.controls[b].tabIndex < 0 ? INT_MAX : def.controls[b].tabIndex;
    return first != second ? first < second : a < b;
}

LONG childCount(const Form& form) { return static_cast<LONG>(form.def().controls.size()); }

// A control's child id: its place in reading order, from 1.
LONG childIdOf(const Form& form, const ControlDef& control) {
    const FormDef& def = form.def();
    const std::size_t index = static_cast<std::size_t>(&control - def.controls.data());
    LONG id = 1;
    for (std::size_t other = 0; other < def.controls.size(); ++other)
        if (readsBefore(def, other, index)) ++id;
    return id;
}

const ControlDef* childAt(const Form& form, LONG id) {
    for (const ControlDef& control : form.def().controls)
        if (childIdOf(form, control) == id) return &control;
    return nullptr;
}

bool isChildId(const VARIANT& child) { return child.vt == VT_I4; }

void setEmpty(VARIANT* out) { out->vt = VT_EMPTY; }

void setI4(VARIANT* out, LONG value) {
    out->vt = VT_I4;
    out->lVal = value;
}

// A caption as the player reads it, into `text` when given; returns its length. "&&" is one '&',
// and a lone '&' marks the letter after it.
UINT readCaption(const wchar_t* caption, wchar_t* text) {
    UINT length = 0;
    for (const wchar_t* at = caption; *at; ++at) {
        if (*at == L'&' && !*++at) break;
        if (text) text[length] = *at;
        ++length;
    }
    return length;
}

BSTR plainText(const wchar_t* text) {
    return systemFunctions().sysAllocStringLen(text, static_cast<UINT>(lstrlenW(text)));
}

BSTR captionText(const wchar_t* caption) {
    const UINT length = readCaption(caption, nullptr);
    BSTR text = systemFunctions().sysAllocStringLen(nullptr, length);
    if (text) {
        readCaption(caption, text);
        text[length] = L'\0';
    }
    return text;
}

}  // namespace

// One object speaks for a form or a check box. Through IOleWindow it names that element's own
// window, so a screen reader can match it with the window's focus and state events; without it
// the system would walk up to the form and take a button for the form.
class AccessibleObject final : public IAccessible, public IOleWindow {
public:
    // The object of a form or a check box, made on first use and kept in its slot.
    static AccessibleObject* of(Form& form) { return of(form.accessible(), &form, nullptr); }
    static AccessibleObject* of(CheckBox& box) { return of(box.accessible(), nullptr, &box); }

    void detach() {
        form_ = nullptr;
        box_ = nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
        } else if (iid == __uuidof(IOleWindow)) {
            *out = static_cast<IOleWindow*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients call the methods directly; there is no type library to describe them.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!window()) return CO_E_OBJNOTCONNECTED;
        if (box_) return dispatchOf(of(box_->form()), parent);
        // The form's client area lies in its window, whose object the system makes.
        return systemFunctions().createStdAccessibleObject(form_->hwnd(), OBJID_WINDOW, __uuidof(IDispatch),
                                                           reinterpret_cast<void**>(parent));
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        if (!window()) return CO_E_OBJNOTCONNECTED;
        if (form_) *count = childCount(*form_);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!window()) return CO_E_OBJNOTCONNECTED;
        const ControlDef* control = form_ && isChildId(child) ? childAt(*form_, child.lVal) : nullptr;
        if (!control) return E_INVALIDARG;
        if (control->kind != ControlKind::GraphicalCheckBox) return S_FALSE;  // a simple element
        CheckBox* box = form_->checkBoxOf(*control);
        return box ? dispatchOf(of(*box), out) : E_FAIL;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!name) return E_POINTER;
        *name = nullptr;
        Element element;
        if (const HRESULT found = find(child, element); FAILED(found)) return found;
        if (!element.name || !*element.name) return S_FALSE;
        *name = element.nameHasMarker ? captionText(element.name) : plainText(element.name);
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    // No element has a value, a description, help or an access key.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return noText(child, value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override { return noText(child, text); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return noText(child, help); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return noText(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return numberOf(child, &Element::role, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return numberOf(child, &Element::state, state);
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        setEmpty(focus);
        if (!window()) return CO_E_OBJNOTCONNECTED;
        const HWND focused = GetFocus();
        if (focused && focused == window()) {
            setI4(focus, CHILDID_SELF);
            return S_OK;
        }
        if (form_) {
            for (const ControlDef& control : form_->def().controls) {
                CheckBox* box = control.kind == ControlKind::GraphicalCheckBox ? form_->checkBoxOf(control) : nullptr;
                if (box && focused && box->hwnd() == focused) return childVariant(*form_, control, focus);
            }
        }
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (selection) setEmpty(selection);
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!action) return E_POINTER;
        *action = nullptr;
        Element element;
        if (const HRESULT found = find(child, element); FAILED(found)) return found;
        if (!element.defaultAction) return S_FALSE;
        *action = plainText(element.defaultAction);
        return *action ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }

    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        Element element;
        if (const HRESULT found = find(child, element); FAILED(found)) return found;
        *left = element.screen.left;
        *top = element.screen.top;
        *width = element.screen.right - element.screen.left;
        *height = element.screen.bottom - element.screen.top;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        setEmpty(end);
        if (!window()) return CO_E_OBJNOTCONNECTED;
        if (!isChildId(start)) return E_INVALIDARG;
        Form& form = box_ ? box_->form() : *form_;
        const LONG count = childCount(form);
        // Where in the form's reading order the move starts: 0 is the form itself. A button's
        // own object can name no simple element of the form, so from there only its sibling
        // buttons are reached, as the system does for sibling windows.
        LONG from = start.lVal;
        if (box_) {
            if (start.lVal != CHILDID_SELF) return E_INVALIDARG;
            from = childIdOf(form, box_->def());
        } else if (from < 0 || from > count) {
            return E_INVALIDARG;
        }
        const bool isForm = form_ && from == 0;
        switch (direction) {
            case NAVDIR_FIRSTCHILD:
                return isForm && count > 0 ? childVariant(form, *childAt(form, 1), end) : S_FALSE;
            case NAVDIR_LASTCHILD:
                return isForm && count > 0 ? childVariant(form, *childAt(form, count), end) : S_FALSE;
            case NAVDIR_NEXT:
            case NAVDIR_PREVIOUS: {
                if (isForm) return S_FALSE;  // the window's siblings are the system's to tell
                const LONG step = direction == NAVDIR_NEXT ? 1 : -1;
                for (LONG id = from + step; id >= 1 && id <= count; id += step) {
                    const ControlDef& control = *childAt(form, id);
                    if (form_ || control.kind == ControlKind::GraphicalCheckBox)
                        return childVariant(form, control, end);
                }
                return S_FALSE;
            }
        }
        return DISP_E_MEMBERNOTFOUND;  // no moves by direction on the screen
    }

    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        setEmpty(hit);
        if (!window()) return CO_E_OBJNOTCONNECTED;
        const POINT at = {x, y};
        const Element self = form_ ? describeForm(*form_) : describeButton(*box_);
        if (!PtInRect(&self.screen, at)) return S_FALSE;
        if (form_) {
            // Stored order is stacking order, topmost first.
            for (const ControlDef& control : form_->def().controls) {
                const Element part = describeControl(*form_, control);
                if (part.role && !(part.state & STATE_SYSTEM_INVISIBLE) && PtInRect(&part.screen, at))
                    return childVariant(*form_, control, hit);
            }
        }
        setI4(hit, CHILDID_SELF);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        Element element;
        if (const HRESULT found = find(child, element); FAILED(found)) return found;
        if (!element.defaultAction) return DISP_E_MEMBERNOTFOUND;
        // While a handler runs or a report is up the buttons take no input, and neither does
        // this. Otherwise the press goes through the message loop: a handler that shows a report
        // would keep a client waiting in its call until the report was dismissed.
        if (Engine::instance().busy()) return E_FAIL;
        return PostMessageW(element.window, kAccessiblePress, 0, 0) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        *out = window();
        return *out ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    AccessibleObject(Form* form, CheckBox* box) : form_(form), box_(box) {}
    ~AccessibleObject() = default;

    static AccessibleObject* of(AccessibleSlot& slot, Form* form, CheckBox* box) {
        if (!slot.object_) slot.object_ = new AccessibleObject(form, box);
        return slot.object_;
    }

    static HRESULT dispatchOf(AccessibleObject* object, IDispatch** out) {
        object->AddRef();
        *out = object;
        return S_OK;
    }

    // A child as navigation, hit tests and the focus give it: a button's own object, or the
    // child id of a simple element.
    static HRESULT childVariant(Form& form, const ControlDef& control, VARIANT* out) {
        if (control.kind == ControlKind::GraphicalCheckBox) {
            CheckBox* box = form.checkBoxOf(control);
            IDispatch* object = nullptr;
            if (const HRESULT made = box ? dispatchOf(of(*box), &object) : E_FAIL; FAILED(made)) return made;
            out->vt = VT_DISPATCH;
            out->pdispVal = object;
            return S_OK;
        }
        setI4(out, childIdOf(form, control));
        return S_OK;
    }

    // The window the object speaks for; none once it has gone.
    HWND window() const { return form_ ? form_->hwnd() : box_ ? box_->hwnd() : nullptr; }

    // The element a child id names: the object itself or, for a form, one of its children.
    HRESULT find(const VARIANT& child, Element& element) const {
        if (!window()) return CO_E_OBJNOTCONNECTED;
        if (!isChildId(child)) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) {
            element = form_ ? describeForm(*form_) : describeButton(*box_);
            return S_OK;
        }
        const ControlDef* control = form_ ? childAt(*form_, child.lVal) : nullptr;
        if (!control) return E_INVALIDARG;
        element = describeControl(*form_, *control);
        return element.role ? S_OK : E_FAIL;
    }

    // One of an element's numbers, its role or its state.
    HRESULT numberOf(const VARIANT& child, LONG Element::*field, VARIANT* out) const {
        if (!out) return E_POINTER;
        setEmpty(out);
        Element element;
        if (const HRESULT found = find(child, element); FAILED(found)) return found;
        setI4(out, element.*field);
        return S_OK;
    }

    HRESULT noText(const VARIANT& child, BSTR* out) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        Element element;
        const HRESULT found = find(child, element);
        return FAILED(found) ? found : S_FALSE;
    }

    Form* form_;
    CheckBox* box_;
    LONG refs_ = 1;  // the slot's
};

void AccessibleSlot::disconnect() {
    if (!object_) return;
    object_->detach();
    object_->Release();
    object_ = nullptr;
}

namespace {

template <class Owner>
LRESULT answer(Owner& owner, WPARAM wParam, LPARAM lParam) {
    const LONG id = static_cast<LONG>(static_cast<DWORD>(lParam));
    if (id != OBJID_CLIENT || !systemFunctions().loaded())
        return DefWindowProcW(owner.hwnd(), WM_GETOBJECT, wParam, lParam);
    // The run time's allocations never come back empty: running out of memory is reported.
    AccessibleObject* object = AccessibleObject::of(owner);
    return systemFunctions().lresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object));
}

}  // namespace

LRESULT answerGetObject(Form& form, WPARAM wParam, LPARAM lParam) { return answer(form, wParam, lParam); }

LRESULT answerGetObject(CheckBox& box, WPARAM wParam, LPARAM lParam) { return answer(box, wParam, lParam); }

namespace {

using UnregisterInterfaceFn = RPC_STATUS(RPC_ENTRY*)(RPC_IF_HANDLE, UUID*, unsigned int);

// A remoted COM interface is served by the RPC run time under the interface's own id at version
// 0.0, and the run time counts each call from its arrival until its answer has been sent. Taking
// our objects' interfaces out of service, waiting for calls in progress, is the one wait that
// covers the sending itself: nothing of ours runs after that. It blocks, so it runs here, on a
// thread of its own, while the objects' thread goes on serving calls that are already queued.
DWORD WINAPI waitForCallsInProgress(void* unregisterFunction) {
    const auto unregister = reinterpret_cast<UnregisterInterfaceFn>(unregisterFunction);
    const IID* const served[] = {&__uuidof(IAccessible), &__uuidof(IDispatch), &__uuidof(IOleWindow)};
    for (const IID* iid : served) {
        RPC_SERVER_INTERFACE face = {sizeof face};
        face.InterfaceId.SyntaxGUID = *iid;
        // NDR, the transfer syntax of COM's calls.
        face.TransferSyntax = {{0x8a885d04, 0x1ceb, 0x11c9, {0x9f, 0xe8, 0x08, 0x00, 0x2b, 0x10, 0x48, 0x60}}, {2, 0}};
        unregister(&face, nullptr, TRUE);  // an interface no client has used is simply unknown
    }
    return 0;
}

// Longer than any answer takes; only a call wedged in the system could wait this long with no
// message coming in, and that must not keep the program alive.
constexpr DWORD kLongestAnswerMs = 5000;

}  // namespace

void finishAccessibleCalls() {
    if (!theSystemTried || !theSystem.loaded()) return;
    UnregisterInterfaceFn unregister = nullptr;
    bind(unregister, loadSystemDll(L"rpcrt4.dll"), "RpcServerUnregisterIf");
    HANDLE waiter = unregister ? CreateThread(nullptr, 0, waitForCallsInProgress, reinterpret_cast<void*>(unregister),
                                              0, nullptr)
                               : nullptr;
    if (!waiter) return;
    while (MsgWaitForMultipleObjects(1, &waiter, FALSE, kLongestAnswerMs, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    CloseHandle(waiter);
}

void announceStateChange(HWND window) { NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, CHILDID_SELF); }

}  // namespace platform
