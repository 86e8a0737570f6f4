#include "platform/posix/PosixProcessService.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Text.h"
#include "shell/CommandLine.h"

namespace t7 {

PosixProcessService::PosixProcessService() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // NUL-terminated strings; the first is the program name.
    size_t start = all.find('\0');
    while (start != std::string::npos && start + 1 < all.size()) {
        ++start;
        size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        m_arguments.push_back(fromUtf8(std::string_view(all).substr(start, end - start)));
        start = end;
    }
}

PosixProcessService::PosixProcessService(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) m_arguments.push_back(fromUtf8(argv[i]));
}

std::wstring PosixProcessService::commandLineArguments() const {
    return joinArguments(m_arguments);
}

std::unique_ptr<IProcessService> makeProcessService(int argc, const char* const* argv) {
    return std::make_unique<PosixProcessService>(argc, argv);
}

std::wstring PosixProcessService::programFolder() const {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return fromUtf8(std::filesystem::current_path().string());
    return fromUtf8(exe.parent_path().string());
}

}  // namespace t7
