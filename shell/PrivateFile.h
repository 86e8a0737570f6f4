#pragma once
// A file only its owner may read, for what holds passwords: an answers file
// recorded with /r holds every text typed, passwords included.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace t7 {

class IPrivateFile {
public:
    virtual ~IPrivateFile() = default;
    // Appends `bytes` and hands them to the operating system at once, so
    // that a run that dies leaves what was written. False when the write
    // failed.
    virtual bool append(std::string_view bytes) = 0;
};

// Creates `file` readable and writable by its owner only, or empties an
// existing one and restricts it so before anything is written. nullptr when
// it cannot be opened, or is no regular file (a folder, a FIFO); `why` then
// says why.
std::unique_ptr<IPrivateFile> createPrivateFile(const std::filesystem::path& file, std::wstring& why);

}  // namespace t7
