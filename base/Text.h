#pragma once
// Text conversions. In memory the wizard keeps std::wstring; wherever bytes
// or character codes are needed, text goes through code page 936 (GBK), the
// system ANSI code page of the target machines.
#include <filesystem>
#include <string>
#include <string_view>

namespace t7 {

// The code page 936 conversions are the platform's: iconv on POSIX
// (platform/posix/IconvText.cpp), MultiByteToWideChar and
// WideCharToMultiByte on Windows.
//
// Wide text to code page 936 bytes. A character with no code becomes '?'.
// Embedded NUL characters are kept.
std::string toCp936(std::wstring_view text);
// Code page 936 bytes to wide text. A byte sequence with no meaning becomes
// '?'. Embedded NUL bytes are kept.
std::wstring fromCp936(std::string_view bytes);
// True when every character of `text` has a code page 936 form, so that it
// survives the registry, the digests and the ANSI calls unchanged.
bool fitsCp936(std::wstring_view text);

// UTF-8 conversions for files, the command line and diagnostics. Invalid
// UTF-8 becomes U+FFFD. Wide text is UTF-32, or UTF-16 where wchar_t has
// 16 bits (Windows).
std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view bytes);

// The native path of a wide-text path. UTF-8 names the same file on every
// platform, whatever the locale or the ANSI code page.
std::filesystem::path pathOf(std::wstring_view text);

// ASCII-only case folding, as the wizard's case-insensitive comparisons of
// names need.
std::wstring asciiLower(std::wstring_view text);
std::wstring asciiUpper(std::wstring_view text);
bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b);

}  // namespace t7
