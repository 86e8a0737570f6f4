#include <gtest/gtest.h>

#include "base/AppError.h"
#include "base/Text.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeWebServerStore.h"
#include "web/VirtualDirs.h"

namespace t7 {
namespace {

using List = std::vector<std::wstring>;

struct Call {
    std::wstring computer, site;
    List names, paths;
    bool operator==(const Call&) const = default;
};

struct SplitCase {
    std::wstring computers, site, dirs;
    VirtualDirsResult result;
    std::vector<Call> calls;
};

class CreateVirtualDirsTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CreateVirtualDirsTest, PairsTheFieldsAndCallsOncePerComputer) {
    std::vector<Call> calls;
    // The creator reports a failure for the second computer.
    VirtualDirsResult result = createVirtualDirs(GetParam().computers, GetParam().site, GetParam().dirs,
                                                 [&](auto& computer, auto& site, auto& names, auto& paths) {
                                                     calls.push_back({computer, site, names, paths});
                                                     return computer == L"b" ? 1 : 0;
                                                 });
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, CreateVirtualDirsTest,
    ::testing::Values(
        SplitCase{L"192.168.1.10",
                  L"Exam",
                  L"t7,D:\\Exam\\Web\\WebRoot",
                  VirtualDirsResult::Created,
                  {{L"192.168.1.10", L"Exam", {L"t7", L""}, {L"D:\\Exam\\Web\\WebRoot", L""}}}},
        SplitCase{L"a,b",
                  L"Exam",
                  L"x,p1,y,p2",
                  VirtualDirsResult::FailureReported,
                  {{L"a", L"Exam", {L"x", L"y", L""}, {L"p1", L"p2", L""}},
                   {L"b", L"Exam", {L"x", L"y", L""}, {L"p1", L"p2", L""}}}},
        // A comma inside the path gives an odd field count: nothing happens.
        SplitCase{L"192.168.1.10", L"Exam", L"t7,D:\\Exam,1\\WebRoot", VirtualDirsResult::Failed, {}},
        // Without a site the creator is still asked, so that it reports it.
        SplitCase{L"192.168.1.10",
                  L"",
                  L"t7,D:\\Exam\\WebRoot",
                  VirtualDirsResult::Created,
                  {{L"192.168.1.10", L"", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}}}},
        // No computer: nothing is published.
        SplitCase{L"", L"Exam", L"t7,D:\\Exam\\WebRoot", VirtualDirsResult::FailureReported, {}},
        SplitCase{L"192.168.1.10",
                  L"Exam",
                  L",D:\\Exam\\WebRoot",
                  VirtualDirsResult::Created,
                  {{L"192.168.1.10", L"Exam", {L"", L""}, {L"D:\\Exam\\WebRoot", L""}}}}));

TEST(CreateVirtualDirsFailure, AnErrorOfTheCreatorMakesItFalse) {
    int calls = 0;
    EXPECT_EQ(createVirtualDirs(L"a,b", L"Exam", L"t7,p",
                                [&](auto&, auto&, auto&, auto&) -> int {
                                    ++calls;
                                    throw AppError(5, L"boom");
                                }),
              VirtualDirsResult::Failed);
    EXPECT_EQ(calls, 1);
}

class AstCreateTest : public ::testing::Test {
protected:
    AstCreateTest() {
        folders.folders = {L"D:\\Exam\\WebRoot", L"D:\\B"};
        store.addSite(L"Default Web Site", List{L":80:"});
        store.addSite(L"Exam", List{L":8080:"});
    }

    List run(const std::wstring& site, const List& names, const List& paths,
             const std::wstring& computer = L"localhost") {
        failures = ASTCreateVirtualWebDir(services, computer, site, names, paths);
        return messages.texts();
    }
    test::FakeChild& exam() { return store.children[1]; }

    test::FakeFolders folders;
    test::FakeWebServerStore store{folders};
    test::FakeMessageBoxes messages;
    int compositions = 0;
    int failures = -1;
    VirtualDirServices services{store, messages, [this] { ++compositions; }};
};

TEST_F(AstCreateTest, CreatesAnApplicationWithReadAndScriptAccessAndStartsTheSite) {
    EXPECT_EQ(run(L"Exam", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}), List{});
    ASSERT_EQ(exam().directories.size(), 1u);
    const test::FakeDirectory& t7 = exam().directories.at(L"t7");
    EXPECT_EQ(t7.path, L"D:\\Exam\\WebRoot");
    EXPECT_TRUE(t7.application && t7.accessRead && t7.accessScript);
    EXPECT_EQ(t7.friendlyName, L"t7");
    EXPECT_TRUE(exam().started);
    EXPECT_EQ(compositions, 1);
    EXPECT_TRUE(store.children[0].directories.empty());
}

