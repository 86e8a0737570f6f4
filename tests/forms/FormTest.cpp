#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "forms/Form.h"
#include "forms/FormsRuntime.h"
#include "forms/HeadlessBackend.h"

// Layout rows name only the columns they set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace t7 {
namespace {

using K = ControlKind;

FormLayout sampleLayout() {
    return FormLayout{
        .name = L"frmSample",
        .caption = L"Sample",
        .clientWidth = 4000,
        .clientHeight = 3000,
        .dialog = false,
        .font = {},
        .controls =
            {
                {.name = L"txtName", .kind = K::TextBox, .tabIndex = 2},
                {.name = L"lblName", .kind = K::Label, .text = L"Name"},
                {.name = L"cboList",
                 .kind = K::ComboBox,
                 .tabIndex = 1,
                 .comboStyle = ComboStyle::DropDownList},
                {.name = L"frameA", .kind = K::Frame},
                {.name = L"optA1",
                 .kind = K::OptionButton,
                 .parent = L"frameA",
                 .tabIndex = 3,
                 .value = true},
                {.name = L"optA2", .kind = K::OptionButton, .parent = L"frameA", .tabIndex = 4},
                {.name = L"optForm", .kind = K::OptionButton, .tabIndex = 5, .value = true},
                {.name = L"optArr",
                 .kind = K::OptionButton,
                 .text = L"arr",
                 .left = 10,
                 .top = 20,
                 .tabIndex = 6,
                 .isArray = true},
                {.name = L"cmdOk", .kind = K::CommandButton, .tabIndex = 0, .isDefault = true},
                {.name = L"cmdCancel", .kind = K::CommandButton, .isCancel = true},
            },
    };
}

class SampleForm : public Form {
public:
    explicit SampleForm(FormsRuntime& runtime) : Form(runtime, sampleLayout()) {}
    int loads = 0;

protected:
    void Form_Load() override { ++loads; }
};

class FormTest : public ::testing::Test {
protected:
    HeadlessBackend backend;
    FormsRuntime runtime{backend};
    SampleForm form{runtime};
    std::vector<std::wstring> events;

    void SetUp() override { form.load(); }
};

TEST_F(FormTest, UnknownControlNamesFailLoudlyWithTheirNames) {
    try {
        form.control(L"txtNmae");
        FAIL() << "no error for an unknown control";
    } catch (const std::out_of_range& e) {
        EXPECT_NE(std::string(e.what()).find("frmSample.txtNmae"), std::string::npos);
    }
    EXPECT_THROW(form.control(L"optArr"), std::out_of_range);  // an array needs its index
    EXPECT_THROW(form.control(L"optArr", 3), std::out_of_range);
}

TEST_F(FormTest, SettingATextRaisesChangeButACaptionDoesNot) {
    form.onChange(L"txtName", [&] { events.push_back(L"change:" + form[L"txtName"].text()); });
    form.onChange(L"lblName", [&] { events.push_back(L"label"); });
    form[L"txtName"].setText(L"abc");
    form[L"lblName"].setCaption(L"New");
    EXPECT_EQ(events, (std::vector<std::wstring>{L"change:abc"}));
    EXPECT_EQ(form[L"lblName"].caption(), L"New");
}

TEST_F(FormTest, TypingPassesEveryKeyThroughKeyPressWhichMayChangeOrDiscardIt) {
    form.onKeyPress(L"txtName", [&](int& key) {
        events.push_back(std::wstring(1, static_cast<wchar_t>(key)));
        if (key == L'x') key = 0;
        if (key == L'a') key = L'A';
    });
    int changes = 0;
    form.onChange(L"txtName", [&] { ++changes; });
    form[L"txtName"].typeText(L"abxc");
    EXPECT_EQ(form[L"txtName"].text(), L"Abc");
    EXPECT_EQ(events, (std::vector<std::wstring>{L"a", L"b", L"x", L"c"}));
    EXPECT_EQ(changes, 3);

    form[L"txtName"].type(L'\b');
    EXPECT_EQ(form[L"txtName"].text(), L"Ab");
    form[L"txtName"].setText(L"");
    EXPECT_TRUE(form[L"txtName"].type(L'\b'));  // Backspace on an empty box edits nothing
    EXPECT_EQ(form[L"txtName"].text(), L"");
    form[L"txtName"].type(L'\x16');  // a control code inserts nothing
    EXPECT_EQ(form[L"txtName"].text(), L"");
}

TEST_F(FormTest, EnterClicksTheDefaultButtonAndEscTheCancelButton) {
    form.onClick(L"cmdOk", [&] { events.push_back(L"ok"); });
    form.onClick(L"cmdCancel", [&] { events.push_back(L"cancel"); });
    form[L"txtName"].type(L'\r');
    EXPECT_TRUE(form.pressEscape());
    EXPECT_EQ(events, (std::vector<std::wstring>{L"ok", L"cancel"}));
    // A disabled or hidden button takes no key.
    form[L"cmdOk"].setEnabled(false);
    EXPECT_FALSE(form.pressEnter());
    form[L"cmdCancel"].setVisible(false);
    EXPECT_FALSE(form.pressEscape());
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(FormTest, OptionButtonsAreExclusiveWithinTheirContainerAndClickWhenSelected) {
    form.onClick(L"optA2", [&] { events.push_back(L"A2"); });
    form[L"optA2"].setValue(true);
    EXPECT_FALSE(form[L"optA1"].value());
    EXPECT_TRUE(form[L"optA2"].value());
    EXPECT_TRUE(form[L"optForm"].value());  // another container keeps its choice
    EXPECT_EQ(events, (std::vector<std::wstring>{L"A2"}));
}

TEST_F(FormTest, ChoosingAListItemSetsTheComboTextAndClicks) {
    Control& combo = form[L"cboList"];
    form.onClick(L"cboList", [&] { events.push_back(combo.text()); });
    combo.addItem(L"one");
    combo.addItem(L"two");
    combo.setListIndex(1);
    EXPECT_EQ(combo.text(), L"two");
    EXPECT_EQ(events, (std::vector<std::wstring>{L"two"}));
    combo.setText(L"one");  // a drop-down list takes only its items
    EXPECT_EQ(combo.listIndex(), 0);
    EXPECT_THROW(combo.setText(L"three"), AppError);
    try {
        combo.setListIndex(2);
        FAIL();
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 380);
    }
}

TEST_F(FormTest, ControlArrayElementsStartAsHiddenCopiesOfElementZero) {
    Control& second = form.loadControl(L"optArr", 1);
    EXPECT_EQ(second.caption(), L"arr");
    EXPECT_EQ(second.top(), 20);
    EXPECT_FALSE(second.visible());
    EXPECT_EQ(second.displayName(), L"optArr(1)");
    EXPECT_EQ(form.controlArray(L"optArr").size(), 2u);
    try {
        form.loadControl(L"optArr", 1);
        FAIL();
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 360);
    }
    form.onClick(L"optArr", Form::IndexHandler([&](int i) { events.push_back(std::to_wstring(i)); }));
    second.setVisible(true);
    second.click();
    EXPECT_EQ(events, (std::vector<std::wstring>{L"1"}));
}

