#pragma once
// Runs the t7machine tool of this build, as a person would, to create and
// inspect machine folders in tests.
#include <string>
#include <vector>

namespace t7::test {

struct ToolResult {
    int status = -1;
    std::string output;  // standard output and standard error
};

// t7machine with these arguments; raises std::runtime_error when the tool
// cannot be started at all.
ToolResult runMachineTool(const std::vector<std::string>& arguments);

}  // namespace t7::test
