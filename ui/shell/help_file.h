#pragma once

#include <QString>

#include "ui/presenters/help_path.h"

namespace kavendrum::ui {

// Where the help is, as HelpPath finds it on this machine's files.
class HelpFile {
  public:
    static constexpr const char* kCompiledMimeType = HelpPath::kCompiledMimeType;

    explicit HelpFile(const QString& programFolder);

    // The compiled help file's path; beside the program when it is found nowhere.
    QString CompiledPath() const;
    // The HTML index's path, or empty when the pages are not there.
    QString PagesPath() const;
    // What the help command opens (HelpPath::Target).
    QString Target(bool compiledHasViewer) const;

  private:
    HelpPath m_path;
};

// The help command: opens the help through the desktop and shows nothing when it cannot.
void OpenHelp(const QString& programFolder);

}  // namespace kavendrum::ui
