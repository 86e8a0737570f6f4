// The Qt backend on a form of its own: rendering, operator input, modal
// loops, message boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <stdexcept>

#include "QtTestSupport.h"
#include "forms/FormsRuntime.h"
#include "ui/qt/QtBackend.h"

namespace t7 {
namespace {

ControlDef def(const wchar_t* name, ControlKind kind, const wchar_t* text, int left, int top, int width,
               int height, const wchar_t* parent = L"") {
    ControlDef s;
    s.name = name;
    s.kind = kind;
    s.text = text;
    s.left = left;
    s.top = top;
    s.width = width;
    s.height = height;
    s.parent = parent;
    return s;
}

FormLayout sampleLayout(bool dialog) {
    FormLayout layout;
    layout.name = dialog ? L"frmSampleDialog" : L"frmSample";
    layout.caption = L"示例窗体";
    layout.clientWidth = 6000;
    layout.clientHeight = 4200;
    layout.dialog = dialog;
    auto& c = layout.controls;
    ControlDef head = def(L"frameHead", ControlKind::Frame, L"看不见的标题", -120, -480, 6240, 1335);
    head.backColor = 0xFFFFFF;
    c.push_back(head);
    ControlDef title = def(L"lblTitle", ControlKind::Label, L"IIS 配置", 360, 600, 810, 180, L"frameHead");
    title.font = Font{L"宋体", 9, true};
    c.push_back(title);
    c.push_back(def(L"Line1", ControlKind::Line, L"", 10, 840, 5980, 0));
    c.push_back(def(L"frameStep", ControlKind::Frame, L"步骤", 240, 960, 3600, 1800));
    ControlDef first =
        def(L"optFirst", ControlKind::OptionButton, L"安装新的数据库", 240, 360, 2000, 255, L"frameStep");
    first.value = true;
    first.tabIndex = 0;
    c.push_back(first);
    ControlDef second = def(L"optSecond", ControlKind::OptionButton, L"使用已安装过的数据库", 240, 720, 2200,
                            255, L"frameStep");
    second.tabIndex = 1;
    c.push_back(second);
    ControlDef name = def(L"txtName", ControlKind::TextBox, L"", 240, 1080, 1695, 300, L"frameStep");
    name.tabIndex = 2;
    c.push_back(name);
    ControlDef pwd = def(L"txtPwd", ControlKind::TextBox, L"", 240, 2880, 1695, 300);
    pwd.passwordChar = L'*';
    pwd.tabIndex = 3;
    c.push_back(pwd);
    ControlDef combo = def(L"cboChoice", ControlKind::ComboBox, L"", 2160, 2880, 1500, 300);
    combo.comboStyle = ComboStyle::DropDownList;
    combo.tabIndex = 4;
    c.push_back(combo);
    c.push_back(def(L"lstItems", ControlKind::ListBox, L"", 4080, 960, 1680, 900));
    ControlDef element = def(L"optIP", ControlKind::OptionButton, L"optIP", 4080, 2040, 1680, 180);
    element.isArray = true;
    c.push_back(element);
    c.push_back(def(L"frameRoot", ControlKind::Frame, L"", -120, 3360, 6240, 1335));
    c.push_back(def(L"Picture2", ControlKind::PictureBox, L"", 1200, 240, 4800, 15, L"frameRoot"));
    ControlDef ok = def(L"cmdOk", ControlKind::CommandButton, L"确定(&O)", 3360, 3720, 1125, 300);
    ok.isDefault = true;
    ok.tabIndex = 5;
    c.push_back(ok);
    ControlDef off = def(L"cmdOff", ControlKind::CommandButton, L"取消(&C)", 4680, 3720, 1125, 300);
    off.enabled = false;
    off.isCancel = true;
    c.push_back(off);
    return layout;
}

// Counts what the operator did, as a recorder sees it.
struct InputCounter : IFormsObserver {
    int inputs = 0;
    void textSet(Control&, const std::wstring&) override { ++inputs; }
    void keyTyped(Control&, wchar_t) override { ++inputs; }
    void clicked(Control&) override { ++inputs; }
    void itemSelected(Control&, int) override { ++inputs; }
};

class QtBackendTest : public ::testing::Test {
protected:
    QtBackendTest() : runtime(backend), form(runtime, sampleLayout(false)) { runtime.addObserver(&counter); }
    ~QtBackendTest() override {
        form.unload();
        runtime.removeObserver(&counter);
    }

