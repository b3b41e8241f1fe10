#include "engine/piece_namesakes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <utility>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/sha256.h"
#include "engine/paths.h"
#include "engine/verification.h"

namespace kavendrum {

namespace {

// Names kept from the listing before the pieces they stand for are checked: a folder of
// millions of copies is still listed once, in bounded memory.
constexpr std::size_t kMostNamesakesKept = 4096;
constexpr std::size_t kHashBlock = 256 * 1024;

// What browsers add to a file still being downloaded.
constexpr std::array<std::string_view, 4> kUnfinishedEndings = {".part", ".crdownload", ".download",
                                                                ".partial"};

bool EndsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

// One to four digits and nothing else.
bool IsCopyNumber(std::string_view text) {
    return !text.empty() && text.size() <= 4 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// What a browser or a file manager puts between a name and its extension to tell a second copy
// apart, lower-cased: " (1)", "(1)", "-1", " - copy", " - copy (2)"; nothing is no mark.
bool IsCopyMark(std::string_view mark) {
    if (mark.empty() || mark == " - copy") {
        return true;
    }
    if (StartsWith(mark, " - copy (") && EndsWith(mark, ")")) {
        return IsCopyNumber(mark.substr(9, mark.size() - 10));
    }
    if (StartsWith(mark, " (") && EndsWith(mark, ")")) {
        return IsCopyNumber(mark.substr(2, mark.size() - 3));
    }
    if (StartsWith(mark, "(") && EndsWith(mark, ")")) {
        return IsCopyNumber(mark.substr(1, mark.size() - 2));
    }
    return StartsWith(mark, "-") && IsCopyNumber(mark.substr(1));
}

// The piece number at the start of `text`, without a leading zero and within the count, and
// where it ends; 0 when there is none.
std::pair<std::uint32_t, std::size_t> LeadingNumber(std::string_view text,
                                                    std::uint32_t pieceCount) {
    std::size_t end = 0;
    std::uint64_t number = 0;
    while (end < text.size() && end < 10 && std::isdigit(static_cast<unsigned char>(text[end]))) {
        number = number * 10 + static_cast<unsigned>(text[end] - '0');
        ++end;
    }
    if (end == 0 || text[0] == '0' || number > pieceCount) {
        return {0, 0};
    }
    return {static_cast<std::uint32_t>(number), end};
}

// A plain file at the name itself, not a link to one.
bool IsPlainFile(const std::string& path) {
    const auto link = LinkStateOf(path);
    return KindOfEntry(path) == FileKind::Regular && link && !link->target;
}

struct Listed {
    std::vector<std::pair<std::uint32_t, std::string>> names;  // piece number, name
    std::uint64_t dropped = 0;                                 // beyond what is kept
};

Listed ListNamesakes(const std::string& folder, const std::string& base, std::uint32_t pieceCount) {
    Listed listed;
    ListFolder(folder, [&](const std::string& name) {
        const std::uint32_t number = NamesakeNumber(name, base, pieceCount);
        if (number == 0) {
            return;
        }
        if (listed.names.size() < kMostNamesakesKept) {
            listed.names.emplace_back(number, name);
        } else {
            ++listed.dropped;
        }
    });
    std::sort(listed.names.begin(), listed.names.end());
    return listed;
}

// Whether the file at `path`, still the one stamped, holds `size` bytes whose digest is
// `expected`. Reads at most one byte more than `size`.
NamesakeContent CompareContent(const std::string& path, const FileStamp& stamp, std::uint64_t size,
                               const Sha256Digest& expected) {
    auto file = File::OpenForReading(path);
    if (!file.ok()) {
        return NamesakeContent::Unreadable;
    }
    const auto identity = file.value().Identity();
    if (!identity.ok() || identity.value() != stamp.identity) {
        return NamesakeContent::Unreadable;
    }
    Sha256 digest;
    std::vector<char> buffer(kHashBlock);
    std::uint64_t done = 0;
    while (done <= size) {
        const auto got = file.value().Read(buffer.data(), buffer.size());
        if (!got.ok()) {
            return NamesakeContent::Unreadable;
        }
        if (got.value() == 0) {
            break;
        }
        digest.Update(buffer.data(), got.value());
        done += got.value();
    }
    if (done != size) {
        return NamesakeContent::Differs;
    }
    const auto finished = digest.Finish();
    if (!finished) {
        return NamesakeContent::Unreadable;
    }
    return *finished == expected ? NamesakeContent::Matches : NamesakeContent::Differs;
}

// Sizes each namesake and, where its size is the piece's and the piece has a line, hashes it.
void LookAtContent(std::vector<PieceNamesake>& namesakes, const PieceChecksums* checksums) {
    for (auto& namesake : namesakes) {
        const auto stamp = IsPlainFile(namesake.path) ? StampOf(namesake.path) : std::nullopt;
        if (!stamp) {
            continue;
        }
        namesake.size = stamp->size;
        const auto expected = checksums ? checksums->ForPiece(namesake.number) : std::nullopt;
        if (expected && stamp->size == namesake.expectedSize) {
            namesake.content = CompareContent(namesake.path, *stamp, stamp->size, *expected);
        }
    }
}

}  // namespace

std::uint32_t NamesakeNumber(const std::string& name, const std::string& base,
                             std::uint32_t pieceCount) {
    const std::string head = base + "_";
    if (name.size() <= head.size() || AsciiLower(name.substr(0, head.size())) != AsciiLower(head)) {
        return 0;
    }
    const std::string rest = name.substr(head.size());
    const auto [number, digits] = LeadingNumber(rest, pieceCount);
    if (number == 0) {
        return 0;
    }
    std::string_view ending = rest;
    ending.remove_prefix(digits);
    const std::string lower = AsciiLower(std::string(ending));
    std::string_view tail = lower;
    for (const auto unfinished : kUnfinishedEndings) {
        if (EndsWith(tail, unfinished)) {
            tail.remove_suffix(unfinished.size());
            break;
        }
    }
    if (!EndsWith(tail, ".skf") || !IsCopyMark(tail.substr(0, tail.size() - 4))) {
        return 0;
    }
    // The piece's own name, letter for letter, is the piece.
    const bool own = name == head + std::to_string(number) + ".skf";
    return own ? 0 : number;
}

NamesakeSearch FindPieceNamesakes(const std::string& headPath) {
    NamesakeSearch search;
    const auto set = PieceSet::OfHeadFile(headPath);
    const auto info = set ? PeekHeadFile(headPath) : std::nullopt;
    if (!info) {
        return search;
    }
    const std::string& stem = set->Stem();
    const std::string base = LeafName(stem);
    const std::string folder = stem.substr(0, stem.size() - base.size());
    Listed listed = ListNamesakes(folder, base, info->pieceCount);
    search.notShown = listed.dropped;
    std::uint32_t lastNumber = 0;
    bool lastMissing = false;
    for (auto& [number, name] : listed.names) {
        if (number != lastNumber) {
            lastNumber = number;
            lastMissing = !FileExists(set->PiecePath(number));
        }
        if (!lastMissing) {
            continue;
        }
        if (search.namesakes.size() == kMostNamesakesListed) {
            ++search.notShown;
            continue;
        }
        PieceNamesake namesake;
        namesake.number = number;
        namesake.missingPath = set->PiecePath(number);
        namesake.path = folder + name;
        namesake.name = std::move(name);
        namesake.expectedSize = number < info->pieceCount ? info->pieceSize : LastPieceSize(*info);
        search.namesakes.push_back(std::move(namesake));
    }
    if (search.namesakes.empty()) {
        return search;
    }
    const std::string checksumPath = set->ChecksumPath();
    const ChecksumRead checksums = ReadChecksumFile(
        checksumPath, {base, info->pieceCount, RebuiltFileName(base, info->extension)});
    if (checksums.checksums) {
        search.checksumPath = checksumPath;
    }
    LookAtContent(search.namesakes, checksums.checksums ? &*checksums.checksums : nullptr);
    return search;
}

}  // namespace kavendrum
