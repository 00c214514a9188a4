// The objects behind accessible.h. An element's object has its children as its element gives
// them: those with windows of their own as their own objects (the ones their windows answer
// with), the others as simple child ids. Every method answers with an HRESULT: nothing may be
// thrown into the system's frames of a COM call.
#include "accessible.h"

#include <ole2.h>
#include <oleacc.h>
#include <rpc.h>

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

// A child's id: its place in its parent's reading order, from 1.
LONG childIdOf(const AccessibleElement& parent, const AccessibleElement& child) {
    for (LONG id = 1; id <= parent.childCount(); ++id)
        if (parent.child(id) == &child) return id;
    return 0;
}

// The element that a child id names to the object of `self` (nullptr once the object is cut off
// from it): `self` or one of its children.
HRESULT find(AccessibleElement* self, const VARIANT& child, AccessibleElement*& element) {
    if (!self || !self->window()) return CO_E_OBJNOTCONNECTED;
    if (!isChildId(child)) return E_INVALIDARG;
    element = child.lVal == CHILDID_SELF ? self : self->child(child.lVal);
    return element ? S_OK : E_INVALIDARG;
}

// One of an element's numbers, its role or its state.
HRESULT numberOf(AccessibleElement* self, const VARIANT& child, LONG (AccessibleElement::*field)() const,
                 VARIANT* out) {
    if (!out) return E_POINTER;
    setEmpty(out);
    AccessibleElement* element = nullptr;
    if (const HRESULT found = find(self, child, element); FAILED(found)) return found;
    setI4(out, (element->*field)());
    return S_OK;
}

// One of an element's texts, its name or its default action; S_FALSE where it has none.
HRESULT textOf(AccessibleElement* self, const VARIANT& child, const wchar_t* (AccessibleElement::*field)() const,
               BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    AccessibleElement* element = nullptr;
    if (const HRESULT found = find(self, child, element); FAILED(found)) return found;
    const wchar_t* text = (element->*field)();
    if (!text || !*text) return S_FALSE;
    const bool caption = field == &AccessibleElement::name && element->nameIsCaption();
    *out = caption ? captionText(text) : plainText(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// No element has a value, a description, help or an access key.
HRESULT noText(AccessibleElement* self, const VARIANT& child, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    AccessibleElement* element = nullptr;
    const HRESULT found = find(self, child, element);
    return FAILED(found) ? found : S_FALSE;
}

// The child of `self` whose window has the focus.
AccessibleElement* focusedChild(const AccessibleElement& self, HWND focused) {
    for (LONG id = 1; id <= self.childCount(); ++id) {
        AccessibleElement* part = self.child(id);
        if (part && part->window() == focused) return part;
    }
    return nullptr;
}

// Where a move by `direction` from `start` leads: `reached`, a child of `list`, or nowhere
// (S_FALSE). From the object of an element that is a child itself, the move is among its
// parent's children; that object can name no simple element of its parent, so from there only
// siblings with objects of their own are reached, as the system does for sibling windows.
HRESULT navigate(AccessibleElement& self, LONG direction, LONG start, AccessibleElement*& list,
                 AccessibleElement*& reached) {
    list = self.parent();
    LONG from = start;  // 0: the parent itself
    if (list) {
        if (start != CHILDID_SELF) return E_INVALIDARG;
        from = childIdOf(*list, self);
    } else {
        list = &self;
        if (from < 0 || from > list->childCount()) return E_INVALIDARG;
    }
    const LONG count = list->childCount();
    const bool fromParent = list == &self && from == 0;
    reached = nullptr;
    switch (direction) {
        case NAVDIR_FIRSTCHILD:
            if (fromParent && count > 0) reached = list->child(1);
            return reached ? S_OK : S_FALSE;
        case NAVDIR_LASTCHILD:
            if (fromParent && count > 0) reached = list->child(count);
            return reached ? S_OK : S_FALSE;
        case NAVDIR_NEXT:
        case NAVDIR_PREVIOUS: {
            if (fromParent) return S_FALSE;  // the window's siblings are the system's to tell
            const LONG step = direction == NAVDIR_NEXT ? 1 : -1;
            for (LONG id = from + step; id >= 1 && id <= count && !reached; id += step) {
                AccessibleElement* part = list->child(id);
                if (list == &self || part->slot()) reached = part;
            }
            return reached ? S_OK : S_FALSE;
        }
    }
    return DISP_E_MEMBERNOTFOUND;  // no moves by direction on the screen
}

// An element's own object, or a child as navigation, hit tests and the focus give it: its own
// object, or for a simple element its child id in `parent`.
HRESULT dispatchOf(AccessibleElement& element, IDispatch** out);
HRESULT childVariant(const AccessibleElement& parent, AccessibleElement& part, VARIANT* out);

}  // namespace

LONG windowState(HWND window) {
    LONG state = STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == window) state |= STATE_SYSTEM_FOCUSED;
    if (!IsWindowEnabled(window)) state |= STATE_SYSTEM_UNAVAILABLE;
    if (!IsWindowVisible(window)) state |= STATE_SYSTEM_INVISIBLE;
    return state;
}

