#pragma once
// The contract of the web server store, written once. Each implementation
// instantiates it with harnesses (see ApplicationHostFileHarness):
//   INSTANTIATE_TYPED_TEST_SUITE_P(Name, WebServerStoreContract, Harnesses);
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/machine/ApplicationHostConfig.h"
#include "platform/machine/ApplicationHostStore.h"
#include "support/FakeWebServerStore.h"

namespace t7 {

struct SavedDirectory {
    std::wstring path;
    bool application = false;
    bool accessRead = false;
    bool accessScript = false;
};

// Every harness holds: the application pools (a child of another class),
// "Default Web Site" bound to *:80: and "Exam" bound to
// 192.168.1.10:8080:examhost; the folders D:\Exam\WebRoot and D:\Other exist;
// the computer is 192.168.1.10 / EXAMSRV.
//
// This one keeps them in the applicationHost.config at `file`, which it
// writes when it is made.
class ApplicationHostFileHarness {
public:
    explicit ApplicationHostFileHarness(std::filesystem::path file) : m_file(std::move(file)) {
        folders.folders = {L"D:\\Exam\\WebRoot", L"D:\\Other"};
        ApplicationHostConfig config = ApplicationHostConfig::createDefault();
        config.addSite(L"Exam", L"192.168.1.10:8080:examhost", L"D:\\Sites\\Exam");
        std::filesystem::create_directories(m_file.parent_path());
        config.save(m_file);
    }
    const std::filesystem::path& file() const { return m_file; }
    IWebServerStore& store() { return m_store; }

    std::optional<SavedDirectory> saved(const std::wstring& siteName, const std::wstring& name) {
        ApplicationHostConfig config = ApplicationHostConfig::load(file());
        pugi::xml_node site = config.findSite(siteName);
        pugi::xml_node application = ApplicationHostConfig::findApplication(site, L"/" + name);
        pugi::xml_node directory = application
                                       ? ApplicationHostConfig::findVirtualDirectory(application, L"/")
                                       : ApplicationHostConfig::findVirtualDirectory(
                                             ApplicationHostConfig::findApplication(site, L"/"), L"/" + name);
        if (!directory) return std::nullopt;
        std::wstring policy = config.accessPolicy(siteName + L"/" + name).value_or(L"");
        return SavedDirectory{fromUtf8(directory.attribute("physicalPath").value()), bool(application),
                              policy.find(L"Read") != std::wstring::npos,
                              policy.find(L"Script") != std::wstring::npos};
    }
    bool started(const std::wstring& siteName) {
        ApplicationHostConfig config = ApplicationHostConfig::load(file());
        return std::string_view(config.findSite(siteName).attribute("serverAutoStart").value()) == "true";
    }

private:
    std::filesystem::path m_file;
    test::FakeFolders folders;
    ApplicationHostStore m_store{m_file, folders, [] {
                                     return std::vector<std::wstring>{L"192.168.1.10", L"EXAMSRV"};
                                 }};
};

template <class Harness>
class WebServerStoreContract : public ::testing::Test {
protected:
    Harness harness;

