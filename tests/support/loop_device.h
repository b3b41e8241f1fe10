#pragma once

#include <string>

namespace kavendrum::testing {

// A loop device over an image file: a real block device for as long as it lives. Making one
// needs root; path() is empty when it could not be made.
class LoopDevice {
  public:
    explicit LoopDevice(const std::string& image);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace kavendrum::testing
