#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/file_error.h"
#include "engine/io/md5.h"
#include "engine/par2/gf16.h"

namespace kavendrum::par2 {

// The packets of a recovery set: writing them, and reading them back from files that anybody
// may have made or damaged.

inline constexpr std::size_t kPacketHeaderBytes = 64;
// A recovery slice packet before its data: the header and the exponent.
inline constexpr std::size_t kRecoveryPrefixBytes = kPacketHeaderBytes + 4;
// Every file takes at least one slice but an empty one, and there are at most 32768 slices.
inline constexpr std::uint32_t kMaxFilesInSet = 32768;

struct SliceChecksum {
    Md5Digest md5{};
    std::uint32_t crc = 0;
    bool operator==(const SliceChecksum&) const = default;
};

// One file of the set as its description and slice checksum packets give it.
struct FileEntry {
    Md5Digest id{};
    Md5Digest md5{};
    Md5Digest md5Of16k{};  // of the first 16 KiB, or of the whole file when shorter
    std::uint64_t length = 0;
    std::string name;  // as this platform spells it; the packets carry its portable form
    std::vector<SliceChecksum> slices;
};

// A file's identity in the set: the MD5 of its first 16 KiB's MD5, its length and its name.
Md5Digest FileIdOf(const Md5Digest& md5Of16k, std::uint64_t length, const std::string& name);
// Slices of `sliceSize` bytes that a file of `length` bytes takes; the last one is padded.
std::uint64_t SlicesIn(std::uint64_t length, std::uint64_t sliceSize);

// What goes into every file of a set: the main packet, each file's description and slice
// checksums (files in the order of their ids, which is also the order of their slices' coding
// constants), and the creator packet.
struct SetDescription {
    std::uint64_t sliceSize = 0;
    std::vector<FileEntry> files;  // sorted by id
};
void SortFilesById(std::vector<FileEntry>& files);
Md5Digest RecoverySetIdOf(const SetDescription& set);
std::vector<std::uint8_t> CriticalPackets(const SetDescription& set);
std::vector<std::uint8_t> CreatorPacket(const Md5Digest& setId);
// The bytes CriticalPackets gives, without making them.
std::uint64_t CriticalPacketBytes(const std::vector<std::string>& names,
                                  const std::vector<std::uint64_t>& sliceCounts);
std::uint64_t CreatorPacketBytes();
// The header and exponent that come before `data` in a recovery slice packet.
std::array<std::uint8_t, kRecoveryPrefixBytes> RecoveryPacketPrefix(const Md5Digest& setId,
                                                                    std::uint32_t exponent,
                                                                    const std::uint8_t* data,
                                                                    std::size_t size);

// A recovery slice found in a file: where its data is, not the data itself, and the MD5 its
// packet claims, which is checked only when the slice is to be used (see SliceIntact).
struct RecoverySliceRef {
    std::size_t file = 0;  // index in the paths given to the reader
    std::uint64_t dataOffset = 0;
    std::uint32_t exponent = 0;
    Md5Digest packetHash{};
};

class PacketScanner;

// One recovery set as the files hold it, every packet but the recovery slices checked against
// its own MD5.
struct FoundSet {
    Md5Digest id{};
    std::uint64_t sliceSize = 0;
    std::vector<Md5Digest> fileIds;        // the recoverable files, in coding order
    std::map<Md5Digest, FileEntry> files;  // by id: only files with both description and checksums
    // Recovery slices of sliceSize bytes in the order found, not yet checked: an exponent may
    // come more than once when a copy was damaged.
    std::vector<RecoverySliceRef> recovery;
    std::string creator;
};

// Limits on what a reader holds, whatever the files claim.
struct ReadLimits {
    std::uint64_t maxPacketBytes = 4u << 20;  // any packet but a recovery slice
    std::uint64_t maxHeldBytes = 64u << 20;   // all such packets together
    std::uint64_t maxSliceSize = 1ull << 32;  // larger slices are not coded here
};

// Reads the packets of the files at `paths` (the paths are the caller's own; nothing read from
// the files becomes a path). Damaged and unknown packets are skipped; a packet's length is
// believed only within what its file still holds and the limits; each file is read at most a few
// times over whatever it contains, so no file can make the reading hang. The memory held is at
// most maxHeldBytes, the small record kept for each recovery slice included. Recovery slices are
// only located: their data is most of the files and a repair needs few of them, so their MD5 is
// checked by SliceIntact when one is to be used. Where a recovery packet's length does not lead
// to another packet or the file's end, the length is in doubt and its MD5 decides at once.
class PacketReader {
  public:
    explicit PacketReader(ReadLimits limits = {}) : m_limits(limits) {}
    // False, with the error, when the file could not be opened or read.
    bool AddFile(const std::string& path, FileError* error = nullptr);
    // The set whose main packet names the most files among `names` (the set's own piece names,
    // compared, never opened); nothing when no set names any, or none is complete.
    std::optional<FoundSet> SetFor(const std::vector<std::string>& names) const;
    // Takes over what a reader of further files found, as if this reader had read those files
    // after its own: their paths follow, and packets this one holds already are passed over.
    // Readers of runs of files on several cores are joined this way, in the runs' order.
    void Append(PacketReader&& later);
    const std::vector<std::string>& Paths() const { return m_paths; }
    // Whether the packet of `slice`, a recovery slice of `set`, has the MD5 its header gives;
    // false too when it can no longer be read. Safe to call from several threads at once.
    bool SliceIntact(const FoundSet& set, const RecoverySliceRef& slice) const;

  private:
    struct Packet {
        Md5Digest setId{};
        std::array<std::uint8_t, 16> type{};
        std::vector<std::uint8_t> body;  // empty for recovery slices
        RecoverySliceRef slice;
        std::uint64_t sliceSize = 0;
        Md5Digest hash{};  // the MD5 its header gives
        std::uint64_t size = 0;
    };
    // The size of the packet at `at` when it is sound; nothing when it is not.
    std::optional<std::uint64_t> ReadPacketAt(PacketScanner& scanner, std::uint64_t at,
                                              std::size_t fileIndex,
                                              std::vector<std::uint8_t>& header);
    void Keep(Packet packet);
    std::optional<FoundSet> Assemble(const Md5Digest& setId) const;

    ReadLimits m_limits;
    std::vector<std::string> m_paths;
    std::vector<Packet> m_packets;
    // Only packets that matched their MD5 are kept, so their hashes are true digests, which
    // nobody chooses: their first bytes spread them out.
    struct DigestHash {
        std::size_t operator()(const Md5Digest& digest) const {
            std::size_t value = 0;
            for (std::size_t i = 0; i < sizeof value; ++i) {
                value = value << 8 | digest[i];
            }
            return value;
        }
    };
    // Checked packets kept, by hash, with their size: each is kept once, and its copies in
    // other files are passed over.
    std::unordered_map<Md5Digest, std::uint64_t, DigestHash> m_seen;
    std::uint64_t m_held = 0;
};

}  // namespace kavendrum::par2
