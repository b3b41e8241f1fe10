#include "engine/pieces_on_disk.h"

#include <algorithm>
#include <charconv>

#include "engine/io/file_system.h"
#include "engine/paths.h"

namespace kavendrum {

namespace {

bool SameLetters(const std::string& name, std::size_t at, const std::string& expected) {
    return name.size() >= at + expected.size() &&
           AsciiLower(name.substr(at, expected.size())) == AsciiLower(expected);
}

// The number of a name "base_i.skf" with 1 <= i <= pieceCount and no leading zero; 0 otherwise.
std::uint32_t PieceNumberOf(const std::string& name, const std::string& base,
                            std::uint32_t pieceCount) {
    static const std::string kEnding = ".skf";
    const std::string head = base + "_";
    if (name.size() <= head.size() + kEnding.size() || !SameLetters(name, 0, head) ||
        !SameLetters(name, name.size() - kEnding.size(), kEnding)) {
        return 0;
    }
    const char* first = name.data() + head.size();
    const char* last = name.data() + name.size() - kEnding.size();
    std::uint32_t number = 0;
    const auto parsed = std::from_chars(first, last, number);
    if (*first == '0' || parsed.ec != std::errc() || parsed.ptr != last || number > pieceCount) {
        return 0;
    }
    return number;
}

}  // namespace

PiecesOnDisk PiecesOnDisk::Find(const PieceSet& set, std::uint32_t pieceCount) {
    PiecesOnDisk pieces(set, pieceCount);
    pieces.m_listed = pieces.List();
    return pieces;
}

bool PiecesOnDisk::List() {
    // The folder ends after the stem's last separator of any kind ("C:/in/x" on Windows too).
    const std::string& stem = m_set.Stem();
    const std::string base = LeafName(stem);
    const std::string folder = stem.substr(0, stem.size() - base.size());
    const FileStatus failure = ListFolder(folder, [&](const std::string& name) {
        if (const std::uint32_t number = PieceNumberOf(name, base, m_pieceCount)) {
            m_numbers.push_back(number);
        }
    });
    if (failure) {
        m_numbers.clear();
        return false;
    }
    std::sort(m_numbers.begin(), m_numbers.end());
    m_numbers.erase(std::unique(m_numbers.begin(), m_numbers.end()), m_numbers.end());
    return true;
}

std::uint32_t PiecesOnDisk::NextAfter(std::uint32_t number) const {
    if (!m_listed) {
        return number < m_pieceCount ? number + 1 : 0;
    }
    const auto next = std::upper_bound(m_numbers.begin(), m_numbers.end(), number);
    return next == m_numbers.end() ? 0 : *next;
}

std::uint32_t PiecesOnDisk::FirstAbsent() const {
    if (!m_listed) {
        for (std::uint32_t number = 1; number != 0 && number <= m_pieceCount; ++number) {
            if (!FileExists(m_set.PiecePath(number))) {
                return number;
            }
        }
        return 0;
    }
    // The numbers are ascending and distinct, so a gap shows where the first one is missing.
    for (std::size_t at = 0; at < m_numbers.size(); ++at) {
        if (m_numbers[at] != at + 1) {
            return static_cast<std::uint32_t>(at + 1);
        }
    }
    return m_numbers.size() < m_pieceCount ? static_cast<std::uint32_t>(m_numbers.size() + 1) : 0;
}

}  // namespace kavendrum
