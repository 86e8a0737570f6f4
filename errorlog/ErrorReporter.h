#pragma once
// ShowError: appends an entry for an unexpected error to "ErrorLog.TXT" in
// the program's folder (code page 936, CR LF) and, unless suppressed, shows
// the error to the operator in a box titled with the program's version.
// It never fails towards its caller: every failure inside it is shown in a
// box of its own (its description, OK, no icon, the default title) and the
// next step follows.
#include <cstdint>
#include <filesystem>
#include <string>

#include "errorlog/Clock.h"
#include "forms/MessageBox.h"

namespace t7 {

struct ProgramVersion {
    int32_t major = 2;
    int32_t minor = 1;
    int32_t revision = 25;
};

inline constexpr ProgramVersion kProgramVersion{};
inline constexpr const wchar_t* kErrorLogName = L"ErrorLog.TXT";

// "Unexpected Error! Version:  2. 1.0025": major and minor each with a
// leading blank in place of the sign of a non-negative number, the revision
// with at least four digits.
std::wstring errorBoxTitle(const ProgramVersion& version);

class ErrorReporter {
public:
    // programFolder: the folder of the running program as a native path
    // (IProcessService::programFolder()), where the log lives.
    ErrorReporter(std::filesystem::path programFolder, const IClock& clock, IMessageBoxService& messageBoxes,
                  ProgramVersion version = kProgramVersion)
        : m_programFolder(std::move(programFolder)),
          m_clock(clock),
          m_messageBoxes(messageBoxes),
          m_version(version) {}

    // Shmsg true suppresses the operator's box; the entry is written either
    // way.
    void ShowError(const std::wstring& strModule, const std::wstring& strProcedure, int32_t lngErrorNumber,
                   const std::wstring& strErrordescription, bool Shmsg);

    std::filesystem::path logFile() const { return m_programFolder / "ErrorLog.TXT"; }

private:
    std::filesystem::path m_programFolder;
    const IClock& m_clock;
    IMessageBoxService& m_messageBoxes;
    ProgramVersion m_version;
};

}  // namespace t7
