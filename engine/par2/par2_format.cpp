#include "engine/par2/par2_format.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "engine/io/portable_name.h"

namespace kavendrum::par2 {

namespace {

using PacketType = std::array<std::uint8_t, 16>;

constexpr std::uint8_t kMagic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};

constexpr PacketType TypeOf(const char (&text)[17]) {
    PacketType type{};
    for (int i = 0; i < 16; ++i) {
        type[i] = static_cast<std::uint8_t>(text[i]);
    }
    return type;
}

constexpr PacketType kMainType = TypeOf("PAR 2.0\0Main\0\0\0\0");
constexpr PacketType kFileDescType = TypeOf("PAR 2.0\0FileDesc");
constexpr PacketType kChecksumType = TypeOf("PAR 2.0\0IFSC\0\0\0\0");
constexpr PacketType kRecoveryType = TypeOf("PAR 2.0\0RecvSlic");
constexpr PacketType kCreatorType = TypeOf("PAR 2.0\0Creator\0");

constexpr char kCreatorText[] = "Created by Kavendrum, the file splitter and joiner";
constexpr std::size_t kFileDescFixedBytes = 56;
constexpr std::size_t kScanChunk = 1 << 20;
constexpr std::size_t kPeekChunk = 64 << 10;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

std::uint64_t GetU64(const std::uint8_t* at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

std::uint32_t GetU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0] | at[1] << 8 | at[2] << 16) |
           static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint64_t PaddedTo4(std::uint64_t size) {
    return (size + 3) / 4 * 4;
}

Md5Digest DigestAt(const std::uint8_t* at) {
    Md5Digest digest{};
    std::memcpy(digest.data(), at, digest.size());
    return digest;
}

