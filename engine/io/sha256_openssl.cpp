// libcrypto's SHA-256 functions themselves, not EVP: the same code, with the processor's SHA
// instructions where there are any, but without starting EVP's provider machinery, which costs
// more than two MiB of resident memory in a program that otherwise needs about six.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include "engine/io/sha256.h"

namespace kavendrum {

struct Sha256::State {
    SHA256_CTX context{};
    bool failed = false;

    State() { Start(); }
    void Start() { failed = SHA256_Init(&context) != 1; }
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(const void* data, std::size_t size) {
    if (!m_state->failed && size > 0) {
        m_state->failed = SHA256_Update(&m_state->context, data, size) != 1;
    }
}

std::optional<Sha256Digest> Sha256::Finish() {
    Sha256Digest digest{};
    const bool ok = !m_state->failed && SHA256_Final(digest.data(), &m_state->context) == 1;
    m_state->Start();
    if (!ok) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace kavendrum
