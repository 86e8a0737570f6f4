#include "forms/HeadlessBackend.h"

namespace t7 {

namespace {

// Renders nothing: the runtime holds all state.
class HeadlessView : public IFormView {
public:
    void controlAdded(Control&) override {}
    void controlChanged(Control&, ControlProperty) override {}
    void formChanged(FormProperty) override {}
};

MsgResult defaultAnswer(const MessageBoxRequest& request) {
    if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
    return request.defaultButton == 2 ? MsgResult::No : MsgResult::Yes;
}

}  // namespace

std::unique_ptr<IFormView> HeadlessBackend::createView(Form&) {
    return std::make_unique<HeadlessView>();
}

void HeadlessBackend::runModal(Form& form) {
    while (form.isLoaded() && form.isVisible()) {
        if (!m_modalActions.empty()) {
            auto action = std::move(m_modalActions.front());
            m_modalActions.pop_front();
            action(form);
            continue;
        }
        if (m_driver && m_driver(&form)) continue;
        throw RunStopped{L"no action left while " + form.name() + L" waits"};
    }
}

void HeadlessBackend::run() {
    m_quit = false;
    while (!m_quit) {
        if (!m_driver || !m_driver(nullptr)) return;
    }
}

MsgResult HeadlessBackend::showMessageBox(const MessageBoxRequest& request) {
    ShownMessageBox shown;
    shown.request = request;
    std::optional<MsgResult> answer;
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    } else if (m_answerer) {
        answer = m_answerer(request);
    }
    shown.byDefault = !answer;
    shown.answer = answer ? *answer : defaultAnswer(request);
    m_boxes.push_back(shown);
    return shown.answer;
}

}  // namespace t7
