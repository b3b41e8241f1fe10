#pragma once

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <cstddef>

namespace kavendrum {

// One CNG hash of a fixed algorithm, which starts over after each Finish: the Windows build's
// MD5 and SHA-256 are this with another algorithm's name.
class CngHash {
  public:
    explicit CngHash(LPCWSTR algorithm);
    ~CngHash();
    CngHash(const CngHash&) = delete;
    CngHash& operator=(const CngHash&) = delete;

    void Update(const void* data, std::size_t size);
    // Continues from where `other` (of the same algorithm) is now.
    void CopyFrom(const CngHash& other);
    // Writes the digest's `size` bytes and starts over; false when CNG failed at any point since
    // the last start.
    bool Finish(unsigned char* digest, std::size_t size);

  private:
    void Drop();
    // The hash object's memory is left to CNG, which is allowed from Windows 7 on.
    void Start();

    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
    bool m_failed = false;
};

}  // namespace kavendrum