// One object speaks for an element with a window of its own. Through IOleWindow it names that
// window, so a screen reader can match it with the window's focus and state events; without it
// the system would walk up to the parent's window and take a button for the form.
class AccessibleObject final : public IAccessible, public IOleWindow {
public:
    // The element's object, made on first use and kept in its slot.
    static AccessibleObject* of(AccessibleElement& element) {
        AccessibleSlot& slot = *element.slot();
        if (!slot.object_) slot.object_ = new AccessibleObject(element);
        return slot.object_;
    }

    void detach() { element_ = nullptr; }

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
        if (AccessibleElement* up = element_->parent()) return dispatchOf(*up, parent);
        // A client area lies in its window, whose object the system makes.
        return systemFunctions().createStdAccessibleObject(window(), OBJID_WINDOW, __uuidof(IDispatch),
                                                           reinterpret_cast<void**>(parent));
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        if (!window()) return CO_E_OBJNOTCONNECTED;
        *count = element_->childCount();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!window()) return CO_E_OBJNOTCONNECTED;
        AccessibleElement* part = isChildId(child) ? element_->child(child.lVal) : nullptr;
        if (!part) return E_INVALIDARG;
        if (!part->slot()) return S_FALSE;  // a simple element
        return dispatchOf(*part, out);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return textOf(element_, child, &AccessibleElement::name, name);
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return noText(element_, child, value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return noText(element_, child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return noText(element_, child, help); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return noText(element_, child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return numberOf(element_, child, &AccessibleElement::role, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return numberOf(element_, child, &AccessibleElement::state, state);
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        setEmpty(focus);
        if (!window()) return CO_E_OBJNOTCONNECTED;
        const HWND focused = GetFocus();
        if (!focused) return S_FALSE;
        if (focused == window()) {
            setI4(focus, CHILDID_SELF);
            return S_OK;
        }
        AccessibleElement* part = focusedChild(*element_, focused);
        return part ? childVariant(*element_, *part, focus) : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (selection) setEmpty(selection);
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return textOf(element_, child, &AccessibleElement::defaultAction, action);
    }

    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }

    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        AccessibleElement* element = nullptr;
        if (const HRESULT found = find(element_, child, element); FAILED(found)) return found;
        const RECT screen = element->location();
        *left = screen.left;
        *top = screen.top;
        *width = screen.right - screen.left;
        *height = screen.bottom - screen.top;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        setEmpty(end);
        if (!window()) return CO_E_OBJNOTCONNECTED;
        if (!isChildId(start)) return E_INVALIDARG;
        AccessibleElement* list = nullptr;
        AccessibleElement* reached = nullptr;
        const HRESULT moved = navigate(*element_, direction, start.lVal, list, reached);
        return moved == S_OK ? childVariant(*list, *reached, end) : moved;
    }

    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        setEmpty(hit);
        if (!window()) return CO_E_OBJNOTCONNECTED;
        const POINT at = {x, y};
        const RECT self = element_->location();
        if (!PtInRect(&self, at)) return S_FALSE;
        if (AccessibleElement* part = element_->childAt(at)) return childVariant(*element_, *part, hit);
        setI4(hit, CHILDID_SELF);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        AccessibleElement* element = nullptr;
        if (const HRESULT found = find(element_, child, element); FAILED(found)) return found;
        if (!element->defaultAction()) return DISP_E_MEMBERNOTFOUND;
        return element->press();
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
    explicit AccessibleObject(AccessibleElement& element) : element_(&element) {}
    ~AccessibleObject() = default;

    // The window the object speaks for; none once it has gone.
    HWND window() const { return element_ ? element_->window() : nullptr; }

    AccessibleElement* element_;
    LONG refs_ = 1;  // the slot's
};

namespace {

HRESULT dispatchOf(AccessibleElement& element, IDispatch** out) {
    if (!element.slot()) return E_FAIL;
    AccessibleObject* object = AccessibleObject::of(element);
    object->AddRef();
    *out = object;
    return S_OK;
}

HRESULT childVariant(const AccessibleElement& parent, AccessibleElement& part, VARIANT* out) {
    if (part.slot()) {
        IDispatch* object = nullptr;
        if (const HRESULT made = dispatchOf(part, &object); FAILED(made)) return made;
        out->vt = VT_DISPATCH;
        out->pdispVal = object;
        return S_OK;
    }
    setI4(out, childIdOf(parent, part));
    return S_OK;
}

}  // namespace

void AccessibleSlot::disconnect() {
    if (!object_) return;
    object_->detach();
    object_->Release();
    object_ = nullptr;
}

LRESULT answerGetObject(AccessibleElement& element, WPARAM wParam, LPARAM lParam) {
    const LONG id = static_cast<LONG>(static_cast<DWORD>(lParam));
    if (id != OBJID_CLIENT || !element.slot() || !systemFunctions().loaded())
        return DefWindowProcW(element.window(), WM_GETOBJECT, wParam, lParam);
    // The run time's allocations never come back empty: running out of memory is reported.
    AccessibleObject* object = AccessibleObject::of(element);
    return systemFunctions().lresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object));
}

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