// Header and body of a packet; the packet's MD5 covers the set id, the type and the body.
std::vector<std::uint8_t> MakePacket(const Md5Digest& setId, const PacketType& type,
                                     const std::vector<std::uint8_t>& body) {
    Md5 md5;
    md5.Update(setId.data(), setId.size());
    md5.Update(type.data(), type.size());
    md5.Update(body.data(), body.size());
    const Md5Digest hash = md5.Finish().value_or(Md5Digest{});
    // Filled in place: the header's fields at their offsets, then the body.
    std::vector<std::uint8_t> packet(kPacketHeaderBytes + body.size());
    std::memcpy(packet.data(), kMagic, sizeof kMagic);
    const std::uint64_t size = packet.size();
    for (int i = 0; i < 8; ++i) {
        packet[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    std::memcpy(packet.data() + 16, hash.data(), hash.size());
    std::memcpy(packet.data() + 32, setId.data(), setId.size());
    std::memcpy(packet.data() + 48, type.data(), type.size());
    if (!body.empty()) {
        std::memcpy(packet.data() + kPacketHeaderBytes, body.data(), body.size());
    }
    return packet;
}

std::vector<std::uint8_t> MainBody(const SetDescription& set) {
    std::vector<std::uint8_t> body;
    PutU64(body, set.sliceSize);
    PutU32(body, static_cast<std::uint32_t>(set.files.size()));
    for (const FileEntry& file : set.files) {
        PutBytes(body, file.id.data(), file.id.size());
    }
    return body;
}

std::vector<std::uint8_t> FileDescBody(const FileEntry& file) {
    std::vector<std::uint8_t> body;
    PutBytes(body, file.id.data(), file.id.size());
    PutBytes(body, file.md5.data(), file.md5.size());
    PutBytes(body, file.md5Of16k.data(), file.md5Of16k.size());
    PutU64(body, file.length);
    const std::string name = PortableNameOf(file.name);
    PutBytes(body, name.data(), name.size());
    body.resize(PaddedTo4(body.size()), 0);
    return body;
}

std::vector<std::uint8_t> ChecksumBody(const FileEntry& file) {
    std::vector<std::uint8_t> body;
    PutBytes(body, file.id.data(), file.id.size());
    for (const SliceChecksum& slice : file.slices) {
        PutBytes(body, slice.md5.data(), slice.md5.size());
        PutU32(body, slice.crc);
    }
    return body;
}

}  // namespace

Md5Digest FileIdOf(const Md5Digest& md5Of16k, std::uint64_t length, const std::string& name) {
    std::vector<std::uint8_t> fields;
    PutBytes(fields, md5Of16k.data(), md5Of16k.size());
    PutU64(fields, length);
    const std::string portable = PortableNameOf(name);
    PutBytes(fields, portable.data(), portable.size());
    return Md5Of(fields.data(), fields.size());
}

std::uint64_t SlicesIn(std::uint64_t length, std::uint64_t sliceSize) {
    return sliceSize == 0 ? 0 : length / sliceSize + (length % sliceSize != 0);
}

void SortFilesById(std::vector<FileEntry>& files) {
    std::sort(files.begin(), files.end(),
              [](const FileEntry& a, const FileEntry& b) { return a.id < b.id; });
}

Md5Digest RecoverySetIdOf(const SetDescription& set) {
    const std::vector<std::uint8_t> body = MainBody(set);
    return Md5Of(body.data(), body.size());
}

std::vector<std::uint8_t> CriticalPackets(const SetDescription& set) {
    const Md5Digest setId = RecoverySetIdOf(set);
    std::vector<std::uint8_t> out = MakePacket(setId, kMainType, MainBody(set));
    for (const FileEntry& file : set.files) {
        const auto description = MakePacket(setId, kFileDescType, FileDescBody(file));
        out.insert(out.end(), description.begin(), description.end());
        const auto checksums = MakePacket(setId, kChecksumType, ChecksumBody(file));
        out.insert(out.end(), checksums.begin(), checksums.end());
    }
    return out;
}

std::vector<std::uint8_t> CreatorPacket(const Md5Digest& setId) {
    std::vector<std::uint8_t> body(kCreatorText, kCreatorText + sizeof kCreatorText - 1);
    body.resize(PaddedTo4(body.size()), 0);
    return MakePacket(setId, kCreatorType, body);
}

std::uint64_t CriticalPacketBytes(const std::vector<std::string>& names,
                                  const std::vector<std::uint64_t>& sliceCounts) {
    std::uint64_t bytes = kPacketHeaderBytes + 12 + 16 * names.size();
    for (std::size_t i = 0; i < names.size(); ++i) {
        bytes +=
            kPacketHeaderBytes + kFileDescFixedBytes + PaddedTo4(PortableNameOf(names[i]).size());
        bytes += kPacketHeaderBytes + 16 + 20 * sliceCounts[i];
    }
    return bytes;
}

std::uint64_t CreatorPacketBytes() {
    return kPacketHeaderBytes + PaddedTo4(sizeof kCreatorText - 1);
}

std::array<std::uint8_t, kRecoveryPrefixBytes> RecoveryPacketPrefix(const Md5Digest& setId,
                                                                    std::uint32_t exponent,
                                                                    const std::uint8_t* data,
                                                                    std::size_t size) {
    std::vector<std::uint8_t> exponentBytes;
    PutU32(exponentBytes, exponent);
    Md5 md5;
    md5.Update(setId.data(), setId.size());
    md5.Update(kRecoveryType.data(), kRecoveryType.size());
    md5.Update(exponentBytes.data(), exponentBytes.size());
    md5.Update(data, size);
    const Md5Digest hash = md5.Finish().value_or(Md5Digest{});
    std::vector<std::uint8_t> prefix;
    PutBytes(prefix, kMagic, sizeof kMagic);
    PutU64(prefix, kRecoveryPrefixBytes + size);
    PutBytes(prefix, hash.data(), hash.size());
    PutBytes(prefix, setId.data(), setId.size());
    PutBytes(prefix, kRecoveryType.data(), kRecoveryType.size());
    PutBytes(prefix, exponentBytes.data(), exponentBytes.size());
    std::array<std::uint8_t, kRecoveryPrefixBytes> out{};
    std::copy(prefix.begin(), prefix.end(), out.begin());
    return out;
}

// Reads one file of packets from anywhere in it, within a budget of bytes read that grows with
// the file's size, so that no arrangement of false headers can make the reading quadratic.
class PacketScanner {
  public:
    PacketScanner(File& file, std::uint64_t length)
        : m_file(file), m_length(length), m_budget(3 * length + (4u << 20)) {}

    // The offset of the next magic sequence at or after `from`; nothing at the end. The search
    // runs through a window that moves forward only, so the file is searched once however
    // many packets it holds.
    std::optional<std::uint64_t> FindMagic(std::uint64_t from) {
        while (from + sizeof kMagic <= m_length) {
            const std::uint64_t windowEnd = m_windowStart + m_window.size();
            if (from < m_windowStart || from + sizeof kMagic > windowEnd) {
                // A small window: the packets that describe the set come first, and the
                // recovery data after them is passed over, not read.
                const std::uint64_t size = std::min<std::uint64_t>(kPeekChunk, m_length - from);
                if (!ReadAt(from, size, m_window)) {
                    m_window.clear();
                    return std::nullopt;
                }
                m_windowStart = from;
                continue;
            }
            const auto* begin = m_window.data() + (from - m_windowStart);
            const auto* end = m_window.data() + m_window.size();
            const auto* at = std::search(begin, end, kMagic, kMagic + sizeof kMagic);
            if (at != end) {
                return m_windowStart + static_cast<std::uint64_t>(at - m_window.data());
            }
            if (windowEnd >= m_length) {
                return std::nullopt;
            }
            from = windowEnd - (sizeof kMagic - 1);
        }
        return std::nullopt;
    }

    bool ReadAt(std::uint64_t offset, std::uint64_t size, std::vector<std::uint8_t>& out) {
        if (size > m_budget || offset > m_length || size > m_length - offset) {
            m_budget = 0;
            return false;
        }
        m_budget -= size;
        // Packets lie back to back, mostly small: most of them are already in the search window,
        // and a read of the file for each would cost more than the packet itself. A small read
        // outside it moves the window there, for the header, exponent and next packet that
        // follow.
        const auto inWindow = [&] {
            return offset >= m_windowStart && offset - m_windowStart + size <= m_window.size();
        };
        if (&out != &m_window && size <= kPeekChunk && !inWindow()) {
            if (!ReadAt(offset, std::min<std::uint64_t>(kPeekChunk, m_length - offset), m_window)) {
                m_window.clear();
                return false;
            }
            m_windowStart = offset;
        }
        if (&out != &m_window && inWindow()) {
            const auto* from = m_window.data() + (offset - m_windowStart);
            out.assign(from, from + size);
            return true;
        }
        out.resize(static_cast<std::size_t>(size));
        if (m_file.SeekTo(offset)) {
            return Fail();
        }
        auto got = m_file.Read(out.data(), out.size());
        if (!got.ok()) {
            m_error = got.error();
            return Fail();
        }
        return got.value() == out.size() || Fail();
    }

    // Whether the bytes [offset, offset + size) have the MD5 `expected`, read piecewise.
    bool HashMatches(std::uint64_t offset, std::uint64_t size, const Md5Digest& expected) {
        Md5 md5;
        std::vector<std::uint8_t> chunk;
        while (size > 0) {
            const std::uint64_t part = std::min<std::uint64_t>(size, kScanChunk);
            if (!ReadAt(offset, part, chunk)) {
                return false;
            }
            md5.Update(chunk.data(), chunk.size());
            offset += part;
            size -= part;
        }
        return md5.Finish() == expected;
    }

    // Whether a packet or the file's end lies at `offset`: where a packet's length leads when it
    // is right, since packets lie back to back.
    bool EndsAtPacket(std::uint64_t offset) {
        if (offset == m_length) {
            return true;
        }
        return offset < m_length && m_length - offset >= sizeof kMagic &&
               ReadAt(offset, sizeof kMagic, m_peek) &&
               std::equal(m_peek.begin(), m_peek.end(), kMagic);
    }

    // The next packet at or after `offset`, which is where the one before ended: found without
    // a search when it lies right there, so the data between packets need not be read.
    std::optional<std::uint64_t> NextPacket(std::uint64_t offset) {
        if (offset < m_length && EndsAtPacket(offset)) {
            return offset;
        }
        return FindMagic(offset);
    }

    bool Exhausted() const { return m_budget == 0; }
    const std::optional<FileError>& Error() const { return m_error; }
    std::uint64_t Length() const { return m_length; }

  private:
    bool Fail() {
        m_budget = 0;
        return false;
    }

    File& m_file;
    std::uint64_t m_length;
    std::uint64_t m_budget;
    std::optional<FileError> m_error;
    std::vector<std::uint8_t> m_window;
    std::uint64_t m_windowStart = 0;
    std::vector<std::uint8_t> m_peek;
};

namespace {

bool IsKnownType(const PacketType& type) {
    return type == kMainType || type == kFileDescType || type == kChecksumType ||
           type == kCreatorType;
}

// A recovery slice packet's place and exponent. Its data is not read when the packet's length
// leads to another packet or the file's end; a length in doubt is decided by the MD5 at once.
bool LocateSlice(PacketScanner& scanner, std::uint64_t at, std::uint64_t size,
                 const Md5Digest& hash, const ReadLimits& limits, RecoverySliceRef& slice) {
    const std::uint64_t bodySize = size - kPacketHeaderBytes;
    std::vector<std::uint8_t> exponent;
    if (bodySize < 4 || bodySize - 4 > limits.maxSliceSize ||
        !scanner.ReadAt(at + kPacketHeaderBytes, 4, exponent)) {
        return false;
    }
    if (!scanner.EndsAtPacket(at + size) && !scanner.HashMatches(at + 32, size - 32, hash)) {
        return false;
    }
    slice.dataOffset = at + kRecoveryPrefixBytes;
    slice.exponent = GetU32(exponent.data());
    slice.packetHash = hash;
    return true;
}

// The body of a packet of a known kind, when it has the MD5 its header gives.
bool ReadCheckedBody(PacketScanner& scanner, std::uint64_t at, std::uint64_t size,
                     const std::vector<std::uint8_t>& header, const ReadLimits& limits,
                     std::vector<std::uint8_t>& body) {
    const std::uint64_t bodySize = size - kPacketHeaderBytes;
    if (bodySize > limits.maxPacketBytes ||
        !scanner.ReadAt(at + kPacketHeaderBytes, bodySize, body)) {
        return false;
    }
    Md5 md5;
    md5.Update(header.data() + 32, 32);
    md5.Update(body.data(), body.size());
    return md5.Finish() == DigestAt(header.data() + 16);
}

}  // namespace

bool PacketReader::AddFile(const std::string& path, FileError* error) {
    auto opened = File::OpenSharedForReading(path);
    if (!opened.ok()) {
        if (error != nullptr) {
            *error = opened.error();
        }
        return false;
    }
    File& file = opened.value();
    auto length = file.Length();
    if (!length.ok()) {
        if (error != nullptr) {
            *error = length.error();
        }
        return false;
    }
    const std::size_t fileIndex = m_paths.size();
    m_paths.push_back(path);
    PacketScanner scanner(file, length.value());
    std::optional<std::uint64_t> at = scanner.FindMagic(0);
    std::vector<std::uint8_t> header;
    while (at && !scanner.Exhausted()) {
        const std::optional<std::uint64_t> size = ReadPacketAt(scanner, *at, fileIndex, header);
        // After a sound packet the next one is sought where it ends; otherwise the search goes
        // on within its bytes.
        at = size ? scanner.NextPacket(*at + *size) : scanner.FindMagic(*at + 1);
    }
    if (scanner.Error() && error != nullptr) {
        *error = *scanner.Error();
    }
    return !scanner.Error();
}

std::optional<std::uint64_t> PacketReader::ReadPacketAt(PacketScanner& scanner, std::uint64_t at,
                                                        std::size_t fileIndex,
                                                        std::vector<std::uint8_t>& header) {
    if (!scanner.ReadAt(at, kPacketHeaderBytes, header)) {
        return std::nullopt;
    }
    const std::uint64_t size = GetU64(header.data() + 8);
    if (size < kPacketHeaderBytes || size % 4 != 0 || size > scanner.Length() - at) {
        return std::nullopt;
    }
    const Md5Digest hash = DigestAt(header.data() + 16);
    Packet packet;
    packet.setId = DigestAt(header.data() + 32);
    std::copy(header.begin() + 48, header.end(), packet.type.begin());
    if (packet.type == kRecoveryType) {
        packet.slice.file = fileIndex;
        if (!LocateSlice(scanner, at, size, hash, m_limits, packet.slice)) {
            return std::nullopt;
        }
        packet.sliceSize = size - kRecoveryPrefixBytes;
    } else if (const auto seen = m_seen.find(hash); seen != m_seen.end()) {
        // A copy of a packet already read and checked (the one kept), passed over when its
        // length is the first one's and leads to another packet.
        const bool same = seen->second == size && scanner.EndsAtPacket(at + size);
        return same ? std::optional<std::uint64_t>(size) : std::nullopt;
    } else if (!IsKnownType(packet.type) ||
               !ReadCheckedBody(scanner, at, size, header, m_limits, packet.body)) {
        return std::nullopt;
    }
    packet.hash = hash;
    packet.size = size;
    Keep(std::move(packet));
    return size;
}

void PacketReader::Keep(Packet packet) {
    const std::uint64_t bytes = packet.body.size() + sizeof(Packet);
    if (bytes > m_limits.maxHeldBytes - m_held) {
        return;
    }
    // Recovery slices are not checked yet: a damaged one must not hide a sound copy.
    if (packet.type != kRecoveryType && !m_seen.emplace(packet.hash, packet.size).second) {
        return;
    }
    m_held += bytes;
    m_packets.push_back(std::move(packet));
}

void PacketReader::Append(PacketReader&& later) {
    const std::size_t first = m_paths.size();
    for (std::string& path : later.m_paths) {
        m_paths.push_back(std::move(path));
    }
    for (Packet& packet : later.m_packets) {
        if (packet.type == kRecoveryType) {
            packet.slice.file += first;
        }
        Keep(std::move(packet));
    }
    later = PacketReader(later.m_limits);
}

namespace {

std::optional<FileEntry> ParseFileDesc(const std::vector<std::uint8_t>& body) {
    if (body.size() < kFileDescFixedBytes) {
        return std::nullopt;
    }
    FileEntry file;
    file.id = DigestAt(body.data());
    file.md5 = DigestAt(body.data() + 16);
    file.md5Of16k = DigestAt(body.data() + 32);
    file.length = GetU64(body.data() + 48);
    std::size_t end = body.size();
    while (end > kFileDescFixedBytes && body[end - 1] == 0) {
        --end;
    }
    const std::string name(body.begin() + kFileDescFixedBytes,
                           body.begin() + static_cast<long>(end));
    // A name that cannot be spelled here is left empty, which no piece is called.
    file.name = NativeNameOf(name).value_or(std::string());
    return file;
}

std::vector<SliceChecksum> ParseChecksums(const std::vector<std::uint8_t>& body) {
    std::vector<SliceChecksum> slices;
    if (body.size() < 16 || (body.size() - 16) % 20 != 0) {
        return slices;
    }
    for (std::size_t at = 16; at < body.size(); at += 20) {
        slices.push_back({DigestAt(body.data() + at), GetU32(body.data() + at + 16)});
    }
    return slices;
}

// The main packet's slice size and recoverable file ids, when they make sense.
bool ParseMain(const std::vector<std::uint8_t>& body, const ReadLimits& limits, FoundSet& set) {
    if (body.size() < 12 || (body.size() - 12) % 16 != 0) {
        return false;
    }
    set.sliceSize = GetU64(body.data());
    const std::uint32_t count = GetU32(body.data() + 8);
    if (set.sliceSize == 0 || set.sliceSize % 4 != 0 || set.sliceSize > limits.maxSliceSize ||
        count > (body.size() - 12) / 16 || count > kMaxFilesInSet) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        set.fileIds.push_back(DigestAt(body.data() + 12 + 16 * i));
    }
    const std::set<Md5Digest> distinct(set.fileIds.begin(), set.fileIds.end());
    return distinct.size() == set.fileIds.size();
}

}  // namespace

