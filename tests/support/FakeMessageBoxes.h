#pragma once
// A message box service for tests: records every request and answers from a
// script (first in, first out); with the script empty it answers the default
// button (OK, Yes, or No for a box whose default is its second button).
#include <deque>
#include <vector>

#include "forms/MessageBox.h"

namespace t7::test {

class FakeMessageBoxes : public IMessageBoxService {
public:
    MsgResult show(const MessageBoxRequest& request) override;

    // Answers for the next boxes, in order.
    void answer(MsgResult result) { m_answers.push_back(result); }

    const std::vector<MessageBoxRequest>& shown() const { return m_shown; }
    std::vector<std::wstring> texts() const;
    void clear() { m_shown.clear(); }

private:
    std::deque<MsgResult> m_answers;
    std::vector<MessageBoxRequest> m_shown;
};

}  // namespace t7::test