TEST_F(FormTest, TabOrderSkipsHiddenFramesDisabledControlsAndLabels) {
    auto names = [&] {
        std::vector<std::wstring> result;
        for (Control* c : form.tabOrder()) result.push_back(c->displayName());
        return result;
    };
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"cmdOk", L"cboList", L"txtName", L"optA1", L"optA2",
                                                  L"optForm", L"optArr(0)"}));
    form[L"frameA"].setVisible(false);
    form[L"txtName"].setEnabled(false);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"cmdOk", L"cboList", L"optForm", L"optArr(0)"}));
}

TEST_F(FormTest, ClickingAHiddenOrDisabledControlIsAnError) {
    form[L"frameA"].setEnabled(false);
    EXPECT_THROW(form[L"optA2"].click(), AppError);
    form[L"frameA"].setEnabled(true);
    form[L"frameA"].setVisible(false);
    EXPECT_THROW(form[L"optA2"].click(), AppError);
}

TEST_F(FormTest, UnloadingFromTheFormsOwnHandlerKeepsMembersAndReloadsFresh) {
    form.onClick(L"cmdOk", [&] { form.unload(); });
    form[L"txtName"].setText(L"typed");
    form.show();
    form[L"cmdOk"].click();
    EXPECT_FALSE(form.isLoaded());
    EXPECT_THROW(form.control(L"txtName"), std::out_of_range);
    form.load();
    EXPECT_EQ(form.loads, 2);
    EXPECT_EQ(form[L"txtName"].text(), L"");
}

TEST(FormsRuntimeTest, TheRunEndsWhenTheLastFormHasClosed) {
    HeadlessBackend backend;
    FormsRuntime runtime(backend);
    SampleForm first(runtime);
    SampleForm second(runtime);
    first.show();
    second.show();
    first.unload();
    EXPECT_FALSE(runtime.ended());
    second.unload();
    EXPECT_TRUE(runtime.ended());
    EXPECT_TRUE(runtime.run());
}

TEST(FormsRuntimeTest, AModalFormSuspendsItsCallerUntilItCloses) {
    HeadlessBackend backend;
    FormsRuntime runtime(backend);
    SampleForm dialog(runtime);
    std::vector<std::wstring> order;
    backend.whenModal([&](Form& f) {
        order.push_back(L"modal " + f.name());
        f.unload();
    });
    dialog.showModal();
    order.push_back(L"caller resumes");
    EXPECT_EQ(order, (std::vector<std::wstring>{L"modal frmSample", L"caller resumes"}));

    // With no input at all the backend stops the run instead of waiting.
    EXPECT_THROW(dialog.showModal(), RunStopped);
}

TEST(FormsRuntimeTest, MessageBoxesAreRecordedWithTheirAnswerAndDefaultTitle) {
    HeadlessBackend backend;
    FormsRuntime runtime(backend);
    EXPECT_EQ(runtime.msgBox(L"sure?", MsgButtons::YesNo, MsgIcon::None, L"", 2), MsgResult::No);
    backend.queueAnswer(MsgResult::Yes);
    EXPECT_EQ(runtime.msgBox(L"again?", MsgButtons::YesNo, MsgIcon::Critical, L"取消"), MsgResult::Yes);
    ASSERT_EQ(backend.messageBoxes().size(), 2u);
    EXPECT_EQ(backend.messageBoxes()[0].request.shownTitle(), L"T7Setup");
    EXPECT_TRUE(backend.messageBoxes()[0].byDefault);
    EXPECT_EQ(backend.messageBoxes()[1].request.shownTitle(), L"取消");
    EXPECT_FALSE(backend.messageBoxes()[1].byDefault);
}

}  // namespace
}  // namespace t7
