#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QRect>
#include <QStatusBar>
#include <QString>
#include <QWidget>

namespace kavendrum::ui {

// The progress bar in the main frame's status bar pane, to the right of its label. Its range,
// step and position behave as the platform's progress control's: the position wraps to the
// lower bound when a step would pass the upper one.
class CProgressBar : public QWidget {
    Q_OBJECT

  public:
    CProgressBar();
    ~CProgressBar() override;

    bool ShowInPane(const QString& label, int widthPercent, int upperBound, int pane);
    bool SetWidthPercent(int percent);
    bool SetStepRange(int lower, int upper, int step);
    int SetPosition(int position);
    int SetStepSize(int step);
    int Advance();
    bool FitToPane();
    void RemoveFromPane();
    // The run has ended: the bar and its label leave the status bar until the next run.
    void Rest();

    bool IsPlaced() const { return m_pStatusBar != nullptr; }
    const QString& Label() const { return m_strLabel; }
    int Position() const { return m_nPosition; }
    int Upper() const { return m_nUpper; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    static QStatusBar* FindStatusBar();
    void MakeVisible();
    void KeepWindowAlive();

    int m_nWidthPercent = 100;
    int m_nPane = 0;
    QString m_strLabel;
    QString m_strSavedPaneText;
    QRect m_rectPlaced;
    QPointer<QStatusBar> m_pStatusBar;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 1;
    int m_nPosition = 0;
    QElapsedTimer m_sinceEvents;
};

}  // namespace kavendrum::ui
