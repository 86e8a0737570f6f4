// libFuzzer target for the registry file reader. Whatever it accepts, it
// must write in a form it reads back to the same registry: formatting the
// parsed document, parsing that and formatting again gives the same bytes.
#include "platform/machine/RegFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto parsed = t7::regfile::Document::parse(bytes);
    if (!parsed) return 0;
    const std::string written = parsed->format();
    const auto again = t7::regfile::Document::parse(written);
    check(again.has_value());
    check(again->format() == written);
    return 0;
}
