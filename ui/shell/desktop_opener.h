#pragma once

#include <QString>

namespace kavendrum::ui {

// How long the desktop's opener is given to say that it failed. One that is still busy after
// this has found a program and is handing the target over to it.
inline constexpr int kDesktopOpenWaitMs = 3000;

// Opens a file or an address with the program the desktop has for it (xdg-open). True when the
// opener ended well or is still busy handing over; false when it could not be started or
// ended with a failure.
bool OpenWithDesktop(const QString& target, int waitMs = kDesktopOpenWaitMs);

// Whether the desktop names a program for files of the MIME type (xdg-mime).
bool DesktopHasProgramFor(const QString& mimeType);

}  // namespace kavendrum::ui
