#include <gtest/gtest.h>

#include "base/AppError.h"
#include "support/FakeNetworkInfoService.h"
#include "web/mdlIPArray.h"

namespace t7 {
namespace {

using Address = test::FakeNetworkInfoService::Address;
using Entries = std::vector<std::wstring>;

class mdlIPArrayTest : public ::testing::Test {
protected:
    Entries load() {
        mdlIPArray::LoadIPArray(m_values, m_network);
        return m_values.IPArray;
    }
    std::vector<Address> numbered(size_t count) {
        std::vector<Address> rows;
        for (size_t i = 0; i < count; ++i) {
            rows.push_back({10, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 1});
        }
        return rows;
    }

    ProcessValues m_values;
    test::FakeNetworkInfoService m_network;
};

TEST_F(mdlIPArrayTest, EntriesFollowTheTableInItsOwnOrder) {
    struct Case {
        std::vector<Address> rows;
        Entries expected;
    };
    const Case cases[] = {
        {{}, {L""}},
        {{{127, 0, 0, 1}}, {L"127.0.0.1"}},
        {{{192, 168, 1, 10}, {127, 0, 0, 1}, {0, 0, 0, 0}, {169, 254, 3, 4}, {10, 0, 0, 1}},
         {L"192.168.1.10", L"127.0.0.1", L"0.0.0.0", L"169.254.3.4", L"10.0.0.1"}},
        {{{255, 255, 255, 255}, {1, 2, 3, 4}}, {L"255.255.255.255", L"1.2.3.4"}},
    };
    for (const Case& c : cases) {
        m_values.IPArray = {L"stale", L"entries", L"gone"};
        m_network.setAddresses(c.rows);
        EXPECT_EQ(load(), c.expected);
        EXPECT_TRUE(m_values.ipArrayDimensioned);
    }
}

TEST_F(mdlIPArrayTest, TwoHundredFiftySixRowsFitTheWorkingTable) {
    m_network.setAddresses(numbered(256));
    const Entries entries = load();
    ASSERT_EQ(entries.size(), 256u);
    EXPECT_EQ(entries[0], L"10.0.0.1");
    EXPECT_EQ(entries[255], L"10.0.255.1");
}

TEST_F(mdlIPArrayTest, RowTwoHundredFiftySevenRaisesAfterFillingTheRest) {
    m_network.setAddresses(numbered(257));
    try {
        mdlIPArray::LoadIPArray(m_values, m_network);
        FAIL() << "no error raised";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), errnum::SubscriptOutOfRange);
    }
    ASSERT_EQ(m_values.IPArray.size(), 257u);
    EXPECT_EQ(m_values.IPArray[255], L"10.0.255.1");
    EXPECT_EQ(m_values.IPArray[256], L"");
}

TEST_F(mdlIPArrayTest, SizeQueryOfZeroLeavesTheListUntouched) {
    m_network.setAddresses({{127, 0, 0, 1}});
    m_network.reportedSize = 0;
    EXPECT_EQ(load(), Entries{});
    EXPECT_FALSE(m_values.ipArrayDimensioned);

    m_values.IPArray = {L"192.168.0.2", L"HOST"};
    m_values.ipArrayDimensioned = true;
    EXPECT_EQ(load(), (Entries{L"192.168.0.2", L"HOST"}));
}

TEST_F(mdlIPArrayTest, FailedFillOrMissingRowsReadAsZeroBytes) {
    // The table grew between the two calls: the buffer stays zero-filled.
    m_network.setAddresses({{127, 0, 0, 1}});
    m_network.reportedSize = 4;
    EXPECT_EQ(load(), Entries{L""});

    m_network.reportedSize.reset();
    m_network.failFill = true;
    EXPECT_EQ(load(), Entries{L""});

    // A row count that promises more rows than the buffer holds.
    m_network.failFill = false;
    m_network.setAddresses({{127, 0, 0, 1}}, 3);
    EXPECT_EQ(load(), (Entries{L"127.0.0.1", L"0.0.0.0", L"0.0.0.0"}));
}

TEST_F(mdlIPArrayTest, ComputerNameIsDecodedFromCodePage936AndBounded) {
    m_network.name = "EXAM-SRV";
    EXPECT_EQ(mdlIPArray::GetLocalComputerName(m_network), L"EXAM-SRV");
    m_network.name = "\xBF\xBC\xCA\xD4";  // 考试
    EXPECT_EQ(mdlIPArray::GetLocalComputerName(m_network), L"考试");
    // A length beyond the 255-character buffer is cut at the buffer.
    m_network.name = "PC";
    m_network.reportedNameLength = 4000;
    const std::wstring name = mdlIPArray::GetLocalComputerName(m_network);
    EXPECT_EQ(name.size(), 255u);
    EXPECT_EQ(name.substr(0, 3), std::wstring(L"PC\0", 3));
}

}  // namespace
}  // namespace t7
