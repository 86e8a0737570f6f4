#pragma once
// The headless backend: renders nothing, records every message box and
// takes its input from a driver (an operator script in silent runs, test
// code in tests). It never waits: with no input left it throws RunStopped.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forms/Backend.h"

namespace t7 {

struct ShownMessageBox {
    MessageBoxRequest request;
    MsgResult answer = MsgResult::Ok;
    // True when no answer was given and the default button was taken.
    bool byDefault = false;
};

class HeadlessBackend : public IFormsBackend {
public:
    // Supplies input while the run waits: performs one action and returns
    // true, or returns false when it has none left. `modal` is the modal
    // form being waited on, or nullptr in the main loop.
    using Driver = std::function<bool(Form* modal)>;
    // Answers a box: the answer, or nullopt for the default button.
    using Answerer = std::function<std::optional<MsgResult>(const MessageBoxRequest&)>;

    void setDriver(Driver driver) { m_driver = std::move(driver); }
    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

    // Test conveniences. Queued answers are taken before the answerer.
    void queueAnswer(MsgResult answer) { m_answers.push_back(answer); }
    // Runs `action` the next time a form goes modal (before the driver).
    void whenModal(std::function<void(Form&)> action) { m_modalActions.push_back(std::move(action)); }

    const std::vector<ShownMessageBox>& messageBoxes() const { return m_boxes; }
    void clearMessageBoxes() { m_boxes.clear(); }

    std::unique_ptr<IFormView> createView(Form& form) override;
    void runModal(Form& form) override;
    void run() override;
    void quit() override { m_quit = true; }
    void processPendingMessages() override { ++m_pendingCalls; }
    MsgResult showMessageBox(const MessageBoxRequest& request) override;

    int processPendingCalls() const { return m_pendingCalls; }

private:
    Driver m_driver;
    Answerer m_answerer;
    std::deque<MsgResult> m_answers;
    std::deque<std::function<void(Form&)>> m_modalActions;
    std::vector<ShownMessageBox> m_boxes;
    bool m_quit = false;
    int m_pendingCalls = 0;
};

}  // namespace t7
