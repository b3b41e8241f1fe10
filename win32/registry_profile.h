#pragma once

#include <string>

#include "ui/presenters/option_source.h"

namespace kavendrum::win32 {

// The user profile in the registry: "Section/Name" is the 32-bit number Name under
// HKEY_CURRENT_USER\Software\Kavendrum\Kavendrum\Section. Each value is written through at once.
class RegistryProfile : public ui::Profile {
  public:
    static constexpr const char* kRoot = "Software\\Kavendrum\\Kavendrum";

    int ReadInt(const std::string& key, int fallback) const override;
    void WriteInt(const std::string& key, int value) override;
};

// "Section/Name" as the registry key below the root and the value name; the name alone for a
// key without a section.
struct RegistryPlace {
    std::string subKey;
    std::string valueName;
};
RegistryPlace PlaceOf(const std::string& key);

}  // namespace kavendrum::win32
