#include "cli/size_text.h"

#include <array>
#include <limits>
#include <string_view>
#include <utility>

namespace kavendrum {

namespace {

constexpr std::uint64_t kKibi = 1024;
constexpr std::uint64_t kKilo = 1000;

// The factor a suffix stands for; nothing for an unknown suffix.
std::optional<std::uint64_t> Factor(std::string_view suffix) {
    static constexpr std::array<std::pair<std::string_view, std::uint64_t>, 10> kSuffixes{{
        {"", 1},
        {"K", kKibi},
        {"M", kKibi * kKibi},
        {"G", kKibi * kKibi * kKibi},
        {"KiB", kKibi},
        {"MiB", kKibi * kKibi},
        {"GiB", kKibi * kKibi * kKibi},
        {"KB", kKilo},
        {"MB", kKilo * kKilo},
        {"GB", kKilo * kKilo * kKilo},
    }};
    for (const auto& [text, factor] : kSuffixes) {
        if (suffix == text) {
            return factor;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> ReadSize(const std::string& text) {
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    std::size_t digits = 0;
    std::uint64_t value = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        const auto digit = static_cast<std::uint64_t>(text[digits] - '0');
        value = value > (kLargest - digit) / 10 ? kLargest : value * 10 + digit;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    const auto factor = Factor(std::string_view(text).substr(digits));
    if (!factor) {
        return std::nullopt;
    }
    return value > kLargest / *factor ? kLargest : value * *factor;
}

}  // namespace kavendrum
