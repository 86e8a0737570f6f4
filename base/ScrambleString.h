#pragma once
// Scrambling of the database credentials before they go into the registry.
#include <string>
#include <string_view>

#include "base/Random.h"

namespace t7 {

// Pads text with key-length random characters "A".."[" and XORs the code
// page 936 code of every character with (multiplier x key digit) of its
// position. The result is as long as text plus key. Applying the XOR step
// again to the result restores the padded text.
//
// A character without a code in 936, or whose scrambled code is no
// character of 936 (possible only for double-byte characters), is left
// unchanged; the same test then leaves it unchanged again when the result
// is scrambled a second time, so nothing is lost.
//
// key must be one or more decimal digits; anything else raises AppError 5
// (invalid procedure call). The one-argument form draws from processRandom().
std::wstring ScrambleString(std::wstring_view text, std::wstring_view key, IRandom& random);
std::wstring ScrambleString(std::wstring_view text, std::wstring_view key);

}  // namespace t7
