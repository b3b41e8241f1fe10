#include "ui/shell/help_file.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include "ui/shell/desktop_opener.h"

namespace kavendrum::ui {

HelpFile::HelpFile(const QString& programFolder)
    : m_path(programFolder.toStdString(),
             [](const std::string& path) { return QFile::exists(QString::fromStdString(path)); }) {}

QString HelpFile::CompiledPath() const {
    return QString::fromStdString(m_path.CompiledPath());
}

QString HelpFile::PagesPath() const {
    return QString::fromStdString(m_path.PagesPath());
}

QString HelpFile::Target(bool compiledHasViewer) const {
    return QString::fromStdString(m_path.Target(compiledHasViewer));
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
