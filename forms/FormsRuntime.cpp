#include "forms/FormsRuntime.h"

#include <algorithm>

namespace t7 {

FormsRuntime::FormsRuntime(IFormsBackend& backend) : m_backend(backend) {}

MsgResult FormsRuntime::show(const MessageBoxRequest& request) {
    const MsgResult answer = m_backend.showMessageBox(request);
    notify([&](IFormsObserver& o) { o.messageBoxShown(request, answer); });
    return answer;
}

MsgResult FormsRuntime::msgBox(const std::wstring& text, MsgButtons buttons, MsgIcon icon,
                               const std::wstring& title, int defaultButton) {
    MessageBoxRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = icon;
    if (!title.empty()) request.title = title;
    request.defaultButton = defaultButton;
    return show(request);
}

bool FormsRuntime::run() {
    if (!ended()) m_backend.run();
    return ended();
}

Form* FormsRuntime::findForm(const std::wstring& name) const {
    for (Form* f : m_loaded) {
        if (f->name() == name) return f;
    }
    return nullptr;
}

void FormsRuntime::addObserver(IFormsObserver* observer) {
    m_observers.push_back(observer);
}

void FormsRuntime::removeObserver(IFormsObserver* observer) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

void FormsRuntime::formLoaded(Form& form) {
    m_started = true;
    m_loaded.push_back(&form);
    notify([&](IFormsObserver& o) { o.formLoaded(form); });
}

void FormsRuntime::formUnloaded(Form& form) {
    m_loaded.erase(std::remove(m_loaded.begin(), m_loaded.end(), &form), m_loaded.end());
    notify([&](IFormsObserver& o) { o.formUnloaded(form); });
    // The process ends when its last form has closed.
    if (m_loaded.empty()) m_backend.quit();
}

}  // namespace t7
