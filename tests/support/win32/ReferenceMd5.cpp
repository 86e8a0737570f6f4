#include "support/ReferenceMd5.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <stdexcept>

namespace t7::test {

struct ReferenceMd5::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

ReferenceMd5::ReferenceMd5() : m_state(std::make_unique<State>()) {
    if (BCryptOpenAlgorithmProvider(&m_state->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0 ||
        BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0) != 0)
        throw std::runtime_error("the system has no MD5");
}

ReferenceMd5::~ReferenceMd5() = default;

void ReferenceMd5::update(std::string_view bytes) {
    while (!bytes.empty()) {
        const ULONG chunk = bytes.size() > 0x10000000u ? 0x10000000u : static_cast<ULONG>(bytes.size());
        BCryptHashData(m_state->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), chunk, 0);
        bytes.remove_prefix(chunk);
    }
}

std::array<uint8_t, 16> ReferenceMd5::finish() {
    std::array<uint8_t, 16> digest{};
    BCryptFinishHash(m_state->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    return digest;
}

std::array<uint8_t, 16> ReferenceMd5::of(std::string_view bytes) {
    ReferenceMd5 md5;
    md5.update(bytes);
    return md5.finish();
}

}  // namespace t7::test
