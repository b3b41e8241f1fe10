#include "ui/forms/modal_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "ui/forms/folder_picker.h"

namespace kavendrum::ui {

namespace {

const ModalAnswers* g_answers = nullptr;

}  // namespace

void SetModalAnswers(const ModalAnswers* answers) {
    g_answers = answers;
}

bool ShowBox(QWidget* owner, const QString& text, const QString& caption, BoxStyle style) {
    if (g_answers != nullptr && g_answers->box) {
        return g_answers->box(owner, text, caption, style);
    }
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (style) {
        case BoxStyle::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case BoxStyle::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case BoxStyle::Warning:
            box.setIcon(QMessageBox::Warning);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case BoxStyle::Information:
            box.setIcon(QMessageBox::Information);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case BoxStyle::Stop:
            box.setIcon(QMessageBox::Critical);
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    // A box during a run waits for the user: it gets the ordinary pointer, not the busy one.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const bool ok = box.exec() == QMessageBox::Ok;
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return ok;
}

QString ChooseFileToOpen(QWidget* owner, const QString& filter, const QString& folder) {
    if (g_answers != nullptr && g_answers->file) {
        return g_answers->file(owner, filter);
    }
    return QFileDialog::getOpenFileName(owner, QString(),
                                        folder.isEmpty() ? QDir::homePath() : folder, filter);
}

void ShowDialog(QDialog& dialog) {
    if (g_answers != nullptr && g_answers->dialog) {
        g_answers->dialog(dialog);
        return;
    }
    dialog.exec();
}

std::optional<QString> ChooseFolder(QWidget* owner, const QString& initial) {
    if (g_answers != nullptr && g_answers->folder) {
        return g_answers->folder(owner, initial);
    }
    CDestFolderPicker picker(owner, "Directory Name");
    picker.SetInitialFolder(initial);
    if (!picker.Browse()) {
        return std::nullopt;
    }
    return picker.GetPath();
}

}  // namespace kavendrum::ui
