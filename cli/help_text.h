#pragma once

#include <string>

namespace kavendrum {

// The texts that --help shows below the options: examples, and what the exit statuses mean.
std::string MainHelpFooter();
std::string SplitHelpFooter();
std::string VerifyHelpFooter();
std::string RepairHelpFooter();
std::string MergeHelpFooter();
std::string OptionsHelpFooter();

}  // namespace kavendrum
