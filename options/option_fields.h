#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/option_set.h"

namespace kavendrum {

// How the program reads a field: on when nonzero, or (overwriteMode) on only when exactly 1.
enum class OptionTest { NonZero, EqualsOne };

// A value with a name: what a user types and sees beside the number the option file stores.
struct OptionValueName {
    std::string_view name;
    std::int32_t number;
};

// One field of the option set: its name on the command line, what it decides, and the names of
// its two values, off (0) and on (1), named after the option form's captions.
struct OptionField {
    std::string_view name;
    std::int32_t OptionSet::*member;
    std::string_view caption;
    OptionTest test;
    OptionValueName off;
    OptionValueName on;

    std::int32_t DefaultValue() const { return OptionSet{}.*member; }
    // The value's name, as the program reads the number: for overwriteMode, 2 is "always".
    const OptionValueName& NameOf(std::int32_t value) const;
};

inline constexpr std::size_t kOptionFieldCount = 6;

// Every field, in the option file's order. The command line's options command, its help, and the
// option file all work from this table; a test holds the completions and the manual page to it.
const std::array<OptionField, kOptionFieldCount>& OptionFields();

// The field called `name` (as written, case and all); nothing for no such field.
const OptionField* FindOptionField(std::string_view name);

// A value as typed: one of the field's two names, or any 32-bit decimal integer, since the
// option file holds any and the program tests them as above. Nothing for anything else.
std::optional<std::int32_t> ReadOptionValue(const OptionField& field, std::string_view text);

}  // namespace kavendrum
