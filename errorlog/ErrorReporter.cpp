#include "errorlog/ErrorReporter.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "base/AppError.h"
#include "base/ContinueOnError.h"
#include "base/Text.h"

namespace t7 {
namespace {

// Errors of the runtime's file statements, by the failure behind them.
AppError fileError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return AppError(errnum::PathNotFound, L"Path not found");
        case EACCES:
        case EPERM:
        case EROFS:
            return AppError(errnum::PermissionDenied, L"Permission denied");
        case ENOSPC:
        case EDQUOT:
            return AppError(61, L"Disk full");
        case EISDIR:
            return AppError(75, L"Path/File access error");
        default:
            return AppError(57, L"Device I/O error");
    }
}

// Str$ of a number: a blank stands for the sign of a non-negative one.
std::wstring withSign(int32_t n) {
    return (n < 0 ? L"" : L" ") + std::to_wstring(n);
}

std::wstring fourDigits(int32_t n) {
    std::wstring digits = std::to_wstring(n < 0 ? -static_cast<int64_t>(n) : static_cast<int64_t>(n));
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), L'0');
    return (n < 0 ? L"-" : L"") + digits;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

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

    std::unique_ptr<std::FILE, FileCloser> file;
    step([&] {
        std::FILE* f = std::fopen(path.c_str(), "ab");
        if (!f) throw fileError(errno);
        // Unbuffered, so that each line's failure shows at its own write.
        std::setvbuf(f, nullptr, _IONBF, 0);
        file.reset(f);
    });

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
            const std::string bytes = toCp936(line) + "\r\n";
            errno = 0;
            if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
                int error = errno;
                std::clearerr(file.get());
                throw fileError(error);
            }
        });
    }

    step([&] {
        if (file && std::fclose(file.release()) != 0) throw fileError(errno);
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
