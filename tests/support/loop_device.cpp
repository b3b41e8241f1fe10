#include "support/loop_device.h"

#include <cstdlib>
#include <fstream>

namespace kavendrum::testing {

LoopDevice::LoopDevice(const std::string& image) {
    const std::string listing = image + ".device";
    const std::string command = "losetup -f --show '" + image + "' >'" + listing + "' 2>/dev/null";
    if (std::system(command.c_str()) == 0) {
        std::ifstream(listing) >> m_path;
    }
}

LoopDevice::~LoopDevice() {
    if (!m_path.empty()) {
        std::system(("losetup -d '" + m_path + "'").c_str());
    }
}

}  // namespace kavendrum::testing
