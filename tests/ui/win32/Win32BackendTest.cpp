// The native backend on a form of its own: typed keys through the page's
// filter, pasted text, option buttons, failures in handlers, and message
// boxes with their icons, buttons and default.
#include <gtest/gtest.h>

#include <stdexcept>

#include "Win32TestSupport.h"
#include "forms/FormsRuntime.h"
#include "ui/win32/Win32Backend.h"

namespace t7 {
namespace {

using win32::Win32Backend;

ControlDef def(const wchar_t* name, ControlKind kind, int top, const wchar_t* parent = L"") {
    ControlDef d;
    d.name = name;
    d.kind = kind;
    d.text = name;
    d.left = 240;
    d.top = top;
    d.width = 1800;
    d.height = 300;
    d.parent = parent;
    return d;
}

FormLayout sampleLayout() {
    FormLayout layout;
    layout.name = L"frmSample";
    layout.caption = L"示例窗体";
    layout.clientWidth = 6000;
    layout.clientHeight = 4200;
    auto& c = layout.controls;
    ControlDef digits = def(L"txtDigits", ControlKind::TextBox, 240);
    digits.text.clear();
    digits.tabIndex = 0;
    c.push_back(digits);
    c.push_back(def(L"frameA", ControlKind::Frame, 720));
    c.back().height = 1200;
    c.push_back(def(L"optA1", ControlKind::OptionButton, 240, L"frameA"));
    c.push_back(def(L"optA2", ControlKind::OptionButton, 600, L"frameA"));
    c.push_back(def(L"optOutside", ControlKind::OptionButton, 2160));
    c.push_back(def(L"cmdFail", ControlKind::CommandButton, 2640));
    return layout;
}

class SampleForm : public Form {
public:
    using Form::Form;
    std::vector<std::wstring> changes;

protected:
    void Form_Load() override {
        // Digits only; letters become upper case... of nothing: discarded,
        // except 'x', which stands for a zero.
        onKeyPress(L"txtDigits", [](int& key) {
            if (key == 'x') key = '0';
            if (key >= ' ' && (key < '0' || key > '9')) key = 0;
        });
        onChange(L"txtDigits", [this] { changes.push_back(control(L"txtDigits").text()); });
        onClick(L"cmdFail", [] { throw std::runtime_error("handler failed"); });
    }
};

class Win32BackendTest : public ::testing::Test {
protected:
    Win32BackendTest() : runtime(backend), form(runtime, sampleLayout()) { form.show(); }
    ~Win32BackendTest() override {
        if (form.isLoaded()) form.unload();
    }
    HWND hwnd(const wchar_t* name) { return Win32Backend::windowOf(form[name]); }

    Win32Backend backend;
    FormsRuntime runtime;
    SampleForm form;
};

TEST_F(Win32BackendTest, TypedKeysGoThroughThePagesFilter) {
    HWND edit = hwnd(L"txtDigits");
    for (wchar_t ch : std::wstring(L"1a2x")) SendMessageW(edit, WM_CHAR, ch, 0);
    EXPECT_EQ(form[L"txtDigits"].text(), L"120");
    EXPECT_EQ(test::textOf(edit), L"120");
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(test::textOf(edit), L"12");
    EXPECT_EQ(form.changes, (std::vector<std::wstring>{L"1", L"12", L"120", L"12"}));
}

TEST_F(Win32BackendTest, PastedTextReachesTheControl) {
    HWND edit = hwnd(L"txtDigits");
    SendMessageW(edit, WM_CHAR, '7', 0);
    SendMessageW(edit, EM_SETSEL, 1, 1);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"89"));
    EXPECT_EQ(form[L"txtDigits"].text(), L"789");
    ASSERT_FALSE(form.changes.empty());
    EXPECT_EQ(form.changes.back(), L"789");
}

