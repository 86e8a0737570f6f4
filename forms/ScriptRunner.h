#pragma once
// Plays an operator script on the headless backend: each time the run waits
// for input (the main loop, or a modal form) the next action is carried out;
// each message box takes the next action when it is an answer, else its
// default button. Everything is written to the log: every action, every
// box, and why the run stopped.
#include <functional>
#include <string>
#include <vector>

#include "forms/FormsRuntime.h"
#include "forms/HeadlessBackend.h"
#include "forms/Script.h"

namespace t7 {

class ScriptRunner : public IFormsObserver {
public:
    using LogSink = std::function<void(const std::wstring& line)>;

    // Installs itself as the backend's driver and answerer and observes the
    // runtime; it must outlive the run.
    ScriptRunner(FormsRuntime& runtime, HeadlessBackend& backend, std::vector<ScriptAction> actions,
                 LogSink log);
    ~ScriptRunner() override;
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Actions not yet carried out.
    size_t remaining() const { return m_actions.size() - m_next; }
    // Set when an action could not be carried out (its form is not open,
    // its control hidden or disabled, no such item, an answer that does not
    // fit the box); the run then stops with RunStopped.
    bool actionFailed() const { return m_actionFailed; }

    void formLoaded(Form& form) override;
    void formUnloaded(Form& form) override;
    void messageBoxShown(const MessageBoxRequest& request, MsgResult answer) override;

private:
    bool step(Form* modal);
    std::optional<MsgResult> answer(const MessageBoxRequest& request);
    [[noreturn]] void fail(const ScriptAction& action, const std::wstring& why);
    void perform(const ScriptAction& action);

    FormsRuntime& m_runtime;
    HeadlessBackend& m_backend;
    std::vector<ScriptAction> m_actions;
    size_t m_next = 0;
    LogSink m_log;
    bool m_actionFailed = false;
    bool m_lastAnswerByDefault = false;
};

// One line describing a message box, for logs: title, icon, buttons, text.
std::wstring describeMessageBox(const MessageBoxRequest& request);

}  // namespace t7
