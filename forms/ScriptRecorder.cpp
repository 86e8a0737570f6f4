#include "forms/ScriptRecorder.h"

#include "base/Text.h"
#include "forms/Control.h"
#include "forms/Form.h"

namespace t7 {
namespace {

ScriptAction actionOn(ActionKind kind, const Control& control) {
    ScriptAction action;
    action.kind = kind;
    action.form = control.form().name();
    action.control = control.name();
    action.index = control.index();
    return action;
}

}  // namespace

ScriptRecorder::ScriptRecorder(std::ostream& out) : m_out(out) {}

void ScriptRecorder::write(const ScriptAction& action) {
    m_out << toUtf8(formatAction(action)) << '\n';
    m_out.flush();
    ++m_count;
}

void ScriptRecorder::finish() {
    if (!m_editing) return;
    Control& control = *m_editing;
    m_editing = nullptr;
    ScriptAction action = actionOn(m_editKind, control);
    // A `set` carries the text the box ended with; `type` the keys, which
    // KeyPress filters again on replay exactly as it did here.
    action.text = m_editKind == ActionKind::Set ? control.text() : m_typed;
    m_typed.clear();
    if (m_editKind == ActionKind::Type && action.text.empty()) return;
    write(action);
}

void ScriptRecorder::startEdit(Control& control, ActionKind kind) {
    if (m_editing != &control) {
        finish();
        m_editing = &control;
        m_editKind = kind;
    } else if (kind == ActionKind::Set) {
        m_editKind = ActionKind::Set;
    }
}

void ScriptRecorder::formUnloaded(Form&) {
    // The controls of an unloaded form still answer until it loads again,
    // but a box typed into must be written before anything that follows.
    finish();
}

void ScriptRecorder::messageBoxShown(const MessageBoxRequest&, MsgResult answer) {
    finish();
    ScriptAction action;
    action.kind = ActionKind::Answer;
    action.answer = answer;
    write(action);
}

void ScriptRecorder::textSet(Control& control, const std::wstring&) {
    startEdit(control, ActionKind::Set);
}

void ScriptRecorder::keyTyped(Control& control, wchar_t ch) {
    if (ch == 13) return;  // Enter presses the default button, recorded as its click
    if (ch >= 32) {
        startEdit(control, ActionKind::Type);
        m_typed.push_back(ch);
    } else if (ch == 8) {
        // No line can type a Backspace: the box's final text is written.
        startEdit(control, ActionKind::Set);
    }
    // Other control keys edit nothing by themselves; an edit they lead to
    // (a paste) arrives as textSet.
}

void ScriptRecorder::clicked(Control& control) {
    finish();
    write(actionOn(ActionKind::Click, control));
}

void ScriptRecorder::itemSelected(Control& control, int index) {
    finish();
    ScriptAction action = actionOn(ActionKind::Select, control);
    action.itemIndex = index;
    // By text where that names one item: it reads better and survives a
    // list in another order; by position where the text is ambiguous.
    if (index >= 0 && index < control.listCount()) {
        const std::wstring& item = control.list()[static_cast<size_t>(index)];
        int matches = 0;
        for (const std::wstring& entry : control.list()) matches += entry == item ? 1 : 0;
        if (matches == 1 && !item.empty()) {
            action.text = item;
            action.itemIndex.reset();
        }
    }
    write(action);
}

}  // namespace t7
