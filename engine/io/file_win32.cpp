#include <windows.h>

#include <limits>
#include <optional>
#include <string>

#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/native_text_win32.h"
#include "engine/io/win32_error.h"

namespace kavendrum {

namespace {

HANDLE AsHandle(File::NativeHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

File::NativeHandle AsNative(HANDLE handle) {
    return reinterpret_cast<File::NativeHandle>(handle);
}

FileResult<FileIdentity> IdentityOfHandle(HANDLE handle, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        return LastWin32Error(path);
    }
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

constexpr DWORD kLargestChunk = 1u << 30;

}  // namespace

FileResult<File> File::OpenForReadingImpl(const std::string& path, bool shared) {
    // Share mode 0: nobody else may read or write the file while it is held. Shared readers let
    // a file be replaced by name while they read the old one, as a rename over it does.
    const DWORD share = shared ? FILE_SHARE_READ | FILE_SHARE_DELETE : 0;
    const auto wide = WidePathOf(path);
    if (!wide.ok()) {
        return wide.error();
    }
    const HANDLE handle =
        CreateFileW(wide.value().c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastWin32Error(path);
    }
    File file(AsNative(handle), path);
    // A pipe or a device such as CON has no size to split by.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return FileError{FileErrorCause::BadPath, path};
    }
    return file;
}

FileResult<File> File::OpenStandard(Standard stream, const std::string& name) {
    const HANDLE own =
        GetStdHandle(stream == Standard::Input ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
    HANDLE handle = nullptr;
    if (own == INVALID_HANDLE_VALUE || own == nullptr ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &handle, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return LastWin32Error(name);
    }
    return File(AsNative(handle), name);
}

FileResult<File> File::OpenForUpdate(const std::string& path) {
    const auto wide = WidePathOf(path);
    if (!wide.ok()) {
        return wide.error();
    }
    const HANDLE handle =
        CreateFileW(wide.value().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastWin32Error(path);
    }
    return File(AsNative(handle), path);
}

FileResult<File> File::CreateNew(const std::string& path) {
    const auto wide = WidePathOf(path);
    if (!wide.ok()) {
        return wide.error();
    }
    const HANDLE handle = CreateFileW(wide.value().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastWin32Error(path);
    }
    return File(AsNative(handle), path);
}

namespace {

// With the mark set, the file is deleted once its last handle is closed, and Windows closes the
// handles of a process however it ends.
bool MarkForDeletion(HANDLE handle, bool deleteFile) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleteFile ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

}  // namespace

FileResult<File> File::CreateTransient(const std::string& path) {
    const auto wide = WidePathOf(path);
    if (!wide.ok()) {
        return wide.error();
    }
    // DELETE access is what the mark needs.
    const HANDLE handle = CreateFileW(wide.value().c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastWin32Error(path);
    }
    File file(AsNative(handle), path);
    // Without the mark the file is still sound, only left behind by a killed run, as before.
    (void)MarkForDeletion(handle, true);
    return file;
}

FileResult<std::optional<File>> File::CreateUnnamed(const std::string&) {
    return std::optional<File>();
}

FileResult<File> File::Duplicate() const {
    HANDLE copy = nullptr;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, AsHandle(m_handle), process, &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return LastWin32Error(m_path);
    }
    return File(AsNative(copy), m_path);
}

FileResult<bool> File::LinkAs(const std::string& path) {
    return FileError{FileErrorCause::BadPath, path, ERROR_NOT_SUPPORTED};
}

FileStatus File::KeepWhenClosed() {
    if (!MarkForDeletion(AsHandle(m_handle), false)) {
        return LastWin32Error(m_path);
    }
    return std::nullopt;
}

FileResult<File> File::CreateAtFirstFree(const std::vector<std::string>& names,
                                         std::size_t& chosen) {
    FileError taken{FileErrorCause::BadPath, names.empty() ? std::string() : names.front()};
    for (std::size_t at = 0; at < names.size(); ++at) {
        auto made = CreateNew(names[at]);
        if (made.ok()) {
            chosen = at;
            return made;
        }
        const int code = made.error().systemCode;
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            return made;
        }
        taken = made.error();
    }
    return taken;
}

