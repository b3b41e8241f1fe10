#include "cli/size_text.h"

#include <array>
#include <cctype>
#include <limits>
#include <string_view>
#include <utility>

namespace kavendrum {

namespace {

constexpr std::uint64_t kKibi = 1024;
constexpr std::uint64_t kKilo = 1000;
constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
// More fractional digits than this could not be multiplied out exactly in 128 bits.
constexpr std::size_t kMostFractionDigits = 18;

// The factor a unit stands for; nothing for an unknown unit. Lower-case b and b after a
// lower-case or upper-case prefix (5b, 5mb, 5Kb) are left out on purpose: they could be bytes,
// bits or GNU's 512-byte blocks.
std::optional<std::uint64_t> Factor(std::string_view unit) {
    constexpr std::uint64_t kMebi = kKibi * kKibi, kGibi = kMebi * kKibi, kTebi = kGibi * kKibi;
    constexpr std::uint64_t kMega = kKilo * kKilo, kGiga = kMega * kKilo, kTera = kGiga * kKilo;
    static constexpr std::array<std::pair<std::string_view, std::uint64_t>, 18> kUnits{{
        {"", 1},
        {"B", 1},
        {"K", kKibi},
        {"k", kKibi},
        {"M", kMebi},
        {"m", kMebi},
        {"G", kGibi},
        {"g", kGibi},
        {"T", kTebi},
        {"KiB", kKibi},
        {"MiB", kMebi},
        {"GiB", kGibi},
        {"TiB", kTebi},
        {"KB", kKilo},
        {"kB", kKilo},
        {"MB", kMega},
        {"GB", kGiga},
        {"TB", kTera},
    }};
    for (const auto& [text, factor] : kUnits) {
        if (unit == text) {
            return factor;
        }
    }
    return std::nullopt;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (auto& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A size's parts as typed: "1.5 GiB" is 1, "5" (one digit), a blank, "GiB".
struct SizeParts {
    std::uint64_t whole = 0;  // saturated at the largest value
    std::uint64_t fraction = 0;
    std::size_t fractionDigits = 0;
    bool blank = false;
    std::string_view unit;
};

std::optional<SizeParts> Parse(std::string_view text) {
    SizeParts parts;
    std::size_t at = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        parts.whole = parts.whole > (kLargest - digit) / 10 ? kLargest : parts.whole * 10 + digit;
    }
    if (at == 0) {
        return std::nullopt;
    }
    if (at < text.size() && text[at] == '.') {
        const std::size_t first = ++at;
        for (; at < text.size() && IsDigit(text[at]); ++at) {
            parts.fraction = parts.fraction * 10 + static_cast<std::uint64_t>(text[at] - '0');
            if (at - first >= kMostFractionDigits) {
                return std::nullopt;
            }
        }
        parts.fractionDigits = at - first;
        if (parts.fractionDigits == 0) {
            return std::nullopt;
        }
    }
    for (; at < text.size() && IsBlank(text[at]); ++at) {
        parts.blank = true;
    }
    parts.unit = text.substr(at);
    return parts;
}

std::uint64_t Multiplied(const SizeParts& parts, std::uint64_t factor) {
    if (parts.whole > kLargest / factor) {
        return kLargest;
    }
    unsigned __int128 scale = 1;
    for (std::size_t i = 0; i < parts.fractionDigits; ++i) {
        scale *= 10;
    }
    // Rounded down: a piece holds whole bytes.
    const auto fraction =
        static_cast<std::uint64_t>(static_cast<unsigned __int128>(parts.fraction) * factor / scale);
    const std::uint64_t whole = parts.whole * factor;
    return whole > kLargest - fraction ? kLargest : whole + fraction;
}

}  // namespace

std::optional<std::uint64_t> ReadSize(const std::string& text) {
    const std::string name = Lower(text);
    if (name == "fat32") {
        return kFat32Size;
    }
    if (name == "email") {
        return kEmailSize;
    }
    const auto parts = Parse(text);
    if (!parts || (parts->blank && parts->unit.empty())) {
        return std::nullopt;
    }
    const auto factor = Factor(parts->unit);
    // A fraction of a byte means the unit was forgotten.
    if (!factor || (parts->fractionDigits > 0 && *factor == 1)) {
        return std::nullopt;
    }
    return Multiplied(*parts, *factor);
}

std::string AcceptedSizeForms() {
    return "A size is decimal digits with an optional unit, also after a space: K, M, G, T\n"
           "(or k, m, g, KiB, MiB, GiB, TiB) count in 1024s, KB, MB, GB, TB (or kB) in 1000s,\n"
           "B in bytes. With a unit it may have a fraction, rounded down: 1.5G, \"25 MB\".\n"
           "Named sizes: fat32 (" +
           std::to_string(kFat32Size) + ", the largest FAT32 file), email (" +
           std::to_string(kEmailSize) + ",\nwhich fits a 25 MB mail attachment once encoded).";
}

std::string SizeRefusal(const std::string& text) {
    std::string why = "cannot read '" + text + "' as a size";
    const auto parts = Parse(text);
    const std::string unit = parts ? Lower(parts->unit) : "";
    if (text.find(',') != std::string::npos) {
        why += ": a comma could be a decimal point or a thousands separator";
    } else if (parts && parts->unit == "b") {
        why += ": b could be bytes or GNU split's 512-byte blocks; B is bytes";
    } else if (parts && unit.size() == 2 && unit[1] == 'b' && Factor(parts->unit.substr(0, 1))) {
        why += ": " + std::string(parts->unit) + " could be bits or bytes; write " +
               static_cast<char>(std::toupper(static_cast<unsigned char>(unit[0]))) +
               "B for 1000s or " +
               static_cast<char>(std::toupper(static_cast<unsigned char>(unit[0]))) + " for 1024s";
    } else if (parts && parts->fractionDigits > 0 && Factor(parts->unit) == 1u) {
        why += ": a piece holds whole bytes; a fraction needs a unit, such as 1.5M";
    }
    return why + "\n" + AcceptedSizeForms();
}

}  // namespace kavendrum
