// The registry hive contract over the machine folder's registry.reg.
#include <memory>

#include "platform/machine/MachineRegistryHive.h"
#include "support/RegistryHiveContract.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// A hive over a fresh machine folder.
struct MachineHiveFactory {
    test::TempDir dir;
    std::unique_ptr<IRegistryHive> make() {
        return std::make_unique<MachineRegistryHive>(MachineFolder(dir.path()));
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Machine, RegistryHiveContract, MachineHiveFactory);

}  // namespace
}  // namespace t7
