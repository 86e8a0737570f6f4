#include "platform/odbc/OdbcText.h"

#include <cstdint>

namespace t7::odbc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::vector<SQLWCHAR> toOdbcText(std::wstring_view text) {
    std::vector<SQLWCHAR> out;
    out.reserve(text.size() + 1);
    if constexpr (sizeof(wchar_t) == sizeof(SQLWCHAR)) {
        for (wchar_t c : text) out.push_back(static_cast<SQLWCHAR>(c));
    } else {
        for (wchar_t w : text) {
            char32_t c = static_cast<char32_t>(w);
            if (c > 0x10FFFF || isHighSurrogate(c) || isLowSurrogate(c)) c = kReplacement;
            if (c >= 0x10000) {
                c -= 0x10000;
                out.push_back(static_cast<SQLWCHAR>(0xD800 + (c >> 10)));
                out.push_back(static_cast<SQLWCHAR>(0xDC00 + (c & 0x3FF)));
            } else {
                out.push_back(static_cast<SQLWCHAR>(c));
            }
        }
    }
    out.push_back(0);
    return out;
}

std::wstring fromOdbcText(const SQLWCHAR* text, size_t length) {
    std::wstring out;
    out.reserve(length);
    if constexpr (sizeof(wchar_t) == sizeof(SQLWCHAR)) {
        for (size_t i = 0; i < length; ++i) out.push_back(static_cast<wchar_t>(text[i]));
    } else {
        for (size_t i = 0; i < length; ++i) {
            char32_t c = text[i];
            if (isHighSurrogate(c) && i + 1 < length && isLowSurrogate(text[i + 1])) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
                ++i;
            } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
                c = kReplacement;
            }
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return out;
}

}  // namespace t7::odbc
