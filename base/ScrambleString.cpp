#include "base/ScrambleString.h"

#include <cmath>

#include "base/AppError.h"
#include "base/Text.h"

namespace t7 {
namespace {

// Rounds to the nearest integer, halves to the even neighbour.
int roundHalfEven(double value) {
    const double low = std::floor(value);
    const double fraction = value - low;
    int result = static_cast<int>(low);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0)) ++result;
    return result;
}

// The character whose code page 936 code is `code`, or false when no
// character has that code.
bool characterOfCode(unsigned code, wchar_t& character) {
    std::string bytes;
    if (code > 0xFF) bytes += static_cast<char>(code >> 8);
    bytes += static_cast<char>(code & 0xFF);
    const std::wstring decoded = fromCp936(bytes);
    if (decoded.size() != 1 || toCp936(decoded) != bytes) return false;
    character = decoded[0];
    return true;
}

wchar_t scrambleCharacter(wchar_t c, unsigned mask) {
    // ASCII needs no conversion, and a mask below 128 keeps it ASCII.
    if (static_cast<unsigned>(c) < 0x80) return static_cast<wchar_t>(static_cast<unsigned>(c) ^ mask);
    if (mask == 0) return c;
    const std::string bytes = toCp936(std::wstring_view(&c, 1));
    if (bytes == "?") return c;  // no code in 936
    unsigned code = 0;
    for (unsigned char b : bytes) code = code << 8 | b;
    wchar_t scrambled;
    return characterOfCode(code ^ mask, scrambled) ? scrambled : c;
}

}  // namespace

std::wstring ScrambleString(std::wstring_view text, std::wstring_view key, IRandom& random) {
    if (key.empty()) throw AppError(errnum::InvalidProcedureCall, L"Invalid procedure call: empty key");
    for (wchar_t digit : key) {
        if (digit < L'0' || digit > L'9') {
            throw AppError(errnum::InvalidProcedureCall,
                           L"Invalid procedure call: key is not decimal digits");
        }
    }
    const size_t n = key.size();
    std::wstring padded(text);
    for (size_t i = 0; i < n; ++i) {
        padded += static_cast<wchar_t>(65 + roundHalfEven(static_cast<double>(random.Rnd()) * 26.0));
    }
    std::wstring result;
    result.reserve(padded.size());
    for (size_t j = 1; j <= padded.size(); ++j) {
        const unsigned digit = static_cast<unsigned>(key[j % n] - L'0');
        const unsigned multiplier = static_cast<unsigned>((j / n) % 9 + 1);
        result += scrambleCharacter(padded[j - 1], multiplier * digit);
    }
    return result;
}

std::wstring ScrambleString(std::wstring_view text, std::wstring_view key) {
    return ScrambleString(text, key, processRandom());
}

}  // namespace t7
