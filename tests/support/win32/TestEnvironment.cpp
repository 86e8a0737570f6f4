// Linked into every test program: tells the tests where the source and
// build trees are, unless the environment already says so.
#include <cstdlib>

namespace {

void setDefault(const char* name, const char* value) {
    const char* current = std::getenv(name);
    if (!current || !*current) _putenv_s(name, value);
}

struct TestEnvironment {
    TestEnvironment() {
        setDefault("T7_SOURCE_DIR", T7_SOURCE_DIR);
        setDefault("T7_BINARY_DIR", T7_BINARY_DIR);
    }
};

const TestEnvironment environment;

}  // namespace
