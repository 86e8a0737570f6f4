// The registry hive over the system registry: the shared contract, and what
// the system's own wide-character view of the stored keys shows.
#include <windows.h>

#include <memory>

#include "platform/win32/Win32RegistryHive.h"
#include "support/RegistryHiveContract.h"

namespace t7 {
namespace {

// Removes what the tests create in the system registry, before and after.
void removeScratchKeys() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\T7Contract");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"T7ContractKey");
}

struct SystemHiveFactory {
    SystemHiveFactory() { removeScratchKeys(); }
    ~SystemHiveFactory() { removeScratchKeys(); }
    std::unique_ptr<IRegistryHive> make() { return std::make_unique<Win32RegistryHive>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(System, RegistryHiveContract, SystemHiveFactory);

class Win32RegistryHiveTest : public ::testing::Test {
protected:
    SystemHiveFactory cleanup;
    Win32RegistryHive hive;
};

TEST_F(Win32RegistryHiveTest, CodePage936NamesAndDataAreStoredAsUnicode) {
    RegKeyHandle key = 0;
    // Software\T7Contract\考试 with the value 名称 = "中文", all in code page 936.
    ASSERT_EQ(
        hive.createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\T7Contract\\\xBF\xBC\xCA\xD4", key),
        reg::Success);
    const std::string data("\xD6\xD0\xCE\xC4\0", 5);
    ASSERT_EQ(hive.setValue(key, "\xC3\xFB\xB3\xC6", reg::Sz, reinterpret_cast<const uint8_t*>(data.data()),
                            static_cast<uint32_t>(data.size())),
              reg::Success);
    EXPECT_EQ(hive.closeKey(key), reg::Success);

    // Whatever the system's ANSI code page, the wide view reads the same text.
    wchar_t text[16] = {};
    DWORD size = sizeof text;
    DWORD type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\T7Contract\\考试", L"名称", RRF_RT_ANY, &type,
                           text, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(text), L"中文");
    EXPECT_EQ(size, 3 * sizeof(wchar_t));
}

TEST_F(Win32RegistryHiveTest, EveryHandleIsReleasedByClose) {
    RegKeyHandle a = 0, b = 0;
    ASSERT_EQ(hive.createKey(rootHandle(RegistryRoot::LocalMachine), "Software\\T7Contract\\A", a),
              reg::Success);
    ASSERT_EQ(hive.openKey(a, "", b), reg::Success);
    EXPECT_NE(a, b);
    EXPECT_EQ(hive.openHandles(), 2u);
    EXPECT_EQ(hive.closeKey(a), reg::Success);
    EXPECT_EQ(hive.closeKey(b), reg::Success);
    EXPECT_EQ(hive.openHandles(), 0u);
    RegKeyHandle unused = 0;
    EXPECT_EQ(hive.openKey(b, "", unused), reg::InvalidHandle);
}

}  // namespace
}  // namespace t7
