#include "forms/ScriptRecorder.h"

namespace t7 {

ScriptRecorder::ScriptRecorder(FormsRuntime& runtime, LineSink sink)
    : m_runtime(runtime), m_sink(std::move(sink)) {
    m_runtime.addObserver(this);
}

ScriptRecorder::~ScriptRecorder() {
    flush();
    m_runtime.removeObserver(this);
}

ScriptAction ScriptRecorder::actionFor(ActionKind kind, const Control& control) {
    ScriptAction action;
    action.kind = kind;
    action.form = control.form().name();
    action.control = control.name();
    action.index = control.index();
    return action;
}

void ScriptRecorder::write(const ScriptAction& action) {
    m_sink(formatAction(action));
}

void ScriptRecorder::flush() {
    if (m_pending) write(*m_pending);
    m_pending.reset();
    m_pendingControl = nullptr;
}

void ScriptRecorder::messageBoxShown(const MessageBoxRequest&, MsgResult answer) {
    flush();
    ScriptAction action;
    action.kind = ActionKind::Answer;
    action.answer = answer;
    write(action);
}

void ScriptRecorder::textSet(Control& control, const std::wstring& text) {
    flush();
    ScriptAction action = actionFor(ActionKind::Set, control);
    action.text = text;
    write(action);
}

void ScriptRecorder::keyTyped(Control& control, wchar_t ch) {
    if (m_pendingControl != &control) {
        flush();
        m_pending = actionFor(ActionKind::Type, control);
        m_pendingControl = &control;
    }
    if (ch == L'\b' || m_pending->kind == ActionKind::Set) {
        m_pending->kind = ActionKind::Set;
        m_pending->text = control.text();
    } else {
        m_pending->text += ch;
    }
}

void ScriptRecorder::clicked(Control& control) {
    flush();
    write(actionFor(ActionKind::Click, control));
}

void ScriptRecorder::itemSelected(Control& control, int index) {
    flush();
    ScriptAction action = actionFor(ActionKind::Select, control);
    // By text where the text names the item unambiguously; else by position.
    if (index >= 0 && index < control.listCount() &&
        control.findItem(control.list()[static_cast<size_t>(index)]) == index &&
        control.list()[static_cast<size_t>(index)].find_first_of(L"\r\n") == std::wstring::npos) {
        action.text = control.list()[static_cast<size_t>(index)];
    } else {
        action.itemIndex = index;
    }
    write(action);
}

}  // namespace t7
