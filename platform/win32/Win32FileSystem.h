#pragma once
// The file system service over the Windows file system: wizard paths are
// native paths, handed to the wide-character functions as they are.
// Failures raise AppError with the numbers and texts of the scripting
// runtime: 53 "File not found", 58 "File already exists", 70 "Permission
// denied", 76 "Path not found".
#include "base/FileSystem.h"

namespace t7 {

class Win32FileSystem : public IFileSystem {
public:
    bool folderExists(const std::wstring& path) const override;
    // Raises 58 when the folder (or a file of that name) exists already.
    void createFolder(const std::wstring& path) override;
    bool fileExists(const std::wstring& path) const override;
    void deleteFile(const std::wstring& path) override;
    // Raises 53 when `from` is missing, 58 when `to` exists.
    void moveFile(const std::wstring& from, const std::wstring& to) override;
    // GetSystemDirectoryW: "C:\WINDOWS\system32" on most machines.
    std::wstring systemDirectory() const override;
    std::filesystem::path nativePath(const std::wstring& path) const override;
};

// %ProgramData%, the folder for the data of all users ("C:\ProgramData").
// Raises 76 when the environment does not name it.
std::wstring windowsProgramDataFolder();

}  // namespace t7
