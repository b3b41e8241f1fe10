#include "ui/controls/progress_bar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMainWindow>
#include <QPainter>
#include <QSizeGrip>

#include <algorithm>

#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

namespace {

constexpr const char* kIdleText = "Ready";
// How often a long operation lets the window repaint itself.
constexpr qint64 kEventIntervalMs = 50;

}  // namespace

CProgressBar::CProgressBar() : QWidget(nullptr) {
    setObjectName("1");
}

CProgressBar::~CProgressBar() {
    RemoveFromPane();
}

QStatusBar* CProgressBar::FindStatusBar() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* frame = qobject_cast<QMainWindow*>(top)) {
            return frame->statusBar();
        }
    }
    return nullptr;
}

bool CProgressBar::ShowInPane(const QString& label, int widthPercent, int upperBound, int pane) {
    QStatusBar* statusBar = FindStatusBar();
    if (statusBar == nullptr) {
        return false;
    }
    m_pStatusBar = statusBar;
    setParent(statusBar);
    statusBar->installEventFilter(this);
    SetStepRange(0, upperBound, 1);
    m_nStep = 1;
    m_strLabel = label;
    m_nWidthPercent = widthPercent;
    m_nPane = pane;
    m_strSavedPaneText = statusBar->currentMessage();
    show();
    m_sinceEvents.start();
    return FitToPane();
}

bool CProgressBar::SetWidthPercent(int percent) {
    m_nWidthPercent = percent;
    return FitToPane();
}

bool CProgressBar::SetStepRange(int lower, int upper, int step) {
    if (!IsPlaced()) {
        return false;
    }
    m_nLower = lower;
    m_nUpper = upper;
    m_nStep = step;
    m_nPosition = std::clamp(m_nPosition, lower, std::max(lower, upper));
    update();
    return true;
}

int CProgressBar::SetPosition(int position) {
    if (!IsPlaced()) {
        return 0;
    }
    MakeVisible();
    const int previous = m_nPosition;
    m_nPosition = std::clamp(position, m_nLower, std::max(m_nLower, m_nUpper));
    update();
    return previous;
}

int CProgressBar::SetStepSize(int step) {
    if (!IsPlaced()) {
        return 0;
    }
    MakeVisible();
    const int previous = m_nStep;
    m_nStep = step;
    return previous;
}

int CProgressBar::Advance() {
    if (!IsPlaced()) {
        return 0;
    }
    MakeVisible();
    const int previous = m_nPosition;
    m_nPosition += m_nStep;
    if (m_nPosition > m_nUpper) {
        m_nPosition = m_nLower + (m_nPosition - m_nUpper);
    }
    update();
    KeepWindowAlive();
    return previous;
}

bool CProgressBar::FitToPane() {
    if (m_pStatusBar == nullptr) {
        return false;
    }
    QStatusBar* statusBar = m_pStatusBar;
    if (!isHidden()) {
        statusBar->showMessage(m_strLabel);
    }
    const QFontMetrics metrics(statusBar->font());
    QRect pane = statusBar->contentsRect();
    int left = pane.left();
    int right = pane.left() + pane.width();
    // The size grip in the corner belongs to the frame, not to the pane.
    for (const QSizeGrip* grip : statusBar->findChildren<QSizeGrip*>()) {
        if (grip->isVisible()) {
            right = std::min(right, grip->geometry().left());
        }
    }
    int top = pane.top();
    int bottom = pane.top() + pane.height();
    if (!m_strLabel.isEmpty()) {
        left += metrics.horizontalAdvance(m_strLabel) + 4 * metrics.horizontalAdvance(' ');
    }
    right -= ((100 - m_nWidthPercent) * (right - left)) / 100;
    right = std::max(right, left);
    const int margin = (bottom - top) / 10;
    top += margin;
    bottom -= margin;
    const QRect fitted(QPoint(left, top), QPoint(right - 1, bottom - 1));
    if (fitted != m_rectPlaced) {
        setGeometry(fitted);
        m_rectPlaced = fitted;
    }
    return true;
}

void CProgressBar::RemoveFromPane() {
    if (m_pStatusBar == nullptr) {
        return;
    }
    hide();
    m_pStatusBar->removeEventFilter(this);
    m_pStatusBar->showMessage(m_nPane == 0 ? QString(kIdleText) : m_strSavedPaneText);
    m_pStatusBar->repaint();
    setParent(nullptr);
    m_pStatusBar = nullptr;
}

void CProgressBar::Rest() {
    if (m_pStatusBar == nullptr || isHidden()) {
        return;
    }
    hide();
    // A text the run left there, such as its result, stays.
    if (m_pStatusBar->currentMessage() == m_strLabel) {
        m_pStatusBar->showMessage(m_nPane == 0 ? QString(kIdleText) : m_strSavedPaneText);
    }
}

void CProgressBar::MakeVisible() {
    if (isHidden()) {
        show();
        if (m_pStatusBar != nullptr) {
            m_pStatusBar->showMessage(m_strLabel);
        }
    }
}

// The operation runs on this thread; letting paint and timer events through now and then keeps
// the window from looking hung without letting the user start anything else.
void CProgressBar::KeepWindowAlive() {
    if (!m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= kEventIntervalMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_sinceEvents.restart();
    }
}

// The pane is refitted whenever the status bar changes size, as it is whenever it repaints.
bool CProgressBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pStatusBar && event->type() == QEvent::Resize) {
        FitToPane();
    }
    return QWidget::eventFilter(watched, event);
}

void CProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawEtchedFrame(painter, 0, 0, width(), height());
    const int left = 2;
    const int top = 2;
    const int right = width() - 2;
    const int bottom = height() - 2;
    const int range = m_nUpper - m_nLower;
    const int split =
        range == 0
            ? left
            : static_cast<int>(static_cast<qint64>(right - left) * m_nPosition / range) + left;
    FillWithoutOutline(painter, split, top, right, bottom, palette::kFace);
    FillWithoutOutline(painter, left, top, split, bottom, palette::kAccent);
}

}  // namespace kavendrum::ui