    template <class W>
    W* widget(const std::wstring& name) {
        return qobject_cast<W*>(qt::QtBackend::widgetOf(form[name]));
    }

    int argc = 0;
    qt::QtBackend backend{argc, nullptr};
    FormsRuntime runtime;
    Form form;
    InputCounter counter;
};

TEST_F(QtBackendTest, RendersEveryKindAtItsTwipPositionInsideItsFrame) {
    form.show();
    Control& second = form.loadControl(L"optIP", 1);
    second.move(4080, 2440);
    second.setCaption(L"127.0.0.1(本机使用,不联接到网络)");
    second.setVisible(true);

    test::expectRenderedAsLaid(form);
    EXPECT_NE(widget<QGroupBox>(L"frameStep"), nullptr);
    EXPECT_EQ(widget<QGroupBox>(L"frameRoot"), nullptr);
    EXPECT_EQ(widget<QLineEdit>(L"txtPwd")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(widget<QPushButton>(L"cmdOk")->isDefault());
    EXPECT_TRUE(qt::QtBackend::windowOf(form)->findChild<QRadioButton*>(QStringLiteral("optIP(1)")));
    EXPECT_FALSE(test::saveScreenshot(qt::QtBackend::windowOf(form), "sample_form").empty());
}

TEST_F(QtBackendTest, ProgramChangesAreMirroredButNotTakenForInput) {
    form.show();
    form[L"cboChoice"].addItem(L"第一");
    form[L"cboChoice"].addItem(L"第二");
    form[L"cboChoice"].setListIndex(1);
    form[L"lstItems"].addItem(L"Default Web Site");
    form[L"lstItems"].setListIndex(0);
    form[L"txtName"].setText(L"admin");
    form[L"optSecond"].setValue(true);
    form[L"frameStep"].setEnabled(false);
    form[L"cmdOk"].move(120, 3720);
    form.setCaption(L"新标题");
    form.setHeight(form.height() + 600);

    test::expectRenderedAsLaid(form);
    EXPECT_FALSE(widget<QRadioButton>(L"optFirst")->isChecked());
    EXPECT_FALSE(widget<QLineEdit>(L"txtName")->isEnabled());
    EXPECT_EQ(counter.inputs, 0);
}

TEST_F(QtBackendTest, KeysGoThroughKeyPressWhichMayChangeOrDiscardThem) {
    int changes = 0;
    form.onChange(L"txtName", [&] { ++changes; });
    form.onKeyPress(L"txtName", [](int& key) {
        if (key >= '0' && key <= '9') key = 0;
        if (key == 22) key = 0;  // Ctrl+V
        if (key == 'a') key = 'A';
        if (key == L'文') key = 0;
    });
    form.show();
    auto* edit = widget<QLineEdit>(L"txtName");

    QTest::keyClicks(edit, QStringLiteral("a1b"));
    EXPECT_EQ(form[L"txtName"].text(), L"Ab");
    EXPECT_EQ(edit->text(), QStringLiteral("Ab"));
    EXPECT_EQ(changes, 2);

    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(form[L"txtName"].text(), L"A");

    QApplication::clipboard()->setText(QStringLiteral("xyz"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form[L"txtName"].text(), L"A");
    EXPECT_EQ(edit->text(), QStringLiteral("A"));

    // Typing replaces a selection that runs to the end, as a keyboard would.
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("b"));
    EXPECT_EQ(form[L"txtName"].text(), L"b");

    // Text an input method commits passes KeyPress character by character.
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("中文"));
    QCoreApplication::sendEvent(edit, &committed);
    EXPECT_EQ(form[L"txtName"].text(), L"b中");
    EXPECT_EQ(edit->text(), QStringLiteral("b中"));
    backend.rethrowFailure();
}

TEST_F(QtBackendTest, PasteAcceptedByKeyPressEditsTheTextAndRaisesChange) {
    int changes = 0;
    form.onChange(L"txtPwd", [&] { ++changes; });
    form.show();
    QApplication::clipboard()->setText(QStringLiteral("secret"));
    QTest::keyClick(widget<QLineEdit>(L"txtPwd"), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form[L"txtPwd"].text(), L"secret");
    EXPECT_EQ(changes, 1);
}

TEST_F(QtBackendTest, ClicksSelectionsEnterAndEscReachTheirHandlers) {
    std::vector<std::wstring> clicks;
    for (const wchar_t* name : {L"optFirst", L"optSecond", L"cboChoice", L"lstItems", L"cmdOk", L"cmdOff"}) {
        form.onClick(name, [&clicks, name] { clicks.push_back(name); });
    }
    form.show();
    form[L"cboChoice"].addItem(L"第一");
    form[L"cboChoice"].addItem(L"第二");
    form[L"lstItems"].addItem(L"一");
    form[L"lstItems"].addItem(L"二");

    QTest::mouseClick(widget<QRadioButton>(L"optSecond"), Qt::LeftButton);
    EXPECT_TRUE(form[L"optSecond"].value());
    EXPECT_FALSE(form[L"optFirst"].value());
    EXPECT_FALSE(widget<QRadioButton>(L"optFirst")->isChecked());
    // A second click on the selected button leaves it selected.
    QTest::mouseClick(widget<QRadioButton>(L"optSecond"), Qt::LeftButton);
    EXPECT_TRUE(widget<QRadioButton>(L"optSecond")->isChecked());

    auto* combo = widget<QComboBox>(L"cboChoice");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(form[L"cboChoice"].listIndex(), 0);
    EXPECT_EQ(form[L"cboChoice"].text(), L"第一");

    auto* list = widget<QListWidget>(L"lstItems");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(form[L"lstItems"].listIndex(), 1);

    QTest::mouseClick(widget<QPushButton>(L"cmdOff"), Qt::LeftButton);
    QTest::keyClick(widget<QLineEdit>(L"txtName"), Qt::Key_Return);
    // Esc presses the cancel button once it can be pressed.
    QTest::keyClick(widget<QLineEdit>(L"txtName"), Qt::Key_Escape);
    form[L"cmdOff"].setEnabled(true);
    QTest::keyClick(widget<QLineEdit>(L"txtName"), Qt::Key_Escape);
    backend.rethrowFailure();

    const std::vector<std::wstring> expected = {L"optSecond", L"optSecond", L"cboChoice",
                                                L"lstItems",  L"cmdOk",     L"cmdOff"};
    EXPECT_EQ(clicks, expected);
}

TEST_F(QtBackendTest, ModalFormSuspendsItsCallerUntilItUnloads) {
    Form dialog(runtime, sampleLayout(true));
    MsgResult answer = MsgResult::Ok;
    dialog.onClick(L"cmdOk", [&] {
        answer = runtime.msgBox(L"确定要取消吗？", MsgButtons::YesNo, MsgIcon::None, L"取消", 2);
        dialog.unload();
    });
    bool returned = false;
    test::whenLoopRuns([&] {
        EXPECT_FALSE(returned);
        EXPECT_TRUE(qt::QtBackend::windowOf(dialog)->isModal());
        test::whenLoopRuns([] {
            auto* box = qobject_cast<QMessageBox*>(test::activeMessageBox());
            ASSERT_NE(box, nullptr);
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        });
        QTest::mouseClick(qt::QtBackend::widgetOf(dialog[L"cmdOk"]), Qt::LeftButton);
    });
    dialog.showModal();
    returned = true;
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(answer, MsgResult::Yes);
}

TEST_F(QtBackendTest, AnErrorInAHandlerLeavesTheLoopsAndReachesTheCaller) {
    Form dialog(runtime, sampleLayout(true));
    dialog.onClick(L"cmdOk", [] { throw std::runtime_error("handler failed"); });
    test::whenLoopRuns([&] { QTest::mouseClick(qt::QtBackend::widgetOf(dialog[L"cmdOk"]), Qt::LeftButton); });
    EXPECT_THROW(dialog.showModal(), std::runtime_error);
    dialog.unload();
}

TEST_F(QtBackendTest, RunEndsWhenTheLastFormUnloadsOrNoFormIsLeftOnScreen) {
    form.onClick(L"cmdOk", [&] { form.unload(); });
    form.show();
    test::whenLoopRuns([&] { QTest::mouseClick(widget<QPushButton>(L"cmdOk"), Qt::LeftButton); });
    EXPECT_TRUE(runtime.run());

    // A form that hides itself and stays loaded cannot get input any more.
    form.onClick(L"cmdOk", [&] { form.hide(); });
    form.show();
    test::whenLoopRuns([&] { QTest::mouseClick(widget<QPushButton>(L"cmdOk"), Qt::LeftButton); });
    EXPECT_FALSE(runtime.run());
}

struct BoxCase {
    const char* name;
    MsgButtons buttons;
    MsgIcon icon;
    std::optional<std::wstring> title;
    int defaultButton;
    QMessageBox::Icon qtIcon;
    MsgResult byEnter;
};

class QtMessageBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(QtMessageBoxTest, ShowsTitleTextIconAndButtonsAndEnterTakesTheDefault) {
    const BoxCase& c = GetParam();
    int argc = 0;
    qt::QtBackend backend(argc, nullptr);
    MessageBoxRequest request;
    request.text = L"IIS配置成功!\rhttp://192.168.1.10/t7";
    request.buttons = c.buttons;
    request.icon = c.icon;
    request.title = c.title;
    request.defaultButton = c.defaultButton;

