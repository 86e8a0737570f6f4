#pragma once
// Scratch folders for tests: each test gets a fresh folder below the build
// tree, removed when the object goes away.
#include <filesystem>
#include <string>

namespace t7::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Reads a whole file as bytes; empty when it is missing.
std::string readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace t7::test
