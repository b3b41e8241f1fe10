#include "ui/shell/desktop_opener.h"

#include <QObject>
#include <QProcess>

namespace kavendrum::ui {

bool OpenWithDesktop(const QString& target, int waitMs) {
    // Left to run, and to delete itself, when it is still busy after the wait: some openers stay
    // until the program they started ends.
    auto* opener = new QProcess();
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    QObject::connect(opener, &QProcess::errorOccurred, opener, &QObject::deleteLater);
    opener->start("xdg-open", {target});
    if (!opener->waitForStarted()) {
        return false;
    }
    if (!opener->waitForFinished(waitMs)) {
        return true;
    }
    return opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
}

bool DesktopHasProgramFor(const QString& mimeType) {
    QProcess query;
    query.start("xdg-mime", {"query", "default", mimeType});
    if (!query.waitForFinished(kDesktopOpenWaitMs) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        return false;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace kavendrum::ui
