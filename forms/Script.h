#pragma once
// Operator scripts (answers files): UTF-8 text, one action per line, "#"
// starts a comment.
//   set FORM.CONTROL=TEXT        replace the text, raising Change
//   type FORM.CONTROL=TEXT       type each character through KeyPress
//   click FORM.CONTROL
//   select FORM.CONTROL=ITEM     choose the list or combo item with that text
//   select FORM.CONTROL#INDEX    choose the item at INDEX (from 0)
//   answer OK|Yes|No             answer the next message box
// A control array element is written FORM.optIP(2). Keywords and answers
// take any letter case; form and control names must match a layout.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "forms/Layout.h"
#include "forms/MessageBox.h"

namespace t7 {

enum class ActionKind { Set, Type, Click, Select, Answer };

struct ScriptAction {
    ActionKind kind = ActionKind::Click;
    std::wstring form;
    std::wstring control;
    // Control array element; -1 for a single control.
    int index = -1;
    // set/type: the text; select: the item text (when itemIndex is unset).
    std::wstring text;
    std::optional<int> itemIndex;
    MsgResult answer = MsgResult::Ok;
    // The control is a password box: logs show its text masked.
    bool secret = false;
    // 1-based line in the answers file; 0 for actions not read from a file.
    int line = 0;
};

// A bad answers file: the message names the line.
class ScriptError : public std::runtime_error {
public:
    ScriptError(int line, const std::string& message);
    int line() const { return m_line; }

private:
    int m_line;
};

// Parses a whole answers file and checks every form and control name
// against `layouts`. Raises ScriptError at the first bad line (bad UTF-8,
// syntax, unknown action, form or control, an index on a control that is no
// array). A leading byte order mark is skipped.
std::vector<ScriptAction> parseScript(std::string_view utf8, const std::vector<const FormLayout*>& layouts);

// The line that parses back into `action` (without its line number).
std::wstring formatAction(const ScriptAction& action);

// formatAction for logs: the text entered into a password box shows as
// "********" (an empty text stays empty).
std::wstring formatActionForLog(const ScriptAction& action);

// "OK", "Yes", "No".
std::wstring answerName(MsgResult answer);

}  // namespace t7
