#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "engine/io/md5.h"
#include "engine/io/portable_name.h"
#include "engine/par2/par2_format.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;

// "café12_1.skf" in UTF-8: one byte longer than in a single-byte code page, which moves the
// padded length of its description packet.
const std::string kUtf8Name =
    "caf\xC3\xA9"
    "12_1.skf";

// The name as this platform's file functions spell it, made by the system's own conversion;
// nothing when the code page lacks the letter.
std::optional<std::string> PlatformSpelling(const std::string& utf8) {
#ifdef _WIN32
    wchar_t wide[64] = {};
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide, 64);
    char narrow[64] = {};
    BOOL defaulted = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, narrow, 64,
                                          nullptr, &defaulted);
    if (bytes <= 0 || defaulted) {
        return std::nullopt;
    }
    return std::string(narrow, static_cast<std::size_t>(bytes));
#else
    return utf8;
#endif
}

bool Contains(const std::vector<std::uint8_t>& bytes, const std::string& text) {
    const std::vector<std::uint8_t> wanted(text.begin(), text.end());
    return std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end()) != bytes.end();
}

// A recovery set carries its pieces' names in UTF-8, whatever the platform's spelling, with the
// file ids and packet sizes other PAR2 tools compute from those bytes; read back, each name is
// the platform's spelling again, so that it matches the piece on disk.
TEST(PortableNameTest, RecoverySetsCarryNamesInUtf8) {
    const auto native = PlatformSpelling(kUtf8Name);
    if (!native) {
        GTEST_SKIP() << "the code page has no e with an acute accent";
    }
    par2::FileEntry file;
    file.name = *native;
    file.length = 100;
    file.md5Of16k = Md5Of("x", 1);
    file.md5 = file.md5Of16k;
    file.id = par2::FileIdOf(file.md5Of16k, file.length, file.name);
    file.slices = {{Md5Of("s", 1), 7}, {Md5Of("t", 1), 8}};
    par2::SetDescription set;
    set.sliceSize = 64;
    set.files = {file};

    std::vector<std::uint8_t> idFields(file.md5Of16k.begin(), file.md5Of16k.end());
    for (int shift = 0; shift < 64; shift += 8) {
        idFields.push_back(static_cast<std::uint8_t>(file.length >> shift));
    }
    idFields.insert(idFields.end(), kUtf8Name.begin(), kUtf8Name.end());
    EXPECT_EQ(file.id, Md5Of(idFields.data(), idFields.size()));

    const std::vector<std::uint8_t> packets = par2::CriticalPackets(set);
    EXPECT_TRUE(Contains(packets, kUtf8Name));
    EXPECT_EQ(packets.size(), par2::CriticalPacketBytes({*native}, {2}));

    TempFolder folder;
    testing::WriteBytes(folder / "x.par2", packets);
    par2::PacketReader reader;
    ASSERT_TRUE(reader.AddFile(folder / "x.par2"));
    const auto found = reader.SetFor({*native});
    ASSERT_TRUE(found);
    ASSERT_EQ(found->files.count(file.id), 1u);
    EXPECT_EQ(found->files.at(file.id).name, *native);
}

// Plain ASCII names are the same everywhere, and a portable name comes back as it went.
TEST(PortableNameTest, AsciiNamesAreUnchanged) {
    EXPECT_EQ(PortableNameOf("movie_12.skf"), "movie_12.skf");
    EXPECT_EQ(NativeNameOf("movie_12.skf"), std::optional<std::string>("movie_12.skf"));
    if (const auto native = PlatformSpelling(kUtf8Name)) {
        EXPECT_EQ(PortableNameOf(*native), kUtf8Name);
        EXPECT_EQ(NativeNameOf(kUtf8Name), native);
    }
}

#ifdef _WIN32
// What the code page cannot spell is no name here: neither broken UTF-8 nor a letter that
// Windows would quietly turn into a look-alike ("p\u0101ce" into "pace") or a "?", either of
// which would name another file.
TEST(PortableNameTest, NamesTheCodePageCannotSpellAreRefused) {
    EXPECT_EQ(NativeNameOf("p\xC3(ce_1.skf"), std::nullopt);
    if (GetACP() == CP_UTF8) {
        GTEST_SKIP() << "the code page is UTF-8 and spells every letter";
    }
    EXPECT_EQ(NativeNameOf("p\xC4\x81"
                           "ce_1.skf"),
              std::nullopt);
    EXPECT_EQ(NativeNameOf("\xF0\x9F\x8E\xAC_1.skf"), std::nullopt);
}
#endif

}  // namespace
}  // namespace kavendrum
