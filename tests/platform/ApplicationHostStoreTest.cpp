// What the store over applicationHost.config writes, and what it never
// touches.
#include <gtest/gtest.h>

#include "base/AppError.h"
#include "platform/machine/ApplicationHostStore.h"
#include "support/FakeWebServerStore.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// A configuration as Windows writes it: byte order mark, CR LF, comments, a
// second site, sections the wizard knows nothing of.
const std::string kWindowsConfig =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!-- kept: head comment -->\r\n"
    "<configuration>\r\n"
    "\t<system.applicationHost>\r\n"
    "\t\t<applicationPools>\r\n"
    "\t\t\t<add name=\"DefaultAppPool\" />\r\n"
    "\t\t</applicationPools>\r\n"
    "\t\t<sites>\r\n"
    "\t\t\t<site name=\"Default Web Site\" id=\"1\" serverAutoStart=\"true\">\r\n"
    "\t\t\t\t<application path=\"/\">\r\n"
    "\t\t\t\t\t<virtualDirectory path=\"/\" physicalPath=\"%SystemDrive%\\inetpub\\wwwroot\" />\r\n"
    "\t\t\t\t\t<virtualDirectory path=\"/old\" physicalPath=\"D:\\Old\" />\r\n"
    "\t\t\t\t</application>\r\n"
    "\t\t\t\t<bindings>\r\n"
    "\t\t\t\t\t<binding protocol=\"http\" bindingInformation=\"*:80:\" />\r\n"
    "\t\t\t\t</bindings>\r\n"
    "\t\t\t</site>\r\n"
    "\t\t\t<site name=\"Other\" id=\"7\">\r\n"
    "\t\t\t\t<!-- kept: site comment -->\r\n"
    "\t\t\t\t<application path=\"/\" applicationPool=\"DefaultAppPool\">\r\n"
    "\t\t\t\t\t<virtualDirectory path=\"/\" physicalPath=\"D:\\OtherSite\" />\r\n"
    "\t\t\t\t</application>\r\n"
    "\t\t\t\t<bindings />\r\n"
    "\t\t\t</site>\r\n"
    "\t\t</sites>\r\n"
    "\t</system.applicationHost>\r\n"
    "\t<system.webServer>\r\n"
    "\t\t<defaultDocument enabled=\"true\" />\r\n"
    "\t</system.webServer>\r\n"
    "</configuration>\r\n"
    "<!-- kept: tail comment -->\r\n";

class ApplicationHostStoreTest : public ::testing::Test {
protected:
    ApplicationHostStoreTest() { folders.folders = {L"D:\\Exam\\WebRoot", L"D:\\New"}; }

    std::filesystem::path file() const { return dir.path() / "config" / "applicationHost.config"; }
    std::string contents() const { return test::readFileBytes(file()); }

    std::shared_ptr<IWebObject> defaultSite() {
        return store.bind(L"IIS://localhost/W3svc")->children().at(1);
    }

    test::TempDir dir;
    test::FakeFolders folders;
    ApplicationHostStore store{file(), folders, [] { return std::vector<std::wstring>{}; }};
};

TEST_F(ApplicationHostStoreTest, MissingConfigurationFailsToBind) {
    EXPECT_THROW(store.bind(L"IIS://localhost/W3svc"), AppError);
}

TEST_F(ApplicationHostStoreTest, MalformedConfigurationFailsToBindAndIsNeverWritten) {
    for (const std::string& bad : {std::string("<configuration><system.applicationHost>"),
                                   std::string("<notConfiguration />"), std::string()}) {
        test::writeFileBytes(file(), bad);
        EXPECT_THROW(store.bind(L"IIS://localhost/W3svc"), AppError);
        EXPECT_EQ(contents(), bad);
    }

    // Broken between bind and save: the save fails and the file stays as is.
    test::writeFileBytes(file(), kWindowsConfig);
    auto site = defaultSite();
    auto directory = site->GetObject(kWebVirtualDirClass, L"Root")->Create(kWebVirtualDirClass, L"t7");
    directory->setPath(L"D:\\Exam\\WebRoot");
    const std::string broken = kWindowsConfig.substr(0, kWindowsConfig.size() / 2);
    test::writeFileBytes(file(), broken);
    EXPECT_THROW(directory->SetInfo(), AppError);
    EXPECT_THROW(site->Start(), AppError);
    EXPECT_EQ(contents(), broken);
}

