#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kavendrum {

// The largest file FAT32 holds, 4 GiB - 1: the `fat32` size.
inline constexpr std::uint64_t kFat32Size = 4294967295;

// What base64 makes of `bytes` in a mail: every 3 bytes (the last group padded) become 4
// characters, and the lines of at most 76 characters each end in CR LF.
constexpr std::uint64_t MailEncodedSize(std::uint64_t bytes) {
    const std::uint64_t characters = (bytes + 2) / 3 * 4;
    const std::uint64_t lines = (characters + 75) / 76;
    return characters + 2 * lines;
}

// The largest piece whose mail encoding still fits `limit` bytes.
constexpr std::uint64_t LargestMailPiece(std::uint64_t limit) {
    std::uint64_t fits = 0;
    std::uint64_t tooLarge = limit + 1;  // base64 never shrinks
    while (tooLarge - fits > 1) {
        const std::uint64_t middle = fits + (tooLarge - fits) / 2;
        (MailEncodedSize(middle) <= limit ? fits : tooLarge) = middle;
    }
    return fits;
}

// The `email` size: the largest piece that still goes through as a 25 MB attachment, 25,000,000
// bytes as mail services count a megabyte, once base64 has encoded it: 320512 full lines of 57
// bytes (78 characters with the line end) and one of 45 bytes (60 characters) make 24,999,998.
// The message's own headers are not counted; a service that counts them needs a little less.
inline constexpr std::uint64_t kMailAttachmentLimit = 25'000'000;
inline constexpr std::uint64_t kEmailSize = LargestMailPiece(kMailAttachmentLimit);
static_assert(kEmailSize == 320512 * 57 + 45);

// Reads a size as a user types it: decimal digits (leading zeros are decimal), an optional
// fraction, optional blanks and an optional unit: K, M, G, T (k, m, g too, as GNU split takes
// them), KiB, MiB, GiB, TiB for powers of 1024; KB, MB, GB, TB (kB too) for powers of 1000; B
// for bytes. A fraction needs a unit and is rounded down to whole bytes. The names fat32 and
// email stand for their sizes. Nothing when the text is no size, or one that could be read two
// ways; a value too large for 64 bits reads as the largest 64-bit value, so that it fails the
// caller's range check rather than being called unreadable.
std::optional<std::uint64_t> ReadSize(const std::string& text);

// Why `text` is not read as a size, for a text that ReadSize refuses: what it could mean, when
// it could mean two things, then the forms that are read.
std::string SizeRefusal(const std::string& text);

// The forms ReadSize takes, in a few lines for the help and the errors.
std::string AcceptedSizeForms();

}  // namespace kavendrum
