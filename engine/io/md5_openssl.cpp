// libcrypto's MD5 functions themselves, not EVP, for the same reason as SHA-256: EVP's provider
// machinery costs more resident memory than the rest of the program.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include "engine/io/md5.h"

namespace kavendrum {

struct Md5::State {
    MD5_CTX context{};
    bool failed = false;

    State() { Start(); }
    void Start() { failed = MD5_Init(&context) != 1; }
};

Md5::Md5() : m_state(std::make_unique<State>()) {}
Md5::~Md5() = default;
Md5::Md5(Md5&&) noexcept = default;
Md5& Md5::operator=(Md5&&) noexcept = default;

void Md5::Update(const void* data, std::size_t size) {
    if (!m_state->failed && size > 0) {
        m_state->failed = MD5_Update(&m_state->context, data, size) != 1;
    }
}

Md5 Md5::Fork() const {
    Md5 fork;
    *fork.m_state = *m_state;  // the context is plain data
    return fork;
}

std::optional<Md5Digest> Md5::Finish() {
    Md5Digest digest{};
    const bool ok = !m_state->failed && MD5_Final(digest.data(), &m_state->context) == 1;
    m_state->Start();
    if (!ok) {
        return std::nullopt;
    }
    return digest;
}

Md5Digest Md5Of(const void* data, std::size_t size) {
    Md5 md5;
    md5.Update(data, size);
    return md5.Finish().value_or(Md5Digest{});
}

}  // namespace kavendrum
