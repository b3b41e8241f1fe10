#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace kavendrum {

using Md5Digest = std::array<std::uint8_t, 16>;

// MD5 over bytes given in any number of parts, computed by the platform's own library (libcrypto
// on Linux, CNG on Windows). Recovery files name their packets, files and slices by MD5, so the
// digest is needed for compatibility, not for security.
class Md5 {
  public:
    Md5();
    ~Md5();
    Md5(Md5&&) noexcept;
    Md5& operator=(Md5&&) noexcept;
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void Update(const void* data, std::size_t size);
    // A chain that starts where this one is now: the digest of a prefix of the bytes, such as a
    // piece's first slice, without hashing the prefix again.
    Md5 Fork() const;
    // The digest of everything given since the start or the last Finish, after which it starts
    // over. Nothing when the library failed at any point.
    std::optional<Md5Digest> Finish();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The digest of one buffer; all zeros when the library failed, which no caller can mistake for
// a match because every comparison is against a digest read from a file or made the same way.
Md5Digest Md5Of(const void* data, std::size_t size);

}  // namespace kavendrum
