#include "engine/digest_pipe.h"

#include <utility>

namespace kavendrum {

DigestPipe::DigestPipe(bool pieces, bool wholeFile)
    : m_ring(kBlocks, kBlockSize, Hashers(pieces, wholeFile)) {}

std::vector<WorkerRing::Consumer> DigestPipe::Hashers(bool pieces, bool wholeFile) {
    std::vector<WorkerRing::Consumer> hashers;
    if (pieces && wholeFile && Sha256Pair::Interleaves()) {
        m_pair.emplace();
        hashers.emplace_back([this](const RingBlock& block) { HashBoth(block); });
        return hashers;
    }
    if (pieces || !wholeFile) {
        hashers.emplace_back([this](const RingBlock& block) { HashPieces(block); });
    }
    if (wholeFile) {
        hashers.emplace_back(
            [this](const RingBlock& block) { m_whole.Update(block.bytes.data(), block.size); });
    }
    return hashers;
}

void DigestPipe::HashPieces(const RingBlock& block) {
    m_piece.Update(block.bytes.data(), block.size);
    if (block.endsPart) {
        m_pieceDigests.push_back(m_piece.Finish());
    }
}

void DigestPipe::HashBoth(const RingBlock& block) {
    m_pair->Update(block.bytes.data(), block.size);
    if (block.endsPart) {
        m_pieceDigests.push_back(m_pair->Finish(Sha256Pair::kFirst));
    }
}

Moved DigestPipe::Move(File& from, File* to, std::size_t size, const ByteTap& tap) {
    RingBlock* filling = nullptr;
    const auto buffer = [&](std::size_t) {
        filling = &m_ring.Acquire();
        return filling->bytes.data();
    };
    // The hashers only read the block, so it is written out while they work on it.
    const auto seen = [&](const void* data, std::size_t bytes) {
        filling->size = bytes;
        filling->endsPart = false;
        m_ring.Publish();
        if (tap) {
            tap(data, bytes);
        }
    };
    return MoveBlocks(from, to, size, kBlockSize, buffer, seen);
}

void DigestPipe::EndPiece() {
    RingBlock& block = m_ring.Acquire();
    block.size = 0;
    block.endsPart = true;
    m_ring.Publish();
}

std::vector<std::optional<Sha256Digest>> DigestPipe::TakePieceDigests() {
    m_ring.Drain();
    return std::exchange(m_pieceDigests, {});
}

std::optional<Sha256Digest> DigestPipe::WholeDigest() {
    m_ring.Drain();
    if (m_pair) {
        return m_pair->Finish(Sha256Pair::kSecond);
    }
    return m_whole.Finish();
}

}  // namespace kavendrum
