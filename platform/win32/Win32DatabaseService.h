#pragma once
// Which database server the wizard works on under Windows, chosen by
// T7SETUP_DATABASE:
//   odbc              SQL Server through odbc32 and the best SQL Server
//                     driver installed (the default, also when unset)
//   engine:<folder>   the embedded engine, its server folder at <folder>
//   engine            the embedded engine in %ProgramData%\T7Setup\sqlserver
// Any other text is refused with AppError 5 naming the choices, so that a
// mistyped setting never silently picks another server.
#include <filesystem>
#include <string>

namespace t7 {

struct DatabaseChoice {
    enum class Kind { Odbc, Engine };
    Kind kind = Kind::Odbc;
    // The engine's server folder.
    std::filesystem::path serverFolder;
};

// Reads a T7SETUP_DATABASE value; `programData` is %ProgramData%.
DatabaseChoice parseDatabaseChoice(const std::wstring& setting, const std::wstring& programData);

}  // namespace t7
