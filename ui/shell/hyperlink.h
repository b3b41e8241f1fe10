#pragma once

#include <QString>
#include <functional>

namespace kavendrum::ui {

// Result codes of opening a link: above 32 is success, the others name the failure.
inline constexpr int kLinkOpened = 33;
inline constexpr int kLinkFileNotFound = 2;
inline constexpr int kLinkNoAssociation = 31;
// The longest command line the browser lookup accepts.
inline constexpr int kLongestBrowserCommand = 520;

// The browser's registered command line cut at its placeholder for the target (a quoted "%1"
// is cut at its opening quote, a bare %1 where it stands; the desktop entry field codes %u, %U,
// %f and %F likewise), then a blank and the target.
QString BrowserCommandFor(const QString& commandLine, const QString& target);

// "Unable to open hyperlink:", a blank line and the text for the result code.
QString HyperlinkErrorText(int code);

// The desktop services a link is opened with; tests put stand-ins in their place.
struct LinkOpener {
    std::function<bool(const QString& target)> openWithDesktop;
    // The registered web browser's command line; empty when none is registered.
    std::function<QString()> browserCommandLine;
    std::function<bool(const QString& command)> startDetached;

    static LinkOpener Desktop();
};

// Opens the target with the desktop, or else with the registered web browser; the result code.
int GotoURL(const QString& target, const LinkOpener& opener = LinkOpener::Desktop());

}  // namespace kavendrum::ui