std::optional<FoundSet> PacketReader::Assemble(const Md5Digest& setId) const {
    FoundSet set;
    set.id = setId;
    bool haveMain = false;
    std::map<Md5Digest, FileEntry> descriptions;
    std::map<Md5Digest, std::vector<SliceChecksum>> checksums;
    for (const Packet& packet : m_packets) {
        if (packet.setId != setId) {
            continue;
        }
        if (packet.type == kMainType && !haveMain) {
            haveMain = ParseMain(packet.body, m_limits, set);
            if (!haveMain) {
                set.fileIds.clear();
            }
        } else if (packet.type == kFileDescType) {
            if (auto file = ParseFileDesc(packet.body)) {
                descriptions.emplace(file->id, *file);
            }
        } else if (packet.type == kChecksumType && packet.body.size() >= 16) {
            checksums.emplace(DigestAt(packet.body.data()), ParseChecksums(packet.body));
        } else if (packet.type == kCreatorType && set.creator.empty()) {
            set.creator.assign(packet.body.begin(), packet.body.end());
            set.creator.erase(set.creator.find_last_not_of('\0') + 1);
        }
    }
    if (!haveMain) {
        return std::nullopt;
    }
    for (const Packet& packet : m_packets) {
        if (packet.setId == setId && packet.type == kRecoveryType &&
            packet.sliceSize == set.sliceSize) {
            set.recovery.push_back(packet.slice);
        }
    }
    std::uint64_t slices = 0;
    for (const Md5Digest& id : set.fileIds) {
        const auto description = descriptions.find(id);
        const auto sums = checksums.find(id);
        if (description == descriptions.end() || sums == checksums.end()) {
            return std::nullopt;  // the coding order cannot be known without every file's length
        }
        FileEntry file = description->second;
        file.slices = sums->second;
        slices += SlicesIn(file.length, set.sliceSize);
        if (file.slices.size() != SlicesIn(file.length, set.sliceSize) ||
            slices > kMaxInputSlices) {
            return std::nullopt;
        }
        set.files.emplace(id, std::move(file));
    }
    return set;
}

