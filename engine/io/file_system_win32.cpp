#include <windows.h>

#include "engine/io/file_system.h"
#include "engine/io/native_text_win32.h"
#include "engine/io/win32_error.h"

namespace kavendrum {

namespace {

// Attributes of what the path names; INVALID_FILE_ATTRIBUTES, with the cause as the last error,
// when nothing can be learnt, a path the code page cannot carry included.
DWORD AttributesOf(const std::string& path) {
    const auto wide = WideFromNative(path);
    if (!wide) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_FILE_ATTRIBUTES;
    }
    return GetFileAttributesW(wide->c_str());
}

// CreateFileW for a path in the program's code page; INVALID_HANDLE_VALUE, with the cause as the
// last error, for a path the code page cannot carry.
HANDLE OpenHandle(const std::string& path, DWORD access, DWORD share, DWORD creation, DWORD flags) {
    const auto wide = WideFromNative(path);
    if (!wide) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(wide->c_str(), access, share, nullptr, creation, flags, nullptr);
}

}  // namespace

// Devices and pipes are not reached by plain paths here; what a path names is a file or a folder.
FileKind KindOf(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::Missing
                                                                              : FileKind::Unknown;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder : FileKind::Regular;
}

bool FileExists(const std::string& path) {
    return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// What the file system knows of the file at `path`, or of what stands at the name itself when
// links are not followed. No access and full sharing: asking about a file must not disturb its
// holder.
std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(const std::string& path, bool followLinks) {
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle = OpenHandle(
        path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, flags);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known) {
        return std::nullopt;
    }
    return info;
}

