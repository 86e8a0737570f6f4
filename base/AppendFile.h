#pragma once
// A file opened for appending, as the runtime's "Open ... For Append" is:
// created when missing, every write going to its end at once (nothing is
// buffered). Each failure raises the runtime's file error for it (AppError
// 52 bad file name or number, 57 device I/O, 61 disk full, 70 permission
// denied, 75 path/file access, 76 path not found). Each platform implements
// it over its own file calls.
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace t7 {

class AppendFile {
public:
    explicit AppendFile(const std::filesystem::path& file);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    void write(std::string_view bytes);
    // Closing reports what the system reports at closing; afterwards a write
    // raises AppError 52.
    void close();

private:
    // The platform's handle: a file descriptor, or a Windows HANDLE.
    intptr_t m_handle;
    bool m_open = false;
};

}  // namespace t7
