#include "engine/head_file.h"

#include <algorithm>
#include <array>

#include "engine/object_file_name.h"
#include "engine/paths.h"

namespace kavendrum {

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

std::uint32_t GetU32(const std::uint8_t* at) {
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

// Pulls the record's bytes from the file, never more than the file still holds, so no length
// read from it can make a buffer larger than the file itself.
class RecordReader {
  public:
    RecordReader(File& file, std::uint64_t length) : m_file(file), m_left(length) {}

    bool Take(void* buffer, std::uint64_t size) {
        if (size > m_left) {
            m_endsEarly = true;
            return false;
        }
        auto got = m_file.Read(buffer, static_cast<std::size_t>(size));
        if (!got.ok()) {
            m_error = got.error();
            return false;
        }
        m_left -= got.value();
        if (got.value() < size) {
            m_endsEarly = true;
            return false;
        }
        return true;
    }

    bool TakeU8(std::uint32_t& value) {
        std::uint8_t byte = 0;
        if (!Take(&byte, 1)) {
            return false;
        }
        value = byte;
        return true;
    }

    bool TakeU16(std::uint32_t& value) {
        std::array<std::uint8_t, 2> bytes{};
        if (!Take(bytes.data(), 2)) {
            return false;
        }
        value = bytes[0] | (bytes[1] << 8);
        return true;
    }

    bool TakeU32(std::uint32_t& value) {
        std::array<std::uint8_t, 4> bytes{};
        if (!Take(bytes.data(), 4)) {
            return false;
        }
        value = GetU32(bytes.data());
        return true;
    }

    bool EndsEarly() const { return m_endsEarly; }
    const FileError& Error() const { return m_error; }

  private:
    File& m_file;
    std::uint64_t m_left;
    bool m_endsEarly = false;
    FileError m_error;
};

// The framework's text length prefix; a wide text announces itself with FF FE FF first.
bool TakeTextLength(RecordReader& reader, std::uint32_t& length, bool& wide) {
    wide = false;
    std::uint32_t shortLength = 0;
    if (!reader.TakeU8(shortLength)) {
        return false;
    }
    if (shortLength < 0xFF) {
        length = shortLength;
        return true;
    }
    std::uint32_t wordLength = 0;
    if (!reader.TakeU16(wordLength)) {
        return false;
    }
    if (wordLength == 0xFFFE) {
        wide = true;
        if (!reader.TakeU8(shortLength)) {
            return false;
        }
        if (shortLength < 0xFF) {
            length = shortLength;
            return true;
        }
        if (!reader.TakeU16(wordLength)) {
            return false;
        }
    }
    if (wordLength < 0xFFFF) {
        length = wordLength;
        return true;
    }
    return reader.TakeU32(length);
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Wide texts become the platform's 8-bit form; a lone surrogate becomes "?".
std::string NarrowFromUtf16(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t unit = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const std::uint32_t next = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
            if (next >= 0xDC00 && next < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? '?' : unit);
    }
    return out;
}

}  // namespace

std::uint32_t CopyUnitFor(std::uint32_t pieceSize) {
    return pieceSize <= kMaxCopyUnit ? pieceSize : kMaxCopyUnit;
}

HeadFileInfo MakeHeadFileInfo(std::uint64_t wholeSize, std::uint32_t pieceCount,
                              std::uint32_t pieceSize, const std::string& extension) {
    return HeadFileInfo{static_cast<std::uint32_t>(wholeSize), pieceCount, pieceSize,
                        CopyUnitFor(pieceSize), extension};
}

std::uint32_t LastPieceSize(const HeadFileInfo& info) {
    return info.fileSize - (info.pieceCount - 1) * info.pieceSize;
}

std::uint64_t WholeFileSize(const HeadFileInfo& info) {
    return static_cast<std::uint64_t>(info.pieceCount - 1) * info.pieceSize + LastPieceSize(info);
}

bool IsSoundExtension(const std::string& extension) {
    return std::none_of(extension.begin(), extension.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || IsFolderSeparator(c);
    });
}

bool IsSoundHeadInfo(const HeadFileInfo& info) {
    return IsSoundExtension(info.extension) && info.pieceCount != 0 && info.pieceSize != 0 &&
           info.copyUnit == CopyUnitFor(info.pieceSize) && LastPieceSize(info) < info.pieceSize;
}

std::vector<std::uint8_t> EncodeHeadFile(const HeadFileInfo& info) {
    std::vector<std::uint8_t> out;
    PutU32(out, info.fileSize);
    PutU32(out, info.pieceCount);
    PutU32(out, info.pieceSize);
    PutU32(out, info.copyUnit);
    const auto length = static_cast<std::uint32_t>(info.extension.size());
    if (length < 0xFF) {
        out.push_back(static_cast<std::uint8_t>(length));
    } else if (length < 0xFFFE) {
        out.push_back(0xFF);
        PutU16(out, length);
    } else {
        out.push_back(0xFF);
        PutU16(out, 0xFFFF);
        PutU32(out, length);
    }
    out.insert(out.end(), info.extension.begin(), info.extension.end());
    return out;
}

HeadRead ReadHeadFile(File& file) {
    HeadRead result;
    auto length = file.Length();
    if (!length.ok()) {
        result.error = length.error();
        return result;
    }
    RecordReader reader(file, length.value());
    HeadFileInfo& info = result.info;
    std::uint32_t textLength = 0;
    bool wide = false;
    bool complete = reader.TakeU32(info.fileSize) && reader.TakeU32(info.pieceCount) &&
                    reader.TakeU32(info.pieceSize) && reader.TakeU32(info.copyUnit) &&
                    TakeTextLength(reader, textLength, wide);
    if (complete) {
        std::vector<std::uint8_t> text(0);
        const std::uint64_t byteCount = static_cast<std::uint64_t>(textLength) * (wide ? 2 : 1);
        if (byteCount <= length.value()) {
            text.resize(static_cast<std::size_t>(byteCount));
        }
        complete = reader.Take(text.data(), byteCount);
        if (complete) {
            info.extension = wide ? NarrowFromUtf16(text) : std::string(text.begin(), text.end());
        }
    }
    if (!complete) {
        result.status = reader.EndsEarly() ? HeadReadStatus::EndsEarly : HeadReadStatus::Failed;
        result.error = reader.Error();
        return result;
    }
    const bool sound =
        IsSoundHeadInfo(info) && RebuiltNameFrom(file.Path(), info.extension).has_value();
    result.status = sound ? HeadReadStatus::Read : HeadReadStatus::Unsound;
    return result;
}

std::optional<HeadFileInfo> PeekHeadFile(const std::string& path) {
    auto head = File::OpenForReading(path);
    if (!head.ok()) {
        return std::nullopt;
    }
    const HeadRead read = ReadHeadFile(head.value());
    if (read.status != HeadReadStatus::Read) {
        return std::nullopt;
    }
    return read.info;
}

}  // namespace kavendrum