FileIdentity IdentityIn(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::uint64_t SizeIn(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

// A handle to what stands at the name itself, a link not followed, that may be deleted through.
HANDLE OpenForRemoval(const std::string& path) {
    return OpenHandle(path, DELETE | FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    const auto info = InformationOf(path, true);
    return info ? std::optional<FileIdentity>(IdentityIn(*info)) : std::nullopt;
}

FileKind KindOfEntry(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return FileKind::Regular;
    }
    return KindOf(path);
}

std::optional<FileIdentity> IdentityOfEntry(const std::string& path) {
    // A reparse point (a symbolic link, a junction) has an identity of its own.
    const auto info = InformationOf(path, false);
    return info ? std::optional<FileIdentity>(IdentityIn(*info)) : std::nullopt;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    const auto info = InformationOf(path, true);
    return info ? std::optional<FileStamp>(FileStamp{IdentityIn(*info), SizeIn(*info), {}})
                : std::nullopt;
}

std::optional<LinkState> LinkStateOf(const std::string& path) {
    const auto info = InformationOf(path, false);
    if (!info) {
        return std::nullopt;
    }
    LinkState state;
    state.names = info->nNumberOfLinks;
    if ((info->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        state.target = std::string();  // where it leads is not told here
        state.names = 1;
    }
    return state;
}

FileError NameTakenError(const std::string& path) {
    return FileError{FileErrorCause::Generic, path, ERROR_FILE_EXISTS};
}

FileResult<Removal> RemoveIfSame(const std::string& path, const FileStamp& stamp) {
    // The file is deleted through the very handle whose identity was checked, so nothing put
    // under the name meanwhile can be taken for it.
    const HANDLE handle = OpenForRemoval(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastWin32Error(path);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        const FileError failure = LastWin32Error(path);
        CloseHandle(handle);
        return failure;
    }
    if (!(IdentityIn(info) == stamp.identity) || SizeIn(info) != stamp.size) {
        CloseHandle(handle);
        return Removal::Changed;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
        const FileError failure = LastWin32Error(path);
        CloseHandle(handle);
        return failure;
    }
    if (!CloseHandle(handle)) {
        return LastWin32Error(path);
    }
    return Removal::Removed;
}

FileStatus RemoveFile(const std::string& path) {
    const auto wide = WidePathOf(path);
    if (!wide.ok()) {
        return wide.error();
    }
    if (!DeleteFileW(wide.value().c_str())) {
        return LastWin32Error(path);
    }
    return std::nullopt;
}

FileStatus RenameOver(const std::string& from, const std::string& to) {
    const auto wideFrom = WidePathOf(from);
    const auto wideTo = WidePathOf(to);
    if (!wideFrom.ok() || !wideTo.ok()) {
        return wideTo.ok() ? wideFrom.error() : wideTo.error();
    }
    if (!MoveFileExW(wideFrom.value().c_str(), wideTo.value().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return LastWin32Error(to);
    }
    return std::nullopt;
}

// A rename made with MOVEFILE_WRITE_THROUGH is on the disk when it returns.
FileStatus FlushFolderEntries(const std::string&) {
    return std::nullopt;
}

FileResult<bool> RenameIfAbsent(const std::string& from, const std::string& to) {
    const auto wideFrom = WidePathOf(from);
    const auto wideTo = WidePathOf(to);
    if (!wideFrom.ok() || !wideTo.ok()) {
        return wideTo.ok() ? wideFrom.error() : wideTo.error();
    }
    if (!MoveFileExW(wideFrom.value().c_str(), wideTo.value().c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            return false;
        }
        return LastWin32Error(to);
    }
    return true;
}

bool FolderHasEntries(const std::string& folder) {
    const auto pattern = WideFromNative(folder + "*.*");
    if (!pattern) {
        return false;
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern->c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return true;
}

FileStatus ListFolder(const std::string& folder,
                      const std::function<void(const std::string& name)>& visit) {
    // "C:" names the drive's current folder, so only a folder that ends in a name gets a "\\".
    const bool ended =
        folder.empty() || folder.back() == '\\' || folder.back() == '/' || folder.back() == ':';
    const auto pattern = WidePathOf(folder + (ended ? "*" : "\\*"));
    if (!pattern.ok()) {
        return FileError{FileErrorCause::BadPath, folder};
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.value().c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // A search that matches nothing at all is an empty folder, not a failure.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return std::nullopt;
        }
        return LastWin32Error(folder);
    }
    do {
        // A name the code page cannot spell is left out: any spelling of it would name
        // another file.
        if (const auto name = NativeFromWide(found.cFileName)) {
            visit(*name);
        }
    } while (FindNextFileW(search, &found));
    const DWORD stop = GetLastError();
    FindClose(search);
    if (stop != ERROR_NO_MORE_FILES) {
        SetLastError(stop);
        return LastWin32Error(folder);
    }
    return std::nullopt;
}

FileStatus CreateOneFolder(const std::string& path) {
    const auto wide = WidePathOf(path);
    if (!wide.ok()) {
        return wide.error();
    }
    if (!CreateDirectoryW(wide.value().c_str(), nullptr)) {
        return LastWin32Error(path);
    }
    return std::nullopt;
}

// A folder cannot be flushed here without administrator rights (a volume handle); the files
// that matter are flushed one by one instead, and their entries go with them on NTFS.
FileStatus FlushFolder(const std::string&) {
    return std::nullopt;
}

bool FlushFolderCoversItsFiles() {
    return false;
}

bool FolderIsWritable(const std::string& folder) {
    const std::string probe = (folder.empty() ? std::string(".\\") : folder) + "kavendrum.probe";
    const HANDLE handle = OpenHandle(probe, GENERIC_WRITE, 0, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_EXISTS;
    }
    CloseHandle(handle);
    return true;
}

bool FolderIsUsersOwn(const std::string& folder) {
    return FolderIsWritable(folder);
}

FileResult<std::string> ProgramPath() {
    // The buffer grows until the path fits: a folder named in a script of three bytes a letter,
    // or a long path, does not fit in MAX_PATH.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::wstring buffer(size, L'\0');
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            return LastWin32Error("kavendrum");
        }
        if (length < size) {
            buffer.resize(length);
            const auto path = NativeFromWide(buffer);
            if (!path) {
                return FileError{FileErrorCause::BadPath, "kavendrum"};
            }
            return *path;
        }
    }
    return FileError{FileErrorCause::BadPath, "kavendrum"};
}

FileResult<std::uint64_t> FreeSpaceOf(const std::string& folder) {
    const std::string where = folder.empty() ? std::string(".\\") : folder;
    ULARGE_INTEGER available{};
    // The first count honours the user's disk quota, as a write would.
    const auto wide = WidePathOf(where);
    if (!wide.ok()) {
        return wide.error();
    }
    if (!GetDiskFreeSpaceExW(wide.value().c_str(), &available, nullptr, nullptr)) {
        return LastWin32Error(where);
    }
    return static_cast<std::uint64_t>(available.QuadPart);
}

}  // namespace kavendrum
