#include "ui/shell/drag_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "ui/controls/etched_palette.h"
#include "ui/forms/modal_dialogs.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/pictures.h"

namespace kavendrum::ui {

namespace {

constexpr int kSide = 36;  // the icon and a two-pixel sunken edge around it

// Both drop paths on one window: a drag that carries file URLs is a file drop, one that carries
// only plain text is a text drop.
bool IsFileDrag(const QMimeData* data) {
    return data->hasUrls();
}
bool IsTextDrag(const QMimeData* data) {
    return !data->hasUrls() && data->hasText();
}

}  // namespace

CDragWindow::CDragWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("161");
    setWindowTitle("Kavendrum");
    setFixedSize(kSide, kSide);
}

bool CDragWindow::Create() {
    setAcceptDrops(true);
    if (!acceptDrops()) {
        ShowBox(this, "创建拖放接口失败!", "错误", BoxStyle::Stop);
        return false;
    }
    return true;
}

QPoint CDragWindow::OnScreen(QPoint position, QSize size) {
    const QRect placed(position, size);
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(placed)) {
            return position;
        }
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return position;
    }
    const QRect area = primary->availableGeometry();
    return QPoint(std::clamp(position.x(), area.left(), area.right() - size.width()),
                  std::clamp(position.y(), area.top(), area.bottom() - size.height()));
}

void CDragWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette::kFace);
    // A sunken client edge: dark above and left, light below and right.
    DrawEtchedFrame(painter, 0, 0, width(), height(), palette::kDarkEdge, palette::kLightEdge);
    painter.drawPixmap(2, 2, Picture("icon_128", QSize(32, 32)));
}

void CDragWindow::RaiseMainFrame() {
    if (m_pMainFrame != nullptr && m_pMainFrame->isVisible()) {
        m_pMainFrame->raise();
        m_pMainFrame->activateWindow();
        setFocus();
    }
}

void CDragWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        RaiseMainFrame();
        m_pressedAt = event->globalPosition().toPoint();
        m_bPressed = true;
        return;
    }
    if (event->button() == Qt::RightButton) {
        RaiseMainFrame();
    }
    QWidget::mousePressEvent(event);
}

// A window manager that moves the square takes the pointer for itself, and the square would see
// neither the release nor a second click; so the move starts only once the pointer has gone
// past the drag distance with the button held.
void CDragWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bPressed || (event->buttons() & Qt::LeftButton) == 0) {
        m_bPressed = false;
        return;
    }
    const QPoint moved = event->globalPosition().toPoint() - m_pressedAt;
    if (moved.manhattanLength() < QApplication::startDragDistance()) {
        return;
    }
    m_bPressed = false;
    // The window system moves the square with the pointer until the button is released.
    if (QWindow* window = windowHandle()) {
        ++m_nSystemMoves;
        window->startSystemMove();
    }
}

void CDragWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_bPressed = false;
    QWidget::mouseReleaseEvent(event);
}

void CDragWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_pMainFrame != nullptr && event->button() == Qt::LeftButton) {
        m_pMainFrame->Command(ID_SHOW_OR_HIDE)->trigger();
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CDragWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (m_pMainFrame == nullptr) {
        return;
    }
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? mapToGlobal(QPoint(0, 0)) + QPoint(5, 5)
                          : event->globalPos();
    QMenu menu(this);
    menu.setObjectName("164");
    QAction* show = m_pMainFrame->Command(ID_SHOW_OR_HIDE);
    show->setChecked(m_pMainFrame->isVisible());
    menu.addAction(show);
    menu.addSeparator();
    menu.addAction(m_pMainFrame->Command(ID_HELP));
    menu.addSeparator();
    menu.addAction(m_pMainFrame->Command(ID_DRAG_EXIT));
    menu.exec(at);
}

// A close request to the square ends the program through the main frame; the square itself
// stays until then.
void CDragWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_pMainFrame != nullptr) {
        QMetaObject::invokeMethod(m_pMainFrame, &QWidget::close, Qt::QueuedConnection);
    }
}

void CDragWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (IsFileDrag(data)) {
        event->acceptProposedAction();
    } else if (IsTextDrag(data)) {
        event->setDropAction((event->modifiers() & Qt::ControlModifier) != 0 ? Qt::CopyAction
                                                                             : Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CDragWindow::dragMoveEvent(QDragMoveEvent* event) {
    const QMimeData* data = event->mimeData();
    if (IsFileDrag(data)) {
        event->acceptProposedAction();
    } else if (IsTextDrag(data) && (event->modifiers() & Qt::ControlModifier) == 0) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        // Holding Ctrl over the square refuses dragged text.
        event->ignore();
    }
}

void CDragWindow::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (IsFileDrag(data)) {
        OnDropFiles(data->urls());
        event->acceptProposedAction();
    } else if (IsTextDrag(data)) {
        OnDropText(data->text());
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CDragWindow::OnDropFiles(const QList<QUrl>& urls) {
    QString path;
    for (const QUrl& url : urls) {
        path = url.toLocalFile();
        if (!path.isEmpty()) {
            break;
        }
    }
    if (m_pMainFrame == nullptr || path.isEmpty()) {
        return;
    }
    // The frame knows which form's field takes it.
    m_pMainFrame->OnDropFile(path);
}

void CDragWindow::OnDropText(const QString& text) {
    ShowBox(QApplication::activeWindow(), text, "链接", BoxStyle::Information);
}

}  // namespace kavendrum::ui
