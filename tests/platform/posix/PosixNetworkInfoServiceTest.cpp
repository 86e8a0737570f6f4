#include <gtest/gtest.h>

#include <vector>

#include "platform/posix/PosixNetworkInfoService.h"
#include "web/mdlIPArray.h"

namespace t7 {
namespace {

TEST(PosixNetworkInfoServiceTest, SizeQueryThenFillGivesAnIpv4TableWithTheLoopback) {
    PosixNetworkInfoService network;
    uint32_t size = 0;
    EXPECT_NE(network.GetIpAddrTable(nullptr, size, true), 0u);
    ASSERT_GE(size, 4u);
    ASSERT_EQ((size - 4) % 24, 0u);

    uint32_t tooSmall = size - 1;
    std::vector<uint8_t> small(tooSmall);
    EXPECT_NE(network.GetIpAddrTable(small.data(), tooSmall, false), 0u);
    EXPECT_EQ(tooSmall, size);

    ProcessValues values;
    mdlIPArray::LoadIPArray(values, network);
    EXPECT_EQ(values.IPArray.size(), (size - 4) / 24);
    EXPECT_NE(std::find(values.IPArray.begin(), values.IPArray.end(), L"127.0.0.1"), values.IPArray.end());
}

TEST(PosixNetworkInfoServiceTest, ComputerNameIsTheShortHostName) {
    PosixNetworkInfoService network;
    const std::wstring name = mdlIPArray::GetLocalComputerName(network);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find(L'.'), std::wstring::npos);
    EXPECT_EQ(name.find(L'\0'), std::wstring::npos);

    char tiny[2];
    uint32_t size = sizeof tiny;
    if (name.size() >= 2) {
        EXPECT_FALSE(network.GetComputerNameA(tiny, size));
        EXPECT_EQ(size, name.size() + 1);
    }
}

}  // namespace
}  // namespace t7
