#include <gtest/gtest.h>

#include "support/FakeWizard.h"
#include "web/frmIIS.h"

namespace t7 {
namespace {

using Names = std::vector<std::wstring>;

const wchar_t* const kNoIIS = L"当前操作系统中没有找到Internet 信息服务(IIS)，配置IIS服务失败!";
const wchar_t* const kMissingArgument =
    L"程序运行缺少参数！请用命令行运行,格式:\"程序名 + 空格 + 页面物理路径\"";

class frmIISTest : public ::testing::Test {
protected:
    test::FakeMachine machine;
    std::unique_ptr<test::FakeWizard> run;

    void start() {
        run = std::make_unique<test::FakeWizard>(machine);
        run->wizard->start();
    }
    frmIIS& page() { return run->wizard->iis(); }
};

TEST_F(frmIISTest, WithTheArgumentsThePageWaitsShowingNameAddressesAndURL) {
    machine.commandLine = L"\"exam\" \"D:\\Exam\\\"";
    start();
    EXPECT_EQ(run->openForms(), Names{L"frmIIS"});
    EXPECT_TRUE(page().isVisible());
    EXPECT_TRUE(page().m_bLoaded);
    EXPECT_TRUE(run->boxTexts().empty());
    EXPECT_EQ(run->values.ScrambleKey, L"5820316");
    EXPECT_EQ(run->values.IPArray, (Names{L"192.168.1.10", L"SERVER01"}));
    EXPECT_EQ(page()[L"cboWEBIP"].list(), (Names{L"192.168.1.10", L"SERVER01"}));
    EXPECT_EQ(page()[L"cboWEBIP"].listIndex(), 0);
    EXPECT_EQ(page()[L"txtVirtualDIR"].text(), L"exam");
    // A path ending in a backslash gets a doubled one: nothing is inserted.
    EXPECT_EQ(page().m_strWebPath, L"D:\\Exam\\\\WebRoot");
    EXPECT_EQ(page()[L"txtURL"].text(), L"http://192.168.1.10/exam");
    EXPECT_EQ(page().WebLocation, L"http://192.168.1.10/exam");
}

TEST_F(frmIISTest, AnEmptyNameDefaultsToT7) {
    machine.commandLine = L"\"\" \"D:\\Exam\"";
    start();
    EXPECT_EQ(page()[L"txtVirtualDIR"].text(), L"t7");
}

TEST_F(frmIISTest, WebServerMissingShowsTheStopMessageAndOpensTheDatabasePage) {
    machine.haveIIS = false;
    machine.commandLine = L"";
    start();
    ASSERT_EQ(run->backend.messageBoxes().size(), 1u);
    const MessageBoxRequest& box = run->backend.messageBoxes()[0].request;
    EXPECT_EQ(box.text, kNoIIS);
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.shownTitle(), L"InstallShield");
    EXPECT_EQ(machine.commandLineReads, 0);  // the command line is not read at all
    EXPECT_EQ(run->openForms(), Names{L"frmNamePWD"});
    EXPECT_TRUE(run->wizard->namePWD().isVisible());
}

TEST_F(frmIISTest, MissingArgumentShowsTheStopMessageAndEndsTheRun) {
    for (const wchar_t* commandLine : {L"", L"\"t7\"", L"t7 D:\\Exam\\Web"}) {
        SCOPED_TRACE(std::wstring(commandLine).size());
        machine.commandLine = commandLine;
        start();
        EXPECT_EQ(run->boxTexts(), Names{kMissingArgument});
        EXPECT_EQ(run->backend.messageBoxes()[0].request.icon, MsgIcon::Critical);
        EXPECT_EQ(run->backend.messageBoxes()[0].request.shownTitle(), L"InstallShield");
        EXPECT_TRUE(run->runtime.ended());
        EXPECT_TRUE(run->runtime.run());
    }
}

TEST_F(frmIISTest, AnyUnhandledFailureFallsBackSilentlyToTheDatabasePage) {
    machine.addresses = {};  // no entry 0
    start();
    EXPECT_TRUE(run->boxTexts().empty());
    EXPECT_EQ(run->openForms(), Names{L"frmNamePWD"});

    machine.addresses = {L"10.0.0.1"};
    machine.iisCheckFails = true;
    start();
    EXPECT_TRUE(run->boxTexts().empty());
    EXPECT_EQ(run->openForms(), Names{L"frmNamePWD"});
    EXPECT_EQ(machine.commandLineReads, 0);
}

TEST_F(frmIISTest, AWrongControlNameFailsLoudlyInsteadOfFallingBack) {
    run = std::make_unique<test::FakeWizard>(machine);
    run->wizard->iis().services().listWebSites = [](frmIIS& page, const std::wstring&) {
        page.control(L"lstWebServers").addItem(L"Default Web Site");
    };
    EXPECT_THROW(run->wizard->start(), std::out_of_range);
}

TEST_F(frmIISTest, MoreThanThreeCandidatesOpenTheIPDialogModally) {
    machine.addresses = {L"192.168.1.10", L"10.0.0.5"};
    start();
    EXPECT_EQ(run->values.SelectedIP, L"192.168.1.10");  // three entries: no dialog

    machine.addresses = {L"192.168.1.10", L"10.0.0.5", L"172.16.0.2"};
    run = std::make_unique<test::FakeWizard>(machine);
    bool dialogShown = false;
    run->backend.whenModal([&](Form& dialog) {
        dialogShown = dialog.name() == L"frmSelectIP";
        // Start-up is suspended: the site list and the combo are not filled yet.
        EXPECT_EQ(run->wizard->iis()[L"cboWEBIP"].listCount(), 0);
        dialog.control(L"optIP", 2).click();
        dialog.control(L"cmdOK").click();
    });
    run->wizard->start();
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(run->values.SelectedIP, L"172.16.0.2");
    // The combo still starts on entry 0.
    EXPECT_EQ(page()[L"cboWEBIP"].text(), L"192.168.1.10");
    EXPECT_FALSE(run->wizard->selectIP().isLoaded());
}

struct Replacement {
    const wchar_t* address;
    const wchar_t* selected;
};

class SelectedIPReplacementTest : public ::testing::TestWithParam<Replacement> {};

TEST_P(SelectedIPReplacementTest, UnusableAddressesBecomeLoopback) {
    test::FakeMachine machine;
    machine.addresses = {GetParam().address};
    test::FakeWizard run(machine);
    run.wizard->start();
    EXPECT_EQ(run.values.SelectedIP, GetParam().selected);
    EXPECT_EQ(run.values.IPArray[0], GetParam().address);  // the list itself is kept
}

INSTANTIATE_TEST_SUITE_P(Addresses, SelectedIPReplacementTest,
                         ::testing::Values(Replacement{L"0.0.0.0", L"127.0.0.1"},
                                           Replacement{L"169.254.7.1", L"127.0.0.1"},
                                           Replacement{L"169.25.1.1", L"169.25.1.1"},
                                           Replacement{L"192.168.1.10", L"192.168.1.10"}));

TEST_F(frmIISTest, OkShowsTheDatabasePageBeforeClosingItself) {
    start();
    struct Order : IFormsObserver {
        Names events;
        void formLoaded(Form& f) override { events.push_back(L"load " + f.name()); }
        void formUnloaded(Form& f) override { events.push_back(L"close " + f.name()); }
    } order;
    run->runtime.addObserver(&order);
    page()[L"txtVirtualDIR"].setText(L"exam");
    page()[L"cmdOK"].click();
    run->runtime.removeObserver(&order);

    EXPECT_EQ(machine.createCalls, Names{L"192.168.1.10||exam,D:\\Exam\\WebRoot"});
    EXPECT_EQ(run->boxTexts(), Names{L"IIS配置成功!\rhttp://192.168.1.10/exam"});
    EXPECT_EQ(run->backend.messageBoxes()[0].request.icon, MsgIcon::Information);
    EXPECT_EQ(machine.storedURLs, Names{L"http://192.168.1.10/exam"});
    EXPECT_EQ(order.events, (Names{L"load frmNamePWD", L"close frmIIS"}));
    EXPECT_FALSE(run->runtime.ended());
}

TEST_F(frmIISTest, AFailedCreationKeepsThePage) {
    machine.createResult = VirtualDirsResult::Failed;
    start();
    page()[L"cmdOK"].click();
    EXPECT_EQ(run->boxTexts(), Names{L"IIS配置有问题!"});
    EXPECT_EQ(run->openForms(), Names{L"frmIIS"});
    EXPECT_TRUE(machine.storedURLs.empty());
}

TEST_F(frmIISTest, AReportedFailureGoesOnWithoutSuccessOrURL) {
    machine.createResult = VirtualDirsResult::FailureReported;
    start();
    page()[L"cmdOK"].click();
    EXPECT_TRUE(run->boxTexts().empty()) << "the creator has shown its own box";
    EXPECT_TRUE(machine.storedURLs.empty());
    EXPECT_EQ(run->openForms(), Names{L"frmNamePWD"});
    EXPECT_EQ(run->values.failuresReported, 1);
}

TEST_F(frmIISTest, AnUnreadableRegistryIsReportedNotTakenForAMissingWebServer) {
    machine.registryUnreadable = true;
    start();
    ASSERT_EQ(run->boxTexts().size(), 1u);
    EXPECT_EQ(run->boxTexts()[0], L"错误号：1009\r\nThe registry cannot be read (error 1009)");
    EXPECT_EQ(run->backend.messageBoxes()[0].request.shownTitle(), L"错误");
    EXPECT_EQ(run->openForms(), Names{L"frmNamePWD"});
    EXPECT_EQ(run->values.failuresReported, 1);
    EXPECT_EQ(machine.commandLineReads, 0);
}

TEST_F(frmIISTest, CancelClosesOnlyWhenConfirmed) {
    start();
    run->backend.queueAnswer(MsgResult::No);
    page()[L"cmdCancel"].click();
    EXPECT_EQ(run->openForms(), Names{L"frmIIS"});
    run->backend.queueAnswer(MsgResult::Yes);
    page()[L"cmdCancel"].click();
    EXPECT_TRUE(run->runtime.ended());
    const MessageBoxRequest& box = run->backend.messageBoxes()[1].request;
    EXPECT_EQ(box.text, L"确定要取消吗？");
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.shownTitle(), L"取消");
}

}  // namespace
}  // namespace t7
