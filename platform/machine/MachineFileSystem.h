#pragma once
// The file system service over a machine folder. Wizard paths are Windows
// paths; they map to native paths as follows:
// - "\" and "/" both separate components; "." is dropped and ".." goes up
//   one level, never above a drive's root.
// - "X:\..." lies in <machine>/drive_x; but the Windows folder of drive C:
//   ("C:\WINDOWS\...", any case) is <machine>/Windows, so that
//   systemDirectory() "C:\WINDOWS\system32" is <machine>/Windows/System32.
// - A path beginning with a separator is a native absolute path
//   ("/srv/exam\WebRoot" is /srv/exam/WebRoot); any other path is relative
//   to the current directory.
// - Each component is looked up case-insensitively when the exact name does
//   not exist, as on Windows ("Webroot" finds "WebRoot").
// Failures raise AppError with the numbers and texts of the scripting
// runtime: 53 "File not found", 58 "File already exists", 70 "Permission
// denied", 76 "Path not found".
#include "base/FileSystem.h"
#include "platform/machine/MachineFolder.h"

namespace t7 {

class MachineFileSystem : public IFileSystem {
public:
    explicit MachineFileSystem(MachineFolder machine) : m_machine(std::move(machine)) {}

    bool folderExists(const std::wstring& path) const override;
    // Raises 58 when the folder (or a file of that name) exists already.
    void createFolder(const std::wstring& path) override;
    bool fileExists(const std::wstring& path) const override;
    void deleteFile(const std::wstring& path) override;
    // Raises 53 when `from` is missing, 58 when `to` exists.
    void moveFile(const std::wstring& from, const std::wstring& to) override;
    // "C:\WINDOWS\system32".
    std::wstring systemDirectory() const override;
    std::filesystem::path nativePath(const std::wstring& path) const override;

private:
    MachineFolder m_machine;
};

}  // namespace t7
