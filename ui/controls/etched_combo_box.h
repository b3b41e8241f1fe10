#pragma once

#include <QComboBox>

namespace kavendrum::ui {

// A drop-down list drawn flat, with the etched frame around it and around its button.
class CEtchedComboBox : public QComboBox {
    Q_OBJECT

  public:
    explicit CEtchedComboBox(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kavendrum::ui
