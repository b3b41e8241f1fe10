#pragma once

#include <functional>
#include <string>

namespace kavendrum::ui {

// Where the help is: the compiled help file and the index of the same pages as HTML, beside the
// program (a build tree) or with its shared files (an installed tree, whatever its prefix).
class HelpPath {
  public:
    static constexpr const char* kCompiledName = "kavendrum_help.chm";
    static constexpr const char* kPagesIndex = "help/index.html";
    static constexpr const char* kCompiledMimeType = "application/vnd.ms-htmlhelp";

    using ExistsCheck = std::function<bool(const std::string&)>;

    // `programFolder` ends with a separator; `exists` tells whether a file stands at a path.
    HelpPath(std::string programFolder, ExistsCheck exists);

    // The compiled help file's path; beside the program when it is found nowhere.
    std::string CompiledPath() const;
    // The HTML index's path, or empty when the pages are not there.
    std::string PagesPath() const;
    // What the help command opens: the compiled file when a program can show it, else the HTML
    // index when it is there, else the compiled file's path, which then shows nothing.
    std::string Target(bool compiledHasViewer) const;

  private:
    std::string Find(const std::string& name) const;

    std::string m_strProgramFolder;
    ExistsCheck m_exists;
};

// The path with "." and ".." steps and doubled separators taken out, as far as the text alone
// allows, with "/" between its steps.
std::string CleanPath(const std::string& path);

}  // namespace kavendrum::ui
