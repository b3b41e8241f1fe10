#include <windows.h>

#include <climits>

#include "engine/io/portable_name.h"

namespace kavendrum {

namespace {

std::optional<std::wstring> WideFrom(const std::string& text, UINT codePage) {
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > INT_MAX) {
        return std::nullopt;
    }
    const int length = static_cast<int>(text.size());
    const int wide =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (wide <= 0) {
        return std::nullopt;
    }
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, out.data(), wide);
    return out;
}

// Letters the code page lacks are no error to Windows, which puts its default character or a
// look-alike ("best fit") in their place; both would name another file, so both are refused.
std::optional<std::string> NarrowFrom(const std::wstring& text, UINT codePage) {
    if (text.empty()) {
        return std::string();
    }
    const int length = static_cast<int>(text.size());
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* const usedDefault = utf8 ? nullptr : &defaulted;
    const int narrow =
        WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, usedDefault);
    if (narrow <= 0 || defaulted) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), length, out.data(), narrow, nullptr,
                        usedDefault);
    return out;
}

}  // namespace

std::string PortableNameOf(const std::string& nativeName) {
    const auto wide = WideFrom(nativeName, CP_ACP);
    const auto portable = wide ? NarrowFrom(*wide, CP_UTF8) : std::nullopt;
    // A name the code page cannot decode came from no file of this system: kept as it is.
    return portable ? *portable : nativeName;
}

std::optional<std::string> NativeNameOf(const std::string& portableName) {
    const auto wide = WideFrom(portableName, CP_UTF8);
    return wide ? NarrowFrom(*wide, CP_ACP) : std::nullopt;
}

}  // namespace kavendrum
