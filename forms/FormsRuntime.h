#pragma once
// The forms runtime of one process: the backend in use, the loaded forms,
// the message box service and the rule that the run ends when the last
// form has unloaded. Everything runs on the one user-interface thread.
#include <functional>
#include <string>
#include <vector>

#include "forms/Backend.h"
#include "forms/MessageBox.h"

namespace t7 {

// Sees what happens in a run: for logs and for recording an operator's
// actions. All callbacks have empty defaults.
class IFormsObserver {
public:
    virtual ~IFormsObserver() = default;
    virtual void formLoaded(Form& form) {}
    virtual void formUnloaded(Form& form) {}
    virtual void messageBoxShown(const MessageBoxRequest& request, MsgResult answer) {}
    // User input through the Control entry points.
    virtual void textSet(Control& control, const std::wstring& text) {}
    virtual void keyTyped(Control& control, wchar_t ch) {}
    virtual void clicked(Control& control) {}
    virtual void itemSelected(Control& control, int index) {}
};

class FormsRuntime : public IMessageBoxService {
public:
    explicit FormsRuntime(IFormsBackend& backend);

    IFormsBackend& backend() { return m_backend; }

    // Message boxes: through the backend, seen by the observers.
    MsgResult show(const MessageBoxRequest& request) override;
    // Shorthand; an empty title shows the application title "T7Setup".
    MsgResult msgBox(const std::wstring& text, MsgButtons buttons = MsgButtons::Ok,
                     MsgIcon icon = MsgIcon::None, const std::wstring& title = {}, int defaultButton = 1);

    void processPendingMessages() { m_backend.processPendingMessages(); }

    // Runs the event loop until the last form has unloaded (returns true)
    // or no more input can come (returns false; forms are still loaded).
    // RunStopped from the backend passes through.
    bool run();
    // True once a form has loaded and every loaded form has unloaded since.
    bool ended() const { return m_started && m_loaded.empty(); }
    const std::vector<Form*>& loadedForms() const { return m_loaded; }
    // The loaded form named `name`, or nullptr.
    Form* findForm(const std::wstring& name) const;

    void addObserver(IFormsObserver* observer);
    void removeObserver(IFormsObserver* observer);

    // Called by Form and Control.
    void formLoaded(Form& form);
    void formUnloaded(Form& form);
    template <class F>
    void notify(F&& f) {
        for (IFormsObserver* o : std::vector<IFormsObserver*>(m_observers)) f(*o);
    }

private:
    IFormsBackend& m_backend;
    std::vector<Form*> m_loaded;
    std::vector<IFormsObserver*> m_observers;
    bool m_started = false;
};

}  // namespace t7
