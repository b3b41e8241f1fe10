#pragma once

#include <string>

namespace kavendrum {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

struct BaseName {
    std::string base;
    std::string extension;  // without the dot
};

// True for every character the platform takes as the end of a folder name: "/" here, and on
// Windows also "\\" and the ":" of a drive or a stream.
bool IsFolderSeparator(char c);
// The text after the last character of any kind IsFolderSeparator knows: what is left of a
// typed name once every folder it may hold is dropped.
std::string LeafName(const std::string& path);
// The text after the last separator; the whole path when it holds none.
std::string GetFileName(const std::string& path);
// Cuts at the last dot. A name with no dot, or whose only dot leads it, is all base name.
BaseName SplitBaseName(const std::string& name);
// Everything up to and including the last separator, quotes around the path removed.
std::string GetFolderPart(const std::string& path);
// The folder with one trailing separator removed, if it has one.
std::string StripTrailingSeparator(const std::string& folder);
// The folder with a separator at its end.
std::string WithTrailingSeparator(const std::string& folder);
// The name a split file had: base and extension joined by a dot. Without an extension there is
// no dot, since on file systems that keep trailing dots "name." would be another file.
std::string RebuiltFileName(const std::string& base, const std::string& extension);
// Destinations that are used as they are, without a folder check: a drive root ("C:\" or "C:")
// on Windows, the root "/" elsewhere.
bool IsUncheckedDestination(const std::string& folder);

}  // namespace kavendrum
