// The web server page driven headlessly over a machine folder made by
// t7machine: what the operator sees, and what lands in applicationHost.config
// and registry.reg.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "base/Text.h"
#include "forms/HeadlessBackend.h"
#include "platform/machine/ApplicationHostStore.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"
#include "settings/CRegistry.h"
#include "shell/Wizard.h"
#include "support/MachineTool.h"
#include "support/TestPaths.h"
#include "web/WebPageServices.h"
#include "web/frmIIS.h"

namespace t7 {
namespace {

// Which forms load and unload, in order.
struct FormOrder : IFormsObserver {
    std::vector<std::wstring> events;
    void formLoaded(Form& form) override { events.push_back(L"load " + form.name()); }
    void formUnloaded(Form& form) override { events.push_back(L"unload " + form.name()); }
};

class WebServerPageTest : public ::testing::Test {
protected:
    void SetUp() override { runtime.addObserver(&order); }
    void TearDown() override { runtime.removeObserver(&order); }

    void makeMachine(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"init", machine.root().string()});
        test::ToolResult result = test::runMachineTool(options);
        if (result.status != 0) throw std::runtime_error("t7machine init failed: " + result.output);
        std::filesystem::create_directories(machine.driveFolder('d') / "Exam" / "WebRoot");
    }

    void startPage(std::vector<std::wstring> addresses = {L"192.168.1.10"},
                   std::wstring installFolder = L"D:\\Exam") {
        WizardServices services;
        services.web.LoadIPArray = [addresses](ProcessValues& v) {
            v.IPArray = addresses;
            v.ipArrayDimensioned = true;
        };
        services.web.GetLocalComputerName = [] { return std::wstring(L"EXAMSRV"); };
        services.web.IsHaveIIS = [this] { return registry.IsHaveIIS(); };
        services.web.SplitCommandLine = [installFolder] {
            return std::vector<std::wstring>{L"", L"t7", installFolder};
        };
        services.web.storeWebURL = [this](const std::wstring& url) {
            registry.SetKeyValue(L"Ostrel", L"Install", L"WebURL", url, RegistryRoot::LocalMachine);
        };
        attachWebServerStore(services.web, store);
        services.web.programFolder = dir.path();
        services.web.clock = &clock;
        wizard = std::make_unique<Wizard>(runtime, values, std::move(services));
        wizard->start();
    }

    frmIIS& page() { return wizard->iis(); }
    Control& control(const wchar_t* name) { return page().control(name); }
    std::string config() const { return test::readFileBytes(machine.applicationHostConfig()); }
    std::wstring webURL() {
        return registry.GetKeyValue(L"Ostrel", L"Install", L"WebURL", RegistryRoot::LocalMachine);
    }
    static size_t occurrences(const std::string& text, const std::string& what) {
        size_t count = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
        return count;
    }
    std::vector<std::wstring> boxTexts() const {
        std::vector<std::wstring> texts;
        for (const auto& box : backend.messageBoxes()) texts.push_back(box.request.text);
        return texts;
    }

    struct FixedClock : IClock {
        std::wstring localDateTimeText() const override { return L"2026-12-07 09:30:15"; }
    } clock;
    test::TempDir dir;
    MachineFolder machine{dir.path() / "machine"};
    MachineFileSystem fileSystem{machine};
    MachineRegistryHive hive{machine};
    CRegistry registry{hive, fileSystem};
    ProcessValues values;
    ApplicationHostStore store{machine.applicationHostConfig(), fileSystem,
                               [this] { return values.IPArray; }};
    HeadlessBackend backend;
    FormsRuntime runtime{backend};
    FormOrder order;
    std::unique_ptr<Wizard> wizard;
};

