#pragma once
// The installer's switches: /s plays an answers file back silently, /r
// records one, /f1"FILE" names the answers file and /f2"FILE" the log. They
// are taken out of the arguments before the wizard reads its command line,
// so every command line the wizard handles can also be run silently.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace t7 {

struct SetupSwitches {
    bool silent = false;
    bool record = false;
    std::optional<std::wstring> answersFile;
    std::optional<std::wstring> logFile;
};

// Removes every switch from `arguments` (pre-split, quotes already removed
// by the shell) and returns them. A switch is a whole argument: "/s", "/r",
// or "/f1" or "/f2" directly followed by the file name, in any letter case;
// quotes around the file name are dropped. Any other argument stays.
//
// Native paths begin with "/" too, so an argument that `exists` (a file or
// folder of that whole name, such as the installation folder /f1x/Exam) is
// never taken for /f1 or /f2. "--" ends the switches: it is dropped and
// every argument after it stays as it is. `exists` may be empty (nothing
// exists).
SetupSwitches extractSwitches(std::vector<std::wstring>& arguments,
                              const std::function<bool(const std::wstring&)>& exists = {});

// The same over raw argument text, as Windows keeps it (quotes included):
// the text is cut into words at blanks outside double quotes, each word
// that is a switch (as above) is removed with the blanks before it, and
// everything else stays exactly as written, for the wizard's own
// splitting. Leading blanks left over are dropped.
SetupSwitches extractSwitchesFromText(std::wstring& text,
                                      const std::function<bool(const std::wstring&)>& exists = {});

// The switches and the wizard's raw argument text of this process. Defined
// by the platform folder: where the system hands over split arguments
// (argc/argv) they are rejoined with joinArguments; on Windows the text the
// system keeps for the process is used as it is, so that no argument is
// narrowed to the ANSI code page or re-quoted.
struct ProgramCommandLine {
    SetupSwitches switches;
    std::wstring argumentText;
};
ProgramCommandLine readProgramCommandLine(int argc, const char* const* argv,
                                          const std::function<bool(const std::wstring&)>& exists);

// Why the answers file and the log file cannot be used as named, or
// nothing: an existing one that is a folder, a FIFO or a socket (reading or
// writing it would fail or wait forever), or one file named twice, under
// any spelling or link. Either may be unset. Touches no file.
std::optional<std::wstring> switchFilesProblem(const std::optional<std::filesystem::path>& answersFile,
                                               const std::optional<std::filesystem::path>& logFile);

}  // namespace t7
