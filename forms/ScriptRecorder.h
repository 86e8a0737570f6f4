#pragma once
// Records an operator's session as an answers file: every text entered,
// key typed, click, list choice and message box answer, in order, as the
// lines that parseScript reads back. Replaying the file silently repeats
// the session.
//
// Consecutive keys typed into one box become one "type" line; a Backspace
// turns it into a "set" line with the box's resulting text, because an
// answers file has no way to write the key itself.
#include <functional>
#include <optional>
#include <string>

#include "forms/FormsRuntime.h"
#include "forms/Script.h"

namespace t7 {

class ScriptRecorder : public IFormsObserver {
public:
    using LineSink = std::function<void(const std::wstring& line)>;

    // Observes `runtime` until destroyed.
    ScriptRecorder(FormsRuntime& runtime, LineSink sink);
    ~ScriptRecorder() override;
    ScriptRecorder(const ScriptRecorder&) = delete;
    ScriptRecorder& operator=(const ScriptRecorder&) = delete;

    // Writes a pending "type" line.
    void flush();

    void messageBoxShown(const MessageBoxRequest& request, MsgResult answer) override;
    void textSet(Control& control, const std::wstring& text) override;
    void keyTyped(Control& control, wchar_t ch) override;
    void clicked(Control& control) override;
    void itemSelected(Control& control, int index) override;
    void formUnloaded(Form& form) override { flush(); }

private:
    static ScriptAction actionFor(ActionKind kind, const Control& control);
    void write(const ScriptAction& action);

    FormsRuntime& m_runtime;
    LineSink m_sink;
    std::optional<ScriptAction> m_pending;
    const Control* m_pendingControl = nullptr;
};

}  // namespace t7
