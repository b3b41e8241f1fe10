#include "win32/registry_profile.h"

#include <windows.h>

namespace kavendrum::win32 {

RegistryPlace PlaceOf(const std::string& key) {
    const std::size_t slash = key.rfind('/');
    if (slash == std::string::npos) {
        return {RegistryProfile::kRoot, key};
    }
    std::string section = key.substr(0, slash);
    for (char& c : section) {
        if (c == '/') {
            c = '\\';
        }
    }
    return {std::string(RegistryProfile::kRoot) + "\\" + section, key.substr(slash + 1)};
}

int RegistryProfile::ReadInt(const std::string& key, int fallback) const {
    const RegistryPlace place = PlaceOf(key);
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, place.subKey.c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    const LONG status = RegQueryValueExA(handle, place.valueName.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(handle);
    // Anything but a 32-bit number is no value of ours.
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) {
        return fallback;
    }
    return static_cast<int>(value);
}

void RegistryProfile::WriteInt(const std::string& key, int value) {
    const RegistryPlace place = PlaceOf(key);
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, place.subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const auto data = static_cast<DWORD>(value);
    RegSetValueExA(handle, place.valueName.c_str(), 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(handle);
}

}  // namespace kavendrum::win32
