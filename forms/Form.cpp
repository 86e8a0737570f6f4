#include "forms/Form.h"

#include <algorithm>
#include <stdexcept>

#include "base/AppError.h"
#include "base/Text.h"
#include "forms/Backend.h"
#include "forms/FormsRuntime.h"

namespace t7 {

namespace {
constexpr int32_t kControlArrayElementExists = 360;

bool takesFocus(ControlKind kind) {
    switch (kind) {
        case ControlKind::TextBox:
        case ControlKind::ComboBox:
        case ControlKind::ListBox:
        case ControlKind::OptionButton:
        case ControlKind::CommandButton:
            return true;
        default:
            return false;
    }
}
}  // namespace

Form::Form(FormsRuntime& runtime, FormLayout layout) : m_runtime(runtime), m_layout(std::move(layout)) {}

Form::~Form() = default;

void Form::load() {
    if (m_loaded) return;
    m_retired.clear();
    m_controls.clear();
    for (const ControlDef& def : m_layout.controls) {
        m_controls.push_back(std::make_unique<Control>(*this, def, def.isArray ? 0 : -1));
    }
    m_caption = m_layout.caption;
    m_left = 0;
    m_top = 0;
    m_width = m_layout.clientWidth + kNonClientWidth;
    m_height = m_layout.clientHeight + kNonClientHeight;
    m_mousePointer = MousePointer::Default;
    m_visible = false;
    m_modal = false;
    m_loaded = true;
    m_runtime.formLoaded(*this);
    m_view = m_runtime.backend().createView(*this);
    Form_Load();
}

void Form::show() {
    load();
    if (!m_loaded) return;  // the load step closed the form
    m_visible = true;
    formChanged(FormProperty::Visible);
}

void Form::showModal() {
    load();
    if (!m_loaded) return;
    m_modal = true;
    m_visible = true;
    formChanged(FormProperty::Visible);
    m_runtime.backend().runModal(*this);
    m_modal = false;
}

void Form::hide() {
    if (!m_loaded || !m_visible) return;
    m_visible = false;
    formChanged(FormProperty::Visible);
}

void Form::unload() {
    if (!m_loaded) return;
    hide();
    m_view.reset();
    m_retired = std::move(m_controls);
    m_controls.clear();
    m_loaded = false;
    m_modal = false;
    m_runtime.formUnloaded(*this);
}

void Form::setCaption(const std::wstring& caption) {
    m_caption = caption;
    formChanged(FormProperty::Caption);
}

void Form::setLeft(int left) {
    m_left = left;
    formChanged(FormProperty::Position);
}

void Form::setTop(int top) {
    m_top = top;
    formChanged(FormProperty::Position);
}

void Form::setWidth(int width) {
    m_width = width;
    formChanged(FormProperty::Size);
}

void Form::setHeight(int height) {
    m_height = height;
    formChanged(FormProperty::Size);
}

void Form::setMousePointer(MousePointer pointer) {
    m_mousePointer = pointer;
    formChanged(FormProperty::MousePointer);
}

Control* Form::find(const std::wstring& name, int index) {
    for (auto& c : m_controls) {
        if (c->name() == name && c->index() == index) return c.get();
    }
    return nullptr;
}

bool Form::has(const std::wstring& name) const {
    return std::any_of(m_controls.begin(), m_controls.end(),
                       [&](const auto& c) { return c->name() == name; });
}

Control& Form::control(const std::wstring& name) {
    if (Control* c = find(name, -1)) return *c;
    if (!m_loaded) {
        throw std::out_of_range("form " + toUtf8(m_layout.name) + " is not loaded (control " + toUtf8(name) +
                                ")");
    }
    if (find(name, 0)) {
        throw std::out_of_range("control " + toUtf8(m_layout.name) + "." + toUtf8(name) +
                                " is an array: give an index");
    }
    throw std::out_of_range("unknown control " + toUtf8(m_layout.name) + "." + toUtf8(name));
}

const Control& Form::control(const std::wstring& name) const {
    return const_cast<Form*>(this)->control(name);
}

Control& Form::control(const std::wstring& name, int index) {
    if (Control* c = find(name, index)) return *c;
    throw std::out_of_range("unknown control " + toUtf8(m_layout.name) + "." + toUtf8(name) + "(" +
                            std::to_string(index) + ")");
}

Control& Form::loadControl(const std::wstring& name, int index) {
    Control& first = control(name, 0);
    if (find(name, index)) {
        throw AppError(kControlArrayElementExists, L"Control array element '" + name + L"(" +
                                                       std::to_wstring(index) + L")' already exists");
    }
    ControlDef def = first.def();
    def.text = first.text();
    def.visible = false;
    def.enabled = first.enabled();
    def.value = false;
    def.isDefault = false;
    def.isCancel = false;
    // Insert after the last element so that controls() keeps arrays together.
    auto pos = m_controls.begin();
    for (auto it = m_controls.begin(); it != m_controls.end(); ++it) {
        if ((*it)->name() == name) pos = it + 1;
    }
    auto inserted = m_controls.insert(pos, std::make_unique<Control>(*this, def, index));
    Control& element = **inserted;
    if (m_view) m_view->controlAdded(element);
    return element;
}

std::vector<Control*> Form::controlArray(const std::wstring& name) {
    std::vector<Control*> result;
    for (auto& c : m_controls) {
        if (c->name() == name && c->index() >= 0) result.push_back(c.get());
    }
    if (result.empty()) control(name, 0);  // raises with the reason
    std::sort(result.begin(), result.end(),
              [](const Control* a, const Control* b) { return a->index() < b->index(); });
    return result;
}

std::vector<Control*> Form::controls() {
    std::vector<Control*> result;
    for (auto& c : m_controls) result.push_back(c.get());
    return result;
}

std::vector<Control*> Form::tabOrder() {
    std::vector<Control*> result;
    for (auto& c : m_controls) {
        if (takesFocus(c->kind()) && c->tabIndex() >= 0 && c->shown() && c->usable()) {
            result.push_back(c.get());
        }
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const Control* a, const Control* b) { return a->tabIndex() < b->tabIndex(); });
    return result;
}

