// The wizard's own forms in native windows: every page, step and dialog is
// laid out as its table says, driven by window messages, and saved as a
// picture for reviewers.
#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "forms/FormsRuntime.h"
#include "shell/Wizard.h"
#include "ui/win32/Win32Backend.h"

namespace t7 {
namespace {

using win32::Win32Backend;

class Win32FormsTest : public ::testing::Test {
protected:
    Win32FormsTest() : runtime(backend), wizard(runtime, values, services()) {}
    ~Win32FormsTest() override {
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

    static HWND hwnd(Control& control) { return Win32Backend::windowOf(control); }

    Win32Backend backend;
    FormsRuntime runtime;
    ProcessValues values;
    std::vector<std::wstring> addresses{L"192.168.1.10"};
    Wizard wizard;
};

TEST_F(Win32FormsTest, WebServerPageIsLaidOutAndItsCancelAndEscAskFirst) {
    wizard.start();
    ASSERT_TRUE(wizard.iis().isVisible());
    test::expectRenderedAsLaid(wizard.iis());
    EXPECT_TRUE(test::saveScreenshot(Win32Backend::windowOf(wizard.iis()), "frmIIS"));

    bool asked = false;
    test::whenMessageBox([&](HWND box) {
        asked = true;
        EXPECT_TRUE(test::saveScreenshot(box, "frmIIS_cancel_question"));
        test::press(GetDlgItem(box, IDNO));
    });
    test::press(hwnd(wizard.iis()[L"cmdCancel"]));
    backend.processPendingMessages();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(wizard.iis().isVisible());

    // Esc in a text box is the cancel button: the same question, and Yes
    // closes the page.
    asked = false;
    test::whenMessageBox([&](HWND box) {
        asked = test::textOf(box) == L"取消";
        test::press(GetDlgItem(box, IDYES));
    });
    HWND dir = hwnd(wizard.iis()[L"txtVirtualDIR"]);
    SetFocus(dir);
    PostMessageW(dir, WM_KEYDOWN, VK_ESCAPE, 0);
    backend.processPendingMessages();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(wizard.iis().isLoaded());
}

TEST_F(Win32FormsTest, IpDialogWithSixAddressesGrowsAndTakesTheChosenOne) {
    addresses = {L"0.0.0.0", L"169.254.3.4", L"127.0.0.1", L"192.168.1.10", L"10.0.0.5", L"172.16.0.9"};
    bool checked = false;
    test::whenReady([&] { return wizard.selectIP().isVisible(); },
                    [&] {
                        frmSelectIP& dialog = wizard.selectIP();
                        test::expectRenderedAsLaid(dialog);
                        // The page behind waits for the dialog.
                        EXPECT_FALSE(IsWindowEnabled(Win32Backend::windowOf(wizard.iis())));
                        EXPECT_TRUE(test::saveScreenshot(Win32Backend::windowOf(dialog), "frmSelectIP"));
                        checked = true;
                        test::press(hwnd(dialog.control(L"optIP", 4)));
                        test::press(hwnd(dialog[L"cmdOK"]));
                    });
    wizard.start();
    EXPECT_TRUE(checked);
    EXPECT_EQ(values.SelectedIP, L"10.0.0.5");
    EXPECT_TRUE(IsWindowEnabled(Win32Backend::windowOf(wizard.iis())));
}

TEST_F(Win32FormsTest, DatabasePageShowsEachStepInTheSamePlace) {
    frmNamePWD& page = wizard.namePWD();
    page.show();
    const char* const pictures[] = {"frmNamePWD_frameSQL", "frmNamePWD_frameDB", "frmNamePWD_frameOstrel"};
    const wchar_t* const frames[] = {L"frameSQL", L"frameDB", L"frameOstrel"};
    for (int step = 0; step < 3; ++step) {
        if (step == 1) page.ShowDBChoice();
        if (step == 2) page.ShowAdminSetting();
        SCOPED_TRACE(pictures[step]);
        test::expectRenderedAsLaid(page);
        EXPECT_TRUE(IsWindowVisible(hwnd(page[frames[step]])));
        EXPECT_TRUE(test::saveScreenshot(Win32Backend::windowOf(page), pictures[step]));
    }
}

TEST_F(Win32FormsTest, PasswordDialogMasksAndAsksBeforeAnEmptyPassword) {
    frmDBAPwd& dialog = wizard.dbaPwd();
    bool asked = false;
    test::whenReady([&] { return dialog.isVisible(); },
                    [&] {
                        test::expectRenderedAsLaid(dialog);
                        HWND input = hwnd(dialog[L"inputPWD"]);
                        EXPECT_EQ(static_cast<wchar_t>(SendMessageW(input, EM_GETPASSWORDCHAR, 0, 0)),
                                  dialog[L"inputPWD"].passwordChar());
                        EXPECT_TRUE(test::saveScreenshot(Win32Backend::windowOf(dialog), "frmDBAPwd"));
                        test::whenMessageBox([&](HWND box) {
                            asked = true;
                            // A question about an unsafe choice defaults to No.
                            EXPECT_EQ(GetFocus(), GetDlgItem(box, IDNO));
                            test::press(GetDlgItem(box, IDYES));
                        });
                        // Enter in the box presses the default button.
                        SetFocus(input);
                        PostMessageW(input, WM_KEYDOWN, VK_RETURN, 0);
                    });
    dialog.m_strPWD = L"old";
    dialog.showModal();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(dialog.m_strPWD, L"");
}

}  // namespace
}  // namespace t7