TEST_F(Win32BackendTest, OptionButtonsFollowTheRuntimePerContainer) {
    test::press(hwnd(L"optA1"));
    test::press(hwnd(L"optOutside"));
    EXPECT_TRUE(form[L"optA1"].value());
    EXPECT_TRUE(form[L"optOutside"].value());
    test::press(hwnd(L"optA2"));
    EXPECT_FALSE(form[L"optA1"].value());
    EXPECT_EQ(SendMessageW(hwnd(L"optA1"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(hwnd(L"optA2"), BM_GETCHECK, 0, 0), BST_CHECKED);
    // Each container starts a group of its own for the arrow keys.
    EXPECT_TRUE(GetWindowLongPtrW(hwnd(L"optA1"), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(GetWindowLongPtrW(hwnd(L"optA2"), GWL_STYLE) & WS_GROUP);
}

TEST_F(Win32BackendTest, HiddenFrameHidesWhatItHolds) {
    form[L"frameA"].setVisible(false);
    EXPECT_FALSE(IsWindowVisible(hwnd(L"optA1")));
    form[L"frameA"].setEnabled(false);
    form[L"frameA"].setVisible(true);
    EXPECT_TRUE(IsWindowVisible(hwnd(L"optA1")));
    EXPECT_FALSE(IsWindowEnabled(hwnd(L"optA1")));
}

TEST_F(Win32BackendTest, FailureInAHandlerEndsTheLoopAndIsThrownThere) {
    PostMessageW(hwnd(L"cmdFail"), BM_CLICK, 0, 0);
    EXPECT_THROW(backend.run(), std::runtime_error);
}

struct BoxCase {
    const char* picture;
    MsgButtons buttons;
    MsgIcon icon;
    int defaultButton;
    LPSTR systemIcon;  // nullptr: none
};

class Win32MessageBoxTest : public Win32BackendTest, public ::testing::WithParamInterface<BoxCase> {};

HICON iconShown(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child))
            return reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    }
    return nullptr;
}

TEST_P(Win32MessageBoxTest, ShowsTextTitleIconAndButtons) {
    const BoxCase& c = GetParam();
    const std::wstring text = L"数据库连接失败。\n请检查服务器。";
    const bool yesNo = c.buttons == MsgButtons::YesNo;
    bool seen = false;
    test::whenMessageBox([&](HWND box) {
        seen = true;
        EXPECT_EQ(test::textOf(box), L"服务器设置");
        EXPECT_EQ(test::textOf(GetDlgItem(box, 0xFFFF)), text);
        EXPECT_EQ(GetDlgItem(box, IDYES) != nullptr, yesNo);
        EXPECT_EQ(GetDlgItem(box, IDNO) != nullptr, yesNo);
        EXPECT_EQ(GetDlgItem(box, IDOK) != nullptr, !yesNo);
        // The buttons speak the system's language: the tests run as a
        // Chinese Windows.
        if (yesNo) {
            EXPECT_EQ(test::textOf(GetDlgItem(box, IDYES)), L"是(&Y)");
            EXPECT_EQ(test::textOf(GetDlgItem(box, IDNO)), L"否(&N)");
        } else {
            EXPECT_EQ(test::textOf(GetDlgItem(box, IDOK)), L"确定");
        }
        const int expectedFocus = !yesNo ? IDOK : (c.defaultButton == 2 ? IDNO : IDYES);
        EXPECT_EQ(GetFocus(), GetDlgItem(box, expectedFocus));
        HICON icon = iconShown(box);
        if (c.systemIcon) {
            EXPECT_EQ(icon, LoadIconA(nullptr, c.systemIcon));
        } else {
            EXPECT_EQ(icon, nullptr);
        }
        EXPECT_TRUE(test::saveScreenshot(box, c.picture));
        test::press(GetDlgItem(box, yesNo ? IDNO : IDOK));
    });
    const MsgResult answer = runtime.msgBox(text, c.buttons, c.icon, L"服务器设置", c.defaultButton);
    EXPECT_TRUE(seen);
    EXPECT_EQ(answer, yesNo ? MsgResult::No : MsgResult::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Win32MessageBoxTest,
    ::testing::Values(BoxCase{"msgbox_ok", MsgButtons::Ok, MsgIcon::None, 1, nullptr},
                      BoxCase{"msgbox_critical", MsgButtons::Ok, MsgIcon::Critical, 1, IDI_HAND},
                      BoxCase{"msgbox_exclamation", MsgButtons::Ok, MsgIcon::Exclamation, 1, IDI_EXCLAMATION},
                      BoxCase{"msgbox_information", MsgButtons::Ok, MsgIcon::Information, 1, IDI_ASTERISK},
                      BoxCase{"msgbox_question_yes", MsgButtons::YesNo, MsgIcon::None, 1, nullptr},
                      BoxCase{"msgbox_question_no", MsgButtons::YesNo, MsgIcon::Exclamation, 2,
                              IDI_EXCLAMATION}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.picture); });

}  // namespace
}  // namespace t7
