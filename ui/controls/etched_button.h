#pragma once

#include <QPushButton>
#include <QString>

namespace kavendrum::ui {

// A flat grey push button with etched edges that draws its own caption, not its window text.
class CEtchedButton : public QPushButton {
    Q_OBJECT

  public:
    explicit CEtchedButton(QWidget* parent = nullptr);

    void SetCaption(const QString& caption) { m_strCaption = caption; }
    const QString& Caption() const { return m_strCaption; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QString m_strCaption;
};

}  // namespace kavendrum::ui