bool Form::clickShown(Control* button) {
    if (!button) return false;
    button->click();
    return true;
}

Control* Form::shownButton(bool ControlDef::*role) {
    for (auto& c : m_controls) {
        if (c->kind() == ControlKind::CommandButton && c->def().*role && c->shown() && c->usable()) {
            return c.get();
        }
    }
    return nullptr;
}

Control* Form::defaultButton() {
    return shownButton(&ControlDef::isDefault);
}

bool Form::pressEnter() {
    return clickShown(defaultButton());
}

Control* Form::cancelButton() {
    return shownButton(&ControlDef::isCancel);
}

bool Form::pressEscape() {
    return clickShown(cancelButton());
}

void Form::onClick(const std::wstring& control, Handler handler) {
    m_handlers[control].click = std::move(handler);
}

void Form::onClick(const std::wstring& control, IndexHandler handler) {
    m_handlers[control].clickIndex = std::move(handler);
}

void Form::onChange(const std::wstring& control, Handler handler) {
    m_handlers[control].change = std::move(handler);
}

void Form::onKeyPress(const std::wstring& control, KeyHandler handler) {
    m_handlers[control].keyPress = std::move(handler);
}

void Form::raiseClick(Control& control) {
    auto it = m_handlers.find(control.name());
    if (it == m_handlers.end()) return;
    // Copies: a handler may unload the form or register other handlers.
    if (control.index() >= 0 && it->second.clickIndex) {
        IndexHandler h = it->second.clickIndex;
        h(control.index());
    } else if (it->second.click) {
        Handler h = it->second.click;
        h();
    }
}

void Form::raiseChange(Control& control) {
    auto it = m_handlers.find(control.name());
    if (it == m_handlers.end() || !it->second.change) return;
    Handler h = it->second.change;
    h();
}

void Form::raiseKeyPress(Control& control, int& keyAscii) {
    auto it = m_handlers.find(control.name());
    if (it == m_handlers.end() || !it->second.keyPress) return;
    KeyHandler h = it->second.keyPress;
    h(keyAscii);
}

void Form::controlChanged(Control& control, ControlProperty what) {
    if (m_view) m_view->controlChanged(control, what);
}

void Form::formChanged(FormProperty what) {
    if (m_view) m_view->formChanged(what);
}

}  // namespace t7