TEST_F(WebServerPageTest, OkPublishesTheApplicationStoresTheURLAndHandsOverToTheDatabasePage) {
    makeMachine();
    startPage();
    EXPECT_EQ(control(L"lstWebServer").list(), std::vector<std::wstring>{L"Default Web Site"});
    EXPECT_EQ(control(L"cboWEBIP").list(), (std::vector<std::wstring>{L"192.168.1.10", L"EXAMSRV"}));
    EXPECT_EQ(control(L"txtURL").text(), L"http://192.168.1.10/t7");

    order.events.clear();
    control(L"cmdOK").click();

    ASSERT_EQ(backend.messageBoxes().size(), 1u) << (boxTexts().empty() ? "" : toUtf8(boxTexts().back()));
    const MessageBoxRequest& box = backend.messageBoxes()[0].request;
    EXPECT_EQ(box.text, L"IIS配置成功!\rhttp://192.168.1.10/t7");
    EXPECT_EQ(box.icon, MsgIcon::Information);
    EXPECT_EQ(box.shownTitle(), L"InstallShield");
    EXPECT_EQ(webURL(), L"http://192.168.1.10/t7");
    EXPECT_EQ(order.events, (std::vector<std::wstring>{L"load frmNamePWD", L"unload frmIIS"}));

    const std::string after = config();
    EXPECT_NE(after.find("<application path=\"/t7\">"), std::string::npos) << after;
    const std::string folder = (machine.driveFolder('d') / "Exam" / "WebRoot").string();
    EXPECT_NE(after.find("<virtualDirectory path=\"/\" physicalPath=\"" + folder + "\" />"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("<location path=\"Default Web Site/t7\">"), std::string::npos);
    EXPECT_NE(after.find("<handlers accessPolicy=\"Read, Script\" />"), std::string::npos);
    EXPECT_NE(after.find("serverAutoStart=\"true\""), std::string::npos);
}

TEST_F(WebServerPageTest, UrlCarriesTheSitePortAndFollowsTheChosenHost) {
    makeMachine({"--site", "Exam::8080:"});
    startPage();
    EXPECT_EQ(control(L"txtURL").text(), L"http://192.168.1.10/t7");
    control(L"lstWebServer").select(1);
    EXPECT_EQ(control(L"txtURL").text(), L"http://192.168.1.10:8080/t7");
    // The machine name is both the URL's host and the computer of the lookup.
    control(L"cboWEBIP").select(1);
    EXPECT_EQ(control(L"txtURL").text(), L"http://EXAMSRV:8080/t7");
    control(L"txtVirtualDIR").setText(L"");
    EXPECT_EQ(control(L"txtURL").text(), L"http://EXAMSRV:8080/");
    control(L"txtVirtualDIR").setText(L"exam");
    EXPECT_EQ(page().WebLocation, L"http://EXAMSRV:8080/exam");

    control(L"cmdOK").click();
    EXPECT_EQ(webURL(), L"http://EXAMSRV:8080/exam");
    EXPECT_NE(config().find("<location path=\"Exam/exam\">"), std::string::npos);
}

// A name no virtual directory can carry publishes nothing: the run goes on
// to the database page without claiming success or storing the URL.
class UnusableNameTest : public WebServerPageTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(UnusableNameTest, IsReportedAndNoURLIsStored) {
    makeMachine();
    startPage();
    const std::string before = config();
    control(L"txtVirtualDIR").setText(GetParam());
    order.events.clear();
    control(L"cmdOK").click();
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"Unable to create /" + std::wstring(GetParam()) +
                                                    L": not a valid virtual directory name."});
    EXPECT_EQ(webURL(), kFailToOpenKey);
    EXPECT_EQ(occurrences(config(), "<application "), occurrences(before, "<application "))
        << "nothing created";
    EXPECT_EQ(order.events, (std::vector<std::wstring>{L"load frmNamePWD", L"unload frmIIS"}));
    EXPECT_EQ(values.failuresReported, 1);
}

INSTANTIATE_TEST_SUITE_P(Names, UnusableNameTest, ::testing::Values(L"", L"/t7", L"a?b", L"../x"));

TEST_F(WebServerPageTest, WithoutAReadableConfigurationNoSiteIsListedAndNothingIsClaimed) {
    for (const std::string& contents : {std::string(), std::string("<configuration><sites>")}) {
        SCOPED_TRACE(contents);
        makeMachine();
        if (contents.empty()) {
            std::filesystem::remove(machine.applicationHostConfig());
        } else {
            test::writeFileBytes(machine.applicationHostConfig(), contents);
        }
        startPage();
        EXPECT_EQ(control(L"lstWebServer").listCount(), 0);
        EXPECT_EQ(control(L"txtURL").text(), L"http://192.168.1.10/t7");
        control(L"cmdOK").click();
        EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"Unable to find  on 192.168.1.10"});
        EXPECT_EQ(webURL(), kFailToOpenKey);
        EXPECT_TRUE(wizard->namePWD().isLoaded());
        EXPECT_EQ(config(), contents);
        backend.clearMessageBoxes();
        wizard.reset();
        values.reset();
    }
}

