#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kavendrum {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The digest in lower-case hexadecimal, as checksum files write it.
std::string HexDigest(const Sha256Digest& digest);
// 64 hexadecimal digits of either case; nothing for any other text.
std::optional<Sha256Digest> ParseHexDigest(const std::string& text);

// SHA-256 over bytes given in any number of parts, computed by the platform's own library
// (libcrypto on Linux, CNG on Windows), which uses the processor's hashing instructions.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest of everything given since the start or the last Finish, after which it starts
    // over. Nothing when the library failed at any point.
    std::optional<Sha256Digest> Finish();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kavendrum
