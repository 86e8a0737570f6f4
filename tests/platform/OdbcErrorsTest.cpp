// How ODBC diagnostics become the component's errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/AppError.h"
#include "platform/odbc/OdbcErrors.h"

namespace t7::odbc {
namespace {

struct ErrorCase {
    const char* what;
    std::vector<Diagnostic> records;
    int32_t number;
    std::wstring description;
    bool link;
};

class OdbcErrorsTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(OdbcErrorsTest, MapsAsTheEmbeddedServersComponentDoes) {
    const ErrorCase& c = GetParam();
    AppError e = componentError(c.records);
    EXPECT_EQ(e.number(), c.number) << c.what;
    EXPECT_EQ(e.description(), c.description) << c.what;
    EXPECT_EQ(isLinkFailure(c.records), c.link) << c.what;
}

const std::wstring kUnreachable = L"SQL Server does not exist or access denied.";

INSTANTIATE_TEST_SUITE_P(
    Records, OdbcErrorsTest,
    ::testing::Values(
        ErrorCase{"login failed, then FreeTDS's summary",
                  {{L"42000", 18456, L"[FreeTDS][SQL Server]Login failed for user 'sa'."},
                   {L"08001", 0, L"[FreeTDS][SQL Server]Unable to connect to data source"}},
                  databaseComponentError(18456),
                  L"Login failed for user 'sa'.",
                  true},
        ErrorCase{
            "FreeTDS cannot reach the host",
            {{L"08001", 20009, L"[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable"},
             {L"08001", 0, L"[FreeTDS][SQL Server]Unable to connect to data source"}},
            databaseComponentError(17),
            kUnreachable,
            true},
        ErrorCase{"Microsoft's TCP provider, an operating system error number",
                  {{L"08001", 10061, L"[Microsoft][ODBC Driver 18 for SQL Server]TCP Provider: refused"}},
                  databaseComponentError(17),
                  kUnreachable,
                  true},
        ErrorCase{"login wait exceeded",
                  {{L"HYT00", 0, L"[unixODBC][FreeTDS]Timeout expired"}},
                  databaseComponentError(17),
                  kUnreachable,
                  true},
        ErrorCase{"database refused at login",
                  {{L"08004", 4060,
                    L"[Microsoft][SQL Server Native Client 10.0][SQL Server]Cannot open database \"T7\""}},
                  databaseComponentError(4060),
                  L"Cannot open database \"T7\"",
                  false},
        ErrorCase{"policy",
                  {{L"42000", 15118, L"[FreeTDS][SQL Server]Password validation failed."}},
                  -2147206386,
                  L"Password validation failed.",
                  false},
        ErrorCase{"link lost in the middle of a script",
                  {{L"08S01", 0, L"[FreeTDS][SQL Server]Write to the server failed"}},
                  databaseComponentError(17),
                  kUnreachable,
                  true},
        ErrorCase{"the driver's own failure",
                  {{L"HY000", 0, L"[unixODBC][Driver Manager]Data source name not found"}},
                  databaseComponentError(0),
                  L"Data source name not found",
                  false},
        ErrorCase{"no record at all",
                  {},
                  databaseComponentError(0),
                  L"The ODBC driver reported a failure.",
                  false}));

TEST(OdbcSecretsTest, SecretsAreBlottedOutOfTheDescription) {
    AppError e(databaseComponentError(102), L"Incorrect syntax near 'Pw1'. Pw1 again; P");
    AppError clean = withoutSecrets(e, {L"", L"Pw1", L"P"});
    EXPECT_EQ(clean.number(), e.number());
    EXPECT_EQ(clean.description(), L"Incorrect syntax near '****'. **** again; ****");
}

}  // namespace
}  // namespace t7::odbc
