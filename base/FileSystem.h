#pragma once
// The file system service. Paths are the wizard's Windows paths
// ("D:\Exam\WebRoot"); an implementation maps them to its own file system.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace t7 {

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    virtual bool folderExists(const std::wstring& path) const = 0;
    // Creates one folder level; raises AppError (76, path not found) when the
    // parent is missing.
    virtual void createFolder(const std::wstring& path) = 0;
    virtual bool fileExists(const std::wstring& path) const = 0;
    // Raises AppError (53, file not found) when the file is missing.
    virtual void deleteFile(const std::wstring& path) = 0;
    // Renames a file within its file system; raises AppError on failure.
    virtual void moveFile(const std::wstring& from, const std::wstring& to) = 0;
    // The system directory ("C:\WINDOWS\system32" on Windows).
    virtual std::wstring systemDirectory() const = 0;
    // The native path a wizard path resolves to, for components that open
    // files themselves (XML documents, database files).
    virtual std::filesystem::path nativePath(const std::wstring& path) const = 0;
};

// The scripting runtime's error numbers for file system failures, and the
// one routine that raises them with their texts: 53 "File not found", 58
// "File already exists", 70 "Permission denied"; any other number raises 76
// "Path not found".
namespace fserr {
constexpr int32_t FileNotFound = 53;
constexpr int32_t FileAlreadyExists = 58;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t PathNotFound = 76;
}  // namespace fserr
[[noreturn]] void raiseFileSystemError(int32_t number);

// The file system of the platform the program was built for: the real one
// on Windows, the machine folder's elsewhere.
std::unique_ptr<IFileSystem> makeFileSystem();

}  // namespace t7
