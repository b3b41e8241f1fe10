#pragma once

#include <functional>
#include <optional>

#include <QDialog>
#include <QString>
#include <QWidget>

#include "ui/presenters/form_view.h"

namespace kavendrum::ui {

// Every modal box and dialog the program shows goes through these, so that tests can answer
// them instead of a person.
bool ShowBox(QWidget* owner, const QString& text, const QString& caption, BoxStyle style);
// The path chosen in an open-file dialog; empty when cancelled.
// Opens in `folder`, or in the user's home folder when it is empty.
QString ChooseFileToOpen(QWidget* owner, const QString& filter, const QString& folder = QString());
// The folder chosen in the folder picker, starting at `initial`; nothing when cancelled.
std::optional<QString> ChooseFolder(QWidget* owner, const QString& initial);

// Runs a modal dialog of the program's own (the About box).
void ShowDialog(QDialog& dialog);

// Stand-ins for a person, for tests. Unset members fall back to the real dialogs.
struct ModalAnswers {
    std::function<bool(QWidget*, const QString&, const QString&, BoxStyle)> box;
    std::function<QString(QWidget*, const QString&)> file;
    std::function<std::optional<QString>(QWidget*, const QString&)> folder;
    std::function<void(QDialog&)> dialog;
};
void SetModalAnswers(const ModalAnswers* answers);

}  // namespace kavendrum::ui
