#pragma once
// Message boxes: one service keyed by text, buttons, icon and title, so that
// the GUI shows them and a headless run answers and records them.
#include <optional>
#include <string>

namespace t7 {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Critical, Exclamation, Information };
enum class MsgResult { Ok, Yes, No };

// The title every box without one of its own shows.
inline constexpr const wchar_t* kApplicationTitle = L"T7Setup";

struct MessageBoxRequest {
    std::wstring text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    // Empty: the application title.
    std::optional<std::wstring> title;
    // 1 for the first button, 2 for the second (No of Yes/No).
    int defaultButton = 1;

    std::wstring shownTitle() const { return title ? *title : std::wstring(kApplicationTitle); }
};

class IMessageBoxService {
public:
    virtual ~IMessageBoxService() = default;
    // Shows the box modally and returns the button pressed.
    virtual MsgResult show(const MessageBoxRequest& request) = 0;
};

}  // namespace t7
