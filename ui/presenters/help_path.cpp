#include "ui/presenters/help_path.h"

#include <vector>

namespace kavendrum::ui {

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

std::vector<std::string> Steps(const std::string& path, std::size_t from) {
    std::vector<std::string> steps;
    std::string step;
    for (std::size_t at = from; at <= path.size(); ++at) {
        if (at == path.size() || IsSeparator(path[at])) {
            if (step == "..") {
                if (!steps.empty() && steps.back() != "..") {
                    steps.pop_back();
                } else {
                    steps.push_back(step);
                }
            } else if (!step.empty() && step != ".") {
                steps.push_back(step);
            }
            step.clear();
        } else {
            step += path[at];
        }
    }
    return steps;
}

}  // namespace

std::string CleanPath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    const bool rooted = IsSeparator(path.front());
    const char separator = '/';
    std::string clean = rooted ? std::string(1, separator) : std::string();
    bool first = true;
    for (const std::string& step : Steps(path, rooted ? 1 : 0)) {
        // Above the root there is nothing: a rooted path drops what would climb past it.
        if (rooted && step == "..") {
            continue;
        }
        clean += (first ? "" : std::string(1, separator)) + step;
        first = false;
    }
    return clean.empty() ? "." : clean;
}

HelpPath::HelpPath(std::string programFolder, ExistsCheck exists)
    : m_strProgramFolder(std::move(programFolder)), m_exists(std::move(exists)) {}

std::string HelpPath::Find(const std::string& name) const {
    // Beside the program in a build tree; an installed program keeps its help with its other
    // shared files, <prefix>/share/kavendrum beside <prefix>/bin.
    for (const std::string& candidate :
         {m_strProgramFolder + name, m_strProgramFolder + "../share/kavendrum/" + name}) {
        if (m_exists(candidate)) {
            return CleanPath(candidate);
        }
    }
    return std::string();
}

std::string HelpPath::CompiledPath() const {
    const std::string found = Find(kCompiledName);
    return found.empty() ? m_strProgramFolder + kCompiledName : found;
}

std::string HelpPath::PagesPath() const {
    return Find(kPagesIndex);
}

std::string HelpPath::Target(bool compiledHasViewer) const {
    const std::string compiled = Find(kCompiledName);
    if (!compiled.empty() && compiledHasViewer) {
        return compiled;
    }
    const std::string pages = PagesPath();
    return pages.empty() ? CompiledPath() : pages;
}

}  // namespace kavendrum::ui
