#include "ui/shell/help_file.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>

#include "ui/shell/desktop_opener.h"

namespace kavendrum::ui {

HelpFile::HelpFile(QString programFolder) : m_strProgramFolder(std::move(programFolder)) {}

QString HelpFile::Find(const QString& name) const {
    // Beside the program in a build tree; an installed program keeps its help with its other
    // shared files, <prefix>/share/kavendrum beside <prefix>/bin.
    for (const QString& candidate :
         {m_strProgramFolder + name, m_strProgramFolder + "../share/kavendrum/" + name}) {
        if (QFile::exists(candidate)) {
            return QDir::cleanPath(candidate);
        }
    }
    return QString();
}

QString HelpFile::CompiledPath() const {
    const QString found = Find(kCompiledName);
    return found.isEmpty() ? m_strProgramFolder + kCompiledName : found;
}

QString HelpFile::PagesPath() const {
    return Find(kPagesIndex);
}

QString HelpFile::Target(bool compiledHasViewer) const {
    const QString compiled = Find(kCompiledName);
    if (!compiled.isEmpty() && compiledHasViewer) {
        return compiled;
    }
    const QString pages = PagesPath();
    return pages.isEmpty() ? CompiledPath() : pages;
}

void OpenHelp(const QString& programFolder) {
    const HelpFile help(programFolder);
#ifdef Q_OS_WIN
    // The platform's shell has a viewer for the compiled help.
    QDesktopServices::openUrl(QUrl::fromLocalFile(help.CompiledPath()));
#else
    // A Linux desktop seldom has a program for compiled help; the same pages as HTML then open
    // in the browser.
    const QString target = help.Target(DesktopHasProgramFor(HelpFile::kCompiledMimeType));
    OpenWithDesktop(target, 0);
#endif
}

}  // namespace kavendrum::ui
