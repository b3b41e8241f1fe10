#pragma once

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/par2/recovery_files.h"
#include "engine/par2/recovery_repair.h"
#include "support/temp_folder.h"

namespace kavendrum::testing {

// A folder with pieces x_1.skf, x_2.skf, ... cut from random bytes, the requests that protect
// and repair them, and the means to lose, damage and replace pieces.
class Par2PieceSet {
  public:
    Par2PieceSet(std::uint64_t total, std::uint64_t pieceSize, std::uint32_t seed = 1)
        : m_pieceSize(pieceSize) {
        const auto bytes = RandomBytes(static_cast<std::size_t>(total), seed);
        for (std::uint64_t at = 0; at < total; at += pieceSize) {
            const std::uint64_t size = std::min(pieceSize, total - at);
            m_pieces.emplace_back(bytes.begin() + static_cast<long>(at),
                                  bytes.begin() + static_cast<long>(at + size));
        }
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            WriteBytes(Path(i), m_pieces[i]);
        }
    }
    // An empty last piece, as a split of a whole number of pieces writes none but a stream can.
    void AddEmptyPiece() {
        m_pieces.emplace_back();
        WriteBytes(Path(m_pieces.size() - 1), m_pieces.back());
    }

    std::string Name(std::size_t i) const { return "x_" + std::to_string(i + 1) + ".skf"; }
    std::string Path(std::size_t i) const { return m_folder / Name(i); }
    std::size_t Count() const { return m_pieces.size(); }
    const std::vector<char>& Bytes(std::size_t i) const { return m_pieces[i]; }

    par2::RecoveryRequest Request(std::uint32_t wanted) const {
        par2::RecoveryRequest request;
        request.folder = m_folder.path();
        request.baseName = "x";
        request.pieceSize = m_pieceSize;
        request.wantedPieces = wanted;
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            request.pieceNames.push_back(Name(i));
            request.pieceSizes.push_back(m_pieces[i].size());
        }
        return request;
    }

    par2::RepairRequest Repair() const {
        par2::RepairRequest request;
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            request.piecePaths.push_back(Path(i));
        }
        request.recoveryPaths = RecoveryFiles();
        return request;
    }
    std::vector<std::string> RecoveryFiles() const {
        std::vector<std::string> paths;
        ListFolder(m_folder.path(), [&](const std::string& name) {
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".par2") == 0) {
                paths.push_back(m_folder / name);
            }
        });
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    std::set<std::string> FolderNames() const {
        std::set<std::string> names;
        ListFolder(m_folder.path(), [&](const std::string& name) { names.insert(name); });
        return names;
    }

    void Lose(std::size_t i) { RemoveFile(Path(i)); }
    void Damage(std::size_t i, std::size_t at) {
        auto bytes = m_pieces[i];
        bytes[at] ^= 0x5A;
        WriteBytes(Path(i), bytes);
    }
    void Put(std::size_t i, const std::vector<char>& bytes) { WriteBytes(Path(i), bytes); }
    bool Intact() const {
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            if (!Exists(Path(i)) || ReadBytes(Path(i)) != m_pieces[i]) {
                return false;
            }
        }
        return true;
    }
    const TempFolder& Folder() const { return m_folder; }

  private:
    TempFolder m_folder;
    std::uint64_t m_pieceSize;
    std::vector<std::vector<char>> m_pieces;
};

}  // namespace kavendrum::testing
