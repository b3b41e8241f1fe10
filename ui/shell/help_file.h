#pragma once

#include <QString>

namespace kavendrum::ui {

// Where the help is: the compiled help file and the index of the same pages as HTML, beside the
// program (a build tree) or with its shared files (an installed tree, whatever its prefix).
class HelpFile {
  public:
    static constexpr const char* kCompiledName = "kavendrum_help.chm";
    static constexpr const char* kPagesIndex = "help/index.html";
    static constexpr const char* kCompiledMimeType = "application/vnd.ms-htmlhelp";

    explicit HelpFile(QString programFolder);

    // The compiled help file's path; beside the program when it is found nowhere.
    QString CompiledPath() const;
    // The HTML index's path, or empty when the pages are not there.
    QString PagesPath() const;
    // What the help command opens: the compiled file when a program can show it, else the HTML
    // index when it is there, else the compiled file's path, which then shows nothing.
    QString Target(bool compiledHasViewer) const;

  private:
    QString Find(const QString& name) const;

    QString m_strProgramFolder;
};

// The help command: opens the help through the desktop and shows nothing when it cannot.
void OpenHelp(const QString& programFolder);

}  // namespace kavendrum::ui
