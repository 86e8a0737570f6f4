#include <gtest/gtest.h>

#include "base/AppError.h"
#include "support/FakeWebServerStore.h"
#include "web/WebSites.h"

namespace t7 {
namespace {

using List = std::vector<std::wstring>;

struct BindingCase {
    std::wstring text;
    std::array<std::wstring, 3> parts;
};

class GetBindingTest : public ::testing::TestWithParam<BindingCase> {};

TEST_P(GetBindingTest, SplitsAtTheFirstTwoColons) {
    EXPECT_EQ(getBinding(GetParam().text), GetParam().parts);
}

INSTANTIATE_TEST_SUITE_P(Bindings, GetBindingTest,
                         ::testing::Values(BindingCase{L":80:", {L"", L"80", L""}},
                                           BindingCase{L"192.168.1.10:8080:examhost",
                                                       {L"192.168.1.10", L"8080", L"examhost"}},
                                           BindingCase{L"1.2.3.4:80:a:b", {L"1.2.3.4", L"80", L"a:b"}},
                                           BindingCase{L"::", {L"", L"", L""}}));

TEST(GetBindingFailures, FewerThanTwoColonsCannotBeSplit) {
    for (const wchar_t* text : {L"", L"80", L"1.2.3.4:80"}) EXPECT_THROW(getBinding(text), AppError);
}

class SitesTest : public ::testing::Test {
protected:
    test::FakeFolders folders;
    test::FakeWebServerStore store{folders};

    std::wstring found(const std::wstring& name) {
        auto site = findWeb(store, L"localhost", name);
        return site ? site->ADsPath() : L"nothing";
    }
};

TEST_F(SitesTest, FindWebMatchesDescriptionHostOrAddressFirstInStoreOrder) {
    store.addOther(L"IIsFilters").comment = L"Exam";
    store.addSite(L"Default Web Site", List{L":80:"});
    store.addSite(L"Exam", List{L"192.168.1.10:8080:examhost", L":81:other"});
    store.addSite(L"Exam", List{L":82:"});
    store.addSite(L"Backup", List{L"10.0.0.5:80:Backup"});
    store.addSite(L"Single", std::wstring(L"10.0.0.9:80:single"));

    EXPECT_EQ(found(L"Exam"), L"IIS://localhost/W3SVC/2");
    EXPECT_EQ(found(L"examhost"), L"IIS://localhost/W3SVC/2");
    EXPECT_EQ(found(L"192.168.1.10"), L"IIS://localhost/W3SVC/2");
    EXPECT_EQ(found(L"10.0.0.5"), L"IIS://localhost/W3SVC/4");
    EXPECT_EQ(found(L"single"), L"IIS://localhost/W3SVC/5") << "a single string is a binding too";
    EXPECT_EQ(found(L"other"), L"nothing") << "only the first binding counts";
    EXPECT_EQ(found(L"exam"), L"nothing") << "comparisons keep case";
    EXPECT_EQ(found(L"8080"), L"nothing");
    EXPECT_EQ(found(L""), L"IIS://localhost/W3SVC/1") << "the empty ip of :80: equals an empty name";
}

TEST_F(SitesTest, FindWebSkipsEmptyFirstBindingsAndFailsOnUnsplittableOnes) {
    store.addSite(L"Blank", List{L"", L"10.0.0.1:80:"});
    store.addSite(L"None", std::wstring());
    store.addSite(L"Exam", List{L":80:"});
    EXPECT_EQ(found(L"Blank"), L"IIS://localhost/W3SVC/1");
    EXPECT_EQ(found(L"10.0.0.1"), L"nothing");
    EXPECT_EQ(found(L"Exam"), L"IIS://localhost/W3SVC/3");

    store.children.front().bindings = List{L"10.0.0.1:80"};
    EXPECT_THROW(findWeb(store, L"localhost", L"Exam"), AppError);
    store.children.front().bindings = List{};
    EXPECT_THROW(findWeb(store, L"localhost", L"Exam"), AppError);
    EXPECT_THROW(findWeb(store, L"far-away", L"Exam"), AppError);
}

struct PortCase {
    ServerBindingsValue bindings;
    std::wstring part;
};

class UrlPortPartTest : public SitesTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(UrlPortPartTest, TakesThePortOfExactlyThreeFields) {
    store.addSite(L"Exam", GetParam().bindings);
    auto site = findWeb(store, L"localhost", L"Exam");
    EXPECT_EQ(urlPortPart(site.get()), GetParam().part);
}

INSTANTIATE_TEST_SUITE_P(Ports, UrlPortPartTest,
                         ::testing::Values(PortCase{List{L":80:"}, L""}, PortCase{List{L":8080:"}, L":8080"},
                                           PortCase{List{L"192.168.1.10:81:exam", L":82:"}, L":81"},
                                           PortCase{List{L"1.2.3.4:8080:a:b"}, L""}, PortCase{List{}, L""},
                                           PortCase{std::wstring(L":8080:"), L""}));

// The page's site list as a plain recorder.
struct RecordingList : ISiteList {
    List items;
    List events;
    void addItem(const std::wstring& text) override {
        items.push_back(text);
        events.push_back(L"add " + text);
    }
    int listCount() const override { return static_cast<int>(items.size()); }
    void selectIndex(int index) override { events.push_back(L"select " + std::to_wstring(index)); }
};

TEST_F(SitesTest, ListWebSitesAddsOnlyWebServersAndSelectsTheFirstAfterEachChild) {
    store.addOther(L"IIsApplicationPools");
    store.addSite(L"Default Web Site", List{L":80:"});
    store.addSite(L"Exam", List{L":8080:"});
    RecordingList list;
    list.items = {L"kept"};
    listWebSites(store, L"localhost", list);
    EXPECT_EQ(list.items, (List{L"kept", L"Default Web Site", L"Exam"})) << "not cleared, store order";
    EXPECT_EQ(list.events,
              (List{L"select 0", L"add Default Web Site", L"select 0", L"add Exam", L"select 0"}));

    RecordingList unreachable;
    listWebSites(store, L"10.9.9.9", unreachable);
    EXPECT_TRUE(unreachable.events.empty());
}

TEST_F(SitesTest, ListWebSitesGoesOnPastAFailingChild) {
    store.addSite(L"Exam", List{L":80:"});
    store.failAt(L"Class");
    RecordingList list;
    listWebSites(store, L"localhost", list);
    EXPECT_TRUE(list.items.empty());
    EXPECT_EQ(store.calls(L"Class"), 1);
}

TEST_F(SitesTest, ComposeWebURLLeavesThePortOutWhenTheLookupFails) {
    store.addSite(L"Exam", List{L":8080:"});
    store.reachable.insert(L"EXAMSRV");
    EXPECT_EQ(composeWebURL(store, L"EXAMSRV", L"Exam", L"t7"), L"http://EXAMSRV:8080/t7");
    EXPECT_EQ(composeWebURL(store, L"EXAMSRV", L"Exam", L""), L"http://EXAMSRV:8080/");
    EXPECT_EQ(composeWebURL(store, L"192.168.1.10", L"Exam", L"t7"), L"http://192.168.1.10/t7");
}

}  // namespace
}  // namespace t7