TEST_F(AstCreateTest, ReusesAnExistingDirectoryWithoutAMessageAndStartsEveryTime) {
    exam().directories[L"t7"] = {L"D:\\Old", false, false, false, L""};
    EXPECT_EQ(run(L"Exam", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}), List{});
    EXPECT_EQ(run(L"Exam", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}), List{});
    EXPECT_EQ(exam().directories.at(L"t7").path, L"D:\\Exam\\WebRoot");
    EXPECT_TRUE(exam().directories.at(L"t7").application);
    EXPECT_EQ(store.calls(L"Start"), 2);
    EXPECT_EQ(store.calls(L"SetInfo"), 2);
}

TEST_F(AstCreateTest, ProcessesEveryEntryButTheLast) {
    EXPECT_EQ(run(L"Exam", {L"a", L"b", L"c"}, {L"D:\\Exam\\WebRoot", L"D:\\B", L"D:\\B"}), List{});
    EXPECT_EQ(exam().directories.size(), 2u);
    EXPECT_FALSE(exam().directories.count(L"c"));

    EXPECT_EQ(run(L"Exam", {L"x", L"y"}, {L"D:\\B"}), List{}) << "lists of different length";
    EXPECT_FALSE(exam().directories.count(L"x"));
}

TEST_F(AstCreateTest, SiteNotFoundShowsOneMessageAndTouchesNothing) {
    EXPECT_EQ(run(L"Missing", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}),
              List{L"Unable to find Missing on localhost"});
    EXPECT_EQ(run(L"Exam", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}, L"10.1.1.1").back(),
              L"Unable to find Exam on 10.1.1.1");
    EXPECT_EQ(store.calls(L"Start"), 0);
    EXPECT_EQ(compositions, 2) << "the URL is recomposed before the message";
    const MessageBoxRequest& box = messages.shown().front();
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_FALSE(box.title);
}

TEST_F(AstCreateTest, FailingStartOrRootStopsBeforeAnyDirectory) {
    store.failAt(L"Start");
    EXPECT_EQ(run(L"Exam", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}),
              List{L"Unable to access root for IIS://localhost/W3SVC/2"});
    EXPECT_EQ(store.calls(L"Create"), 0);
}

TEST_F(AstCreateTest, BadPathShowsTheBindMessageAndSavesNothing) {
    EXPECT_EQ(run(L"Exam", {L"a", L"b", L""}, {L"D:\\Nowhere", L"D:\\B", L""}),
              List{L"Unable to bind path D:\\Nowhere to /a. Path may be invalid."});
    EXPECT_FALSE(exam().directories.count(L"a"));
    EXPECT_TRUE(exam().directories.count(L"b")) << "the next entry goes on";
}

TEST_F(AstCreateTest, AnUnusableNameIsRefusedAndLeavesThePreviousDirectoryAlone) {
    EXPECT_EQ(run(L"Exam", {L"a", L"", L""}, {L"D:\\B", L"D:\\Exam\\WebRoot", L""}),
              List{L"Unable to create /: not a valid virtual directory name."});
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(exam().directories.at(L"a").path, L"D:\\B");
    EXPECT_EQ(exam().directories.at(L"a").friendlyName, L"a");
}

TEST_F(AstCreateTest, FailingSaveShowsTheSaveMessage) {
    store.failAt(L"SetInfo");
    EXPECT_EQ(run(L"Exam", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}),
              List{L"Unable to save configuration for /t7."});
    EXPECT_EQ(failures, 1);
}

TEST_F(AstCreateTest, CountsEveryFailureItShows) {
    EXPECT_EQ(run(L"Exam", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}), List{});
    EXPECT_EQ(failures, 0);
    run(L"Missing", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""});
    EXPECT_EQ(failures, 1);
    messages.clear();
    EXPECT_EQ(run(L"Exam", {L"a", L"b", L"c", L""}, {L"D:\\Nowhere", L"D:\\B", L"D:\\Nowhere", L""}).size(),
              2u);
    EXPECT_EQ(failures, 2);
}

TEST_F(AstCreateTest, AnEmptySiteNameFindsNoSiteEvenWhereABindingHasNoHost) {
    store.addSite(L"Any host", List{L"*:80:"});
    EXPECT_EQ(run(L"", {L"t7", L""}, {L"D:\\Exam\\WebRoot", L""}), List{L"Unable to find  on localhost"});
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(store.calls(L"Create"), 0);
}

TEST(VirtualDirNameTest, UsableNames) {
    for (const wchar_t* name : {L"t7", L"exam-2026", L"考试", L"a.b", L"a b"}) {
        EXPECT_TRUE(isUsableVirtualDirName(name)) << toUtf8(name);
    }
    for (const wchar_t* name :
         {L"", L"/t7", L"a?b", L"../x", L".", L"...", L"t7 ", L"a#b", L"a%20", L"a:b", L"a\tb", L"a😀"}) {
        EXPECT_FALSE(isUsableVirtualDirName(name)) << toUtf8(name);
    }
}

}  // namespace
}  // namespace t7
