#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavendrum::testing {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    // path/name, where a '/' in the name is the platform's separator.
    std::string operator/(const std::string& name) const;

  private:
    std::string m_path;
};

// The path as the platform writes it: each '/' becomes the platform's separator.
std::string Native(std::string path);

std::vector<char> RandomBytes(std::size_t size, std::uint32_t seed = 1);
void WriteBytes(const std::string& path, const std::vector<char>& bytes);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<char> ReadBytes(const std::string& path);
bool Exists(const std::string& path);
std::uint64_t SizeOf(const std::string& path);
// The names in a folder, sorted; none when it does not exist.
std::vector<std::string> Entries(const std::string& folder);

}  // namespace kavendrum::testing
