#include "engine/par2/stream_hashes.h"

#include <algorithm>
#include <cstring>

#include "engine/io/crc32.h"

namespace kavendrum::par2 {

namespace {

constexpr std::uint64_t k16k = 16384;

Md5Digest Digest(Md5& md5) {
    return md5.Finish().value_or(Md5Digest{});
}

}  // namespace

void UpdateWithZeros(Md5& md5, std::uint64_t count) {
    static constexpr std::uint8_t kZeros[4096] = {};
    for (std::uint64_t left = count; left > 0;) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof kZeros));
        md5.Update(kZeros, part);
        left -= part;
    }
}

// Each piece's MD5, and from the same chain that of its first 16 KiB and of its first slice
// (padded with zeros), whose bytes are the first of the piece's: a chain fewer over them.
class StreamHashes::WholePieces : public Side {
  public:
    WholePieces(const std::vector<std::uint64_t>& lengths, std::uint64_t sliceSize)
        : m_lengths(lengths),
          m_sliceSize(sliceSize),
          m_md5(lengths.size()),
          m_md5Of16k(lengths.size()),
          m_firstSlice(lengths.size()) {
        SkipEmpty();
    }

    void Consume(const std::uint8_t* data, std::size_t size) override {
        while (size > 0 && m_piece < m_lengths.size()) {
            const std::uint64_t length = m_lengths[m_piece];
            const auto part = static_cast<std::size_t>(
                std::min<std::uint64_t>(size, NextMark(length) - m_inPiece));
            m_whole.Update(data, part);
            m_inPiece += part;
            data += part;
            size -= part;
            if (m_inPiece == std::min(length, k16k)) {
                Md5 first = m_whole.Fork();
                m_md5Of16k[m_piece] = Digest(first);
            }
            if (m_inPiece == std::min(length, m_sliceSize)) {
                Md5 slice = m_whole.Fork();
                UpdateWithZeros(slice, m_sliceSize - m_inPiece);
                m_firstSlice[m_piece] = Digest(slice);
            }
            if (m_inPiece == length) {
                m_md5[m_piece] = Digest(m_whole);
                NextPiece();
            }
        }
    }

    void Fill(std::vector<FileEntry>& files) const {
        for (std::size_t p = 0; p < files.size() && p < m_md5.size(); ++p) {
            files[p].md5 = m_md5[p];
            files[p].md5Of16k = m_md5Of16k[p];
            if (!files[p].slices.empty()) {
                files[p].slices.front().md5 = m_firstSlice[p];
            }
        }
    }

  private:
    // Where the chain next has a digest to give: 16 KiB, the first slice's end, the piece's end.
    std::uint64_t NextMark(std::uint64_t length) const {
        std::uint64_t mark = length;
        for (const std::uint64_t at : {k16k, m_sliceSize}) {
            if (at > m_inPiece && at < mark) {
                mark = at;
            }
        }
        return mark;
    }

    void NextPiece() {
        ++m_piece;
        m_inPiece = 0;
        SkipEmpty();
    }

    void SkipEmpty() {
        while (m_piece < m_lengths.size() && m_lengths[m_piece] == 0) {
            m_md5[m_piece] = Digest(m_whole);  // of nothing
            m_md5Of16k[m_piece] = m_md5[m_piece];
            ++m_piece;
        }
    }

    std::vector<std::uint64_t> m_lengths;
    std::uint64_t m_sliceSize;
    std::vector<Md5Digest> m_md5;
    std::vector<Md5Digest> m_md5Of16k;
    std::vector<Md5Digest> m_firstSlice;
    std::size_t m_piece = 0;
    std::uint64_t m_inPiece = 0;
    Md5 m_whole;
};

// Each slice's CRC32, and the MD5 of each slice after a piece's first (whose MD5 comes from the
// piece's chain); a short last slice is checked as if padded with zeros.
class StreamHashes::Slices : public Side {
  public:
    Slices(const std::vector<std::uint64_t>& lengths, std::uint64_t sliceSize)
        : m_lengths(lengths), m_sliceSize(sliceSize), m_slices(lengths.size()) {
        SkipEmpty();
    }

    void Consume(const std::uint8_t* data, std::size_t size) override {
        while (size > 0 && m_piece < m_lengths.size() && m_sliceSize > 0) {
            const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(
                {size, m_lengths[m_piece] - m_inPiece, m_sliceSize - m_inSlice}));
            if (m_inPiece >= m_sliceSize) {
                m_md5.Update(data, part);
            }
            m_crc = Crc32Update(m_crc, data, part);
            m_inPiece += part;
            m_inSlice += part;
            data += part;
            size -= part;
            if (m_inSlice == m_sliceSize || m_inPiece == m_lengths[m_piece]) {
                EndSlice();
            }
            if (m_inPiece == m_lengths[m_piece]) {
                ++m_piece;
                m_inPiece = 0;
                SkipEmpty();
            }
        }
    }

    void Fill(std::vector<FileEntry>& files) {
        for (std::size_t p = 0; p < files.size() && p < m_slices.size(); ++p) {
            files[p].slices = std::move(m_slices[p]);
        }
    }

  private:
    void EndSlice() {
        const std::uint64_t padding = m_sliceSize - m_inSlice;
        Md5Digest md5{};
        if (!m_slices[m_piece].empty()) {
            UpdateWithZeros(m_md5, padding);
            md5 = Digest(m_md5);
        }
        m_slices[m_piece].push_back({md5, Crc32ZeroExtend(m_crc, padding)});
        m_crc = 0;
        m_inSlice = 0;
    }

    void SkipEmpty() {
        while (m_piece < m_lengths.size() && m_lengths[m_piece] == 0) {
            ++m_piece;
        }
    }

    std::vector<std::uint64_t> m_lengths;
    std::uint64_t m_sliceSize;
    std::vector<std::vector<SliceChecksum>> m_slices;
    std::size_t m_piece = 0;
    std::uint64_t m_inPiece = 0;
    std::uint64_t m_inSlice = 0;
    Md5 m_md5;
    std::uint32_t m_crc = 0;
};

StreamHashes::StreamHashes(std::vector<std::uint64_t> lengths, std::uint64_t sliceSize)
    : m_whole(std::make_unique<WholePieces>(lengths, sliceSize)),
      m_slices(std::make_unique<Slices>(lengths, sliceSize)),
      m_ring(kSlots, kSlotBytes, Consumers()) {}

StreamHashes::~StreamHashes() = default;

std::vector<WorkerRing::Consumer> StreamHashes::Consumers() {
    std::vector<WorkerRing::Consumer> consumers;
    for (Side* side : {static_cast<Side*>(m_whole.get()), static_cast<Side*>(m_slices.get())}) {
        consumers.emplace_back([side](const RingBlock& block) {
            side->Consume(reinterpret_cast<const std::uint8_t*>(block.bytes.data()), block.size);
        });
    }
    return consumers;
}

void StreamHashes::Add(const void* data, std::size_t size) {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        RingBlock& block = m_ring.Acquire();
        block.size = std::min(size, kSlotBytes);
        std::memcpy(block.bytes.data(), at, block.size);
        m_ring.Publish();
        at += block.size;
        size -= block.size;
    }
}

void StreamHashes::Finish(std::vector<FileEntry>& files) {
    m_ring.Drain();
    m_slices->Fill(files);
    m_whole->Fill(files);  // after the slices: it gives each piece's first slice its MD5
}

}  // namespace kavendrum::par2
