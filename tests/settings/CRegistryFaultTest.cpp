// CRegistry over a hive that fails at a chosen operation: a failed read
// becomes one of the fixed result texts, a failed write raises
// RegistryError, and every handle is closed.
#include <gtest/gtest.h>

#include <set>

#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineRegistryHive.h"
#include "settings/CRegistry.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

enum class Op { None, OpenSoftwareApp, OpenSoftware, CreateApp, CreateSection, Query, Set };

// Passes calls to a real hive, fails the chosen one, and tracks open handles.
class FaultyHive : public IRegistryHive {
public:
    FaultyHive(IRegistryHive& inner, Op fail) : m_inner(inner), m_fail(fail) {}

    int32_t openKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) override {
        if ((m_fail == Op::OpenSoftware && subKey == "Software") ||
            (m_fail == Op::OpenSoftwareApp && subKey.starts_with("Software\\"))) {
            return reg::AccessDenied;
        }
        int32_t rc = m_inner.openKey(parent, subKey, result);
        return track(rc, result);
    }
    int32_t createKey(RegKeyHandle parent, const std::string& subKey, RegKeyHandle& result) override {
        if ((m_fail == Op::CreateApp && subKey == "Ostrel") ||
            (m_fail == Op::CreateSection && subKey == "Install")) {
            return reg::AccessDenied;
        }
        int32_t rc = m_inner.createKey(parent, subKey, result);
        return track(rc, result);
    }
    int32_t queryValue(RegKeyHandle key, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
        if (m_fail == Op::Query && data) return reg::AccessDenied;
        return m_inner.queryValue(key, name, type, data, size);
    }
    int32_t setValue(RegKeyHandle key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override {
        if (m_fail == Op::Set) return reg::AccessDenied;
        return m_inner.setValue(key, name, type, data, size);
    }
    int32_t closeKey(RegKeyHandle key) override {
        EXPECT_EQ(m_open.erase(key), 1u) << "closed a handle that was not open";
        return m_inner.closeKey(key);
    }

    const std::multiset<RegKeyHandle>& open() const { return m_open; }

private:
    int32_t track(int32_t rc, RegKeyHandle handle) {
        if (rc == reg::Success) m_open.insert(handle);
        return rc;
    }

    IRegistryHive& m_inner;
    Op m_fail;
    std::multiset<RegKeyHandle> m_open;
};

struct FaultCase {
    Op fail;
    const wchar_t* read;    // what GetKeyValue through the failing hive gives
    const wchar_t* stored;  // what the hive holds afterwards
    bool writeRaises;
};

class CRegistryFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CRegistryFaultTest, ReadsGiveTheResultTextsWritesRaiseAndHandlesAllClose) {
    test::TempDir dir;
    MachineFolder machine(dir.path());
    MachineRegistryHive real(machine);
    MachineFileSystem fileSystem(machine);
    // The application key exists for the read cases; the write cases start from scratch.
    const bool haveApp = GetParam().fail == Op::Query || GetParam().fail == Op::OpenSoftwareApp;
    if (haveApp)
        CRegistry(real, fileSystem)
            .SetKeyValue(L"Ostrel", L"Install", L"v", L"old", RegistryRoot::LocalMachine);

    FaultyHive hive(real, GetParam().fail);
    CRegistry registry(hive, fileSystem);
    if (GetParam().writeRaises) {
        try {
            registry.SetKeyValue(L"Ostrel", L"Install", L"v", L"new", RegistryRoot::LocalMachine);
            ADD_FAILURE() << "a failed write passed for a stored value";
        } catch (const RegistryError& e) {
            EXPECT_EQ(e.number(), reg::AccessDenied);
            EXPECT_EQ(e.description(),
                      L"The registry value Software\\Ostrel\\Install\\v cannot be written (error 5)");
        }
    } else {
        EXPECT_EQ(registry.SetKeyValue(L"Ostrel", L"Install", L"v", L"new", RegistryRoot::LocalMachine), L"");
    }
    EXPECT_TRUE(hive.open().empty());
    EXPECT_EQ(registry.GetKeyValue(L"Ostrel", L"Install", L"v", RegistryRoot::LocalMachine), GetParam().read);
    EXPECT_TRUE(hive.open().empty());
    const std::wstring stored =
        CRegistry(real, fileSystem).GetKeyValue(L"Ostrel", L"Install", L"v", RegistryRoot::LocalMachine);
    EXPECT_EQ(stored, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CRegistryFaultTest,
    ::testing::Values(FaultCase{Op::None, L"new", L"new", false},
                      // The application key cannot be opened but exists: opened again through Software.
                      FaultCase{Op::OpenSoftwareApp, L"fail to open key", L"new", false},
                      FaultCase{Op::OpenSoftware, L"fail to open key", L"fail to open key", true},
                      FaultCase{Op::CreateApp, L"fail to open key", L"fail to open key", true},
                      FaultCase{Op::CreateSection, L"fail to open key", L"fail to open key", true},
                      FaultCase{Op::Set, L"fail to get value", L"fail to get value", true},
                      FaultCase{Op::Query, L"fail to get value", L"new", false}));

}  // namespace
}  // namespace t7
