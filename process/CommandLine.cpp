#include "process/CommandLine.h"

#include "base/AppError.h"
#include "process/ProcessService.h"

namespace t7 {

std::vector<std::wstring> SplitCommandLine(std::wstring_view rawText, int32_t MaxArgs) {
    if (MaxArgs < 0) throw AppError(errnum::SubscriptOutOfRange, L"Subscript out of range");
    std::vector<std::wstring> args(static_cast<size_t>(MaxArgs) + 1);
    size_t n = 0;
    bool inArgument = false;
    bool quoted = false;
    for (wchar_t c : rawText) {
        const bool blank = c == L' ' || c == L'\t';
        if (!blank && !inArgument) {
            if (n == static_cast<size_t>(MaxArgs)) break;
            ++n;
            inArgument = true;
            quoted = c == L'"';
            if (!quoted) args[n] += c;
        } else if (inArgument) {
            if (c == L'"' && quoted) {
                inArgument = false;
            } else {
                args[n] += c;
            }
        }
    }
    args.resize(n + 1);
    return args;
}

std::vector<std::wstring> SplitCommandLine(const IProcessService& process, int32_t MaxArgs) {
    return SplitCommandLine(process.commandLineArguments(), MaxArgs);
}

std::wstring joinArguments(const std::vector<std::wstring>& arguments) {
    std::wstring text;
    for (const std::wstring& argument : arguments) {
        if (!text.empty()) text += L' ';
        if (!argument.empty() && argument.front() == L'"') {
            text += argument;
        } else {
            text += L'"' + argument + L'"';
        }
    }
    return text;
}

}  // namespace t7
