#include "options/option_fields.h"

#include <charconv>

namespace kavendrum {

const OptionValueName& OptionField::NameOf(std::int32_t value) const {
    const bool isOn = test == OptionTest::EqualsOne ? value == 1 : value != 0;
    return isOn ? on : off;
}

const std::array<OptionField, kOptionFieldCount>& OptionFields() {
    static const std::array<OptionField, kOptionFieldCount> fields{{
        {"splitFolderMode",
         &OptionSet::splitFolderMode,
         "a missing split folder: create it, or ask first",
         OptionTest::NonZero,
         {"create", 0},
         {"ask", 1}},
        {"deleteAfterSplit",
         &OptionSet::deleteAfterSplit,
         "the original file after a split: keep or delete it",
         OptionTest::NonZero,
         {"keep", 0},
         {"delete", 1}},
        {"mergeFolderMode",
         &OptionSet::mergeFolderMode,
         "a missing merge folder: create it, or ask first",
         OptionTest::NonZero,
         {"create", 0},
         {"ask", 1}},
        {"deleteAfterMerge",
         &OptionSet::deleteAfterMerge,
         "the pieces and head file after a merge: keep or delete them",
         OptionTest::NonZero,
         {"keep", 0},
         {"delete", 1}},
        {"verifyBeforeMerge",
         &OptionSet::verifyBeforeMerge,
         "the pieces before a merge: skip or verify (stop if bad)",
         OptionTest::NonZero,
         {"skip", 0},
         {"verify", 1}},
        {"overwriteMode",
         &OptionSet::overwriteMode,
         "an existing file: overwrite it always, or ask first",
         OptionTest::EqualsOne,
         {"always", 0},
         {"ask", 1}},
    }};
    return fields;
}

const OptionField* FindOptionField(std::string_view name) {
    for (const auto& field : OptionFields()) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

std::optional<std::int32_t> ReadOptionValue(const OptionField& field, std::string_view text) {
    for (const auto& value : {field.off, field.on}) {
        if (text == value.name) {
            return value.number;
        }
    }
    std::int32_t number = 0;
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, number);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end) {
        return std::nullopt;
    }
    return number;
}

}  // namespace kavendrum
