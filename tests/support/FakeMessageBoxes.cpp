#include "support/FakeMessageBoxes.h"

namespace t7::test {

MsgResult FakeMessageBoxes::show(const MessageBoxRequest& request) {
    m_shown.push_back(request);
    if (!m_answers.empty()) {
        MsgResult result = m_answers.front();
        m_answers.pop_front();
        return result;
    }
    if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
    return request.defaultButton == 2 ? MsgResult::No : MsgResult::Yes;
}

std::vector<std::wstring> FakeMessageBoxes::texts() const {
    std::vector<std::wstring> result;
    for (const auto& r : m_shown) result.push_back(r.text);
    return result;
}

}  // namespace t7::test
