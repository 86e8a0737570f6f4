#include "support/MachineTool.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace t7::test {
namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

ToolResult runMachineTool(const std::vector<std::string>& arguments) {
    // The build tree: $T7_BINARY_DIR, else the parent of the folder holding
    // this test program (<build>/tests/test_web).
    const char* binary = std::getenv("T7_BINARY_DIR");
    const std::filesystem::path build =
        binary && *binary ? std::filesystem::path(binary)
                          : std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
    const std::filesystem::path tool = build / "tools" / "t7machine";
    if (!std::filesystem::exists(tool)) throw std::runtime_error("t7machine is not built: " + tool.string());
    std::string command = quoted(tool.string());
    for (const std::string& a : arguments) command += " " + quoted(a);
    command += " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    ToolResult result;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace t7::test
