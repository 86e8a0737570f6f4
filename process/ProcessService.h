#pragma once
// The process service: what the wizard needs to know about its own process.
#include <memory>
#include <string>

namespace t7 {

class IProcessService {
public:
    virtual ~IProcessService() = default;

    // The raw command-line text after the program's own name, with the
    // quotes that delimit arguments; empty when there are no arguments.
    virtual std::wstring commandLineArguments() const = 0;
    // The folder that holds the program file, without a trailing separator.
    virtual std::wstring programFolder() const = 0;
};

// The process service of the platform the program was built for, over the
// arguments main() received.
std::unique_ptr<IProcessService> makeProcessService(int argc, const char* const* argv);

}  // namespace t7
