#pragma once

#include <string>
#include <vector>

#include "cli/run_settings.h"

namespace kavendrum {

// What the options command was given.
struct OptionsArguments {
    std::string action = "show";
    std::vector<std::string> assignments;
};

// kavendrum-cli options [show|reset|set FIELD=VALUE...]: shows the option file's values, puts
// back the defaults after asking, or changes the fields named.
int OptionsCommand(const Settings& settings, const OptionsArguments& arguments);

}  // namespace kavendrum
