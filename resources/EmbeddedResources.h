#pragma once
// The resources the build embeds into the program (generated source).
#include <cstddef>

namespace t7 {

struct EmbeddedResource {
    const wchar_t* name;
    const wchar_t* type;
    const unsigned char* bytes;
    std::size_t size;
};

// The embedded resources; `count` receives their number.
const EmbeddedResource* embeddedResources(std::size_t& count);

}  // namespace t7
