#include "engine/io/cng_hash.h"

namespace kavendrum {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

}  // namespace

CngHash::CngHash(LPCWSTR algorithm) {
    m_failed = !Succeeded(BCryptOpenAlgorithmProvider(&m_algorithm, algorithm, nullptr, 0));
    Start();
}

CngHash::~CngHash() {
    Drop();
    if (m_algorithm != nullptr) {
        BCryptCloseAlgorithmProvider(m_algorithm, 0);
    }
}

void CngHash::Drop() {
    if (m_hash != nullptr) {
        BCryptDestroyHash(m_hash);
        m_hash = nullptr;
    }
}

void CngHash::Start() {
    Drop();
    m_failed = m_algorithm == nullptr ||
               !Succeeded(BCryptCreateHash(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0));
}

void CngHash::Update(const void* data, std::size_t size) {
    // CNG takes at most 4 GiB less one byte per call.
    const auto* at = static_cast<const unsigned char*>(data);
    while (!m_failed && size > 0) {
        const ULONG part = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        m_failed = !Succeeded(BCryptHashData(m_hash, const_cast<PUCHAR>(at), part, 0));
        at += part;
        size -= part;
    }
}

void CngHash::CopyFrom(const CngHash& other) {
    Drop();
    m_failed =
        other.m_failed || !Succeeded(BCryptDuplicateHash(other.m_hash, &m_hash, nullptr, 0, 0));
}

bool CngHash::Finish(unsigned char* digest, std::size_t size) {
    const bool ok =
        !m_failed && Succeeded(BCryptFinishHash(m_hash, digest, static_cast<ULONG>(size), 0));
    Start();
    return ok;
}

}  // namespace kavendrum
