// The code page 936 conversions of base/Text.h over iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "base/Text.h"

namespace t7 {
namespace {

// One open iconv descriptor per direction and thread; iconv_open is costly.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in; a unit that cannot be converted is replaced by
    // `replacement` and skipped (`unit` bytes of input).
    std::string convert(const char* in, size_t inLen, size_t unit, std::string_view replacement) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(inLen + 16);
        char buffer[1024];
        char* src = const_cast<char*>(in);
        size_t left = inLen;
        while (left > 0) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            size_t rc = iconv(m_cd, &src, &left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc == static_cast<size_t>(-1)) {
                if (errno == E2BIG) continue;
                // EILSEQ or EINVAL (a truncated sequence at the end).
                out.append(replacement);
                size_t skip = unit < left ? unit : left;
                src += skip;
                left -= skip;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        char* dst = buffer;
        size_t room = sizeof buffer;
        iconv(m_cd, nullptr, nullptr, &dst, &room);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        return out;
    }

private:
    iconv_t m_cd;
};

static_assert(sizeof(wchar_t) == 4, "the POSIX text converter expects UTF-32 wchar_t");

std::wstring fromUtf32Bytes(const std::string& bytes) {
    std::wstring out(bytes.size() / 4, L'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        uint32_t c = static_cast<unsigned char>(bytes[4 * i]) |
                     static_cast<unsigned char>(bytes[4 * i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[4 * i + 2]) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(bytes[4 * i + 3])) << 24;
        out[i] = static_cast<wchar_t>(c);
    }
    return out;
}

std::string toUtf32Bytes(std::wstring_view text) {
    std::string bytes(text.size() * 4, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        bytes[4 * i] = static_cast<char>(c & 0xFF);
        bytes[4 * i + 1] = static_cast<char>((c >> 8) & 0xFF);
        bytes[4 * i + 2] = static_cast<char>((c >> 16) & 0xFF);
        bytes[4 * i + 3] = static_cast<char>((c >> 24) & 0xFF);
    }
    return bytes;
}

}  // namespace

std::string toCp936(std::wstring_view text) {
    // Plain ASCII is the common case and maps to itself.
    bool ascii = true;
    for (wchar_t c : text) {
        if (static_cast<uint32_t>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return std::string(text.begin(), text.end());
    thread_local Converter conv("CP936", "UTF-32LE");
    std::string in = toUtf32Bytes(text);
    return conv.convert(in.data(), in.size(), 4, "?");
}

std::wstring fromCp936(std::string_view bytes) {
    bool ascii = true;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return std::wstring(bytes.begin(), bytes.end());
    thread_local Converter conv("UTF-32LE", "CP936");
    std::string replacement = toUtf32Bytes(L"?");
    return fromUtf32Bytes(conv.convert(bytes.data(), bytes.size(), 1, replacement));
}

}  // namespace t7
