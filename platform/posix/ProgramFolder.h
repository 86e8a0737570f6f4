#pragma once
// The folder of the running program, from /proc/self/exe.
#include <filesystem>

namespace t7 {

// Raises AppError when the executable's path cannot be read.
std::filesystem::path programFolder();

}  // namespace t7
