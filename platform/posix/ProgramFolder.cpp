#include "platform/posix/ProgramFolder.h"

#include <system_error>

#include "base/AppError.h"
#include "base/Text.h"

namespace t7 {

std::filesystem::path programFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        throw AppError(errnum::PathNotFound,
                       L"Path not found: the program's folder (" + fromUtf8(ec.message()) + L")");
    }
    return exe.parent_path();
}

}  // namespace t7
