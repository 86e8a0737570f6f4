#pragma once
// An independent MD5 to check the wizard's digest against: OpenSSL's on
// POSIX systems, the system's own (CNG) on Windows.
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace t7::test {

class ReferenceMd5 {
public:
    ReferenceMd5();
    ~ReferenceMd5();
    ReferenceMd5(const ReferenceMd5&) = delete;
    ReferenceMd5& operator=(const ReferenceMd5&) = delete;

    void update(std::string_view bytes);
    std::array<uint8_t, 16> finish();

    // The digest of `bytes` in one call.
    static std::array<uint8_t, 16> of(std::string_view bytes);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace t7::test
