// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include "engine/io/md5.h"

namespace kavendrum {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

}  // namespace

struct Md5::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool failed = false;

    State() {
        failed =
            !Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0));
        Start();
    }
    ~State() {
        Drop();
        if (algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void Drop() {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
            hash = nullptr;
        }
    }
    // The hash object's memory is left to CNG, which is allowed from Windows 7 on.
    void Start() {
        Drop();
        failed = algorithm == nullptr ||
                 !Succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    }
};

Md5::Md5() : m_state(std::make_unique<State>()) {}
Md5::~Md5() = default;
Md5::Md5(Md5&&) noexcept = default;
Md5& Md5::operator=(Md5&&) noexcept = default;

void Md5::Update(const void* data, std::size_t size) {
    // CNG takes at most 4 GiB less one byte per call.
    const auto* at = static_cast<const unsigned char*>(data);
    while (!m_state->failed && size > 0) {
        const ULONG part = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        m_state->failed =
            !Succeeded(BCryptHashData(m_state->hash, const_cast<PUCHAR>(at), part, 0));
        at += part;
        size -= part;
    }
}

std::optional<Md5Digest> Md5::Finish() {
    Md5Digest digest{};
    const bool ok =
        !m_state->failed && Succeeded(BCryptFinishHash(m_state->hash, digest.data(),
                                                       static_cast<ULONG>(digest.size()), 0));
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
