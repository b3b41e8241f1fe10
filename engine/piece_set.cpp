#include "engine/piece_set.h"

#include "engine/paths.h"

namespace kavendrum {

namespace {

constexpr std::size_t kHeadExtensionLength = 4;  // ".kdh"

}  // namespace

PieceSet PieceSet::InFolder(const std::string& folder, const std::string& base) {
    if (folder.empty()) {
        return PieceSet(base, base);
    }
    return PieceSet(WithTrailingSeparator(folder) + base, base);
}

std::optional<PieceSet> PieceSet::OfHeadFile(const std::string& headPath) {
    if (!IsHeadFileName(headPath)) {
        return std::nullopt;
    }
    std::string stem = headPath.substr(0, headPath.size() - kHeadExtensionLength);
    std::string base = GetFileName(stem);
    return PieceSet(std::move(stem), std::move(base));
}

std::string PieceSet::PieceName(std::uint32_t number) const {
    return m_base + "_" + std::to_string(number) + ".skf";
}

std::string PieceSet::PiecePath(std::uint32_t number) const {
    return m_stem + "_" + std::to_string(number) + ".skf";
}

std::string PieceSet::RunPath(std::uint32_t first, std::uint32_t last) const {
    return m_stem + "_{" + std::to_string(first) + ".." + std::to_string(last) + "}.skf";
}

bool IsHeadFileName(const std::string& path) {
    if (path.size() < kHeadExtensionLength) {
        return false;
    }
    return AsciiLower(path.substr(path.size() - kHeadExtensionLength)) == ".kdh";
}

std::string AsciiLower(const std::string& text) {
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool secondHalf = i > 0 && static_cast<unsigned char>(text[i - 1]) >= 0x7F;
        if (!secondHalf && out[i] >= 'A' && out[i] <= 'Z') {
            out[i] = static_cast<char>(out[i] + 32);
        }
    }
    return out;
}

}  // namespace kavendrum
