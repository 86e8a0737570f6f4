#include <gtest/gtest.h>

#include "forms/HeadlessBackend.h"
#include "web/frmSelectIP.h"

namespace t7 {
namespace {

class frmSelectIPTest : public ::testing::Test {
protected:
    HeadlessBackend backend;
    FormsRuntime runtime{backend};
    ProcessValues values;
    frmSelectIP dialog{runtime, values};

    void open(std::vector<std::wstring> entries) {
        values.IPArray = std::move(entries);
        values.SelectedIP = values.IPArray.empty() ? L"" : values.IPArray[0];
        dialog.show();
    }
    Control& element(int i) { return dialog.control(L"optIP", i); }
};

TEST_F(frmSelectIPTest, SevenEntriesStack400TwipsApartAndGrowButtonAndWindow) {
    open({L"192.168.1.10", L"10.0.0.1", L"10.0.0.2", L"10.0.0.3", L"10.0.0.4", L"10.0.0.5", L"SERVER01"});
    ASSERT_EQ(dialog.controlArray(L"optIP").size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(element(i).top(), 720 + 400 * i);
        EXPECT_EQ(element(i).left(), 360);
        EXPECT_TRUE(element(i).visible());
    }
    EXPECT_EQ(dialog[L"cmdOK"].top(), 3520);
    EXPECT_EQ(dialog.height(), 4320);
}

TEST_F(frmSelectIPTest, AShortListKeepsTheDesignGeometryAndFourGrowIt) {
    open({L"192.168.1.10", L"10.0.0.1", L"SERVER01"});
    EXPECT_EQ(dialog[L"cmdOK"].top(), 2160);
    EXPECT_EQ(dialog.clientHeight(), 2685);
    dialog[L"cmdOK"].click();
    open({L"192.168.1.10", L"10.0.0.1", L"10.0.0.2", L"SERVER01"});
    EXPECT_EQ(dialog[L"cmdOK"].top(), 2320);
    EXPECT_EQ(dialog.height(), 3120);
}

struct Annotation {
    const wchar_t* entry;
    const wchar_t* caption;
    bool enabled;
};

class CaptionTest : public ::testing::TestWithParam<Annotation> {};

TEST_P(CaptionTest, AnnotatesAndDisablesByTheFirstMatchingRule) {
    bool enabled = !GetParam().enabled;
    EXPECT_EQ(frmSelectIP::captionFor(GetParam().entry, enabled), GetParam().caption);
    EXPECT_EQ(enabled, GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, CaptionTest,
    ::testing::Values(Annotation{L"0.0.0.0", L"0.0.0.0(该设备未联接到网络)", false},
                      Annotation{L"169.254.3.4", L"169.254.3.4(该设备没有被指定一个固定IP)", false},
                      Annotation{L"127.0.0.1", L"127.0.0.1(本机使用,不联接到网络)", true},
                      Annotation{L"SERVER01", L"SERVER01(使用本机机器名)", true},
                      Annotation{L"192.168.1.10", L"192.168.1.10", true},
                      Annotation{L"1SERVER", L"1SERVER", true}, Annotation{L"服务器", L"服务器", true},
                      Annotation{L"@HOST", L"@HOST", true},
                      Annotation{L"AHOST", L"AHOST(使用本机机器名)", true}, Annotation{L"", L"", true}));

TEST_F(frmSelectIPTest, AnUnusableFirstEntryIsShownDisabledButSelected) {
    open({L"0.0.0.0", L"10.0.0.1", L"10.0.0.2", L"SERVER01"});
    EXPECT_FALSE(element(0).enabled());
    EXPECT_TRUE(element(0).value());
    dialog[L"cmdOK"].click();
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    EXPECT_EQ(backend.messageBoxes()[0].request.text, L"请选择一个IP");
    EXPECT_EQ(backend.messageBoxes()[0].request.shownTitle(), L"T7Setup");
    EXPECT_EQ(backend.messageBoxes()[0].request.icon, MsgIcon::None);
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(values.SelectedIP, L"0.0.0.0");
}

TEST_F(frmSelectIPTest, ConfirmingTakesTheBareEntryOfTheChosenElement) {
    open({L"192.168.1.10", L"169.254.1.1", L"10.0.0.2", L"SERVER01"});
    EXPECT_TRUE(element(0).value());
    EXPECT_FALSE(element(1).enabled());
    element(3).click();
    dialog[L"cmdOK"].click();
    EXPECT_EQ(values.SelectedIP, L"SERVER01");
    EXPECT_TRUE(backend.messageBoxes().empty());
}

TEST_F(frmSelectIPTest, AnEmptyMachineNameCannotBeConfirmed) {
    open({L"192.168.1.10", L"10.0.0.1", L"10.0.0.2", L""});
    element(3).click();
    dialog[L"cmdOK"].click();
    EXPECT_EQ(values.SelectedIP, L"192.168.1.10");
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    EXPECT_EQ(backend.messageBoxes()[0].request.text, L"请选择一个IP");
}

TEST_F(frmSelectIPTest, TheDefaultIsTheElementOfSelectedIP) {
    values.IPArray = {L"192.168.1.10", L"10.0.0.1", L"10.0.0.2", L"SERVER01"};
    values.SelectedIP = L"10.0.0.2";
    dialog.show();
    EXPECT_FALSE(element(0).value());
    EXPECT_TRUE(element(2).value());
}

TEST_F(frmSelectIPTest, ShowingAgainBuildsTheElementsAfresh) {
    open({L"192.168.1.10", L"10.0.0.1", L"10.0.0.2", L"SERVER01"});
    dialog[L"cmdOK"].click();
    open({L"192.168.1.10", L"10.0.0.1", L"10.0.0.2", L"10.0.0.3", L"SERVER01"});
    EXPECT_EQ(dialog.controlArray(L"optIP").size(), 5u);
}

}  // namespace
}  // namespace t7