    std::shared_ptr<IWebObject> site(const std::wstring& name) {
        for (auto& child : harness.store().bind(L"IIS://localhost/W3svc")->children()) {
            if (child->Class() == kWebServerClass && child->ServerComment() == name) return child;
        }
        return nullptr;
    }
};

TYPED_TEST_SUITE_P(WebServerStoreContract);

TYPED_TEST_P(WebServerStoreContract, BindsOnlyTheLocalComputer) {
    for (const wchar_t* computer :
         {L"localhost", L"127.0.0.1", L".", L"192.168.1.10", L"EXAMSRV", L"examsrv"}) {
        EXPECT_NO_THROW(this->harness.store().bind(L"IIS://" + std::wstring(computer) + L"/W3svc"))
            << toUtf8(computer);
    }
    for (const wchar_t* path : {L"IIS://192.168.1.99/W3svc", L"IIS://OTHERHOST/W3svc", L"IIS:///W3svc",
                                L"IIS://localhost/MSFTPSVC"}) {
        EXPECT_THROW(this->harness.store().bind(path), AppError) << toUtf8(path);
    }
}

TYPED_TEST_P(WebServerStoreContract, EnumeratesSitesAndOtherChildrenWithTheirProperties) {
    auto children = this->harness.store().bind(L"IIS://EXAMSRV/W3svc")->children();
    ASSERT_EQ(children.size(), 3u);
    std::vector<std::shared_ptr<IWebObject>> sites;
    for (auto& child : children) {
        if (child->Class() == kWebServerClass) {
            sites.push_back(child);
        } else {
            EXPECT_THROW(child->ServerComment(), AppError);
        }
    }
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(sites[0]->ServerComment(), L"Default Web Site");
    EXPECT_EQ(sites[0]->ADsPath(), L"IIS://EXAMSRV/W3SVC/1");
    using List = std::vector<std::wstring>;
    EXPECT_EQ(std::get<List>(sites[0]->ServerBindings()), List{L":80:"});
    EXPECT_EQ(sites[1]->ServerComment(), L"Exam");
    EXPECT_EQ(std::get<List>(sites[1]->ServerBindings()), List{L"192.168.1.10:8080:examhost"});
}

TYPED_TEST_P(WebServerStoreContract, CreatesSavesAndReusesAnApplicationDirectory) {
    auto root = this->site(L"Exam")->GetObject(kWebVirtualDirClass, L"Root");
    auto directory = root->Create(kWebVirtualDirClass, L"t7");
    directory->setAccessRead(true);
    directory->setAccessScript(true);
    directory->setPath(L"D:\\Exam\\WebRoot");
    directory->setAppFriendlyName(L"t7");
    directory->AppCreate2(2);
    EXPECT_FALSE(this->harness.saved(L"Exam", L"t7")) << "nothing is saved before SetInfo";
    directory->SetInfo();

    auto saved = this->harness.saved(L"Exam", L"t7");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->path, L"D:\\Exam\\WebRoot");
    EXPECT_TRUE(saved->application);
    EXPECT_TRUE(saved->accessRead);
    EXPECT_TRUE(saved->accessScript);
    EXPECT_FALSE(this->harness.saved(L"Default Web Site", L"t7"));

    EXPECT_THROW(root->Create(kWebVirtualDirClass, L"t7"), AppError);
    EXPECT_THROW(root->GetObject(kWebVirtualDirClass, L"t8"), AppError);
    auto again = root->GetObject(kWebVirtualDirClass, L"t7");
    again->setPath(L"D:\\Other");
    again->AppCreate2(2);
    again->SetInfo();
    EXPECT_EQ(this->harness.saved(L"Exam", L"t7")->path, L"D:\\Other");
}

TYPED_TEST_P(WebServerStoreContract, RefusesPathsAndModesItCannotServe) {
    auto root = this->site(L"Default Web Site")->GetObject(kWebVirtualDirClass, L"Root");
    EXPECT_THROW(this->site(L"Default Web Site")->GetObject(kWebVirtualDirClass, L"Filters"), AppError);
    EXPECT_THROW(root->Create(kWebVirtualDirClass, L""), AppError);
    auto directory = root->Create(kWebVirtualDirClass, L"t7");
    EXPECT_THROW(directory->setPath(L"D:\\Exam\\Missing"), AppError);
    EXPECT_THROW(directory->AppCreate2(7), AppError);
    EXPECT_THROW(directory->SetInfo(), AppError) << "a new directory needs a path";
    EXPECT_FALSE(this->harness.saved(L"Default Web Site", L"t7"));
}

TYPED_TEST_P(WebServerStoreContract, StartLeavesTheSiteStarted) {
    this->site(L"Exam")->Start();
    this->site(L"Exam")->Start();
    EXPECT_TRUE(this->harness.started(L"Exam"));
    EXPECT_FALSE(this->harness.started(L"Default Web Site"));
}

REGISTER_TYPED_TEST_SUITE_P(WebServerStoreContract, BindsOnlyTheLocalComputer,
                            EnumeratesSitesAndOtherChildrenWithTheirProperties,
                            CreatesSavesAndReusesAnApplicationDirectory, RefusesPathsAndModesItCannotServe,
                            StartLeavesTheSiteStarted);

}  // namespace t7
