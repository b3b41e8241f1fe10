#include <gtest/gtest.h>

#include "options/option_fields.h"

namespace kavendrum {
namespace {

TEST(OptionFieldsTest, ValuesAreReadByNameOrByAnyNumber) {
    const OptionField& overwrite = *FindOptionField("overwriteMode");
    EXPECT_EQ(ReadOptionValue(overwrite, "ask"), 1);
    EXPECT_EQ(ReadOptionValue(overwrite, "always"), 0);
    EXPECT_EQ(ReadOptionValue(overwrite, "7"), 7);
    EXPECT_EQ(ReadOptionValue(overwrite, "-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ReadOptionValue(*FindOptionField("verifyBeforeMerge"), "skip"), 0);
    EXPECT_EQ(ReadOptionValue(*FindOptionField("deleteAfterMerge"), "delete"), 1);
    // Another field's name, a name in other letters, and what is no 32-bit integer.
    for (const char* text : {"", "create", "Ask", "ask ", " 1", "1x", "0x1", "2147483648", "+1"}) {
        EXPECT_EQ(ReadOptionValue(overwrite, text), std::nullopt) << text;
    }
    EXPECT_EQ(FindOptionField("overwritemode"), nullptr);
    EXPECT_EQ(FindOptionField(""), nullptr);
}

// A value's name says what the program does with the number: only 1 asks before overwriting,
// while any nonzero folder mode asks before creating.
TEST(OptionFieldsTest, EveryNumberIsNamedAsTheProgramReadsIt) {
    const OptionField& overwrite = *FindOptionField("overwriteMode");
    EXPECT_EQ(overwrite.NameOf(1).name, "ask");
    EXPECT_EQ(overwrite.NameOf(0).name, "always");
    EXPECT_EQ(overwrite.NameOf(2).name, "always");
    EXPECT_EQ(overwrite.NameOf(-1).name, "always");
    const OptionField& folder = *FindOptionField("splitFolderMode");
    EXPECT_EQ(folder.NameOf(0).name, "create");
    EXPECT_EQ(folder.NameOf(-1).name, "ask");
    EXPECT_EQ(folder.NameOf(5).name, "ask");
}

TEST(OptionFieldsTest, TheTableFollowsTheOptionSetAndItsDefaults) {
    const OptionSet defaults;
    OptionSet marked;
    std::int32_t mark = 100;
    for (const auto& field : OptionFields()) {
        EXPECT_EQ(field.DefaultValue(), defaults.*field.member) << field.name;
        EXPECT_EQ(field.off.number, 0) << field.name;
        EXPECT_EQ(field.on.number, 1) << field.name;
        marked.*field.member = mark++;
    }
    // Each field of the set once, in the option file's order.
    EXPECT_EQ(marked, (OptionSet{100, 101, 102, 103, 104, 105}));
}

}  // namespace
}  // namespace kavendrum
