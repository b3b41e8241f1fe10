#include "engine/io/portable_name.h"

namespace kavendrum {

// Names are bytes here, and the PAR2 tools of this platform store them as they are.
std::string PortableNameOf(const std::string& nativeName) {
    return nativeName;
}

std::optional<std::string> NativeNameOf(const std::string& portableName) {
    return portableName;
}

}  // namespace kavendrum