TEST_F(WebServerPageTest, ARegistryThatCannotBeWrittenIsReportedInsteadOfSuccess) {
    makeMachine();
    startPage();
    // The configuration is published; then the registry file goes bad.
    test::writeFileBytes(machine.registryFile(), "not a registry file");
    control(L"cmdOK").click();
    // The page's box, then the error log's.
    ASSERT_EQ(boxTexts().size(), 2u);
    EXPECT_EQ(boxTexts()[0].rfind(L"错误号：1009\r\n", 0), 0u) << toUtf8(boxTexts()[0]);
    EXPECT_NE(test::readFileBytes(dir.path() / "ErrorLog.TXT").find("Error Code:\t1009"), std::string::npos);
    EXPECT_TRUE(wizard->namePWD().isLoaded());
    EXPECT_EQ(values.failuresReported, 1);
    EXPECT_EQ(test::readFileBytes(machine.registryFile()), "not a registry file");
}

TEST_F(WebServerPageTest, FailedOkKeepsThePageAndASecondOkSucceeds) {
    makeMachine();
    startPage();
    const std::string before = config();
    control(L"txtVirtualDIR").setText(L"a,b");
    control(L"cmdOK").click();
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    EXPECT_EQ(backend.messageBoxes()[0].request.text, L"IIS配置有问题!");
    EXPECT_EQ(backend.messageBoxes()[0].request.icon, MsgIcon::None);
    EXPECT_EQ(backend.messageBoxes()[0].request.shownTitle(), L"T7Setup");
    EXPECT_TRUE(page().isLoaded());
    EXPECT_EQ(config(), before);
    EXPECT_EQ(webURL().rfind(L"fail to", 0), 0u);

    control(L"txtVirtualDIR").setText(L"t7");
    control(L"cmdOK").click();
    EXPECT_EQ(boxTexts().back(), L"IIS配置成功!\rhttp://192.168.1.10/t7");
    EXPECT_FALSE(page().isLoaded());
}

TEST_F(WebServerPageTest, CommaInTheInstallFolderFailsAndCreatesNothing) {
    makeMachine();
    startPage({L"192.168.1.10"}, L"D:\\Exam,1");
    const std::string before = config();
    control(L"cmdOK").click();
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"IIS配置有问题!"});
    EXPECT_TRUE(page().isLoaded());
    EXPECT_EQ(config(), before);
}

TEST_F(WebServerPageTest, ASecondRunReusesTheDirectoryWithoutAMessage) {
    makeMachine();
    startPage();
    control(L"cmdOK").click();
    wizard.reset();
    values.reset();
    backend.clearMessageBoxes();

    startPage();
    control(L"cmdOK").click();
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"IIS配置成功!\rhttp://192.168.1.10/t7"});
    EXPECT_EQ(occurrences(config(), "<application path=\"/t7\">"), 1u);
    EXPECT_EQ(occurrences(config(), "<location "), 1u);
}

TEST_F(WebServerPageTest, CancelAnsweredNoKeepsThePageAndYesEndsTheRun) {
    makeMachine();
    startPage();
    backend.queueAnswer(MsgResult::No);
    control(L"cmdCancel").click();
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    const MessageBoxRequest& box = backend.messageBoxes()[0].request;
    EXPECT_EQ(box.text, L"确定要取消吗？");
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.shownTitle(), L"取消");
    EXPECT_TRUE(page().isLoaded());
    EXPECT_EQ(control(L"txtURL").text(), L"http://192.168.1.10/t7");

    backend.queueAnswer(MsgResult::Yes);
    control(L"cmdCancel").click();
    EXPECT_TRUE(runtime.ended());
    EXPECT_EQ(webURL().rfind(L"fail to", 0), 0u);
}

TEST_F(WebServerPageTest, IpDialogChoiceCreatesThroughTheChosenAddressWhileTheComboStartsOnTheFirst) {
    makeMachine();
    backend.whenModal([](Form& dialog) {
        dialog.control(L"optIP", 1).setValue(true);
        dialog.control(L"cmdOK").click();
    });
    startPage({L"192.168.1.10", L"10.0.0.2", L"172.16.0.3"});
    EXPECT_EQ(values.SelectedIP, L"10.0.0.2");
    EXPECT_EQ(control(L"cboWEBIP").text(), L"192.168.1.10");
    EXPECT_EQ(control(L"lstWebServer").text(), L"Default Web Site");
    control(L"cmdOK").click();
    EXPECT_EQ(webURL(), L"http://192.168.1.10/t7");
    EXPECT_NE(config().find("<application path=\"/t7\">"), std::string::npos);
}

}  // namespace
}  // namespace t7
