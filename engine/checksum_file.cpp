#include "engine/checksum_file.h"

#include <algorithm>

namespace kavendrum {

namespace {

constexpr std::size_t kDigestDigits = 64;
constexpr std::size_t kReadSize = 64 * 1024;
// Lines taken before they are folded into the settled ones, at the least: a file that names one
// piece again and again keeps no more than this many.
constexpr std::size_t kFoldAtLeast = 4096;

bool NeedsEscape(const std::string& name) {
    return name.find_first_of("\\\n\r") != std::string::npos;
}

std::string Escape(const std::string& name) {
    std::string out;
    out.reserve(name.size() + 8);
    for (const char c : name) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The name an escaped line stands for; nothing for an escape sha256sum never writes.
std::optional<std::string> Unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

bool IsDecimalWithoutLeadingZero(const std::string& text) {
    return !text.empty() && text.size() <= 10 && text[0] != '0' &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string ChecksumFilePath(const std::string& stem) {
    return stem + ".sha256";
}

std::string ChecksumLine(const Sha256Digest& digest, const std::string& name) {
    const bool escaped = NeedsEscape(name);
    std::string line;
    line.reserve(name.size() * 2 + 70);
    if (escaped) {
        line += '\\';
    }
    line += HexDigest(digest);
    line += "  ";
    line += escaped ? Escape(name) : name;
    line += '\n';
    return line;
}

void PieceChecksums::AddLine(const std::string& raw) {
    std::string line = raw;
    // A file that went through a Windows editor.
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    const bool escaped = !line.empty() && line[0] == '\\';
    const std::size_t at = escaped ? 1 : 0;
    // digest, a space, then a space (text mode) or an asterisk (binary mode), then the name
    if (line.size() < at + kDigestDigits + 3 || line[at + kDigestDigits] != ' ' ||
        (line[at + kDigestDigits + 1] != ' ' && line[at + kDigestDigits + 1] != '*')) {
        return;
    }
    const auto digest = ParseHexDigest(line.substr(at, kDigestDigits));
    if (!digest) {
        return;
    }
    std::optional<std::string> name = line.substr(at + kDigestDigits + 2);
    if (escaped) {
        name = Unescape(*name);
    }
    if (!name) {
        return;
    }
    if (*name == m_names.wholeName) {
        if (m_whole && *m_whole != *digest) {
            m_wholeDisputed = true;
        }
        m_whole = digest;
        return;
    }
    if (const auto number = PieceNumber(*name)) {
        m_unsettled.emplace_back(*number, *digest);
        // Folding when the unsettled lines are as many as the settled ones keeps the memory
        // within twice one line per piece, and the time of all folds within n log n.
        if (m_unsettled.size() >= std::max(kFoldAtLeast, m_pieces.size() + m_disputed.size())) {
            Fold();
        }
    }
}

void PieceChecksums::Seal() {
    Fold();
    m_unsettled.shrink_to_fit();
}

// Settles the lines taken since the last fold: one line per piece, or the piece disputed when
// its lines disagree.
void PieceChecksums::Fold() {
    if (m_unsettled.empty()) {
        return;
    }
    std::vector<std::pair<std::uint32_t, Sha256Digest>> all = std::move(m_pieces);
    all.insert(all.end(), m_unsettled.begin(), m_unsettled.end());
    m_unsettled.clear();
    std::sort(all.begin(), all.end());
    // Settled in place, so that a fold never needs more than the lines it folds.
    std::vector<std::uint32_t> disputed;
    std::size_t kept = 0;
    for (std::size_t first = 0, next = 0; first < all.size(); first = next) {
        const std::uint32_t number = all[first].first;
        bool agree = true;
        for (next = first + 1; next < all.size() && all[next].first == number; ++next) {
            agree = agree && all[next].second == all[first].second;
        }
        if (!agree) {
            disputed.push_back(number);
        } else if (!std::binary_search(m_disputed.begin(), m_disputed.end(), number)) {
            all[kept++] = all[first];
        }
    }
    all.resize(kept);
    m_pieces = std::move(all);
    const auto middle = m_disputed.insert(m_disputed.end(), disputed.begin(), disputed.end());
    std::inplace_merge(m_disputed.begin(), middle, m_disputed.end());
    m_disputed.erase(std::unique(m_disputed.begin(), m_disputed.end()), m_disputed.end());
}

std::optional<Sha256Digest> PieceChecksums::ForPiece(std::uint32_t number) const {
    const auto found = std::lower_bound(
        m_pieces.begin(), m_pieces.end(), number,
        [](const auto& entry, std::uint32_t wanted) { return entry.first < wanted; });
    if (found == m_pieces.end() || found->first != number) {
        return std::nullopt;
    }
    return found->second;
}

bool PieceChecksums::Disputed(std::uint32_t number) const {
    return std::binary_search(m_disputed.begin(), m_disputed.end(), number);
}

std::optional<std::uint32_t> PieceChecksums::PieceNumber(const std::string& name) const {
    const std::string prefix = m_names.base + "_";
    const std::string suffix = ".skf";
    if (name.size() <= prefix.size() + suffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    const std::string digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (!IsDecimalWithoutLeadingZero(digits)) {
        return std::nullopt;
    }
    const std::uint64_t number = std::stoull(digits);
    if (number < 1 || number > m_names.pieceCount) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

ChecksumRead ReadChecksumFile(const std::string& path, const ChecksumNames& names) {
    ChecksumRead result;
    auto file = File::OpenForReading(path);
    if (!file.ok()) {
        // Only a name that is not there at all means the set has no checksum file.
        if (file.error().cause != FileErrorCause::FileNotFound) {
            result.error = file.error();
        }
        return result;
    }
    PieceChecksums checksums(names);
    std::string block(kReadSize, '\0');
    std::string line;
    bool overlong = false;  // skipping the rest of a line that is too long
    for (;;) {
        const auto got = file.value().Read(block.data(), block.size());
        if (!got.ok()) {
            result.error = got.error();
            return result;
        }
        for (std::size_t i = 0; i < got.value(); ++i) {
            const char c = block[i];
            if (c == '\n') {
                if (!overlong) {
                    checksums.AddLine(line);
                }
                line.clear();
                overlong = false;
            } else if (!overlong) {
                line += c;
                if (line.size() > kLongestChecksumLine) {
                    line.clear();
                    overlong = true;
                }
            }
        }
        if (got.value() < block.size()) {
            break;
        }
    }
    if (!overlong && !line.empty()) {
        checksums.AddLine(line);
    }
    checksums.Seal();
    result.checksums = std::move(checksums);
    return result;
}

}  // namespace kavendrum
