#include "engine/io/cng_hash.h"
#include "engine/io/md5.h"

namespace kavendrum {

struct Md5::State {
    CngHash hash{BCRYPT_MD5_ALGORITHM};
};

Md5::Md5() : m_state(std::make_unique<State>()) {}
Md5::~Md5() = default;
Md5::Md5(Md5&&) noexcept = default;
Md5& Md5::operator=(Md5&&) noexcept = default;

void Md5::Update(const void* data, std::size_t size) {
    m_state->hash.Update(data, size);
}

Md5 Md5::Fork() const {
    Md5 fork;
    fork.m_state->hash.CopyFrom(m_state->hash);
    return fork;
}

std::optional<Md5Digest> Md5::Finish() {
    Md5Digest digest{};
    if (!m_state->hash.Finish(digest.data(), digest.size())) {
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
