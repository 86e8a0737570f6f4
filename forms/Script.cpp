#include "forms/Script.h"

#include <cwctype>

#include "base/Text.h"

namespace t7 {

ScriptError::ScriptError(int line, const std::string& message)
    : std::runtime_error("answers file, line " + std::to_string(line) + ": " + message), m_line(line) {}

namespace {

std::wstring trim(std::wstring_view text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && std::iswspace(static_cast<wint_t>(text[b]))) ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(text[e - 1]))) --e;
    return std::wstring(text.substr(b, e - b));
}

bool isIdentifier(const std::wstring& name) {
    if (name.empty()) return false;
    for (wchar_t c : name) {
        if (!(std::iswalnum(static_cast<wint_t>(c)) || c == L'_')) return false;
    }
    return true;
}

// Reads "FORM.CONTROL" or "FORM.CONTROL(N)" and checks it against the
// layouts.
void parseTarget(const std::wstring& text, int line, const std::vector<const FormLayout*>& layouts,
                 ScriptAction& action, const ControlDef*& def) {
    const size_t dot = text.find(L'.');
    if (dot == std::wstring::npos) {
        throw ScriptError(line, "expected FORM.CONTROL, found '" + toUtf8(text) + "'");
    }
    action.form = text.substr(0, dot);
    std::wstring rest = text.substr(dot + 1);
    const size_t open = rest.find(L'(');
    if (open != std::wstring::npos) {
        if (rest.back() != L')' || open + 2 > rest.size() - 1) {
            throw ScriptError(line, "bad control array element '" + toUtf8(rest) + "'");
        }
        const std::wstring digits = rest.substr(open + 1, rest.size() - open - 2);
        for (wchar_t c : digits) {
            if (c < L'0' || c > L'9') {
                throw ScriptError(line, "bad control array index '" + toUtf8(digits) + "'");
            }
        }
        if (digits.size() > 6) throw ScriptError(line, "control array index too large");
        action.index = std::stoi(digits);
        rest = rest.substr(0, open);
    }
    action.control = rest;
    if (!isIdentifier(action.form) || !isIdentifier(action.control)) {
        throw ScriptError(line, "expected FORM.CONTROL, found '" + toUtf8(text) + "'");
    }
    const FormLayout* layout = nullptr;
    for (const FormLayout* l : layouts) {
        if (l->name == action.form) layout = l;
    }
    if (!layout) throw ScriptError(line, "unknown form '" + toUtf8(action.form) + "'");
    def = layout->find(action.control);
    if (!def) {
        throw ScriptError(line,
                          "unknown control '" + toUtf8(action.form) + "." + toUtf8(action.control) + "'");
    }
    if (def->isArray && action.index < 0) {
        throw ScriptError(line, "control '" + toUtf8(action.control) + "' is a control array: write " +
                                    toUtf8(action.control) + "(INDEX)");
    }
    if (!def->isArray && action.index >= 0) {
        throw ScriptError(line, "control '" + toUtf8(action.control) + "' is not a control array");
    }
    action.secret = def->passwordChar != 0;
}

void requireKind(const ControlDef& def, int line, std::initializer_list<ControlKind> kinds,
                 const char* what) {
    for (ControlKind k : kinds) {
        if (def.kind == k) return;
    }
    throw ScriptError(line, "cannot " + std::string(what) + " control '" + toUtf8(def.name) + "'");
}

