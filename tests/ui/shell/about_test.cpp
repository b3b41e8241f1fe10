#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "gui_support.h"
#include "ui/shell/about_dlg.h"
#include "ui/shell/help_file.h"
#include "ui/shell/hyperlink.h"
#include "ui/shell/link_label.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

namespace {

// A desktop that cannot open anything and knows the given browser command line.
LinkOpener Refusing(const QString& browser, QString* started = nullptr, bool starts = true) {
    LinkOpener opener;
    opener.openWithDesktop = [](const QString&) { return false; };
    opener.browserCommandLine = [browser] { return browser; };
    opener.startDetached = [started, starts](const QString& command) {
        if (started != nullptr) {
            *started = command;
        }
        return starts;
    };
    return opener;
}

}  // namespace

class AboutTest : public QObject {
    Q_OBJECT

  private slots:
    void theAboutBoxNamesTheProgram() {
        QTemporaryDir dir;
        auto frame = MakeFrame(dir);
        Person person;
        QStringList texts;
        QString title;
        ModalAnswers answers;
        answers.dialog = [&](QDialog& dialog) {
            title = dialog.windowTitle();
            for (const QLabel* label : dialog.findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    texts << label->text();
                }
            }
            QVERIFY(Control<QPushButton>(&dialog, 1)->isDefault());
            // Without a home page and mail address configured the link rows are left out.
            QVERIFY(dialog.findChild<CLinkLabel*>() == nullptr);
        };
        SetModalAnswers(&answers);
        frame->Command(ID_APP_ABOUT)->trigger();
        SetModalAnswers(nullptr);
        QCOMPARE(title, QString("About Kavendrum"));
        texts.sort();
        QCOMPARE(texts, (QStringList{"Kavendrum Version 2.03", "Thanks for using it !"}));
    }

    void helpIsFoundInTheBuildTree() {
        // The tests sit beside the programs in the build folder, and so do the help files.
        const HelpFile help(QCoreApplication::applicationDirPath() + "/");
        QCOMPARE(help.CompiledPath(),
                 QCoreApplication::applicationDirPath() + "/kavendrum_help.chm");
        QVERIFY(QFile::exists(help.CompiledPath()));
        QCOMPARE(help.PagesPath(), QCoreApplication::applicationDirPath() + "/help/index.html");
    }

    // An installed tree keeps the help under share/kavendrum, whatever its prefix; the compiled
    // file opens only where a program is registered for it, the HTML index otherwise.
    void helpIsFoundInAnInstalledTreeAndChosenByViewer() {
        QTemporaryDir prefix;
        QVERIFY(QDir().mkpath(prefix.filePath("bin")));
        QVERIFY(QDir().mkpath(prefix.filePath("share/kavendrum/help")));
        WriteFile(prefix.filePath("share/kavendrum/kavendrum_help.chm"), "ITSF");
        WriteFile(prefix.filePath("share/kavendrum/help/index.html"), "<html></html>");
        const HelpFile help(prefix.filePath("bin") + "/");
        const QString shared = QDir::cleanPath(prefix.filePath("share/kavendrum"));
        QCOMPARE(help.Target(true), shared + "/kavendrum_help.chm");
        QCOMPARE(help.Target(false), shared + "/help/index.html");
        // Without the HTML pages the compiled file is all there is.
        QVERIFY(QFile::remove(prefix.filePath("share/kavendrum/help/index.html")));
        QCOMPARE(help.Target(false), shared + "/kavendrum_help.chm");
        // Nothing found: the name beside the program, which shows nothing.
        const HelpFile missing(prefix.filePath("nowhere") + "/");
        QCOMPARE(missing.Target(false), prefix.filePath("nowhere") + "/kavendrum_help.chm");
    }

    void linksChangeColourWithHoverAndVisit() {
        CLinkLabel link("https://example.invalid", nullptr, Refusing("browser %u"));
        QCOMPARE(link.TextColour(), QColor(0, 0, 238));
        QCOMPARE(link.toolTip(), QString("https://example.invalid"));
        QVERIFY(link.font().underline());
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&link, &enter);
        QCOMPARE(link.TextColour(), QApplication::palette().color(QPalette::Highlight));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&link, &leave);
        link.OnClicked();
        QVERIFY(link.m_bVisited);
        QCOMPARE(link.TextColour(), QColor(85, 26, 139));
    }

    void aLinkNobodyCanOpenIsReported() {
        Person person;
        CLinkLabel link("https://example.invalid", nullptr, Refusing(QString()));
        link.m_bVisited = true;
        link.OnClicked();
        QVERIFY(!link.m_bVisited);
        QCOMPARE(person.Texts(),
                 std::vector<QString>{"Unable to open hyperlink:\n\nThere is no application "
                                      "associated\nwith the given filename extension."});
        QCOMPARE(person.boxes[0].caption, QString("Kavendrum"));
    }

    void errorTextsFollowTheResultCodes() {
        QCOMPARE(HyperlinkErrorText(1),
                 QString("Unable to open hyperlink:\n\nUnknown Error (1) occurred."));
        QCOMPARE(HyperlinkErrorText(26),
                 QString("Unable to open hyperlink:\n\nA sharing violation occurred. "));
        QCOMPARE(HyperlinkErrorText(2),
                 QString("Unable to open hyperlink:\n\nThe specified file was not found."));
    }

    void theBrowserCommandIsCutAtItsPlaceholder() {
        QCOMPARE(BrowserCommandFor("\"/opt/web/browser\" \"%1\" -nohome", "http://a"),
                 QString("\"/opt/web/browser\"  http://a"));
        QCOMPARE(BrowserCommandFor("browser %1 -x", "http://a"), QString("browser  http://a"));
        QCOMPARE(BrowserCommandFor("firefox-esr %u", "http://a"), QString("firefox-esr  http://a"));
        QCOMPARE(BrowserCommandFor("chromium \"%U\"", "http://a"), QString("chromium  http://a"));
        QCOMPARE(BrowserCommandFor("browser", "http://a"), QString("browser http://a"));
    }

    void gotoUrlFallsBackToTheRegisteredBrowser() {
        LinkOpener desktop = Refusing("unused");
        desktop.openWithDesktop = [](const QString&) { return true; };
        QCOMPARE(GotoURL("http://a", desktop), kLinkOpened);

        QString started;
        QCOMPARE(GotoURL("http://a", Refusing("browser %u --new", &started)), kLinkOpened);
        QCOMPARE(started, QString("browser  http://a"));
        QCOMPARE(GotoURL("http://a", Refusing("browser %u", nullptr, false)), kLinkFileNotFound);
        QCOMPARE(GotoURL("http://a", Refusing(QString())), kLinkNoAssociation);
        QCOMPARE(GotoURL("http://a", Refusing(QString(600, 'b'))), kLinkNoAssociation);
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
