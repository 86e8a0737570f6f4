// Linked into every test program: tells the tests where the source and
// build trees are, unless the environment already says so.
#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment() {
        setenv("T7_SOURCE_DIR", T7_SOURCE_DIR, 0);
        setenv("T7_BINARY_DIR", T7_BINARY_DIR, 0);
    }
};

const TestEnvironment environment;

}  // namespace