ScriptAction parseLine(const std::wstring& body, int line, const std::vector<const FormLayout*>& layouts) {
    ScriptAction action;
    action.line = line;
    size_t space = 0;
    while (space < body.size() && !std::iswspace(static_cast<wint_t>(body[space]))) ++space;
    const std::wstring keyword = asciiLower(body.substr(0, space));
    // The text of set and type runs to the end of the line, blanks included.
    std::wstring rest = body.substr(space);
    while (!rest.empty() && std::iswspace(static_cast<wint_t>(rest.front()))) rest.erase(0, 1);
    const ControlDef* def = nullptr;

    if (keyword == L"answer") {
        action.kind = ActionKind::Answer;
        const std::wstring answer = asciiLower(trim(rest));
        if (answer == L"ok") {
            action.answer = MsgResult::Ok;
        } else if (answer == L"yes") {
            action.answer = MsgResult::Yes;
        } else if (answer == L"no") {
            action.answer = MsgResult::No;
        } else {
            throw ScriptError(line, "answer must be OK, Yes or No, found '" + toUtf8(trim(rest)) + "'");
        }
        return action;
    }
    if (keyword == L"click") {
        action.kind = ActionKind::Click;
        parseTarget(trim(rest), line, layouts, action, def);
        requireKind(*def, line, {ControlKind::CommandButton, ControlKind::OptionButton}, "click");
        return action;
    }
    if (keyword == L"set" || keyword == L"type") {
        action.kind = keyword == L"set" ? ActionKind::Set : ActionKind::Type;
        const size_t eq = rest.find(L'=');
        if (eq == std::wstring::npos) {
            throw ScriptError(line, toUtf8(keyword) + " needs FORM.CONTROL=TEXT");
        }
        parseTarget(trim(rest.substr(0, eq)), line, layouts, action, def);
        action.text = rest.substr(eq + 1);
        requireKind(*def, line, {ControlKind::TextBox, ControlKind::ComboBox}, "enter text into");
        return action;
    }
    if (keyword == L"select") {
        action.kind = ActionKind::Select;
        const size_t sep = rest.find_first_of(L"=#");
        if (sep == std::wstring::npos) {
            throw ScriptError(line, "select needs FORM.CONTROL=ITEM or FORM.CONTROL#INDEX");
        }
        parseTarget(trim(rest.substr(0, sep)), line, layouts, action, def);
        requireKind(*def, line, {ControlKind::ListBox, ControlKind::ComboBox}, "select in");
        if (rest[sep] == L'=') {
            action.text = rest.substr(sep + 1);
        } else {
            const std::wstring digits = trim(rest.substr(sep + 1));
            if (digits.empty() || digits.size() > 6 ||
                digits.find_first_not_of(L"0123456789") != std::wstring::npos) {
                throw ScriptError(line, "bad item index '" + toUtf8(digits) + "'");
            }
            action.itemIndex = std::stoi(digits);
        }
        return action;
    }
    throw ScriptError(line, "unknown action '" + toUtf8(body.substr(0, space)) +
                                "' (expected set, type, click, select or answer)");
}

}  // namespace

std::vector<ScriptAction> parseScript(std::string_view utf8, const std::vector<const FormLayout*>& layouts) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    std::vector<ScriptAction> actions;
    int line = 0;
    size_t pos = 0;
    while (pos <= utf8.size()) {
        size_t end = utf8.find('\n', pos);
        if (end == std::string_view::npos) end = utf8.size();
        std::string_view raw = utf8.substr(pos, end - pos);
        pos = end + 1;
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        const std::wstring text = fromUtf8(raw);
        if (toUtf8(text) != raw) throw ScriptError(line, "the line is not valid UTF-8");
        // "#" starts a comment only at the start of a line, so that texts
        // and "select FORM.CONTROL#INDEX" may contain it.
        std::wstring body = text;
        while (!body.empty() && std::iswspace(static_cast<wint_t>(body.front()))) body.erase(0, 1);
        if (trim(body).empty() || body.front() == L'#') continue;
        actions.push_back(parseLine(body, line, layouts));
    }
    return actions;
}

std::wstring formatActionForLog(const ScriptAction& action) {
    if (!action.secret || action.text.empty()) return formatAction(action);
    ScriptAction masked = action;
    masked.text = L"********";
    return formatAction(masked);
}

std::wstring answerName(MsgResult answer) {
    switch (answer) {
        case MsgResult::Ok:
            return L"OK";
        case MsgResult::Yes:
            return L"Yes";
        case MsgResult::No:
            return L"No";
    }
    return L"OK";
}

std::wstring formatAction(const ScriptAction& action) {
    std::wstring target = action.form + L"." + action.control;
    if (action.index >= 0) target += L"(" + std::to_wstring(action.index) + L")";
    switch (action.kind) {
        case ActionKind::Set:
            return L"set " + target + L"=" + action.text;
        case ActionKind::Type:
            return L"type " + target + L"=" + action.text;
        case ActionKind::Click:
            return L"click " + target;
        case ActionKind::Select:
            if (action.itemIndex) return L"select " + target + L"#" + std::to_wstring(*action.itemIndex);
            return L"select " + target + L"=" + action.text;
        case ActionKind::Answer:
            return L"answer " + answerName(action.answer);
    }
    return {};
}

}  // namespace t7
