#include "ui/shell/hyperlink.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "ui/shell/desktop_opener.h"

namespace kavendrum::ui {

namespace {

const char* ErrorText(int code) {
    switch (code) {
        case 0:
            return "The operating system is out\nof memory or resources.";
        case 2:
            return "The specified file was not found.";
        case 3:
            return "The specified path was not found.";
        case 5:
            return "The operating system denied\naccess to the specified file.";
        case 8:
            return "There was not enough memory to complete the operation.";
        case 11:
            return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        case 26:
            return "A sharing violation occurred. ";
        case 27:
            return "The filename association is\nincomplete or invalid.";
        case 28:
            return "The DDE transaction could not\nbe completed because the request timed out.";
        case 29:
            return "The DDE transaction failed.";
        case 30:
            return "The DDE transaction could not\nbe completed because other DDE "
                   "transactions\nwere being processed.";
        case 31:
            return "There is no application associated\nwith the given filename extension.";
        case 32:
            return "The specified dynamic-link library was not found.";
        default:
            return nullptr;
    }
}

// The Exec line of the desktop entry registered for web pages.
QString RegisteredBrowserCommandLine() {
    QProcess query;
    query.start("xdg-mime", {"query", "default", "text/html"});
    if (!query.waitForFinished(2000) || query.exitCode() != 0) {
        return QString();
    }
    const QString entry = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (entry.isEmpty()) {
        return QString();
    }
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QString();
    }
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
        } else if (inEntry && line.startsWith("Exec=")) {
            return line.mid(5);
        }
    }
    return QString();
}

}  // namespace

QString BrowserCommandFor(const QString& commandLine, const QString& target) {
    QString command = commandLine;
    for (const char* code : {"%1", "%u", "%U", "%f", "%F"}) {
        const QString placeholder(code);
        qsizetype at = command.indexOf('"' + placeholder + '"');
        if (at < 0) {
            at = command.indexOf(placeholder);
        }
        if (at >= 0) {
            command.truncate(at);
            break;
        }
    }
    return command + ' ' + target;
}

QString HyperlinkErrorText(int code) {
    const char* text = ErrorText(code);
    const QString reason =
        text != nullptr ? QString(text) : QString("Unknown Error (%1) occurred.").arg(code);
    return "Unable to open hyperlink:\n\n" + reason;
}

LinkOpener LinkOpener::Desktop() {
    LinkOpener opener;
    // The desktop's opener itself, whose exit status says whether it found a program: the
    // platform's own open call only says whether the opener could be started.
    opener.openWithDesktop = [](const QString& target) { return OpenWithDesktop(target); };
    opener.browserCommandLine = RegisteredBrowserCommandLine;
    opener.startDetached = [](const QString& command) {
        QStringList words = QProcess::splitCommand(command);
        if (words.isEmpty()) {
            return false;
        }
        const QString program = words.takeFirst();
        return QProcess::startDetached(program, words);
    };
    return opener;
}

int GotoURL(const QString& target, const LinkOpener& opener) {
    if (opener.openWithDesktop(target)) {
        return kLinkOpened;
    }
    // The desktop could not: what it said is what a missing browser registration reports.
    const QString commandLine = opener.browserCommandLine();
    if (commandLine.isEmpty()) {
        return kLinkNoAssociation;
    }
    const QString command = BrowserCommandFor(commandLine, target);
    if (command.toLocal8Bit().size() >= kLongestBrowserCommand) {
        return kLinkNoAssociation;
    }
    return opener.startDetached(command) ? kLinkOpened : kLinkFileNotFound;
}

}  // namespace kavendrum::ui
