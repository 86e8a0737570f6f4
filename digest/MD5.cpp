#include "digest/MD5.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "base/AppError.h"
#include "base/Text.h"

namespace t7 {
namespace {

constexpr std::array<uint32_t, 4> InitialState = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

inline uint32_t rotl(uint32_t x, int s) {
    return (x << s) | (x >> (32 - s));
}

inline uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The four rounds, written out: this is the hot loop of Md5_File_Calc.
#define T7_MD5_STEP(f, a, b, c, d, x, t, s) \
    a += f(b, c, d) + (x) + (t);            \
    a = rotl(a, s) + (b)
#define T7_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define T7_MD5_G(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define T7_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define T7_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

void compress(std::array<uint32_t, 4>& state, const uint8_t* p, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, p += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = load32(p + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        T7_MD5_STEP(T7_MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
        T7_MD5_STEP(T7_MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
        T7_MD5_STEP(T7_MD5_F, c, d, a, b, x[2], 0x242070db, 17);
        T7_MD5_STEP(T7_MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
        T7_MD5_STEP(T7_MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
        T7_MD5_STEP(T7_MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
        T7_MD5_STEP(T7_MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
        T7_MD5_STEP(T7_MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
        T7_MD5_STEP(T7_MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
        T7_MD5_STEP(T7_MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
        T7_MD5_STEP(T7_MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
        T7_MD5_STEP(T7_MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
        T7_MD5_STEP(T7_MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
        T7_MD5_STEP(T7_MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
        T7_MD5_STEP(T7_MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
        T7_MD5_STEP(T7_MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

        T7_MD5_STEP(T7_MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
        T7_MD5_STEP(T7_MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
        T7_MD5_STEP(T7_MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
        T7_MD5_STEP(T7_MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
        T7_MD5_STEP(T7_MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
        T7_MD5_STEP(T7_MD5_G, d, a, b, c, x[10], 0x02441453, 9);
        T7_MD5_STEP(T7_MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
        T7_MD5_STEP(T7_MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
        T7_MD5_STEP(T7_MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
        T7_MD5_STEP(T7_MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
        T7_MD5_STEP(T7_MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
        T7_MD5_STEP(T7_MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
        T7_MD5_STEP(T7_MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
        T7_MD5_STEP(T7_MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
        T7_MD5_STEP(T7_MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
        T7_MD5_STEP(T7_MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

        T7_MD5_STEP(T7_MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
        T7_MD5_STEP(T7_MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
        T7_MD5_STEP(T7_MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
        T7_MD5_STEP(T7_MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
        T7_MD5_STEP(T7_MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
        T7_MD5_STEP(T7_MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
        T7_MD5_STEP(T7_MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
        T7_MD5_STEP(T7_MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
        T7_MD5_STEP(T7_MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
        T7_MD5_STEP(T7_MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
        T7_MD5_STEP(T7_MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
        T7_MD5_STEP(T7_MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
        T7_MD5_STEP(T7_MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
        T7_MD5_STEP(T7_MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
        T7_MD5_STEP(T7_MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
        T7_MD5_STEP(T7_MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

        T7_MD5_STEP(T7_MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
        T7_MD5_STEP(T7_MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
        T7_MD5_STEP(T7_MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
        T7_MD5_STEP(T7_MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
        T7_MD5_STEP(T7_MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
        T7_MD5_STEP(T7_MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
        T7_MD5_STEP(T7_MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
        T7_MD5_STEP(T7_MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
        T7_MD5_STEP(T7_MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
        T7_MD5_STEP(T7_MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
        T7_MD5_STEP(T7_MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
        T7_MD5_STEP(T7_MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
        T7_MD5_STEP(T7_MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
        T7_MD5_STEP(T7_MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
        T7_MD5_STEP(T7_MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
        T7_MD5_STEP(T7_MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state = {a, b, c, d};
}

#undef T7_MD5_STEP
#undef T7_MD5_F
#undef T7_MD5_G
#undef T7_MD5_H
#undef T7_MD5_I

AppError overflow() {
    return AppError(errnum::Overflow, L"Overflow");
}

std::wstring signedText(uint32_t word) {
    return std::to_wstring(static_cast<int32_t>(word));
}

}  // namespace

MD5::MD5() : m_state(InitialState) {}

std::wstring MD5::RegisterA() const {
    return signedText(m_state[0]);
}
std::wstring MD5::RegisterB() const {
    return signedText(m_state[1]);
}
std::wstring MD5::RegisterC() const {
    return signedText(m_state[2]);
}
std::wstring MD5::RegisterD() const {
    return signedText(m_state[3]);
}

std::wstring MD5::Md5_String_Calc(std::wstring_view SourceString) {
    MD5Init();
    std::string bytes = toCp936(SourceString);
    if (bytes.size() > static_cast<size_t>(MaxUpdateLength)) throw overflow();
    MD5Update(static_cast<int32_t>(bytes.size()),
              std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    MD5Final();
    return GetValues();
}

std::wstring MD5::Md5_File_Calc(const std::wstring& InFile) {
    try {
        const std::filesystem::path path = pathOf(InFile);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) return L"";
        const auto size = std::filesystem::file_size(path, ec);
        if (ec || size > static_cast<uintmax_t>(MaxMessageLength)) return L"";
        // A stream opens the path in its native form (wide on Windows).
        std::ifstream file;
        file.rdbuf()->pubsetbuf(nullptr, 0);
        file.open(path, std::ios::binary);
        if (!file) return L"";

        MD5Init();
        // Whole blocks go straight from a large read buffer into the
        // transform; the per-call limit of MD5Update only guards callers
        // that hand in their own buffers, the result is the same.
        constexpr size_t ChunkSize = 1 << 20;
        std::vector<uint8_t> chunk(ChunkSize);
        for (;;) {
            file.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(ChunkSize));
            const auto got = static_cast<size_t>(file.gcount());
            if (got > 0) {
                // The file may have grown since its size was queried.
                if (got > static_cast<size_t>(MaxMessageLength - m_byteCount)) return L"";
                append(chunk.data(), got);
            }
            if (got < ChunkSize) {
                if (file.bad() || !file.eof()) return L"";
                break;
            }
        }
        file.close();
        MD5Final();
        return GetValues();
    } catch (...) {
        return L"";
    }
}

std::wstring MD5::GetValues() const {
    static constexpr wchar_t Hex[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(32);
    for (uint32_t word : m_state) {
        for (int i = 0; i < 4; ++i) {
            const uint32_t byte = (word >> (8 * i)) & 0xFF;
            text += Hex[byte >> 4];
            text += Hex[byte & 0xF];
        }
    }
    return text;
}

void MD5::MD5Init() {
    m_state = InitialState;
    m_byteCount = 0;
}

void MD5::MD5Update(int32_t InputLen, std::span<const uint8_t> InputBuffer) {
    if (InputLen <= 0) return;
    if (InputLen > MaxUpdateLength) throw overflow();
    if (static_cast<size_t>(InputLen) > InputBuffer.size()) {
        throw AppError(errnum::SubscriptOutOfRange, L"Subscript out of range");
    }
    if (InputLen > INT32_MAX - m_byteCount) throw overflow();
    append(InputBuffer.data(), static_cast<size_t>(InputLen));
}

void MD5::append(const uint8_t* data, size_t length) {
    size_t index = static_cast<size_t>(m_byteCount) & 63;
    m_byteCount += static_cast<int32_t>(length);
    if (index > 0) {
        const size_t take = std::min(length, 64 - index);
        std::memcpy(m_buffer.data() + index, data, take);
        data += take;
        length -= take;
        if (index + take < 64) return;
        compress(m_state, m_buffer.data(), 1);
    }
    compress(m_state, data, length / 64);
    std::memcpy(m_buffer.data(), data + (length & ~size_t{63}), length & 63);
}

void MD5::MD5Final() {
    if (m_byteCount > MaxMessageLength) throw overflow();
    const uint32_t bits = static_cast<uint32_t>(m_byteCount) * 8;
    size_t index = static_cast<size_t>(m_byteCount) & 63;
    // One 0x80, zeros up to 56 mod 64, then the bit length; the upper four
    // length bytes are always 0 since the length fits 31 bits.
    std::array<uint8_t, 128> tail{};
    std::memcpy(tail.data(), m_buffer.data(), index);
    tail[index] = 0x80;
    const size_t total = index < 56 ? 64 : 128;
    for (int i = 0; i < 4; ++i) tail[total - 8 + i] = static_cast<uint8_t>(bits >> (8 * i));
    compress(m_state, tail.data(), total / 64);
    // The padding is part of the message as far as the count goes.
    m_byteCount += static_cast<int32_t>(total - index);
}

int32_t MD5::LongLeftRotate(int32_t value, int32_t Bits) {
    const int32_t places = Bits % 32;
    if (places <= 0) return value;
    return static_cast<int32_t>(rotl(static_cast<uint32_t>(value), places));
}

}  // namespace t7
