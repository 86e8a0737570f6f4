// Code page 936 conversion on Windows, whatever the system's ANSI code page.
// The results match the converter of the other platforms: a character
// without a code becomes one "?", an undecodable byte becomes one "?".
#include <windows.h>

#include <climits>
#include <stdexcept>

#include "base/Text.h"

namespace t7 {
namespace {

constexpr UINT kCodePage = 936;

int checkedLength(size_t size) {
    if (size > static_cast<size_t>(INT_MAX))
        throw std::length_error("text too long for code page conversion");
    return static_cast<int>(size);
}

bool isHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Converts a run of characters that has no surrogates.
void appendEncoded(std::string& out, std::wstring_view run) {
    if (run.empty()) return;
    const int length = checkedLength(run.size());
    const int needed =
        WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, run.data(), length, nullptr, 0, "?", nullptr);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(needed));
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, run.data(), length, out.data() + at, needed, "?",
                        nullptr);
}

}  // namespace

std::string toCp936(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    // Code page 936 has no character outside the Basic Multilingual Plane:
    // a surrogate pair (or a lone surrogate) is one character without a code.
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!isHighSurrogate(text[i]) && !isLowSurrogate(text[i])) continue;
        appendEncoded(out, text.substr(start, i - start));
        out += '?';
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) ++i;
        start = i + 1;
    }
    appendEncoded(out, text.substr(start));
    return out;
}

std::wstring fromCp936(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = checkedLength(bytes.size());
    const int needed = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (needed > 0) {
        std::wstring out(static_cast<size_t>(needed), L'\0');
        MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), length, out.data(), needed);
        return out;
    }
    // Something does not decode: go character by character, a lead byte
    // with its trail byte, and let each byte that does not decode be "?".
    std::wstring out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<BYTE>(bytes[i]);
        const int width = IsDBCSLeadByteEx(kCodePage, byte) && i + 1 < bytes.size() ? 2 : 1;
        wchar_t decoded[2];
        const int n =
            MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data() + i, width, decoded, 2);
        if (n > 0) {
            out.append(decoded, static_cast<size_t>(n));
            i += static_cast<size_t>(width);
        } else {
            out += L'?';
            ++i;
        }
    }
    return out;
}

}  // namespace t7
