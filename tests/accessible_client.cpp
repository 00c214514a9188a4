#include "accessible_client.h"

#include <utility>

namespace harness {
namespace {

VARIANT childIdVariant(LONG child) {
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    return id;
}

VARIANT dispatchVariant(IDispatch* object) {
    VARIANT answer;
    VariantInit(&answer);
    answer.vt = object ? VT_DISPATCH : VT_EMPTY;
    answer.pdispVal = object;
    return answer;
}

// A text property, read by `read` into the BSTR it is given.
template <class Read>
std::wstring text(IAccessible* object, Read read) {
    BSTR text = nullptr;
    const HRESULT result = object ? read(&text) : E_FAIL;
    std::wstring copy = result == S_OK && text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

// A number property, read by `read` into the VARIANT it is given; -1 for none.
template <class Read>
LONG number(IAccessible* object, Read read) {
    VARIANT answer;
    VariantInit(&answer);
    const HRESULT result = object ? read(&answer) : E_FAIL;
    const LONG value = result == S_OK && answer.vt == VT_I4 ? answer.lVal : -1;
    VariantClear(&answer);
    return value;
}

}  // namespace

Box boxOf(const RECT& rect) { return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}; }

AccessibleElement AccessibleElement::ofWindow(HWND window) {
    IAccessible* object = nullptr;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(&object));
    return {object, CHILDID_SELF};
}

AccessibleElement::AccessibleElement(IAccessible* object, LONG child) : object_(object), child_(child) {}

AccessibleElement::AccessibleElement(const AccessibleElement& other) : object_(other.object_), child_(other.child_) {
    if (object_) object_->AddRef();
}

AccessibleElement& AccessibleElement::operator=(AccessibleElement other) {
    std::swap(object_, other.object_);
    std::swap(child_, other.child_);
    return *this;
}

AccessibleElement::~AccessibleElement() {
    if (object_) object_->Release();
}

// A navigation, hit test or focus answer: an object of its own, or a child id within this one.
AccessibleElement AccessibleElement::fromAnswer(HRESULT result, VARIANT& answer) const {
    AccessibleElement element;
    if (result == S_OK && answer.vt == VT_DISPATCH && answer.pdispVal) {
        IAccessible* object = nullptr;
        answer.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&object));
        element = AccessibleElement(object, CHILDID_SELF);
    } else if (result == S_OK && answer.vt == VT_I4) {
        element = childId(answer.lVal);
    }
    VariantClear(&answer);
    return element;
}

LONG AccessibleElement::role() const {
    return number(object_, [&](VARIANT* role) { return object_->get_accRole(childIdVariant(child_), role); });
}

LONG AccessibleElement::state() const {
    return number(object_, [&](VARIANT* state) { return object_->get_accState(childIdVariant(child_), state); });
}

std::wstring AccessibleElement::name() const {
    return text(object_, [&](BSTR* name) { return object_->get_accName(childIdVariant(child_), name); });
}

std::wstring AccessibleElement::value() const {
    return text(object_, [&](BSTR* value) { return object_->get_accValue(childIdVariant(child_), value); });
}

std::wstring AccessibleElement::defaultAction() const {
    return text(object_, [&](BSTR* action) { return object_->get_accDefaultAction(childIdVariant(child_), action); });
}

Box AccessibleElement::location() const {
    LONG left = 0, top = 0, width = 0, height = 0;
    if (!object_ || object_->accLocation(&left, &top, &width, &height, childIdVariant(child_)) != S_OK)
        return {-1, -1, -1, -1};
    return {left, top, width, height};
}

HWND AccessibleElement::window() const {
    HWND window = nullptr;
    return object_ && WindowFromAccessibleObject(object_, &window) == S_OK ? window : nullptr;
}

LONG AccessibleElement::childCount() const {
    LONG count = -1;
    return object_ && object_->get_accChildCount(&count) == S_OK ? count : -1;
}

AccessibleElement AccessibleElement::child(LONG id) const {
    IDispatch* child = nullptr;
    const HRESULT result = object_ ? object_->get_accChild(childIdVariant(id), &child) : E_FAIL;
    if (result == S_FALSE) return childId(id);  // a simple element
    VARIANT answer = dispatchVariant(child);
    return fromAnswer(result, answer);
}

AccessibleElement AccessibleElement::childId(LONG id) const {
    if (!object_) return {};
    object_->AddRef();
    return {object_, id};
}

AccessibleElement AccessibleElement::parent() const {
    IDispatch* parent = nullptr;
    const HRESULT result = object_ ? object_->get_accParent(&parent) : E_FAIL;
    VARIANT answer = dispatchVariant(parent);
    return fromAnswer(result, answer);
}

AccessibleElement AccessibleElement::navigate(LONG direction) const {
    VARIANT answer;
    VariantInit(&answer);
    return fromAnswer(object_ ? object_->accNavigate(direction, childIdVariant(child_), &answer) : E_FAIL, answer);
}

AccessibleElement AccessibleElement::hitTest(POINT screen) const {
    VARIANT answer;
    VariantInit(&answer);
    return fromAnswer(object_ ? object_->accHitTest(screen.x, screen.y, &answer) : E_FAIL, answer);
}

AccessibleElement AccessibleElement::focus() const {
    VARIANT answer;
    VariantInit(&answer);
    return fromAnswer(object_ ? object_->get_accFocus(&answer) : E_FAIL, answer);
}

HRESULT AccessibleElement::doDefaultAction() const {
    return object_ ? object_->accDoDefaultAction(childIdVariant(child_)) : E_FAIL;
}

}  // namespace harness
