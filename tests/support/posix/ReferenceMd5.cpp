#include "support/ReferenceMd5.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace t7::test {

struct ReferenceMd5::State {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context{EVP_MD_CTX_new(), EVP_MD_CTX_free};
};

ReferenceMd5::ReferenceMd5() : m_state(std::make_unique<State>()) {
    if (!m_state->context || !EVP_DigestInit_ex(m_state->context.get(), EVP_md5(), nullptr))
        throw std::runtime_error("OpenSSL has no MD5");
}

ReferenceMd5::~ReferenceMd5() = default;

void ReferenceMd5::update(std::string_view bytes) {
    EVP_DigestUpdate(m_state->context.get(), bytes.data(), bytes.size());
}

std::array<uint8_t, 16> ReferenceMd5::finish() {
    std::array<uint8_t, 16> digest{};
    EVP_DigestFinal_ex(m_state->context.get(), digest.data(), nullptr);
    return digest;
}

std::array<uint8_t, 16> ReferenceMd5::of(std::string_view bytes) {
    ReferenceMd5 md5;
    md5.update(bytes);
    return md5.finish();
}

}  // namespace t7::test
