#pragma once

#include <optional>
#include <string>

#include "engine/io/file_error.h"

namespace kavendrum {

// Windows spells text two ways: as bytes in a code page, which every narrow string of the program
// is in, and as the UTF-16 that the wide functions take. The programs ask in their manifests for
// UTF-8 as their code page, so that a name in any script reaches the engines whole; a Windows
// too old to honour that keeps its ANSI code page, and names it lacks stay out of reach there.
//
// Both directions refuse what they cannot carry exactly: bytes the code page does not define, a
// zero byte (which would end the name early), and letters the code page lacks, which Windows
// would otherwise turn into "?" or a look-alike that names another file.
std::optional<std::wstring> WideFromNarrow(const std::string& text, unsigned codePage);
std::optional<std::string> NarrowFromWide(const std::wstring& text, unsigned codePage);

// The same in the code page the process runs in (GetACP): the program's own narrow strings.
std::optional<std::wstring> WideFromNative(const std::string& text);
std::optional<std::string> NativeFromWide(const std::wstring& text);

// A path for the wide file functions; one the code page cannot carry is a bad path, reported
// under the path as it was given.
FileResult<std::wstring> WidePathOf(const std::string& path);

}  // namespace kavendrum
