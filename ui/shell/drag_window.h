#pragma once

#include <QWidget>

namespace kavendrum::ui {

class CMainFrame;

// The small always-on-top square with the program icon: files dropped on it go into the form that
// is shown, a click raises the main frame and a drag moves the square, its menu and a double
// click show or hide the main frame. Dragged text is shown in a box.
class CDragWindow : public QWidget {
    Q_OBJECT

  public:
    CDragWindow();

    // Registers the window for drops; false (after the failure message) when it cannot be.
    bool Create();
    // Keeps a saved position that lies on no screen from starting the square out of sight.
    static QPoint OnScreen(QPoint position, QSize size);

    CMainFrame* m_pMainFrame = nullptr;
    // How many moves were handed to the window system, for the tests.
    int m_nSystemMoves = 0;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void RaiseMainFrame();
    void OnDropFiles(const QList<QUrl>& urls);
    void OnDropText(const QString& text);

    QPoint m_pressedAt;
    bool m_bPressed = false;
};

}  // namespace kavendrum::ui