FileResult<File> File::OpenForWritingImpl(const std::string& path, bool exclusive,
                                          const FileIdentity* keepOut) {
    const DWORD share = exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    // OPEN_ALWAYS, not CREATE_ALWAYS: the file is emptied only once it is held, so a file that
    // somebody else holds fails the open as a sharing violation and is never emptied.
    const auto wide = WidePathOf(path);
    if (!wide.ok()) {
        return wide.error();
    }
    const HANDLE handle = CreateFileW(wide.value().c_str(), GENERIC_WRITE, share, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastWin32Error(path);
    }
    File file(AsNative(handle), path);
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return file;
    }
    if (keepOut != nullptr) {
        auto identity = IdentityOfHandle(handle, path);
        if (!identity.ok()) {
            return identity.error();
        }
        if (identity.value() == *keepOut) {
            return FileError{FileErrorCause::SharingViolation, path};
        }
    }
    if (!SetEndOfFile(handle)) {
        return LastWin32Error(path);
    }
    return file;
}

FileResult<std::uint64_t> File::Length() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(AsHandle(m_handle), &size)) {
        return LastWin32Error(m_path);
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

FileResult<FileIdentity> File::Identity() const {
    return IdentityOfHandle(AsHandle(m_handle), m_path);
}

// NTFS gives a file id again only with a new sequence number in it, so the identity suffices.
std::string File::Generation() const {
    return {};
}

std::string GenerationOfEntry(const std::string&) {
    return {};
}

std::string GenerationOf(const std::string&) {
    return {};
}

FileResult<std::size_t> File::Read(void* buffer, std::size_t size) {
    auto* at = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, kLargestChunk));
        DWORD got = 0;
        if (!ReadFile(AsHandle(m_handle), at + done, chunk, &got, nullptr)) {
            // A pipe whose writer has gone has ended, as a file does.
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) {
                break;
            }
            return LastWin32Error(m_path);
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

FileStatus File::SeekTo(std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (offset > static_cast<std::uint64_t>(INT64_MAX) ||
        !SetFilePointerEx(AsHandle(m_handle), to, nullptr, FILE_BEGIN)) {
        return LastWin32Error(m_path);
    }
    return {};
}

FileStatus File::Write(const void* buffer, std::size_t size) {
    const auto* at = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, kLargestChunk));
        DWORD put = 0;
        if (!WriteFile(AsHandle(m_handle), at + done, chunk, &put, nullptr)) {
            return LastWin32Error(m_path);
        }
        if (put == 0) {
            return FileError{FileErrorCause::DiskFull, m_path};
        }
        done += put;
    }
    return std::nullopt;
}

// Windows has no copy between two open files inside the kernel; the buffer does the work.
RangeCopy File::CopyRangeTo(File&, std::size_t size) {
    RangeCopy result;
    result.stopped = size > 0;
    result.unsupported = true;
    return result;
}

// Sequential reading was asked for when the file was opened.
void File::AdviseSequential() {}

FileStatus File::CutAt(std::uint64_t length) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(AsHandle(m_handle), at, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(AsHandle(m_handle))) {
        return LastWin32Error(m_path);
    }
    return std::nullopt;
}

FileStatus File::Flush() {
    if (!FlushFileBuffers(AsHandle(m_handle))) {
        return LastWin32Error(m_path);
    }
    return std::nullopt;
}

FileStatus File::Close() {
    if (m_handle == -1) {
        return std::nullopt;
    }
    const HANDLE handle = AsHandle(m_handle);
    m_handle = -1;
    if (!CloseHandle(handle)) {
        return LastWin32Error(m_path);
    }
    return std::nullopt;
}

}  // namespace kavendrum
