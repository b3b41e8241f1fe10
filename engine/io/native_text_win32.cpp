#include "engine/io/native_text_win32.h"

#include <windows.h>

#include <climits>
#include <utility>

namespace kavendrum {

std::optional<std::wstring> WideFromNarrow(const std::string& text, unsigned codePage) {
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > INT_MAX || text.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    const int length = static_cast<int>(text.size());
    const int wide =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (wide <= 0) {
        return std::nullopt;
    }
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, out.data(),
                            wide) != wide) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> NarrowFromWide(const std::wstring& text, unsigned codePage) {
    if (text.empty()) {
        return std::string();
    }
    if (text.size() > INT_MAX || text.find(L'\0') != std::wstring::npos) {
        return std::nullopt;
    }
    const int length = static_cast<int>(text.size());
    // UTF-8 spells every letter but takes neither the default character nor best-fit flags (it
    // fails the call when given them); a lone surrogate, which a Windows name may hold, is an
    // invalid character there.
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
    if (WideCharToMultiByte(codePage, flags, text.data(), length, out.data(), narrow, nullptr,
                            usedDefault) != narrow ||
        defaulted) {
        return std::nullopt;
    }
    return out;
}

// GetACP, not CP_ACP: the flags that make the conversion strict depend on what the code page is.
std::optional<std::wstring> WideFromNative(const std::string& text) {
    return WideFromNarrow(text, GetACP());
}

std::optional<std::string> NativeFromWide(const std::wstring& text) {
    return NarrowFromWide(text, GetACP());
}

FileResult<std::wstring> WidePathOf(const std::string& path) {
    auto wide = WideFromNative(path);
    if (!wide) {
        return FileError{FileErrorCause::BadPath, path};
    }
    return std::move(*wide);
}

}  // namespace kavendrum
