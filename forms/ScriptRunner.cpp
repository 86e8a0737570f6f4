#include "forms/ScriptRunner.h"

#include "base/AppError.h"
#include "base/Text.h"

namespace t7 {

namespace {

std::wstring iconName(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::None:
            return L"none";
        case MsgIcon::Critical:
            return L"critical";
        case MsgIcon::Exclamation:
            return L"exclamation";
        case MsgIcon::Information:
            return L"information";
    }
    return L"none";
}

// Box texts may hold line breaks; a log line must not.
std::wstring escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\\') {
            out += L"\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

bool fits(const MessageBoxRequest& request, MsgResult answer) {
    if (request.buttons == MsgButtons::Ok) return answer == MsgResult::Ok;
    return answer == MsgResult::Yes || answer == MsgResult::No;
}

}  // namespace

std::wstring describeMessageBox(const MessageBoxRequest& request) {
    return L"title=\"" + escaped(request.shownTitle()) + L"\" icon=" + iconName(request.icon) + L" buttons=" +
           (request.buttons == MsgButtons::Ok ? L"OK" : L"YesNo") +
           (request.buttons == MsgButtons::YesNo && request.defaultButton == 2 ? L"(default No)" : L"") +
           L" text=\"" + escaped(request.text) + L"\"";
}

ScriptRunner::ScriptRunner(FormsRuntime& runtime, HeadlessBackend& backend, std::vector<ScriptAction> actions,
                           LogSink log)
    : m_runtime(runtime), m_backend(backend), m_actions(std::move(actions)), m_log(std::move(log)) {
    m_backend.setDriver([this](Form* modal) { return step(modal); });
    m_backend.setAnswerer([this](const MessageBoxRequest& r) { return answer(r); });
    m_runtime.addObserver(this);
}

ScriptRunner::~ScriptRunner() {
    m_runtime.removeObserver(this);
    m_backend.setDriver(nullptr);
    m_backend.setAnswerer(nullptr);
}

void ScriptRunner::formLoaded(Form& form) {
    m_log(L"form " + form.name() + L" loaded");
}

void ScriptRunner::formUnloaded(Form& form) {
    m_log(L"form " + form.name() + L" closed");
}

void ScriptRunner::messageBoxShown(const MessageBoxRequest& request, MsgResult answer) {
    m_log(L"message box " + describeMessageBox(request) + L" answer=" + answerName(answer) +
          (m_lastAnswerByDefault ? L" (default button: no answer line)" : L""));
}

std::optional<MsgResult> ScriptRunner::answer(const MessageBoxRequest& request) {
    m_lastAnswerByDefault = true;
    if (m_next >= m_actions.size() || m_actions[m_next].kind != ActionKind::Answer) {
        return std::nullopt;
    }
    const ScriptAction& action = m_actions[m_next++];
    m_log(L"line " + std::to_wstring(action.line) + L": " + formatActionForLog(action));
    if (!fits(request, action.answer)) {
        fail(action, L"the box shows " +
                         std::wstring(request.buttons == MsgButtons::Ok ? L"OK" : L"Yes and No") +
                         L" only: " + describeMessageBox(request));
    }
    m_lastAnswerByDefault = false;
    return action.answer;
}

bool ScriptRunner::step(Form* modal) {
    if (m_next >= m_actions.size()) {
        m_log(modal ? L"no actions left while " + modal->name() + L" waits" : L"no actions left");
        return false;
    }
    const ScriptAction& action = m_actions[m_next++];
    m_log(L"line " + std::to_wstring(action.line) + L": " + formatActionForLog(action));
    perform(action);
    return true;
}

void ScriptRunner::fail(const ScriptAction& action, const std::wstring& why) {
    m_actionFailed = true;
    const std::wstring reason = L"line " + std::to_wstring(action.line) + L": " + why;
    m_log(reason);
    throw RunStopped{reason};
}

void ScriptRunner::perform(const ScriptAction& action) {
    if (action.kind == ActionKind::Answer) fail(action, L"no message box is shown");
    Form* form = m_runtime.findForm(action.form);
    if (!form || !form->isVisible()) fail(action, L"form " + action.form + L" is not shown");
    for (Form* other : m_runtime.loadedForms()) {
        if (other != form && other->isModal() && other->isVisible()) {
            fail(action,
                 L"form " + other->name() + L" is modal; " + action.form + L" takes no input meanwhile");
        }
    }
    Control* control = nullptr;
    try {
        control =
            action.index >= 0 ? &form->control(action.control, action.index) : &form->control(action.control);
    } catch (const std::out_of_range& e) {
        fail(action, fromUtf8(e.what()));
    }
    if (!control->shown() || !control->usable()) {
        fail(action, L"control " + control->displayName() + L" is hidden or disabled");
    }
    switch (action.kind) {
        case ActionKind::Set:
            control->setText(action.text);
            break;
        case ActionKind::Type:
            control->typeText(action.text);
            break;
        case ActionKind::Click:
            control->click();
            break;
        case ActionKind::Select: {
            const int index = action.itemIndex ? *action.itemIndex : control->findItem(action.text);
            if (index < 0 || index >= control->listCount()) {
                fail(action, L"no such item in " + control->displayName());
            }
            control->select(index);
            break;
        }
        case ActionKind::Answer:
            break;
    }
}

}  // namespace t7
