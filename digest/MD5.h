#pragma once
// MD5 message digests (RFC 1321) as upper-case hexadecimal text, plus the
// raw steps of the algorithm.
//
// Limits, as the wizard's original runtime had them: one MD5Update call
// takes at most 32767 bytes, and a whole message at most 268435455 bytes
// (its bit count must fit a signed 32-bit number). Beyond them the methods
// raise AppError 6 (overflow); Md5_File_Calc returns "" instead.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace t7 {

class MD5 {
public:
    static constexpr int32_t MaxUpdateLength = 32767;
    static constexpr int32_t MaxMessageLength = 268435455;

    MD5();

    // The state words as signed 32-bit decimal text (a word of 2^31 or more
    // reads negative).
    std::wstring RegisterA() const;
    std::wstring RegisterB() const;
    std::wstring RegisterC() const;
    std::wstring RegisterD() const;

    // Digest of the code page 936 bytes of SourceString. Raises overflow
    // when those bytes are longer than MaxUpdateLength.
    std::wstring Md5_String_Calc(std::wstring_view SourceString);
    // Digest of a file's bytes; "" when the file is missing, cannot be opened
    // or read, or is longer than MaxMessageLength. Raises nothing.
    std::wstring Md5_File_Calc(const std::wstring& InFile);
    // 32 upper-case hexadecimal digits of the state, in digest byte order.
    std::wstring GetValues() const;

    void MD5Init();
    // Takes in bytes 0 .. InputLen - 1 of InputBuffer. A count of 0 or less
    // takes nothing. Raises overflow when InputLen exceeds MaxUpdateLength
    // or the message would outgrow a signed 32-bit byte count, and subscript
    // out of range when InputBuffer holds fewer than InputLen bytes.
    void MD5Update(int32_t InputLen, std::span<const uint8_t> InputBuffer);
    // Appends the end marker, the zero fill and the bit length. Raises
    // overflow when the message is longer than MaxMessageLength.
    void MD5Final();

    // value rotated left by Bits mod 32 places; the remainder keeps the sign
    // of Bits, and a remainder of 0 or less leaves value unchanged.
    static int32_t LongLeftRotate(int32_t value, int32_t Bits);

private:
    // Takes in bytes without the per-call limit; the caller has checked the
    // message limit.
    void append(const uint8_t* data, size_t length);

    std::array<uint32_t, 4> m_state;
    int32_t m_byteCount = 0;
    std::array<uint8_t, 64> m_buffer{};
};

}  // namespace t7
