#include <windows.h>

#include "engine/io/native_text_win32.h"
#include "engine/io/portable_name.h"

namespace kavendrum {

// Where the program runs with UTF-8 as its code page, both directions are the identity for a
// valid name; elsewhere they go through UTF-16 between UTF-8 and the ANSI code page.

std::string PortableNameOf(const std::string& nativeName) {
    const auto wide = WideFromNative(nativeName);
    const auto portable = wide ? NarrowFromWide(*wide, CP_UTF8) : std::nullopt;
    // A name the code page cannot decode came from no file of this system: kept as it is.
    return portable ? *portable : nativeName;
}

std::optional<std::string> NativeNameOf(const std::string& portableName) {
    const auto wide = WideFromNarrow(portableName, CP_UTF8);
    return wide ? NativeFromWide(*wide) : std::nullopt;
}

}  // namespace kavendrum
