#pragma once

#include <QGroupBox>
#include <QRect>

namespace kavendrum::ui {

// A group box drawn as the platform's dialogs draw one: an etched frame whose top line runs
// through the middle of the title's height, broken where the title stands. The controls of the
// template, placed just below the title, then stay clear of the line.
class CEtchedGroupBox : public QGroupBox {
    Q_OBJECT

  public:
    explicit CEtchedGroupBox(const QString& title, QWidget* parent = nullptr);

    // Where the title is drawn, and the height of the frame's top line, in the box's pixels.
    QRect TitleRect() const;
    int LineTop() const;
    // The width the box needs to show its whole title inside its frame.
    int NeededWidth() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kavendrum::ui
