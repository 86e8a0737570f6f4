#pragma once
// A small stand-in for the machine file system's path rules, for tests of
// components that take a path mapper: "X:\a\b" lies in <root>/drive_x/a/b,
// "\" separates, and a component that does not exist as written is looked up
// ignoring letter case. Other paths are used as they are.
#include <filesystem>
#include <string>

namespace t7::test {

std::filesystem::path mapClientPath(const std::filesystem::path& machineRoot, const std::wstring& clientPath);

}  // namespace t7::test