    test::whenLoopRuns([&] {
        auto* box = qobject_cast<QMessageBox*>(test::activeMessageBox());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QString::fromStdWString(request.shownTitle()));
        EXPECT_EQ(box->text(), QStringLiteral("IIS配置成功!\nhttp://192.168.1.10/t7"));
        EXPECT_EQ(box->icon(), c.qtIcon);
        EXPECT_EQ(box->buttons().size(), c.buttons == MsgButtons::YesNo ? 2 : 1);
        test::saveScreenshot(box, std::string("messagebox_") + c.name);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(backend.showMessageBox(request), c.byEnter);
}

INSTANTIATE_TEST_SUITE_P(Kinds, QtMessageBoxTest,
                         ::testing::Values(BoxCase{"ok_information", MsgButtons::Ok, MsgIcon::Information,
                                                   L"InstallShield", 1, QMessageBox::Information,
                                                   MsgResult::Ok},
                                           BoxCase{"ok_untitled", MsgButtons::Ok, MsgIcon::None, std::nullopt,
                                                   1, QMessageBox::NoIcon, MsgResult::Ok},
                                           BoxCase{"ok_critical", MsgButtons::Ok, MsgIcon::Critical, L"错误",
                                                   1, QMessageBox::Critical, MsgResult::Ok},
                                           BoxCase{"ok_exclamation", MsgButtons::Ok, MsgIcon::Exclamation,
                                                   L"InstallShield", 1, QMessageBox::Warning, MsgResult::Ok},
                                           BoxCase{"yesno_default_yes", MsgButtons::YesNo, MsgIcon::None,
                                                   L"取消", 1, QMessageBox::NoIcon, MsgResult::Yes},
                                           BoxCase{"yesno_default_no", MsgButtons::YesNo, MsgIcon::None,
                                                   L"服务器设置", 2, QMessageBox::NoIcon, MsgResult::No}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace t7