TEST_F(ApplicationHostStoreTest, SavingAnApplicationKeepsEverythingElseAsItWas) {
    test::writeFileBytes(file(), kWindowsConfig);
    auto directory =
        defaultSite()->GetObject(kWebVirtualDirClass, L"Root")->Create(kWebVirtualDirClass, L"t7");
    directory->setAccessRead(true);
    directory->setAccessScript(true);
    directory->setPath(L"D:\\Exam\\WebRoot");
    directory->setAppFriendlyName(L"t7 friendly");
    directory->AppCreate2(2);
    directory->SetInfo();

    const std::string after = contents();
    const std::string otherSite = kWindowsConfig.substr(
        kWindowsConfig.find("\t\t\t<site name=\"Other\""),
        kWindowsConfig.find("\t\t</sites>") - kWindowsConfig.find("\t\t\t<site name=\"Other\""));
    EXPECT_EQ(after.compare(0, 80, kWindowsConfig, 0, 80), 0)
        << "byte order mark, declaration, first comment";
    EXPECT_NE(after.find(otherSite), std::string::npos) << after;
    EXPECT_NE(after.find("\t\t<defaultDocument enabled=\"true\" />\r\n"), std::string::npos);
    EXPECT_NE(after.find("</configuration>\r\n<!-- kept: tail comment -->\r\n"), std::string::npos);
    EXPECT_NE(after.find("\t\t\t\t</application>\r\n"
                         "\t\t\t\t<application path=\"/t7\">\r\n"
                         "\t\t\t\t\t<virtualDirectory path=\"/\" physicalPath=\"D:\\Exam\\WebRoot\" />\r\n"
                         "\t\t\t\t</application>\r\n"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("\t<location path=\"Default Web Site/t7\">\r\n"
                         "\t\t<system.webServer>\r\n"
                         "\t\t\t<handlers accessPolicy=\"Read, Script\" />\r\n"
                         "\t\t</system.webServer>\r\n"
                         "\t</location>\r\n"),
              std::string::npos)
        << after;
    EXPECT_EQ(after.find("friendly"), std::string::npos) << "no attribute the schema does not know";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file().parent_path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left behind";

    // Starting a site that already starts with the server writes nothing.
    test::writeFileBytes(file(), kWindowsConfig);
    defaultSite()->Start();
    EXPECT_EQ(contents(), kWindowsConfig);
}

TEST_F(ApplicationHostStoreTest, ReusedVirtualDirectoryBecomesAnApplication) {
    test::writeFileBytes(file(), kWindowsConfig);
    auto directory =
        defaultSite()->GetObject(kWebVirtualDirClass, L"Root")->GetObject(kWebVirtualDirClass, L"OLD");
    directory->setPath(L"D:\\New");
    directory->AppCreate2(2);
    directory->SetInfo();

    const std::string after = contents();
    EXPECT_EQ(after.find("<virtualDirectory path=\"/old\""), std::string::npos) << after;
    EXPECT_NE(after.find("<application path=\"/old\">\r\n"
                         "\t\t\t\t\t<virtualDirectory path=\"/\" physicalPath=\"D:\\New\" />"),
              std::string::npos)
        << after;
}

TEST_F(ApplicationHostStoreTest, SiteWithoutBindingsCannotStartAndReadsAsEmptyBinding) {
    test::writeFileBytes(file(), kWindowsConfig);
    auto other = store.bind(L"IIS://localhost/W3svc")->children().at(2);
    EXPECT_EQ(other->ADsPath(), L"IIS://localhost/W3SVC/7");
    EXPECT_EQ(std::get<std::wstring>(other->ServerBindings()), L"");
    EXPECT_THROW(other->Start(), AppError);
    EXPECT_EQ(contents(), kWindowsConfig);
}

}  // namespace
}  // namespace t7
