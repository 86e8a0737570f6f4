// The wizard's own forms on the Qt backend: every page, step and dialog is
// laid out as its table says, and saved as a picture for reviewers.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "QtTestSupport.h"
#include "forms/FormsRuntime.h"
#include "shell/Wizard.h"
#include "ui/qt/QtBackend.h"

namespace t7 {
namespace {

using qt::QtBackend;

class QtFormsTest : public ::testing::Test {
protected:
    QtFormsTest() : runtime(backend), wizard(runtime, values, services()) {}
    ~QtFormsTest() override {
        for (Form* form : std::vector<Form*>(runtime.loadedForms())) form->unload();
    }

    WizardServices services() {
        WizardServices s;
        s.web.LoadIPArray = [this](ProcessValues& v) {
            v.IPArray = addresses;
            v.ipArrayDimensioned = true;
        };
        s.web.GetLocalComputerName = [] { return std::wstring(L"SERVER01"); };
        s.web.SplitCommandLine = [] { return std::vector<std::wstring>{L"", L"t7", L"D:\\Exam"}; };
        s.web.listWebSites = [](frmIIS& page, const std::wstring&) {
            page[L"lstWebServer"].addItem(L"Default Web Site");
            page[L"lstWebServer"].addItem(L"考试站点");
            page[L"lstWebServer"].setListIndex(0);
        };
        return s;
    }

    // The message box on screen: checked, pictured and answered.
    static void answerBox(const std::string& picture, QMessageBox::StandardButton button,
                          const QString& text) {
        auto* box = qobject_cast<QMessageBox*>(test::activeMessageBox());
        ASSERT_NE(box, nullptr) << picture;
        EXPECT_EQ(box->text(), text);
        EXPECT_FALSE(test::saveScreenshot(box, picture).empty());
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    }

    int argc = 0;
    QtBackend backend{argc, nullptr};
    FormsRuntime runtime;
    ProcessValues values;
    std::vector<std::wstring> addresses{L"192.168.1.10"};
    Wizard wizard;
};

TEST_F(QtFormsTest, WebServerPageIsLaidOutAsItsTable) {
    wizard.start();
    ASSERT_TRUE(wizard.iis().isVisible());
    test::expectRenderedAsLaid(wizard.iis());
    EXPECT_EQ(QtBackend::widgetOf(wizard.iis()[L"txtVirtualDIR"])->toolTip(),
              QStringLiteral("请指定虚拟目录的名称"));
    EXPECT_FALSE(test::saveScreenshot(QtBackend::windowOf(wizard.iis()), "frmIIS").empty());

    test::whenLoopRuns(
        [] { answerBox("frmIIS_cancel_question", QMessageBox::No, QStringLiteral("确定要取消吗？")); });
    QTest::mouseClick(QtBackend::widgetOf(wizard.iis()[L"cmdCancel"]), Qt::LeftButton);
    backend.rethrowFailure();
    EXPECT_TRUE(wizard.iis().isVisible());
}

TEST_F(QtFormsTest, IpDialogWithSevenEntriesGrowsAndIsLaidOut) {
    addresses = {L"0.0.0.0", L"169.254.3.4", L"127.0.0.1", L"192.168.1.10", L"10.0.0.5", L"172.16.0.9"};
    bool checked = false;
    test::whenLoopRuns([&] {
        frmSelectIP& dialog = wizard.selectIP();
        ASSERT_TRUE(dialog.isModal());
        test::expectRenderedAsLaid(dialog);
        EXPECT_EQ(QtBackend::widgetOf(dialog[L"cmdOK"])->y(), qt::twipsToPixels(3520));
        EXPECT_EQ(dialog.height(), 4320);
        EXPECT_EQ(QtBackend::windowOf(dialog)->height(), qt::twipsToPixels(4320 - kNonClientHeight));
        EXPECT_FALSE(QtBackend::widgetOf(dialog.control(L"optIP", 0))->isEnabled());
        EXPECT_FALSE(test::saveScreenshot(QtBackend::windowOf(dialog), "frmSelectIP").empty());
        checked = true;
        QTest::mouseClick(QtBackend::widgetOf(dialog.control(L"optIP", 4)), Qt::LeftButton);
        QTest::mouseClick(QtBackend::widgetOf(dialog[L"cmdOK"]), Qt::LeftButton);
    });
    wizard.start();
    EXPECT_TRUE(checked);
    EXPECT_EQ(values.SelectedIP, L"10.0.0.5");
    EXPECT_TRUE(wizard.iis().isVisible());
}

TEST_F(QtFormsTest, DatabasePageShowsEachStepInTheSamePlace) {
    frmNamePWD& page = wizard.namePWD();
    page.show();
    const char* const pictures[] = {"frmNamePWD_frameSQL", "frmNamePWD_frameDB", "frmNamePWD_frameOstrel"};
    const wchar_t* const frames[] = {L"frameSQL", L"frameDB", L"frameOstrel"};
    for (int step = 0; step < 3; ++step) {
        if (step == 1) page.ShowDBChoice();
        if (step == 2) page.ShowAdminSetting();
        SCOPED_TRACE(pictures[step]);
        test::expectRenderedAsLaid(page);
        QWidget* frame = QtBackend::widgetOf(page[frames[step]]);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_EQ(frame->pos(), QPoint(qt::twipsToPixels(1800), qt::twipsToPixels(1320)));
        EXPECT_FALSE(test::saveScreenshot(QtBackend::windowOf(page), pictures[step]).empty());
        std::vector<std::wstring> expectedOrder;
        for (Control* control : page.tabOrder()) expectedOrder.push_back(control->displayName());
        // The focus chain is a ring: read it from the first tab stop.
        std::vector<std::wstring> walk = test::tabWalk(page);
        auto first = std::find(walk.begin(), walk.end(), expectedOrder.front());
        if (first != walk.end()) std::rotate(walk.begin(), first, walk.end());
        EXPECT_EQ(walk, expectedOrder);
    }
}

TEST_F(QtFormsTest, PasswordDialogIsLaidOutAndAsksBeforeAnEmptyPassword) {
    frmDBAPwd& dialog = wizard.dbaPwd();
    test::whenLoopRuns([&] {
        test::expectRenderedAsLaid(dialog);
        EXPECT_FALSE(test::saveScreenshot(QtBackend::windowOf(dialog), "frmDBAPwd").empty());
        test::whenLoopRuns([] {
            answerBox("frmDBAPwd_empty_question", QMessageBox::Yes,
                      QStringLiteral(
                          "数据库管理员sa的密码为空可能给您的系统带来不安全的因素，确认不设置管理员密码？"));
        });
        QTest::keyClick(QtBackend::widgetOf(dialog[L"inputPWD"]), Qt::Key_Return);
    });
    dialog.m_strPWD = L"old";
    dialog.showModal();
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(dialog.m_strPWD, L"");
}

}  // namespace
}  // namespace t7
