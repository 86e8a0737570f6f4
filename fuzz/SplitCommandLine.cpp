// libFuzzer target for the command-line splitter. The first byte picks
// MaxArgs, every further byte is one character, so quotes, spaces and tabs
// come up often.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "process/CommandLine.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int32_t maxArgs = data[0] % 16;
    std::wstring raw;
    for (size_t i = 1; i < size; ++i) raw += static_cast<wchar_t>(data[i]);

    const std::vector<std::wstring> args = t7::SplitCommandLine(raw, maxArgs);
    check(!args.empty());
    check(args[0].empty());
    check(args.size() - 1 <= static_cast<size_t>(maxArgs));
    size_t characters = 0;
    for (const std::wstring& arg : args) {
        check(arg.empty() || arg.front() != L'"');
        characters += arg.size();
    }
    check(characters <= raw.size());

    // Pre-split arguments without quotes survive the rejoin: cut the same
    // characters at byte 1 into at most MaxArgs arguments.
    std::vector<std::wstring> parts(1);
    for (wchar_t c : raw) {
        if (c == 1) {
            parts.emplace_back();
        } else if (c != L'"') {
            parts.back() += c;
        }
    }
    if (parts.size() <= static_cast<size_t>(maxArgs)) {
        std::vector<std::wstring> expected = {L""};
        expected.insert(expected.end(), parts.begin(), parts.end());
        check(t7::SplitCommandLine(t7::joinArguments(parts), maxArgs) == expected);
    }
    return 0;
}
