// Feeds arbitrary folder entries to the test that tells a renamed piece's name, and checks that a
// name it takes always starts with the set's base name, counts a piece within the set, and is
// never the piece's own name.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/piece_namesakes.h"
#include "engine/verification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavendrum;
    // Four bytes of piece count, the base name up to a line feed, then the entry's name.
    if (size < 4) {
        return 0;
    }
    std::uint32_t pieceCount = 0;
    std::memcpy(&pieceCount, data, 4);
    const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
    const auto end = text.find('\n');
    if (end == std::string::npos) {
        return 0;
    }
    const std::string base = text.substr(0, end);
    const std::string name = text.substr(end + 1);
    const std::uint32_t number = NamesakeNumber(name, base, pieceCount);
    if (number == 0) {
        return 0;
    }
    const std::string head = base + "_";
    if (number > pieceCount || name.size() <= head.size() ||
        AsciiLower(name.substr(0, head.size())) != AsciiLower(head) ||
        name == head + std::to_string(number) + ".skf") {
        std::abort();
    }
    return 0;
}
