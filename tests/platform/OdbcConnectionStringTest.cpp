// Server names and connection strings of the ODBC database component.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/odbc/ConnectionString.h"

namespace t7::odbc {
namespace {

const std::vector<std::wstring> kLocalNames{L"192.168.1.10", L"SERVER01"};

struct NameCase {
    std::wstring server;
    bool valid;
    std::wstring host;
    std::optional<uint16_t> port;
    std::wstring instance;
    bool local;
};

class ServerNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ServerNameTest, SplitsHostPortAndInstance) {
    const NameCase& c = GetParam();
    std::optional<ServerAddress> a = parseServerName(c.server, kLocalNames);
    ASSERT_EQ(a.has_value(), c.valid) << c.server.size();
    if (!a) return;
    EXPECT_EQ(a->host, c.host);
    EXPECT_EQ(a->port, c.port);
    EXPECT_EQ(a->instance, c.instance);
    EXPECT_EQ(a->local, c.local);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ServerNameTest,
    ::testing::Values(
        NameCase{L".", true, L".", {}, L"", true}, NameCase{L"(LOCAL)", true, L"(LOCAL)", {}, L"", true},
        NameCase{L"server01", true, L"server01", {}, L"", true},
        NameCase{L"192.168.1.10,14330", true, L"192.168.1.10", 14330, L"", true},
        NameCase{L"db.example.com, 1500", true, L"db.example.com", 1500, L"", false},
        NameCase{L"EXAMSRV\\SQLEXPRESS", true, L"EXAMSRV", {}, L"SQLEXPRESS", false},
        NameCase{L".\\MSDE,1433", true, L".", 1433, L"MSDE", true},
        NameCase{L"host,0", false, L"", {}, L"", false}, NameCase{L"host,65536", false, L"", {}, L"", false},
        NameCase{L"host,14a", false, L"", {}, L"", false}, NameCase{L"host\\", false, L"", {}, L"", false},
        NameCase{L"  ", false, L"", {}, L"", false}));

ConnectionRequest request(const std::wstring& server, const std::wstring& driver,
                          const std::wstring& extra = L"") {
    return {*parseServerName(server, kLocalNames), L"sa", L"pa;ss}w=rd", driver, parseAttributes(extra)};
}

TEST(ConnectionStringTest, FreeTdsGetsTheLoopbackAddressAndAPortAttribute) {
    EXPECT_EQ(buildConnectionString(request(L"SERVER01,14330", L"FreeTDS")),
              L"Driver={FreeTDS};Server=127.0.0.1;Port=14330;UID={sa};PWD={pa;ss}}w=rd};");
    EXPECT_EQ(buildConnectionString(request(L"db.example.com\\EXAM", L"FreeTDS")),
              L"Driver={FreeTDS};Server=db.example.com\\EXAM;UID={sa};PWD={pa;ss}}w=rd};");
}

TEST(ConnectionStringTest, MicrosoftDriversGetSharedMemoryLocallyAndCommaPorts) {
    EXPECT_EQ(buildConnectionString(request(L".\\MSDE", L"SQL Server")),
              L"Driver={SQL Server};Server=(local)\\MSDE;UID={sa};PWD={pa;ss}}w=rd};");
    EXPECT_EQ(
        buildConnectionString(request(L"db.example.com,1500", L"ODBC Driver 18 for SQL Server")),
        L"Driver={ODBC Driver 18 for SQL Server};Server=db.example.com,1500;UID={sa};PWD={pa;ss}}w=rd};");
}

TEST(ConnectionStringTest, EnvironmentAttributesReplaceOursButNeverTheLogin) {
    EXPECT_EQ(buildConnectionString(request(L".", L"SQL Server",
                                            L"Driver={FreeTDS};Port=14330; TDS_Version = 7.4;UID=x;PWD=y")),
              L"Driver={FreeTDS};Server=127.0.0.1;Port=14330;TDS_Version=7.4;UID={sa};PWD={pa;ss}}w=rd};");
}

TEST(ConnectionStringTest, AttributesReadBracesAndSkipPiecesWithoutValue) {
    Attributes a = parseAttributes(L"Driver={ODBC Driver 17 for SQL Server};junk;App={a;b}}c};Port=1;");
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].second, L"ODBC Driver 17 for SQL Server");
    EXPECT_EQ(a[1], (std::pair<std::wstring, std::wstring>{L"App", L"a;b}c"}));
    EXPECT_EQ(attribute(a, L"port"), L"1");
    EXPECT_FALSE(attribute(a, L"Server"));
}

TEST(ConnectionStringTest, DriverChoiceFollowsThePreferenceOrder) {
    EXPECT_EQ(chooseDriver({L"FreeTDS", L"SQL Server", L"ODBC Driver 17 for SQL Server"}),
              L"ODBC Driver 17 for SQL Server");
    EXPECT_EQ(chooseDriver({L"FreeTDS", L"SQL Server Native Client 10.0", L"SQL Server"}),
              L"SQL Server Native Client 10.0");
    EXPECT_EQ(chooseDriver({L"PostgreSQL Unicode", L"FreeTDS"}), L"FreeTDS");
    EXPECT_EQ(chooseDriver({L"PostgreSQL Unicode"}), L"");
    EXPECT_TRUE(isFreeTds(L"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"));
}

}  // namespace
}  // namespace t7::odbc
