#include "engine/io/cng_hash.h"
#include "engine/io/sha256.h"

namespace kavendrum {

struct Sha256::State {
    CngHash hash{BCRYPT_SHA256_ALGORITHM};
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(const void* data, std::size_t size) {
    m_state->hash.Update(data, size);
}

std::optional<Sha256Digest> Sha256::Finish() {
    Sha256Digest digest{};
    if (!m_state->hash.Finish(digest.data(), digest.size())) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace kavendrum
