#include <openssl/evp.h>

#include "engine/io/sha256.h"

namespace kavendrum {

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool failed = false;

    State() { Start(); }
    ~State() { EVP_MD_CTX_free(context); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void Start() {
        failed = context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1;
    }
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(const void* data, std::size_t size) {
    if (!m_state->failed && size > 0) {
        m_state->failed = EVP_DigestUpdate(m_state->context, data, size) != 1;
    }
}

std::optional<Sha256Digest> Sha256::Finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    const bool ok = !m_state->failed &&
                    EVP_DigestFinal_ex(m_state->context, digest.data(), &length) == 1 &&
                    length == digest.size();
    m_state->Start();
    if (!ok) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace kavendrum