std::optional<FoundSet> PacketReader::SetFor(const std::vector<std::string>& names) const {
    const std::set<std::string> wanted(names.begin(), names.end());
    std::map<Md5Digest, std::set<std::string>> named;
    for (const Packet& packet : m_packets) {
        if (packet.type == kFileDescType) {
            if (auto file = ParseFileDesc(packet.body); file && wanted.count(file->name) != 0) {
                named[packet.setId].insert(file->name);
            }
        }
    }
    std::optional<FoundSet> best;
    std::size_t bestCount = 0;
    for (const auto& [setId, found] : named) {
        if (found.size() > bestCount) {
            if (auto set = Assemble(setId)) {
                best = std::move(set);
                bestCount = found.size();
            }
        }
    }
    return best;
}

bool PacketReader::SliceIntact(const FoundSet& set, const RecoverySliceRef& slice) const {
    if (slice.file >= m_paths.size()) {
        return false;
    }
    auto file = File::OpenSharedForReading(m_paths[slice.file]);
    if (!file.ok() || file.value().SeekTo(slice.dataOffset)) {
        return false;
    }
    std::vector<std::uint8_t> exponent;
    PutU32(exponent, slice.exponent);
    Md5 md5;
    md5.Update(set.id.data(), set.id.size());
    md5.Update(kRecoveryType.data(), kRecoveryType.size());
    md5.Update(exponent.data(), exponent.size());
    // Read in parts: the slice size comes from the set.
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(set.sliceSize, kScanChunk)));
    for (std::uint64_t left = set.sliceSize; left > 0;) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        auto got = file.value().Read(chunk.data(), part);
        if (!got.ok() || got.value() != part) {
            return false;
        }
        md5.Update(chunk.data(), part);
        left -= part;
    }
    return md5.Finish() == slice.packetHash;
}

}  // namespace kavendrum::par2
