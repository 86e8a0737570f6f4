#include "forms/Control.h"

#include "base/AppError.h"
#include "forms/Form.h"
#include "forms/FormsRuntime.h"

namespace t7 {

namespace {
constexpr int32_t kInvalidPropertyValue = 380;
}

Control::Control(Form& form, ControlDef def, int index)
    : m_form(form),
      m_def(std::move(def)),
      m_index(index),
      m_text(m_def.text),
      m_visible(m_def.visible),
      m_enabled(m_def.enabled),
      m_tabIndex(m_def.tabIndex),
      m_value(m_def.value) {}

std::wstring Control::displayName() const {
    if (m_index < 0) return m_def.name;
    return m_def.name + L"(" + std::to_wstring(m_index) + L")";
}

Control* Control::parent() const {
    if (m_def.parent.empty()) return nullptr;
    return &m_form.control(m_def.parent);
}

void Control::notify(ControlProperty what) {
    m_form.controlChanged(*this, what);
}

void Control::raiseChangeIfEditable() {
    const bool editable =
        m_def.kind == ControlKind::TextBox ||
        (m_def.kind == ControlKind::ComboBox && m_def.comboStyle == ComboStyle::DropDownCombo);
    if (editable) m_form.raiseChange(*this);
}

void Control::setText(const std::wstring& text) {
    if (m_def.kind == ControlKind::ComboBox && m_def.comboStyle == ComboStyle::DropDownList) {
        // A drop-down list shows only its items: setting the text selects
        // the matching item, as the classic control does.
        const int found = findItem(text);
        if (found < 0) {
            throw AppError(kInvalidPropertyValue,
                           L"'" + text + L"' is no item of " + m_form.name() + L"." + displayName());
        }
        setListIndex(found);
        return;
    }
    m_text = text;
    notify(ControlProperty::Text);
    raiseChangeIfEditable();
}

void Control::setLeft(int left) {
    move(left, m_def.top);
}
void Control::setTop(int top) {
    move(m_def.left, top);
}

void Control::move(int left, int top) {
    m_def.left = left;
    m_def.top = top;
    notify(ControlProperty::Geometry);
}

void Control::setSize(int width, int height) {
    m_def.width = width;
    m_def.height = height;
    notify(ControlProperty::Geometry);
}

void Control::setVisible(bool visible) {
    m_visible = visible;
    notify(ControlProperty::Visible);
}

bool Control::shown() const {
    for (const Control* c = this; c; c = c->parent()) {
        if (!c->m_visible) return false;
    }
    return true;
}

void Control::setEnabled(bool enabled) {
    m_enabled = enabled;
    notify(ControlProperty::Enabled);
}

bool Control::usable() const {
    for (const Control* c = this; c; c = c->parent()) {
        if (!c->m_enabled) return false;
    }
    return true;
}

void Control::setTabIndex(int tabIndex) {
    m_tabIndex = tabIndex;
    notify(ControlProperty::TabIndex);
}

const Font& Control::font() const {
    return m_def.font ? *m_def.font : m_form.layout().font;
}

void Control::setFont(const Font& font) {
    m_def.font = font;
    notify(ControlProperty::Font);
}

void Control::setAlignment(TextAlign alignment) {
    m_def.alignment = alignment;
    notify(ControlProperty::Alignment);
}

void Control::addItem(const std::wstring& item) {
    m_list.push_back(item);
    notify(ControlProperty::List);
}

void Control::clear() {
    m_list.clear();
    m_listIndex = -1;
    if (m_def.kind == ControlKind::ComboBox || m_def.kind == ControlKind::ListBox) m_text.clear();
    notify(ControlProperty::List);
    notify(ControlProperty::ListIndex);
}

void Control::setListIndex(int index) {
    if (index < -1 || index >= listCount()) {
        throw AppError(kInvalidPropertyValue, L"Invalid list index " + std::to_wstring(index) + L" for " +
                                                  m_form.name() + L"." + displayName());
    }
    m_listIndex = index;
    // A list's text is its selected item; a combo box shows it as its text.
    if (m_def.kind == ControlKind::ComboBox || m_def.kind == ControlKind::ListBox) {
        m_text = index >= 0 ? m_list[static_cast<size_t>(index)] : std::wstring();
        notify(ControlProperty::Text);
    }
    notify(ControlProperty::ListIndex);
    if (index >= 0) m_form.raiseClick(*this);
}

int Control::findItem(const std::wstring& item) const {
    for (size_t i = 0; i < m_list.size(); ++i) {
        if (m_list[i] == item) return static_cast<int>(i);
    }
    return -1;
}

void Control::setValue(bool value) {
    if (m_def.kind != ControlKind::OptionButton) {
        m_value = value;
        notify(ControlProperty::Value);
        return;
    }
    if (value) {
        for (Control* other : m_form.controls()) {
            if (other != this && other->kind() == ControlKind::OptionButton &&
                other->parentName() == parentName() && other->m_value) {
                other->m_value = false;
                other->notify(ControlProperty::Value);
            }
        }
    }
    m_value = value;
    notify(ControlProperty::Value);
    if (value) m_form.raiseClick(*this);
}

bool Control::type(wchar_t ch) {
    int key = static_cast<int>(ch);
    m_form.raiseKeyPress(*this, key);
    if (key == 0) return false;
    if (key == kKeyEnter) {
        // Enter in a single-line box presses the default button instead.
        m_form.pressEnter();
        return true;
    }
    if (key < 32 && key != kKeyBackspace) return true;  // other control codes edit nothing
    if (key == kKeyBackspace) {
        if (!m_text.empty()) m_text.pop_back();
    } else {
        m_text.push_back(static_cast<wchar_t>(key));
    }
    // Observers see the operator's key, once it has edited the text.
    m_form.runtime().notify([&](IFormsObserver& o) { o.keyTyped(*this, ch); });
    notify(ControlProperty::Text);
    raiseChangeIfEditable();
    return true;
}

void Control::typeText(const std::wstring& text) {
    for (wchar_t ch : text) type(ch);
}

void Control::click() {
    if (!shown() || !usable()) {
        throw AppError(errnum::InvalidProcedureCall, L"Cannot click " + m_form.name() + L"." + displayName() +
                                                         L": it is hidden or disabled");
    }
    m_form.runtime().notify([&](IFormsObserver& o) { o.clicked(*this); });
    if (m_def.kind == ControlKind::OptionButton) {
        setValue(true);
    } else {
        m_form.raiseClick(*this);
    }
}

void Control::select(int index) {
    m_form.runtime().notify([&](IFormsObserver& o) { o.itemSelected(*this, index); });
    setListIndex(index);
}

void Control::userEditedText(const std::wstring& text) {
    m_text = text;
    m_form.runtime().notify([&](IFormsObserver& o) { o.textSet(*this, text); });
    raiseChangeIfEditable();
}

}  // namespace t7
