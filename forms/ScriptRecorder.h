#pragma once
// Records an operator's session as an answers file: an observer of the
// forms runtime that turns the operator's input (clicks, choices, typing,
// edits) and the answers to message boxes into script lines, so that a
// silent run of the file repeats the session. It sees only the runtime, so
// it serves any backend.
//
// Typing is gathered per text box: keys typed at the end of the text become
// one `type` line (replayed through KeyPress as they were typed); once the
// operator has edited the box in any other way (Backspace, paste, cut) the
// box's final text is written as one `set` line instead. Only the operator's
// input is recorded, never what page code does to its controls.
//
// Lines are written to `out` (UTF-8, one per line) as soon as they are final,
// so that a session that ends abruptly still leaves its actions behind.
// A recorded file holds what the operator typed, passwords included.
#include <ostream>
#include <string>

#include "forms/FormsRuntime.h"
#include "forms/Script.h"

namespace t7 {

class ScriptRecorder : public IFormsObserver {
public:
    explicit ScriptRecorder(std::ostream& out);

    // Writes the pending typing, if any. Call when the run has ended.
    void finish();
    // Number of action lines written so far.
    int actionCount() const { return m_count; }

    void formUnloaded(Form& form) override;
    void messageBoxShown(const MessageBoxRequest& request, MsgResult answer) override;
    void textSet(Control& control, const std::wstring& text) override;
    void keyTyped(Control& control, wchar_t ch) override;
    void clicked(Control& control) override;
    void itemSelected(Control& control, int index) override;

private:
    void write(const ScriptAction& action);
    void startEdit(Control& control, ActionKind kind);

    std::ostream& m_out;
    int m_count = 0;
    // The text box being typed into, and how its typing will be written.
    Control* m_editing = nullptr;
    ActionKind m_editKind = ActionKind::Type;
    std::wstring m_typed;
};

}  // namespace t7
