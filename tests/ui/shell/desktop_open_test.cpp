// The help command and the About box's links as a desktop sees them: stand-ins for xdg-open and
// xdg-mime on the PATH record what they were asked to open and answer as they are told. Runs on
// a real X display, where the platform's own desktop services would reach xdg-open too.
#include <QDir>
#include <QFile>
#include <QtTest>

#include "gui_support.h"
#include "ui/shell/desktop_opener.h"
#include "ui/shell/hyperlink.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

class DesktopOpenTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString opened;

    // What the stand-in opener was asked to open, one target a line.
    QStringList Opened() const {
        QFile file(opened);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    static void Answer(int openStatus, const QString& mimeDefault) {
        qputenv("KAVENDRUM_OPEN_STATUS", QByteArray::number(openStatus));
        qputenv("KAVENDRUM_MIME_DEFAULT", mimeDefault.toUtf8());
    }

  private slots:
    void initTestCase() {
        const QString bin = dir.filePath("bin");
        QVERIFY(QDir().mkpath(bin));
        opened = dir.filePath("opened");
        qputenv("KAVENDRUM_OPENED", opened.toUtf8());
        WriteFile(bin + "/xdg-open",
                  "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$KAVENDRUM_OPENED\"\n"
                  "exit \"${KAVENDRUM_OPEN_STATUS:-0}\"\n");
        WriteFile(bin + "/xdg-mime", "#!/bin/sh\nprintf '%s' \"$KAVENDRUM_MIME_DEFAULT\"\n");
        for (const char* name : {"/xdg-open", "/xdg-mime"}) {
            QFile::setPermissions(bin + name, QFile::ReadOwner | QFile::ExeOwner);
        }
        qputenv("PATH", (bin + ":" + qEnvironmentVariable("PATH")).toUtf8());
    }

    void init() { QFile::remove(opened); }

    void helpOpensTheHtmlIndexWhenNoProgramShowsCompiledHelp() {
        Answer(0, "");
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        frame->Command(ID_HELP)->trigger();
        QTRY_COMPARE(Opened().size(), 1);
        const QString target = Opened().first();
        QCOMPARE(target, QCoreApplication::applicationDirPath() + "/help/index.html");
        QVERIFY(QFile::exists(target));
    }

    void helpOpensTheCompiledFileWhereAProgramIsRegistered() {
        Answer(0, "chm-viewer.desktop");
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        frame->Command(ID_HELP)->trigger();
        QTRY_COMPARE(Opened().size(), 1);
        QCOMPARE(Opened().first(), QCoreApplication::applicationDirPath() + "/kavendrum_help.chm");
    }

    // The desktop's opener failing is a failure, not a success: with no browser registered
    // either, the link reports that no program is associated.
    void aLinkTheDesktopCannotOpenFails() {
        Answer(4, "");
        QCOMPARE(GotoURL("https://example.invalid/"), kLinkNoAssociation);
        QCOMPARE(Opened(), QStringList{"https://example.invalid/"});
        QVERIFY(HyperlinkErrorText(GotoURL("https://example.invalid/"))
                    .startsWith("Unable to open hyperlink:\n\n"));
    }

    void aLinkTheDesktopOpensSucceeds() {
        Answer(0, "");
        QVERIFY(GotoURL("mailto:someone@example.invalid") > 32);
        QCOMPARE(Opened(), QStringList{"mailto:someone@example.invalid"});
    }

    void anOpenerThatIsStillBusyHasHandedOver() {
        QFile::remove(dir.filePath("bin/xdg-open"));
        WriteFile(dir.filePath("bin/xdg-open"), "#!/bin/sh\nsleep 5\nexit 4\n");
        QFile::setPermissions(dir.filePath("bin/xdg-open"), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(OpenWithDesktop("https://example.invalid/", 200));
    }
};

QTEST_MAIN(DesktopOpenTest)
#include "desktop_open_test.moc"
