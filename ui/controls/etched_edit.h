#pragma once

#include <QLineEdit>

namespace kavendrum::ui {

// An edit box with the etched frame. One that accepts dropped files takes the first dropped
// file's path as its whole text, which raises textChanged as typing does.
class CEtchedEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CEtchedEdit(QWidget* parent = nullptr, bool acceptsFiles = false);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace kavendrum::ui
