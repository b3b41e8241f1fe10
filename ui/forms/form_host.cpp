#include "ui/forms/form_host.h"

#include <QApplication>
#include <QStatusBar>

#include "ui/forms/modal_dialogs.h"

namespace kavendrum::ui {

bool CFormHost::ShowBox(const std::string& text, const std::string& caption, BoxStyle style) {
    return ui::ShowBox(m_pOwner, QString::fromStdString(text), QString::fromStdString(caption),
                       style);
}

std::string CFormHost::ChooseFileToOpen(const std::string& filter) {
    return ui::ChooseFileToOpen(m_pOwner, QString::fromStdString(filter)).toStdString();
}

std::string CFormHost::ChooseFileToOpenIn(const std::string& filter, const std::string& folder) {
    return ui::ChooseFileToOpen(m_pOwner, QString::fromStdString(filter),
                                QString::fromStdString(folder))
        .toStdString();
}

std::optional<std::string> CFormHost::ChooseFolder(const std::string& initial) {
    const auto chosen = ui::ChooseFolder(m_pOwner, QString::fromStdString(initial));
    return chosen ? std::optional<std::string>(chosen->toStdString()) : std::nullopt;
}

bool CFormHost::ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) {
    return m_pProgress != nullptr &&
           m_pProgress->ShowInPane(QString::fromStdString(label), widthPercent, upperBound, pane);
}

bool CFormHost::SetWidthPercent(int percent) {
    return m_pProgress != nullptr && m_pProgress->SetWidthPercent(percent);
}

bool CFormHost::SetStepRange(int lower, int upper, int step) {
    return m_pProgress != nullptr && m_pProgress->SetStepRange(lower, upper, step);
}

int CFormHost::SetPosition(int position) {
    return m_pProgress != nullptr ? m_pProgress->SetPosition(position) : 0;
}

int CFormHost::Advance() {
    return m_pProgress != nullptr ? m_pProgress->Advance() : 0;
}

// The run blocks this thread; the window still repaints, so it shows that it is busy: the wait
// cursor, and every part of the window but the status bar greyed out, since input is dropped.
void CFormHost::SetBusy(bool busy) {
    QWidget* window = m_pOwner->window();
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_pFocus = QApplication::focusWidget();
        const QList<QWidget*> parts =
            window == m_pOwner ? QList<QWidget*>{m_pOwner}
                               : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* part : parts) {
            if (part->isEnabled() && !part->isWindow() &&
                qobject_cast<QStatusBar*>(part) == nullptr) {
                part->setEnabled(false);
                m_disabled.append(part);
            }
        }
        return;
    }
    for (const QPointer<QWidget>& part : std::as_const(m_disabled)) {
        if (part != nullptr) {
            part->setEnabled(true);
        }
    }
    m_disabled.clear();
    if (m_pFocus != nullptr && m_pFocus->isEnabled()) {
        m_pFocus->setFocus(Qt::OtherFocusReason);
    }
    QApplication::restoreOverrideCursor();
    if (m_pProgress != nullptr) {
        m_pProgress->Rest();
    }
}

}  // namespace kavendrum::ui
