#pragma once

#include <string>

#include "engine/option_set.h"
#include "options/option_file.h"

namespace kavendrum::ui {

// How a form reaches the option set in force: the frame implements it. A form built without one
// behaves as a form whose main frame cannot be found.
class OptionSource {
  public:
    virtual ~OptionSource() = default;

    virtual const OptionSet& Options() const = 0;
    // Writes `values` to the option file and, once that succeeded, puts them in force.
    virtual StoreResult Store(const OptionSet& values) = 0;
};

// Small values kept between runs in the user profile, by "Section/Name".
class Profile {
  public:
    virtual ~Profile() = default;

    virtual int ReadInt(const std::string& key, int fallback) const = 0;
    virtual void WriteInt(const std::string& key, int value) = 0;
    // Puts what was written on disk now.
    virtual void Flush() {}
};

}  // namespace kavendrum::ui
