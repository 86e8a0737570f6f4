#pragma once
// Which database server the wizard works on under Windows, chosen by
// T7SETUP_DATABASE:
//   engine:<folder>   the embedded engine, its server folder at <folder>
//   engine            the embedded engine in %ProgramData%\T7Setup\sqlserver
// Unset or empty, it is the engine in its default folder. Any other text is
// refused with AppError 5 naming the choices, so that a mistyped setting
// never silently picks another server.
#include <filesystem>
#include <optional>
#include <string>

namespace t7 {

struct DatabaseChoice {
    enum class Kind { Engine };
    Kind kind = Kind::Engine;
    // The engine's server folder.
    std::filesystem::path serverFolder;
};

// Reads a T7SETUP_DATABASE value; `programData` is %ProgramData%.
DatabaseChoice parseDatabaseChoice(const std::wstring& setting, const std::wstring& programData);

}  // namespace t7
