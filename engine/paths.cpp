#include "engine/paths.h"

#include <cctype>

namespace kavendrum {

bool IsFolderSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

std::string LeafName(const std::string& path) {
    auto at = path.size();
    while (at > 0 && !IsFolderSeparator(path[at - 1])) {
        --at;
    }
    return path.substr(at);
}

std::string GetFileName(const std::string& path) {
    const auto at = path.rfind(kPathSeparator);
    return at == std::string::npos ? path : path.substr(at + 1);
}

BaseName SplitBaseName(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return {name, ""};
    }
    return {name.substr(0, dot), name.substr(dot + 1)};
}

std::string GetFolderPart(const std::string& path) {
    std::string text = path;
    if (!text.empty() && text.back() == '"') {
        text.pop_back();
    }
    if (!text.empty() && text.front() == '"') {
        text.erase(0, 1);
    }
    const auto at = text.rfind(kPathSeparator);
    return at == std::string::npos ? std::string() : text.substr(0, at + 1);
}

std::string StripTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == kPathSeparator) {
        return folder.substr(0, folder.size() - 1);
    }
    return folder;
}

std::string WithTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == kPathSeparator) {
        return folder;
    }
    return folder + kPathSeparator;
}

std::string RebuiltFileName(const std::string& base, const std::string& extension) {
    return extension.empty() ? base : base + "." + extension;
}

bool IsUncheckedDestination(const std::string& folder) {
#ifdef _WIN32
    // A drive's root (C:\ or C:) or the current drive's root (a lone separator); a short
    // relative name such as "out" is a folder like any other.
    const bool drive = folder.size() >= 2 && folder[1] == ':' &&
                       std::isalpha(static_cast<unsigned char>(folder[0])) != 0;
    if (drive) {
        return folder.size() == 2 || (folder.size() == 3 && IsFolderSeparator(folder[2]));
    }
    return folder == "\\" || folder == "/";
#else
    return folder == "/";
#endif
}

}  // namespace kavendrum
