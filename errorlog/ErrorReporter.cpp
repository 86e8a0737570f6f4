#include "errorlog/ErrorReporter.h"

#include <memory>

#include "base/AppError.h"
#include "base/AppendFile.h"
#include "base/ContinueOnError.h"
#include "base/Text.h"

namespace t7 {
namespace {

// Str$ of a number: a blank stands for the sign of a non-negative one.
std::wstring withSign(int32_t n) {
    return (n < 0 ? L"" : L" ") + std::to_wstring(n);
}

std::wstring fourDigits(int32_t n) {
    std::wstring digits = std::to_wstring(n < 0 ? -static_cast<int64_t>(n) : static_cast<int64_t>(n));
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), L'0');
    return (n < 0 ? L"-" : L"") + digits;
}

}  // namespace

std::wstring errorBoxTitle(const ProgramVersion& version) {
    return L"Unexpected Error! Version: " + withSign(version.major) + L"." + withSign(version.minor) + L"." +
           fourDigits(version.revision);
}

void ErrorReporter::ShowError(const std::wstring& strModule, const std::wstring& strProcedure,
                              int32_t lngErrorNumber, const std::wstring& strErrordescription, bool Shmsg) {
    ContinueOnError onError;
    // Each failing step is shown on its own and the routine goes on.
    auto step = [&](auto&& body) {
        onError.clear();
        onError.run(body);
        if (onError.failed()) {
            MessageBoxRequest box;
            box.text = onError.description();
            m_messageBoxes.show(box);
        }
    };

    std::wstring now;
    step([&] { now = m_clock.localDateTimeText(); });

    std::filesystem::path path;
    step([&] { path = logFile(); });

    std::unique_ptr<AppendFile> file;
    step([&] { file = std::make_unique<AppendFile>(path); });

    const std::wstring tab = L"\t";
    const std::wstring lines[] = {
        L"**** Error Encountered " + now + L" ****", L"Error Code:" + tab + std::to_wstring(lngErrorNumber),
        L"Description:" + tab + strErrordescription, L"Procedure:" + tab + strProcedure,
        L"Module:" + tab + tab + strModule,          L"",
    };
    for (const std::wstring& line : lines) {
        step([&] {
            // Writing to a file that never opened is the runtime's "bad file
            // name or number".
            if (!file) throw AppError(52, L"Bad file name or number");
            file->write(toCp936(line) + "\r\n");
        });
    }

    step([&] {
        if (file) file->close();
    });

    const std::wstring crlf = L"\r\n";
    const std::wstring message = L"Error:" + strErrordescription + crlf + crlf + L"Module:" + strModule +
                                 crlf + L"Procedure:" + strProcedure + crlf;
    const std::wstring title = errorBoxTitle(m_version);
    if (!Shmsg) {
        MessageBoxRequest box;
        box.text = message;
        box.title = title;
        box.icon = MsgIcon::Critical;
        box.buttons = MsgButtons::Ok;
        m_messageBoxes.show(box);
    }
}

}  // namespace t7
